// Start-up's end states, seen as the user sees them: messages, status list, log file.
#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/command_line.h"
#include "app/zuduvor.h"
#include "support/station.h"

using namespace zv;
using test::setupLine;

namespace {

struct StartFixture : ::testing::Test {
    QTemporaryDir tmp;
    QString root;
    Module1 m;
    test::RecordingView view;
    test::RecordingDialogs dialogs;
    test::RecordingLauncher launcher;

    void SetUp() override { root = tmp.path() + "/zod"; }

    void writeSetup(const QByteArray& bytes) { test::writeBytes(root + "/setup.prm", bytes); }
    QByteArray completeSetup(bool withUserPath = true, bool withSiteId = true) {
        QByteArray b;
        if (withUserPath) b += setupLine("UserPath", tmp.path() + "/practice");
        b += setupLine("UserFile", "*.txt") + setupLine("FileType", "83P") +
             setupLine("SoftType", "DOCUTRAC");
        if (withSiteId) b += setupLine("SiteID  ", "k9site");
        b += setupLine("PassWord", "secret") + setupLine("RptPath ", tmp.path() + "/reports");
        return b;
    }
    StartState start() {
        Zuduvor z(m, view, view, dialogs, launcher);
        StartOptions o;
        o.workRoot = root;
        o.sftpHost = "127.0.0.1";
        o.sftpPort = 2222;
        return z.Form_Load(o);
    }
    QByteArray log() { return test::readBytes(root + "/ZUDUVOR.LOG"); }
};

TEST_F(StartFixture, MissingOrEmptySetupAsksForSetupAndLeavesNoLog) {
    EXPECT_EQ(start(), StartState::NoSetupFile);
    EXPECT_EQ(dialogs.texts(), QStringList{"Setup File not Found. Please do the Setup."});
    EXPECT_EQ(view.status, QStringList{ReadyLine});
    for (const char* sub : {"claims", "claimsbu", "user", "reports"})
        EXPECT_TRUE(QDir(root + "/" + sub).exists()) << sub;
    EXPECT_EQ(log(), "<missing>");
    EXPECT_EQ(m.SftpPort, 0);

    writeSetup("");
    dialogs.clear();
    EXPECT_EQ(start(), StartState::NoSetupFile);
    EXPECT_EQ(log(), "<missing>");
}

TEST_F(StartFixture, CompleteSetupLogsOneLineAndPreparesTheServer) {
    writeSetup(completeSetup());
    test::writeBytes(root + "/ZUDUVOR.LOG", "an earlier run's line\r\n");

    EXPECT_EQ(start(), StartState::Complete);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(view.status, QStringList{ReadyLine});
    EXPECT_EQ(view.siteIdText, "K9SITE");
    EXPECT_TRUE(QRegularExpression("^\\d\\d-\\d\\d-\\d{4} at \\d\\d:\\d\\d:\\d\\d$")
                    .match(view.dateTimeText)
                    .hasMatch())
        << view.dateTimeText.toStdString();
    EXPECT_TRUE(QRegularExpression("^Start DADEDIRUred on \\d\\d-\\d\\d-\\d{4} at "
                                   "\\d\\d:\\d\\d:\\d\\d\\r\\n$")
                    .match(QString::fromLatin1(log()))
                    .hasMatch())
        << log().toStdString();
    EXPECT_EQ(m.SftpHost, "127.0.0.1");
    EXPECT_EQ(m.SftpPort, 2222);
    EXPECT_EQ(m.Setup.UserPath, tmp.path() + "/practice/");
    EXPECT_EQ(m.Paths.WorkRoot, root + "/");
    EXPECT_EQ(m.Paths.SetupFile, root + "/setup.prm");
}

TEST_F(StartFixture, FirstMissingValueIsTheOnlyOneReported) {
    writeSetup(completeSetup(/*withUserPath=*/false, /*withSiteId=*/false));
    EXPECT_EQ(start(), StartState::MissingValue);
    EXPECT_EQ(dialogs.texts(), QStringList{"User Claim File not found, Setup Required."});
    EXPECT_TRUE(log().startsWith("Start DADEDIRUred on "));
    EXPECT_EQ(m.SftpPort, 0);
}

TEST_F(StartFixture, UnknownKeyStopsAfterTheValuesBeforeIt) {
    writeSetup(setupLine("UserFile", "*.txt") + setupLine("siteid  ", "x") +
               setupLine("FileType", "83P"));
    EXPECT_EQ(start(), StartState::UnknownKey);
    EXPECT_EQ(dialogs.texts(), QStringList{"Unknown Setup Parameter. Please Redo the Setup."});
    EXPECT_EQ(m.Setup.UserFile, "*.txt");
    EXPECT_EQ(m.Setup.FileType, "");
    EXPECT_EQ(log(), "<missing>");
}

TEST(CommandLine, OptionsCommandsAndUsageErrors) {
    const QStringList env = {"ZUDUVOR_WORK_ROOT=/env/root", "ZUDUVOR_SFTP_PORT=2200"};
    CommandLine cl =
        parseCommandLine({"zuduvor", "--sftp-host", "h", "resend", "A B.83P", "--yes"}, env);
    EXPECT_TRUE(cl.error.isEmpty()) << cl.error.toStdString();
    EXPECT_EQ(cl.start.workRoot, "/env/root");
    EXPECT_EQ(cl.start.sftpHost, "h");
    EXPECT_EQ(cl.start.sftpPort, 2200);
    EXPECT_EQ(cl.command, "resend");
    EXPECT_EQ(cl.name, "A B.83P");
    EXPECT_TRUE(cl.yes);

    EXPECT_TRUE(parseCommandLine({"zuduvor"}, {}).command.isEmpty());
    EXPECT_FALSE(parseCommandLine({"zuduvor", "delete"}, {}).error.isEmpty());
    EXPECT_FALSE(parseCommandLine({"zuduvor", "sendd"}, {}).error.isEmpty());
    EXPECT_FALSE(parseCommandLine({"zuduvor", "--sftp-port", "70000"}, {}).error.isEmpty());
    EXPECT_FALSE(parseCommandLine({"zuduvor", "--work-root"}, {}).error.isEmpty());
    EXPECT_FALSE(parseCommandLine({"zuduvor", "send", "extra"}, {}).error.isEmpty());
}

}  // namespace
