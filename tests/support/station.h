#pragma once
// A practice's workstation for whole-task tests: a work root, a practice claim folder
// and a report folder in one temporary folder, a setup.prm naming a test server, and
// the program's logic with a recorded window and recorded message boxes. Also the
// checks every fault test ends with: no claim and no report lost.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QMap>
#include <QProcess>
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
    *os << '{' << list.join(QStringLiteral("\", \"")).toStdString() << '}';
}

namespace zv::test {

QByteArray readBytes(const QString& path);  // "<missing>" when it cannot be read
void writeBytes(const QString& path, const QByteArray& bytes);  // makes the folder too
QByteArray patterned(qsizetype size, quint32 seed);  // claim-like bytes, distinct per seed
// Name -> contents of the ordinary files of a folder (dot-files included).
QMap<QString, QByteArray> filesIn(const QString& folder);
inline QStringList namesIn(const QString& folder) { return filesIn(folder).keys(); }
// One setup.prm line: the 8-character key and the value, padded to 50, then CR LF.
inline QByteArray setupLine(const char* key, const QString& value) {
    return (QByteArray(key) + value.toUtf8()).leftJustified(50, ' ', true) + "\r\n";
}

// Where a task talks to: either kind of test server.
struct ServerAccount {
    QString host;
    int port = 0;
    QString user;
    QString password;
    QString home;
    QString claimsDir() const { return home + QStringLiteral("/claims/"); }
    QString reportsDir() const { return home + QStringLiteral("/reports/"); }
};

template <class Server>
ServerAccount accountOf(const Server& s) {
    return {s.host(), s.port(), s.user(), s.password(), s.home()};
}

struct ConsoleRun {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

// The recorded window, with a hook for what happens while the window takes input
// (once per uploaded file).
struct HookedView : RecordingView {
    std::function<void()> onPendingInput;
    void processPendingInput() override {
        RecordingView::processPendingInput();
        if (auto f = onPendingInput) f();
    }
};

class Station {
public:
    Station();
    ~Station();

    QString base() const { return dir_.path() + QLatin1Char('/'); }
    QString workRoot() const { return base() + QStringLiteral("zod/"); }
    QString practice() const { return base() + QStringLiteral("practice/"); }
    QString reportFolder() const { return base() + QStringLiteral("rpt/"); }
    QString backupDir() const { return workRoot() + QStringLiteral("claimsbu/"); }
    QString workingDir() const { return workRoot() + QStringLiteral("claims/"); }
    QString seqFile() const { return workRoot() + QStringLiteral("seqfile.fil"); }
    QString claimText() const { return workRoot() + QStringLiteral("claim.txt"); }

    // Writes setup.prm byte for byte as the file's format has it (the values as given,
    // so a mixed-case password stays as it is).
    void writeSetup(const ServerAccount& server, const QString& fileType = QStringLiteral("83P"),
                    const QString& userFile = QStringLiteral("*.CLM"));
    // Start-up as the window runs it, against that server.
    StartState start(const ServerAccount& server);
    Zuduvor& z() { return *z_; }

    QString claimName(int number) const;  // site ID + number + file type, upper-cased
    void putClaim(const QString& name, const QByteArray& bytes);
    // A backup dated 01/05/2026 9:03:07 AM.
    void putBackup(const QString& name, const QByteArray& bytes);
    QByteArray seq() const { return readBytes(seqFile()); }
    // Clicks the picker line of `name`.
    void pick(const QString& name);

    // The program the console runs use: the built program unless a test names another.
    QString consoleProgram = QStringLiteral(ZV_ZUDUVOR_BINARY);
    // The console mode of the built program on this work root.
    ConsoleRun runConsole(const QStringList& command, const QStringList& extraEnv = {},
                          int timeoutMs = 60000) const;
    // Starts it without waiting; the caller owns the process.
    std::unique_ptr<QProcess> startConsole(const QStringList& command,
                                           const QStringList& extraEnv = {}) const;

    // What the user saw: each message box's first line.
    QStringList messageHeads() const;
    QString allMessages() const { return dialogs.texts().join(QStringLiteral("\n---\n")); }
    // True when a box showed `head`, a line feed, then the component's (non-empty) words.
    ::testing::AssertionResult failureShown(const QString& head) const;
    // The activity log's lines with " on <date> at <time>" cut off.
    QStringList logActivities() const;

    Module1 m;
    HookedView view;
    RecordingDialogs dialogs;
    RecordingLauncher launcher;

private:
    QTemporaryDir dir_;
    ServerAccount server_;
    QString fileType_ = QStringLiteral("83P");
    std::unique_ptr<Zuduvor> z_;
};

// The claim invariant: every claim (by content) is either on the server under a number
// with its whole content, or waiting in claims/ and claimsbu/ whole for a resend, or
// still untouched in the practice folder. No claim is on the server under two names,
// a number's backup and its server copy never differ, and the number in seqfile.fil
// (when not 0) is one whose upload completed.
void expectNoClaimLost(const Station& st, const ServerAccount& server,
                       const QList<QByteArray>& claims, bool seqMustBeOnServer = true);

// The report invariant: every report is on the server whole or in the report folder
// whole (or both); nothing else is left in the report folder.
void expectNoReportLost(const Station& st, const ServerAccount& server,
                        const QMap<QString, QByteArray>& reports);

// Tests that run on either kind of server.
enum class ServerKind { Asyncssh, OpenSsh };
std::string serverKindName(const ::testing::TestParamInfo<ServerKind>& info);

// Starts `sshd` or `sftp` as `kind` says (skipping the test when it cannot run here)
// and puts its account into `account`.
#define ZV_START_SERVER_OF_KIND(kind, sshd, sftp, account) \
    do {                                                   \
        if ((kind) == ::zv::test::ServerKind::OpenSsh) {   \
            ZV_START_TEST_SERVER(sshd);                    \
            (account) = accountOf(sshd);                   \
        } else {                                           \
            ZV_START_TEST_SERVER(sftp);                    \
            (account) = accountOf(sftp);                   \
        }                                                  \
    } while (0)

// A station and a fresh asyncssh test server (the test is skipped when it cannot run).
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Writes setup.prm and runs start-up against the server.
    void startStation(const QString& fileType = QStringLiteral("83P"),
                      const QString& mask = QStringLiteral("*.CLM"));

    TestSftpServer server;
    ServerAccount account;
    Station st;
};

// The same, started up with the default setup.
class StationTest : public ServerTest {
protected:
    void SetUp() override;
};

// A folder made full or read-only for one test; undone when it goes.
class ScopedMount {
public:
    ~ScopedMount();
    // Empty on success, else why the mount could not be made.
    QString tmpfs(const QString& folder, const QString& size);
    QString readOnly(const QString& folder);

private:
    QStringList mounted_;
};

}  // namespace zv::test

// Skips the test when the mount is not permitted here.
#define ZV_MOUNT_OR_SKIP(expr)                                          \
    do {                                                                \
        if (const QString why = (expr); !why.isEmpty())                 \
            GTEST_SKIP() << "cannot mount here: " << why.toStdString(); \
    } while (0)
