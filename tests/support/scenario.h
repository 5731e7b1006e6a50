#pragma once
// A whole workstation against a real SFTP server, for tests that drive the main
// window's tasks and check what the user saw and what is on disk and on the server.
//
// Scenario builds, in its own temporary folder:
//   <tmp>/zod/        the work root (setup.prm in the 364-byte format, seqfile.fil, ...)
//   <tmp>/practice/   UserPath, where the billing software leaves its claim files
//   <tmp>/reports/    RptPath
// and a Module1, RecordingView (window and picker), RecordingDialogs, RecordingLauncher
// and a Zuduvor whose start-up (Form_Load) ran against the given server account.
//
// The account is plain data, so any server will do:
//   TestSftpServer server;  ZV_START_TEST_SERVER(server);
//   Scenario s(ServerAccount::of(server));
//   s.dropClaim("a.txt", "ISA~");  s.z->SendClaims_Click();
//   EXPECT_EQ(s.serverFiles("claims"), QStringList{"K9SITE0001.83P"});
//
// ScenarioTest is a ready fixture on a TestSftpServer (skipped when it cannot run).
#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

#include "app/module1.h"
#include "app/zuduvor.h"
#include "support/recorders.h"
#include "support/test_server.h"

// Readable failure output for Qt's texts.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        *os << (i ? ", \"" : "\"") << list[i].toStdString() << '"';
    *os << '}';
}

namespace zv::test {

struct ServerAccount {
    QString host;
    int port = 0;
    QString user;
    QString password;
    QString home;  // local path of the account's folder holding claims/ and reports/

    template <class Server>
    static ServerAccount of(const Server& s) {
        return {s.host(), s.port(), s.user(), s.password(), s.home()};
    }
};

struct ScenarioOptions {
    QString userFile = QStringLiteral("*.txt");
    QString fileType = QStringLiteral("83P");
    QString softType = QStringLiteral("DOCUTRAC");
    QString siteId = {};    // empty: the account's user
    QString password = {};  // empty: the account's password
};

class Scenario {
public:
    explicit Scenario(const ServerAccount& account, const ScenarioOptions& options = {});
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    ServerAccount account;
    QTemporaryDir tmp;
    Module1 m;
    RecordingView view;
    RecordingDialogs dialogs;
    RecordingLauncher launcher;
    std::unique_ptr<Zuduvor> z;
    StartState started = StartState::NoSetupFile;

    QString workRoot() const;     // ends with "/"
    QString practiceDir() const;  // ends with "/"
    QString reportDir() const;    // ends with "/"
    QString claimsDir() const { return workRoot() + QStringLiteral("claims/"); }
    QString backupDir() const { return workRoot() + QStringLiteral("claimsbu/"); }
    QString seqfilePath() const { return workRoot() + QStringLiteral("seqfile.fil"); }

    // A claim file as the billing software leaves it.
    void dropClaim(const QString& name, const QByteArray& bytes) const;
    // A report waiting on the server.
    void putReport(const QString& name, const QByteArray& bytes) const;
    // A claim file waiting on the server.
    void putServerClaim(const QString& name, const QByteArray& bytes) const;
    void writeSeqfile(const QByteArray& bytes) const;

    // "<missing>" when there is no such file.
    QByteArray seqfile() const;
    // Names of the ordinary files in a server directory ("claims", "reports"), sorted.
    QStringList serverFiles(const QString& dir) const;
    QByteArray serverBytes(const QString& path) const;  // "claims/NAME"
    // Names of the ordinary files in a local folder (hidden ones included), sorted.
    static QStringList localFiles(const QString& folder);
    static QByteArray bytesOf(const QString& path);  // "<missing>" when absent

    // The activity log's lines with " on <date> at <time>" cut off.
    QStringList logActivities() const;
};

// True when a box showed `message`, a line feed, then the component's (non-empty) words.
::testing::AssertionResult failureShown(const RecordingDialogs& dialogs, const QString& message);

// Starts a TestSftpServer and builds a Scenario on it with default options.
class ScenarioTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Builds the scenario again (a fresh workstation) with other setup values.
    void rebuild(const ScenarioOptions& options);

    TestSftpServer server;
    std::unique_ptr<Scenario> s;
};

}  // namespace zv::test
