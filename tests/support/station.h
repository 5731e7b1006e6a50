#pragma once
// The one scenario for whole-task tests: a practice's workstation (work root, practice
// claim folder, report folder, setup.prm) in a temporary folder, a server account of
// either kind, the program's logic with a recorded window and message boxes, and the
// checks every scenario ends with: no claim lost, no report lost, no password shown.
#include <gtest/gtest.h>

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <ostream>
#include <tuple>

#include "base/module1.h"
#include "support/recorders.h"
#include "support/test_server.h"
#include "tasks/zuduvor.h"

inline std::ostream& operator<<(std::ostream& os, const QString& s) {
    return os << s.toStdString();
}

namespace zv::test {

QByteArray readBytes(const QString& path);  // "<missing>" when it cannot be read
void writeBytes(const QString& path, const QByteArray& bytes);  // makes the folder too
void putAged(const QString& path, const QByteArray& bytes);     // last changed 5 s ago
QByteArray patterned(qsizetype size, quint32 seed);  // a sound 837 (when big enough), per seed
QMap<QString, QByteArray> filesIn(const QString& folder);  // shown name -> contents, dot-files too

struct ServerAccount {
    QString host;
    int port = 0;
    QString user, password, home;
    QString claimsDir() const { return home + QStringLiteral("/claims/"); }
    QString reportsDir() const { return home + QStringLiteral("/reports/"); }
};
enum class ServerKind { Asyncssh, OpenSsh };

struct ConsoleRun {
    int exitCode = -1;
    bool crashed = false;
    QString out, err;
};

// A task as data: the setup ("TYPE|MASK"), the files and server faults before it, the
// clicks, and the state it must end in. station.cpp says what each word means.
struct Scenario {
    const char* name;
    const char* setup;  // then words that come before start-up

    const char* files;   // '|'-separated words
    const char* clicks;  // '|'-separated words
    const char* told;    // a part of some message; null: no failure is shown at all
    const char* server;  // the claims on the server afterwards: NAME=BYTES or NAME, '|'-separated
    const char* seq = nullptr;   // seqfile.fil afterwards; null: not checked
    const char* reports = "";    // the report folder afterwards, as `server`
    const char* text = nullptr;  // claim.txt afterwards; null: not checked
    const char* opened = "";     // what the opener was given, below the station folder
};

// The scenario: a workstation and a server of the kind kind() names (asyncssh unless a
// parameterised test says otherwise); skipped when that server cannot run here.
class ServerTest : public ::testing::Test {
public:
    ServerTest();
    ~ServerTest() override;
    void SetUp() override;
    // The checks every scenario ends with: each failure says why in a few words, the
    // buttons are usable again, and the password shows nowhere.
    void TearDown() override;
    virtual ServerKind kind() const { return ServerKind::Asyncssh; }

    QString base() const { return dir_.path() + QLatin1Char('/'); }
    QString workRoot() const { return base() + QStringLiteral("zod/"); }
    QString practice() const { return base() + QStringLiteral("practice/"); }
    QString reportFolder() const { return base() + QStringLiteral("rpt/"); }
    QString backupDir() const { return workRoot() + QStringLiteral("claimsbu/"); }
    QString workingDir() const { return workRoot() + QStringLiteral("claims/"); }
    QString seqFile() const { return workRoot() + QStringLiteral("seqfile.fil"); }

    QByteArray setupBytes(const QString& fileType = "83P", const QString& mask = "*.CLM") const;
    void writeSetup(const QString& fileType = "83P", const QString& mask = "*.CLM");
    StartState start();  // start-up as the window runs it
    void startStation(const QString& fileType = "83P", const QString& mask = "*.CLM");
    Zuduvor& z() { return *z_; }
    QString claimName(int n) const;
    void putClaim(const QString& name, const QByteArray& b) { putAged(practice() + name, b); }
    QByteArray seq() const { return readBytes(seqFile()); }
    // The program the console runs use: the built program unless a test names another.
    QString consoleProgram = QStringLiteral(ZV_ZUDUVOR_BINARY);
    // The console mode of the built program on this work root.
    std::unique_ptr<QProcess> startConsole(const QStringList& command) const;
    ConsoleRun runConsole(const QStringList& command) const;
    QString allMessages() const { return dialogs.texts().join(QStringLiteral("\n---\n")); }

    // Every claim (by content) is on the server exactly once and whole, or waits whole in
    // claims/ and claimsbu/ for a resend, or is untouched in the practice folder; the
    // number in seqfile.fil (when not 0) is one whose upload completed.
    void expectNoClaimLost(const QList<QByteArray>& claims, bool seqMustBeOnServer = true) const;
    // Every report is on the server whole or in the report folder whole; nothing else is.
    void expectNoReportLost(const QMap<QString, QByteArray>& reports) const;
    // The password in no message, status line, log line or `extra` text.
    void expectNoPassword(const QString& extra = {}) const;
    void run(const Scenario& s);
    void clicks(const QString& words);  // a scenario's clicks or files, '|'-separated

    Module1 m;
    RecordingView view;
    RecordingDialogs dialogs;
    RecordingLauncher launcher;
    TestSftpServer server;
    TestSshdServer sshd;
    TestSftpServer weak{TestSftpServer::Options{.weakAlgorithms = true}};
    ServerAccount account;
    QList<QByteArray> claims;           // every claim placed, by content
    QMap<QString, QByteArray> reports;  // every report placed

private:
    QString path(const QString& p) const;  // "~/..." in the server's home, "/..." as it is
    void place(const QString& word);
    void click(const QString& word);

    QTemporaryDir dir_;
    QMap<QString, QByteArray> kept_;
    QMap<QString, QDateTime> keptTimes_;
    QProcess listener_, writer_;
    qsizetype auths_ = 0;
    ConsoleRun cli_;
    QString fileType_ = QStringLiteral("83P");
    QString userPath_;  // the claim folder in setup.prm; empty: practice()
    std::unique_ptr<Zuduvor> z_;
    QStringList mounted_;
    std::optional<mode_t> umask_;  // the test's own, while a scenario sets another
};

}  // namespace zv::test

// A table of scenarios as one parameterised suite, each case named by its row.
#define ZV_SCENARIO_ROWS(Suite, Test, rows)                                             \
    class Suite : public ServerTest, public ::testing::WithParamInterface<Scenario> {}; \
    TEST_P(Suite, Test) { run(GetParam()); }                                            \
    INSTANTIATE_TEST_SUITE_P(Rows, Suite, ::testing::ValuesIn(rows),                    \
                             [](const auto& info) { return std::string(info.param.name); })

// The same rows against the asyncssh test server and against OpenSSH's sshd.
#define ZV_BOTH_SERVERS_ROWS(Suite, Test, rows)                                                 \
    class Suite : public ServerTest,                                                            \
                  public ::testing::WithParamInterface<std::tuple<Scenario, ServerKind>> {      \
        ServerKind kind() const override { return std::get<1>(GetParam()); }                    \
    };                                                                                          \
    TEST_P(Suite, Test) { run(std::get<0>(GetParam())); }                                       \
    INSTANTIATE_TEST_SUITE_P(                                                                   \
        Rows, Suite,                                                                            \
        ::testing::Combine(::testing::ValuesIn(rows),                                           \
                           ::testing::Values(ServerKind::Asyncssh, ServerKind::OpenSsh)),       \
        [](const auto& info) {                                                                  \
            return std::string(std::get<0>(info.param).name) +                                  \
                   (std::get<1>(info.param) == ServerKind::OpenSsh ? "_OpenSsh" : "_Asyncssh"); \
        })
