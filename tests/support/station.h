#pragma once
// The one scenario for whole-task tests: a practice's workstation (work root, practice
// claim folder, report folder, setup.prm) in a temporary folder, a server account of
// either kind, the program's logic with a recorded window and message boxes, and the
// checks every scenario ends with: no claim lost, no report lost, no password shown.
#include <gtest/gtest.h>

#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

#include "base/module1.h"
#include "support/files.h"
#include "support/recorders.h"
#include "support/test_server.h"
#include "tasks/zuduvor.h"

namespace zv::test {

enum class ServerKind { Asyncssh, OpenSsh };

struct ConsoleRun {
    int exitCode = -1;
    bool crashed = false;
    QString out, err;
};

class ServerTest;
// One step of a scenario: a file or a server fault placed, a button clicked, or a check on
// the way. A word is a function of the scenario (support/steps.h; a word only one table
// uses is defined beside it), given as it is (`SendClaims`) or with its values
// (`{claim, "a.clm", sized(300)}`); the compiler checks the word and every value.
struct Step : std::function<void(ServerTest&)> {
    using function::function;
    template <class... P, class A, class... As>
    Step(void (*word)(ServerTest&, P...), A a, As... as)
        : function([=](ServerTest& t) { word(t, a, as...); }) {}
};

// A task as data: setup.prm's file type and mask, what comes before start-up, the steps,
// and the state it must end in.
struct Scenario {
    const char* name;
    const char* type = "83P";
    const char* mask = "*.CLM";
    std::vector<Step> before = {};  // before start-up
    std::vector<Step> steps = {};
    const char* told = nullptr;  // a part of some message; null: no failure is shown at all
    // The claims on the server afterwards: NAME=BYTES or NAME, '|'-separated.
    const char* server = "";
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
    void play(const std::vector<Step>& steps);  // in order, up to a skip or a fatal failure

    // "$" is the site ID and "x{N}" N times x, in names and in what a row expects.
    QString expand(QString text) const;
    QString path(const QString& p) const;  // "~/..." in the server's home, "/..." as it is
    void keep(const QString& path);        // must stay as it is, bytes and time
    void atEnd(std::function<void()> undo) { undo_.push_back(std::move(undo)); }
    QProcess& process();  // one that runs until the test ends

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
    ConsoleRun console;                 // the last console run
    QString claimFolderInSetup;         // below the station folder; empty: practice()
    bool seqGiven = false;              // seqfile.fil placed: its number need not be on the server
    qsizetype passwordAttempts = 0;     // password attempts in the server's log at a hostile turn

private:
    QTemporaryDir dir_;
    QMap<QString, std::pair<QByteArray, QDateTime>> kept_;
    std::vector<std::unique_ptr<QProcess>> processes_;
    std::vector<std::function<void()>> undo_;
    QString fileType_ = QStringLiteral("83P");
    std::unique_ptr<Zuduvor> z_;
};

// The same rows against the asyncssh test server and against OpenSSH's sshd (below).
struct BothServers : ServerTest, ::testing::WithParamInterface<std::tuple<Scenario, ServerKind>> {
    ServerKind kind() const override { return std::get<1>(GetParam()); }
    static std::string name(const ::testing::TestParamInfo<ParamType>& info) {
        const bool openSsh = std::get<1>(info.param) == ServerKind::OpenSsh;
        return std::get<0>(info.param).name + std::string(openSsh ? "_OpenSsh" : "_Asyncssh");
    }
};

}  // namespace zv::test

// A table of scenarios as one parameterised suite, each case named by its row.
#define ZV_SCENARIO_ROWS(Suite, Test, rows)                                             \
    class Suite : public ServerTest, public ::testing::WithParamInterface<Scenario> {}; \
    TEST_P(Suite, Test) { run(GetParam()); }                                            \
    INSTANTIATE_TEST_SUITE_P(Rows, Suite, ::testing::ValuesIn(rows), rowName)

// The same rows against both servers (BothServers).
#define ZV_BOTH_SERVERS_ROWS(Suite, Test, rows)                                           \
    class Suite : public BothServers {};                                                  \
    TEST_P(Suite, Test) { run(std::get<0>(GetParam())); }                                 \
    INSTANTIATE_TEST_SUITE_P(                                                             \
        Rows, Suite,                                                                      \
        ::testing::Combine(::testing::ValuesIn(rows),                                     \
                           ::testing::Values(ServerKind::Asyncssh, ServerKind::OpenSsh)), \
        Suite::name)
