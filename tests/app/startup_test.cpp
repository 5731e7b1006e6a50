// The main window's logic without a window: start-up's end states as the user meets
// them, the log after Exit, help, the web site, and the command line.
#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/command_line.h"
#include "app/text_file.h"
#include "help/help_texts.h"
#include "setup/setup_file.h"
#include "support/recorders.h"
#include "zuduvor_config.h"

using namespace zv;
using P = SetupParameters;
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

struct Workstation {
    QTemporaryDir tmp;
    QString root = tmp.path() + "/zod/";
    Module1 m;
    test::RecordingView view;
    test::RecordingDialogs dialogs;
    test::RecordingLauncher launcher;
    Zuduvor z{m, view, view, dialogs, launcher};
    bool made = QDir().mkpath(root);
    QByteArray log() {
        QFile f(root + "ZUDUVOR.LOG");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : "<missing>";
    }
    StartState start(const QByteArray& setup) {
        EXPECT_TRUE(setup.isNull() || writeFileAtomically(root + "setup.prm", setup, false, {}));
        return z.Form_Load({root, "127.0.0.1", 2222, "", ""});
    }
};
struct Start : ::testing::Test, Workstation {};

TEST_F(Start, CompleteSetupStartsTheLogAfreshAndExitKeepsItFromBeingOpenedAgain) {
    const P full{tmp.path() + "/claims", "*.txt", "83P", "DOCUTRAC", "k9site", "pw", "/rpt"};
    ASSERT_TRUE(writeFileAtomically(root + "ZUDUVOR.LOG", "earlier\r\n", false, nullptr));
    ASSERT_EQ(start(formatSetupFile(full)), StartState::Complete);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(view.siteIdText, "K9SITE");
    EXPECT_EQ(m.Setup.UserPath, tmp.path() + "/claims/");
    EXPECT_EQ(m.SftpPort, 2222);
    const QByteArray started = log();
    const QRegularExpression oneLine("^Start DADEDIRUred on [\\d-]{10} at [\\d:]{8}\\r\\n$");
    EXPECT_TRUE(QString(started).contains(oneLine)) << started.toStdString();
    // A task still finishing after Exit must not reopen (and so empty) the log.
    z.Command1_Click();
    z.WriteLogLine();
    EXPECT_EQ(log(), started);
}

TEST(StartStates, EachIncompleteSetupHasItsMessage) {
    // clang-format off
    const std::tuple<QByteArray, StartState, const char*, bool> rows[] = {
        {{}, StartState::NoSetupFile, "Setup File not Found. Please do the Setup.", false},
        {"", StartState::NoSetupFile, "Setup File not Found. Please do the Setup.", false},
        {"UserFile*.txt\r\nsiteid  x\r\nFileType83P\r\n", StartState::UnknownKey, "Unknown Setup Parameter. Please Redo the Setup.", false},
        {"UserFile*.txt\r\nSiteID  x\r\n", StartState::MissingValue, "User Claim File not found, Setup Required.", true}};
    // clang-format on
    for (const auto& [setup, state, message, logged] : rows) {
        Workstation s;
        EXPECT_EQ(s.start(setup), state);
        EXPECT_EQ(s.dialogs.texts(), QStringList{message});
        EXPECT_EQ(s.log() != "<missing>", logged) << message;
        EXPECT_TRUE(s.m.SftpPort == 0 && s.m.Setup.FileType.isEmpty() &&
                    QDir(s.root + "claimsbu").exists());
        EXPECT_EQ(s.m.Setup.UserFile, setup.isEmpty() ? "" : "*.txt");  // values before a stop stay
    }
}

TEST_F(Start, HelpReplacesTheStatusListAndTheWebSiteSaysWhyItDidNotOpen) {
    view.status << "from an earlier task";
    z.HelpCommand_Click();
    z.HelpCommand_Click();
    EXPECT_EQ(view.status, mainHelpLines());
    z.ZODWebSite_Click();
    launcher.succeed = false;
    z.ZODWebSite_Click();
    launcher.exists = false;
    z.ZODWebSite_Click();
    EXPECT_EQ(launcher.opened, QStringList{config::kWebSite});
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(dialogs.shown[0].text.contains(QString(config::kWebSite) +
                                               ").\nthe opener could not be started"));
    EXPECT_EQ(dialogs.shown[1].text, "Path to Internet Explorer not Found");
}

TEST(CommandLine, ArgumentsWinOverTheEnvironmentAndUsageErrorsAreCaught) {
    const CommandLine cl =
        parseCommandLine({"zuduvor", "--sftp-host", "h", "resend", "A B", "--yes"},
                         {"ZUDUVOR_WORK_ROOT=/w", "ZUDUVOR_SFTP_HOST=e", "ZUDUVOR_SFTP_PORT=2200"});
    EXPECT_EQ(QStringList({cl.error, cl.start.workRoot, cl.start.sftpHost, cl.command, cl.name}),
              QStringList({"", "/w", "h", "resend", "A B"}));
    EXPECT_TRUE(cl.start.sftpPort == 2200 && cl.yes);
    for (const QString bad : {"delete", "sendd", "--sftp-port 70000", "--work-root", "send x"})
        EXPECT_NE(parseCommandLine(("zuduvor " + bad).split(' '), {}).error, "")
            << bad.toStdString();
}
