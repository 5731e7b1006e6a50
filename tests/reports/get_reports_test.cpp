// Fetching reports and opening the report folder: status lines, messages and log for the
// cases the fault and interoperability suites leave out, and each way opening the
// session can fail.
#include <gtest/gtest.h>

#include <QDir>

#include "support/station.h"

namespace zv::test {
namespace {

using GetReports = StationTest;

const QString kConnecting = QStringLiteral("Connecting to ZOD SFTPServer/K9SITE Server");
const QString kUnable = QStringLiteral("Unable to Open the SFTP Server. Try once more.");

TEST_F(GetReports, OkOpensTheReportFolderAndLeavesOnlyTheReadyLine) {
    writeBytes(account.reportsDir() + "A", "a");
    st.dialogs.answers = {true};
    st.z().GetReports_Click();
    EXPECT_EQ(st.launcher.opened, QStringList{st.reportFolder()});
    EXPECT_EQ(st.view.status, QStringList{ReadyLine});
    EXPECT_TRUE(st.view.isEnabled(Control::ViewReports));
}

TEST_F(GetReports, UnopenableDirectoryThenClosingFailureStillEnablesTheButton) {
    server.failOn("opendir", "reports");
    st.z().GetReports_Click();
    ASSERT_EQ(st.dialogs.shown.size(), 2u) << st.allMessages().toStdString();
    EXPECT_TRUE(
        st.dialogs.texts()[0].startsWith("Error Opening SFTP Reports Directory. Call ZOD.\n"));
    EXPECT_TRUE(st.dialogs.texts()[1].startsWith("Error Closing SFTPHandle. Call ZOD.\n"));
    EXPECT_TRUE(st.view.isEnabled(Control::GetReports));
}

struct OpeningCase {
    const char* name;
    void (*breakIt)(TestSftpServer&, Station&, const ServerAccount&);
    const char* head;
    bool connectingShown;
};

class SessionOpening : public StationTest, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(SessionOpening, EachFailingStepHasItsMessageAndStatusLine) {
    GetParam().breakIt(server, st, account);
    st.dialogs.clear();
    st.z().GetReports_Click();

    EXPECT_EQ(st.messageHeads(), (QStringList{GetParam().head, kUnable}));
    EXPECT_TRUE(st.failureShown(GetParam().head));
    const QStringList expected{ReadyLine, kConnecting};
    EXPECT_EQ(st.view.status, expected.mid(0, GetParam().connectingShown ? 2 : 1));
    EXPECT_FALSE(st.z().SessionOpen);
    EXPECT_NE(st.m.LastResult, 1);
    EXPECT_TRUE(st.view.isEnabled(Control::GetReports));
    EXPECT_EQ(st.logActivities().mid(1),
              (QStringList{"GetReports", "GetReports-Call OpenSFTPServer"}));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SessionOpening,
    ::testing::Values(
        OpeningCase{"UnreachablePort",
                    [](TestSftpServer& s, Station&, const ServerAccount&) { s.stop(); },
                    "SFTP Open Failure. Wait 5 minutes and try once more.", false},
        OpeningCase{"WrongPassword",
                    [](TestSftpServer&, Station& st, const ServerAccount& a) {
                        st.writeSetup({a.host, a.port, a.user, "Wrong-Pass9", a.home});
                        st.view.status.clear();
                        ASSERT_EQ(st.start(a), StartState::Complete);
                    },
                    "SFTP Authentications Error. Call ZOD.", true},
        OpeningCase{"SftpRefused",
                    [](TestSftpServer& s, Station&, const ServerAccount&) { s.refuseSftp(true); },
                    "SFTP Initialization Failure.Call ZOD.", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ViewReports, EmptyFolderIsReportedAndNothingOpens) {
    QTemporaryDir tmp;
    Module1 m;
    m.Setup.RptPath = tmp.path() + "/";
    QDir(tmp.path()).mkdir("sub");  // folders and hidden files are not reports
    writeBytes(tmp.path() + "/.hidden", "");
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
    writeBytes(tmp.path() + "/R1", "");
    launcher.succeed = false;
    dialogs.clear();
    z.ViewReports_Click();
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.texts().value(0).contains(m.Setup.RptPath));
    EXPECT_EQ(view.status, QStringList{ReadyLine});
}

}  // namespace
}  // namespace zv::test
