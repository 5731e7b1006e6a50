// The tasks behind the buttons and the picker where a wrong state would send, delete or
// show the wrong file: modes left over from an earlier task, clicks taken while a task
// runs, files gone since they were listed, the 837 conversion, the report folder opener.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

struct Row {
    const char* name;
    void (*run)(TestSftpServer& server, const ServerAccount& account, Station& st);
};

const QString kConnecting = QStringLiteral("Connecting to ZOD SFTPServer/K9SITE Server");

const Row kRows[] = {
    {"NoClaimFileStillFetchesReportsAndLeavesTheNumber",
     [](TestSftpServer&, const ServerAccount& account, Station& st) {
         writeBytes(account.reportsDir() + "R1.TXT", "report one");
         st.dialogs.answers = {true};
         st.z().SendClaims_Click();
         EXPECT_EQ(st.view.status, QStringList{ReadyLine});  // OK leaves only the ready line
         EXPECT_EQ(st.launcher.opened, QStringList{st.reportFolder()});
         EXPECT_EQ(st.seq(), "<missing>");
         EXPECT_EQ(readBytes(st.reportFolder() + "R1.TXT"), "report one");
     }},
    {"LeftOverResendModeDoesNotTurnASendIntoAResend",
     [](TestSftpServer&, const ServerAccount& account, Station& st) {
         st.m.PickerMode.ResendMode = true;
         st.m.ClaimName = "K9SITE0005.83P";
         st.putClaim("a.clm", "new claim");
         st.z().SendClaims_Click();
         EXPECT_EQ(namesIn(account.claimsDir()), QStringList{"K9SITE0001.83P"});
         EXPECT_FALSE(st.m.PickerMode.ResendMode);
     }},
    {"ResendListsOnlyBackupsOfTheFileTypeAndRunsNothingElse",
     [](TestSftpServer&, const ServerAccount& account, Station& st) {
         st.putBackup("K9SITE0003.DEN", "3");
         st.z().ResendClaims_Click();  // Cancel: nothing listed
         EXPECT_TRUE(st.view.pickerLines.empty() && !st.view.pickerVisible);
         st.dialogs.answers = {true};
         st.z().ResendClaims_Click();
         EXPECT_EQ(st.messageHeads().last(), "No Files Found to Resend");
         st.putBackup("K9SITE0001.83P", "1");
         st.dialogs.answers = {true};
         st.z().ResendClaims_Click();
         EXPECT_EQ(st.view.pickerTexts(), QStringList{"K9SITE0001.83P  01/05/2026  9:03:07 AM"});
         st.pick("K9SITE0001.83P");
         EXPECT_EQ(readBytes(account.claimsDir() + "K9SITE0001.83P"), "1");
         EXPECT_FALSE(st.logText().contains("SendClaims") || st.logText().contains("GetReports"));
     }},
    {"BackupGoneSinceTheListingIsNamedAndNothingSent",
     [](TestSftpServer&, const ServerAccount& account, Station& st) {
         st.putBackup("K9SITE0001.83P", "the claim");
         st.dialogs.answers = {true};
         st.z().ResendClaims_Click();
         ASSERT_TRUE(QFile::remove(st.backupDir() + "K9SITE0001.83P"));
         st.pick("K9SITE0001.83P");
         EXPECT_TRUE(st.dialogs.texts().last().contains("K9SITE0001.83P"));
         EXPECT_TRUE(namesIn(account.claimsDir()).isEmpty() && namesIn(st.workingDir()).isEmpty());
         EXPECT_TRUE(st.view.listEnabled);
     }},
    {"SendClickedDuringAResendSpoilsNeitherFile",
     [](TestSftpServer&, const ServerAccount& account, Station& st) {
         // The resend's upload gives the window one chance for input; Send stays usable.
         st.putBackup("K9SITE0001.83P", "resent claim");
         writeBytes(st.seqFile(), "0001");
         st.putClaim("a.clm", "new claim");
         st.dialogs.answers = {true};
         st.z().ResendClaims_Click();
         st.view.onPendingInput = [&] {
             st.view.onPendingInput = nullptr;
             st.z().SendClaims_Click();
         };
         st.pick("K9SITE0001.83P");
         EXPECT_EQ(readBytes(account.claimsDir() + "K9SITE0001.83P"), "resent claim");
         EXPECT_EQ(readBytes(account.claimsDir() + "K9SITE0002.83P"), "new claim");
         EXPECT_EQ(st.seq(), "0002");
     }},
    {"DeleteListingReusesTheSessionAndReopensALostOne",
     [](TestSftpServer& server, const ServerAccount& account, Station& st) {
         writeBytes(account.claimsDir() + "A.83P", "a");
         st.z().DeleteClaimFiles_Click();
         st.z().DeleteClaimFiles_Click();
         EXPECT_EQ(st.view.status, (QStringList{ReadyLine, kConnecting}));
         ASSERT_TRUE(server.restart());  // the kept session is gone
         st.z().DeleteClaimFiles_Click();
         EXPECT_EQ(st.view.pickerTexts(), QStringList{"A.83P   1"});
         st.pick("A.83P");
         EXPECT_TRUE(namesIn(account.claimsDir()).isEmpty());
         EXPECT_TRUE(st.m.DeleteClaimName.isEmpty() && !st.m.PickerMode.DeleteMode);
     }},
    {"PickerLineWithoutABlankNamesNoFileInAnyMode",
     [](TestSftpServer&, const ServerAccount&, Station& st) {
         for (PickerModeFlags mode :
              {PickerModeFlags{.ResendMode = true}, PickerModeFlags{.DeleteMode = true},
               PickerModeFlags{.ViewMode = true}}) {
             st.m.PickerMode = mode;
             st.z().Form5_List1_Click({"NOBLANK.83P", "NOBLANK.83P"});
             EXPECT_EQ(st.messageHeads().last(), "Can't Copy Backup File");
             EXPECT_EQ(st.m.PickerMode.DeleteMode, mode.DeleteMode);
         }
         EXPECT_TRUE(st.launcher.opened.isEmpty());
     }},
    {"ExitThenAnotherTaskLeavesOnlyThatTasksMode",
     [](TestSftpServer&, const ServerAccount& account, Station& st) {
         st.putBackup("K9SITE0001.83P", "backup~");
         writeBytes(account.claimsDir() + "K9SITE0001.83P", "waiting");
         st.dialogs.answers = {true};
         st.z().ResendClaims_Click();
         st.z().Form5_Command1_Click();
         st.z().DeleteClaimFiles_Click();
         st.pick("K9SITE0001.83P");
         EXPECT_TRUE(namesIn(account.claimsDir()).isEmpty());  // deleted, not resent
         writeBytes(account.claimsDir() + "K9SITE0001.83P", "waiting");
         st.z().DeleteClaimFiles_Click();
         st.z().Form5_Command1_Click();
         st.z().ViewClaims_Click();
         st.pick("K9SITE0001.83P");
         EXPECT_EQ(namesIn(account.claimsDir()), QStringList{"K9SITE0001.83P"});  // viewed only
         st.z().DeleteClaimFiles_Click();
         st.z().SendClaims_Click();
         EXPECT_FALSE(st.view.pickerVisible) << "a send leaves the picker showing";
     }},
    {"ViewSplits837ClaimsIntoLinesAndOpensOthersAsTheyAre",
     [](TestSftpServer&, const ServerAccount&, Station& st) {
         for (auto [name, bytes, text] :
              {std::tuple{"K9SITE0001.83P", "AB~CD~EF~\r\n", "AB\r\nCD\r\nEF\r\n"},
               {"K9SITE0002.83D", "~~X~", "\r\n\r\nX\r\n"},
               {"K9SITE0003.ECP", "AB~CD~", "\r\n\r\nX\r\n"}}) {
             st.putBackup(name, bytes);
             st.z().ViewClaims_Click();
             st.pick(name);
             EXPECT_EQ(readBytes(st.claimText()), text);
             EXPECT_FALSE(st.m.PickerMode.ViewMode || st.view.pickerVisible);
         }
         EXPECT_EQ(st.launcher.opened, (QStringList{st.claimText(), st.claimText(),
                                                    st.backupDir() + "K9SITE0003.ECP"}));
     }},
    {"ViewOfAVanishedBackupOrWithAFailedOpenerSaysWhich",
     [](TestSftpServer&, const ServerAccount&, Station& st) {
         writeBytes(st.claimText(), "earlier");
         for (const QString name : {"K9SITE0001.83P", "K9SITE0002.ECP"}) {
             st.putBackup(name, "AB~");
             st.z().ViewClaims_Click();
             ASSERT_TRUE(QFile::remove(st.backupDir() + name));
             st.pick(name);
             EXPECT_TRUE(st.dialogs.texts().last().contains(name));
             EXPECT_EQ(readBytes(st.claimText()), "earlier");
         }
         st.putBackup("K9SITE0003.83P", "AB~");
         st.launcher.succeed = false;
         st.z().ViewClaims_Click();
         st.pick("K9SITE0003.83P");
         EXPECT_TRUE(st.dialogs.texts().last().contains(st.claimText()));
         EXPECT_TRUE(st.launcher.opened.isEmpty() && st.view.isEnabled(Control::ViewClaims));
     }},
    {"ViewingEmptyFoldersOrWithAFailedOpener",
     [](TestSftpServer&, const ServerAccount&, Station& st) {
         writeBytes(st.reportFolder() + ".hidden", "");  // folders and hidden files are not reports
         QDir().mkpath(st.reportFolder() + "sub");
         st.z().ViewClaims_Click();
         st.z().ViewReports_Click();
         EXPECT_EQ(st.dialogs.texts(),
                   (QStringList{"No Claim Files found at " + st.backupDir(),
                                "No Report Files found at " + st.reportFolder()}));
         writeBytes(st.reportFolder() + "R1", "");
         st.launcher.succeed = false;
         st.z().ViewReports_Click();
         EXPECT_TRUE(st.dialogs.texts().last().contains(st.reportFolder()));
         EXPECT_EQ(st.view.status, QStringList{ReadyLine});
     }},
    {"ReportsFolderThatCannotBeOpenedIsClosedAndSaidSo",
     [](TestSftpServer& server, const ServerAccount&, Station& st) {
         server.failOn("opendir", "reports");
         st.z().GetReports_Click();
         EXPECT_EQ(st.messageHeads(),
                   (QStringList{"Error Opening SFTP Reports Directory. Call ZOD.",
                                "Error Closing SFTPHandle. Call ZOD."}));
     }},
    {"ServerGone",
     [](TestSftpServer& server, const ServerAccount&, Station& st) {
         server.stop();
         st.z().GetReports_Click();
         EXPECT_EQ(st.messageHeads().value(0),
                   "SFTP Open Failure. Wait 5 minutes and try once more.");
         EXPECT_EQ(st.view.status, QStringList{ReadyLine});
     }},
    {"SftpRefused",
     [](TestSftpServer& server, const ServerAccount&, Station& st) {
         server.refuseSftp(true);
         st.z().GetReports_Click();
         EXPECT_EQ(st.messageHeads().value(0), "SFTP Initialization Failure.Call ZOD.");
     }},
    {"WrongPasswordIsRefusedAndShownNowhere",
     [](TestSftpServer& server, const ServerAccount& a, Station& st) {
         st.writeSetup({a.host, a.port, a.user, "Wr0ng-Guess-93", a.home});
         ASSERT_EQ(st.start(a), StartState::Complete);
         st.z().GetReports_Click();
         EXPECT_EQ(st.messageHeads().value(0), "SFTP Authentications Error. Call ZOD.");
         EXPECT_TRUE(server.logText().contains("password=Wr0ng-Guess-93")) << "never tried";
         expectNoPassword(st, "Wr0ng-Guess-93");
     }},
};

class Tasks : public StationTest, public ::testing::WithParamInterface<Row> {};

TEST_P(Tasks, RightFileRightState) {
    GetParam().run(server, account, st);
    for (const QString& text : st.dialogs.texts())
        EXPECT_TRUE(!text.contains('\n') || text.section('\n', 1).size() > 10) << text;
    EXPECT_TRUE(st.view.isEnabled(Control::SendClaims) && st.view.isEnabled(Control::GetReports));
    expectNoPassword(st, account.password);
}

INSTANTIATE_TEST_SUITE_P(Rows, Tasks, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zv::test
