// The main window's logic without a window: start-up's end states as the user meets
// them, the log after Exit, help, the web site, and the command line.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/command_line.h"
#include "app/zuduvor.h"
#include "help/help_texts.h"
#include "support/recorders.h"
#include "zuduvor_config.h"

using namespace zv;

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

static QByteArray line(const QByteArray& key, const QString& value) {
    return (key + value.toUtf8()).leftJustified(50, ' ') + "\r\n";
}

struct Workstation {
    QTemporaryDir tmp;
    QString root = tmp.path() + "/zod/";
    Module1 m;
    test::RecordingView view;
    test::RecordingDialogs dialogs;
    test::RecordingLauncher launcher;
    Zuduvor z{m, view, view, dialogs, launcher};

    QByteArray read(const QString& name) {
        QFile f(root + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    StartState start(const QByteArray& setup, const QByteArray& oldLog = {}) {
        QDir().mkpath(root);
        for (const auto& [name, bytes] : {std::pair{"setup.prm", setup}, {"ZUDUVOR.LOG", oldLog}}) {
            QFile f(root + name);
            if (!bytes.isNull())
                EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        }
        return z.Form_Load({root, "127.0.0.1", 2222});
    }
    QByteArray fullSetup() {
        return line("UserPath", tmp.path() + "/practice") + line("UserFile", "*.txt") +
               line("FileType", "83P") + line("SoftType", "DOCUTRAC") + line("SiteID  ", "k9site") +
               line("PassWord", "secret") + line("RptPath ", tmp.path() + "/reports");
    }
};
struct Start : ::testing::Test, Workstation {};

TEST_F(Start, CompleteSetupStartsTheLogAndExitKeepsItFromBeingOpenedAgain) {
    ASSERT_EQ(start(fullSetup(), "an earlier run's line\r\n"), StartState::Complete);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(view.status, QStringList{ReadyLine});
    EXPECT_EQ(view.siteIdText, "K9SITE");
    EXPECT_EQ(m.Setup.UserPath, tmp.path() + "/practice/");
    EXPECT_EQ(m.SftpPort, 2222);
    const QByteArray log = read("ZUDUVOR.LOG");
    EXPECT_TRUE(QRegularExpression(
                    "^Start DADEDIRUred on \\d\\d-\\d\\d-\\d{4} at \\d\\d:\\d\\d:\\d\\d\\r\\n$")
                    .match(QString::fromLatin1(log))
                    .hasMatch())
        << log.toStdString();
    // A task still finishing after Exit must not reopen (and so empty) the log.
    z.Command1_Click();
    z.WriteLogLine();
    EXPECT_EQ(read("ZUDUVOR.LOG"), log);
}

TEST(StartStates, EachIncompleteSetupHasItsMessage) {
    const struct {
        QByteArray setup;
        StartState state;
        const char* message;
        bool logged;
    } rows[] = {
        {{}, StartState::NoSetupFile, "Setup File not Found. Please do the Setup.", false},
        {"", StartState::NoSetupFile, "Setup File not Found. Please do the Setup.", false},
        {"UserFile*.txt\r\nsiteid  x\r\nFileType83P\r\n", StartState::UnknownKey,
         "Unknown Setup Parameter. Please Redo the Setup.", false},
        {"UserFile*.txt\r\nSiteID  x\r\n", StartState::MissingValue,
         "User Claim File not found, Setup Required.", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.message);
        Workstation s;
        EXPECT_EQ(s.start(r.setup), r.state);
        EXPECT_EQ(s.dialogs.texts(), QStringList{r.message});
        EXPECT_EQ(s.read("ZUDUVOR.LOG") != "<missing>", r.logged);
        EXPECT_EQ(s.m.SftpPort, 0);
        EXPECT_EQ(s.m.Setup.UserFile, r.setup.isEmpty() ? "" : "*.txt");
        EXPECT_EQ(s.m.Setup.FileType, "");  // nothing after an unknown key is read
        EXPECT_TRUE(QDir(s.root + "claimsbu").exists());
    }
}

TEST_F(Start, HelpReplacesTheStatusListAndTheWebSiteSaysWhyItDidNotOpen) {
    view.status << "from an earlier task";
    z.HelpCommand_Click();
    z.HelpCommand_Click();
    EXPECT_EQ(view.status, mainHelpLines());
    EXPECT_TRUE(view.statusFocused);

    z.ZODWebSite_Click();
    EXPECT_EQ(launcher.opened, QStringList{config::kWebSite});
    launcher.succeed = false;
    z.ZODWebSite_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains(config::kWebSite) &&
                dialogs.shown[0].text.contains("the opener could not be started"));
    launcher.exists = false;
    z.ZODWebSite_Click();
    EXPECT_EQ(dialogs.shown.back().text, "Path to Internet Explorer not Found");
    EXPECT_EQ(launcher.opened.size(), 1);
}

TEST(CommandLine, ArgumentsWinOverTheEnvironmentAndUsageErrorsAreCaught) {
    const CommandLine cl = parseCommandLine(
        {"zuduvor", "--sftp-host", "h", "resend", "A B.83P", "--yes"},
        {"ZUDUVOR_WORK_ROOT=/env/root", "ZUDUVOR_SFTP_HOST=e", "ZUDUVOR_SFTP_PORT=2200"});
    EXPECT_EQ(cl.error, "");
    EXPECT_EQ(QStringList({cl.start.workRoot, cl.start.sftpHost, cl.command, cl.name}),
              QStringList({"/env/root", "h", "resend", "A B.83P"}));
    EXPECT_TRUE(cl.start.sftpPort == 2200 && cl.yes);
    EXPECT_TRUE(parseCommandLine({"zuduvor"}, {}).command.isEmpty());
    for (const QStringList& bad : {QStringList{"delete"},
                                   {"sendd"},
                                   {"--sftp-port", "70000"},
                                   {"--work-root"},
                                   {"send", "extra"}})
        EXPECT_NE(parseCommandLine(QStringList{"zuduvor"} + bad, {}).error, "")
            << bad.join(' ').toStdString();
    EXPECT_NE(parseCommandLine({"zuduvor"}, {"ZUDUVOR_SFTP_PORT=x"}).error, "");
}
