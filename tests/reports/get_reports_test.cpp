// Fetching reports from the real test server and opening the report folder.
#include <gtest/gtest.h>

#include <QDir>

#include "support/scenario.h"

namespace zv::test {
namespace {

using GetReports = ScenarioTest;

const QString kConnecting = QStringLiteral("Connecting to ZOD SFTPServer/K9SITE Server");

TEST_F(GetReports, EmptyDirectoryGivesTheTwoLinesAndNoQuestion) {
    s->z->GetReports_Click();
    EXPECT_EQ(s->view.status,
              (QStringList{ReadyLine, kConnecting, "No Reports Found to Download", ReadyLine}));
    EXPECT_TRUE(s->dialogs.shown.empty()) << s->dialogs.texts().join(" | ").toStdString();
    EXPECT_TRUE(s->view.isEnabled(Control::GetReports));
    EXPECT_EQ(s->logActivities(),
              (QStringList{"Start DADEDIRUred", "GetReports", "GetReports-Call OpenSFTPServer",
                           "GetReports-Call OpenSFTPServer"}));
}

TEST_F(GetReports, EveryReportIsFetchedWholeAndRemovedFromTheServer) {
    const QByteArray big(300000, 'r');  // more than one read request
    s->putReport("A", QByteArray("report A\r\n\0", 11));
    s->putReport("B.TXT", big);
    s->z->GetReports_Click();

    EXPECT_EQ(
        s->view.status.mid(2),
        (QStringList{"Downloading Report A", "Downloading Report B.TXT", " 2 Reports Downloaded"}));
    EXPECT_EQ(s->dialogs.texts(), QStringList{"Click OK to View Reports"});
    EXPECT_EQ(Scenario::bytesOf(s->reportDir() + "A"), QByteArray("report A\r\n\0", 11));
    EXPECT_EQ(Scenario::bytesOf(s->reportDir() + "B.TXT"), big);
    EXPECT_EQ(Scenario::localFiles(s->reportDir()), (QStringList{"A", "B.TXT"}));
    EXPECT_EQ(s->serverFiles("reports"), QStringList{});
    EXPECT_TRUE(s->launcher.opened.isEmpty());  // Cancel keeps the lines
    EXPECT_TRUE(s->view.isEnabled(Control::GetReports));
}

TEST_F(GetReports, FailedRemovalIsReportedAndTheRunGoesOn) {
    s->putReport("A", "a");
    s->putReport("B", "b");
    server.failOn("remove", "reports/A");
    s->z->GetReports_Click();

    ASSERT_EQ(s->dialogs.shown.size(), 2u);
    EXPECT_TRUE(failureShown(s->dialogs, "Error Deleting Report File from Server. Call ZOD."));
    EXPECT_EQ(s->view.status.mid(2),
              (QStringList{"Downloading Report B", " 2 Reports Downloaded"}));
    EXPECT_EQ(s->dialogs.texts().last(), "Click OK to View Reports");
    EXPECT_EQ(s->serverFiles("reports"), QStringList{"A"});
    EXPECT_EQ(Scenario::localFiles(s->reportDir()), (QStringList{"A", "B"}));
}

TEST_F(GetReports, FailedDownloadStopsAtOnceLeavingNoPartFile) {
    s->putReport("A", QByteArray(200000, 'a'));
    s->putReport("B", "b");
    s->putReport("C", "c");
    server.failOn("read", "reports/A");
    s->z->GetReports_Click();

    ASSERT_EQ(s->dialogs.shown.size(), 1u);
    EXPECT_TRUE(failureShown(s->dialogs, "Report Download Failure-Try Once More."));
    EXPECT_EQ(s->view.status, (QStringList{ReadyLine, kConnecting}));
    EXPECT_EQ(s->serverFiles("reports"), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(Scenario::localFiles(s->reportDir()), QStringList{});
    EXPECT_TRUE(s->view.isEnabled(Control::GetReports));
}

TEST_F(GetReports, OkOpensTheReportFolderAndLeavesOnlyTheReadyLine) {
    s->putReport("A", "a");
    s->dialogs.answers = {true};
    s->z->GetReports_Click();
    EXPECT_EQ(s->launcher.opened, QStringList{s->reportDir()});
    EXPECT_EQ(s->view.status, QStringList{ReadyLine});
    EXPECT_TRUE(s->view.isEnabled(Control::ViewReports));
}

TEST_F(GetReports, UnopenableDirectoryThenClosingFailureStillEnablesTheButton) {
    server.failOn("opendir", "reports");
    s->z->GetReports_Click();
    ASSERT_EQ(s->dialogs.shown.size(), 2u) << s->dialogs.texts().join(" | ").toStdString();
    EXPECT_TRUE(
        s->dialogs.texts()[0].startsWith("Error Opening SFTP Reports Directory. Call ZOD.\n"));
    EXPECT_TRUE(s->dialogs.texts()[1].startsWith("Error Closing SFTPHandle. Call ZOD.\n"));
    EXPECT_TRUE(s->view.isEnabled(Control::GetReports));
}

TEST_F(GetReports, OpeningFailureShowsBothMessagesInTurn) {
    server.stop();
    s->z->GetReports_Click();
    ASSERT_EQ(s->dialogs.shown.size(), 2u);
    EXPECT_TRUE(failureShown(s->dialogs, "SFTP Open Failure. Wait 5 minutes and try once more."));
    EXPECT_EQ(s->dialogs.texts()[1], "Unable to Open the SFTP Server. Try once more.");
    EXPECT_EQ(s->view.status, QStringList{ReadyLine});
    EXPECT_TRUE(s->view.isEnabled(Control::GetReports));
    EXPECT_EQ(s->logActivities().mid(1),
              (QStringList{"GetReports", "GetReports-Call OpenSFTPServer"}));
}

TEST(ViewReports, EmptyFolderIsReportedAndNothingOpens) {
    QTemporaryDir tmp;
    Module1 m;
    m.Setup.RptPath = tmp.path() + "/";
    QDir(tmp.path()).mkdir("sub");  // folders and hidden files are not reports
    QFile hidden(tmp.path() + "/.hidden");
    ASSERT_TRUE(hidden.open(QIODevice::WriteOnly));
    hidden.close();
    RecordingView view;
    RecordingDialogs dialogs;
    RecordingLauncher launcher;
    Zuduvor z(m, view, view, dialogs, launcher);
    view.status = {"download line"};
    z.ViewReports_Click();
    EXPECT_EQ(dialogs.texts(), QStringList{"No Report Files found at " + m.Setup.RptPath});
    EXPECT_TRUE(launcher.opened.isEmpty());
    EXPECT_EQ(view.status, QStringList{ReadyLine});
    EXPECT_TRUE(view.isEnabled(Control::ViewReports));

    // An opener that cannot start is reported and the list still ends ready.
    QFile report(tmp.path() + "/R1");
    ASSERT_TRUE(report.open(QIODevice::WriteOnly));
    report.close();
    launcher.succeed = false;
    dialogs.clear();
    z.ViewReports_Click();
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.texts().value(0).contains(m.Setup.RptPath));
    EXPECT_EQ(view.status, QStringList{ReadyLine});
}

}  // namespace
}  // namespace zv::test
