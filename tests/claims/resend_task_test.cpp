// Resending a submitted claim from its backup, through the picker.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

using ResendTask = StationTest;

TEST_F(ResendTask, CancelledWarningOnlyClearsTheStatusList) {
    st.m.PickerMode = PickerModeFlags{.DeleteMode = true};
    st.putBackup("K9SITE0001.83P", "x");
    st.z().ResendClaims_Click();
    EXPECT_EQ(st.dialogs.texts(),
              QStringList{"WARNING! Please check with ZOD before resending a file."});
    EXPECT_TRUE(st.view.status.isEmpty());
    EXPECT_TRUE(st.m.PickerMode.DeleteMode);
    EXPECT_FALSE(st.m.PickerMode.ResendMode);
    EXPECT_FALSE(st.view.pickerVisible);
    EXPECT_TRUE(st.view.pickerLines.empty());
}

TEST_F(ResendTask, ListsOnlyBackupsOfTheFileTypeWithTheirDates) {
    st.putBackup("K9SITE0003.DEN", "3");
    st.dialogs.answers = {true};
    st.z().ResendClaims_Click();
    EXPECT_EQ(st.dialogs.texts().last(), "No Files Found to Resend");
    EXPECT_FALSE(st.view.pickerVisible);
    EXPECT_TRUE(st.view.isEnabled(Control::ResendClaims));

    st.putBackup("K9SITE0001.83P", "1");
    st.putBackup("K9SITE0002.83P", "2");
    st.dialogs.answers = {true};
    st.z().ResendClaims_Click();
    EXPECT_EQ(st.view.label1, "     Recently Submitted Claim Files");
    EXPECT_EQ(st.view.label2, "     Click on the File You Want to Resend");
    EXPECT_EQ(st.view.label3, "File Name        File Submission Date and Time");
    EXPECT_EQ(st.view.pickerTexts(), (QStringList{"K9SITE0001.83P  01/05/2026  9:03:07 AM",
                                                  "K9SITE0002.83P  01/05/2026  9:03:07 AM"}));
    EXPECT_TRUE(st.view.pickerVisible);
    EXPECT_TRUE(st.m.PickerMode.ResendMode && !st.m.PickerMode.DeleteMode &&
                !st.m.PickerMode.ViewMode);
    EXPECT_TRUE(st.view.isEnabled(Control::ResendClaims));
}

TEST_F(ResendTask, PickedFileReplacesTheServerCopyUnderItsOwnName) {
    st.putBackup("K9SITE0001.83P", "the claim");
    writeBytes(st.workingDir() + "K9SITE0001.83P", "stale working copy, longer than the claim");
    writeBytes(account.claimsDir() + "K9SITE0001.83P", "older server copy");
    writeBytes(st.seqFile(), "0001");
    st.view.dateTimeText = "unchanged";

    st.dialogs.answers = {true};
    st.z().ResendClaims_Click();
    st.view.status = QStringList{"earlier line"};
    st.pick("K9SITE0001.83P");

    EXPECT_EQ(st.view.status, (QStringList{"earlier line", "Wake up the SFTP Server!",
                                           "Connecting to ZOD SFTPServer/K9SITE Server",
                                           "Resending File K9SITE0001.83P", ReadyLine}));
    EXPECT_EQ(st.dialogs.texts().size(), 1);  // the warning only
    EXPECT_EQ(readBytes(account.claimsDir() + "K9SITE0001.83P"), "the claim");
    EXPECT_EQ(readBytes(st.workingDir() + "K9SITE0001.83P"), "the claim");
    EXPECT_EQ(st.seq(), "0001");
    EXPECT_EQ(st.view.dateTimeText, "unchanged");
    EXPECT_FALSE(st.view.pickerVisible);
    EXPECT_FALSE(st.m.PickerMode.ResendMode);
    EXPECT_GE(st.view.frontCount, 1);
    for (const char* run : {"SendClaims", "GetReports"})  // no send or report run after it
        EXPECT_FALSE(st.logActivities().contains(run)) << run;
}

TEST_F(ResendTask, BackupGoneSinceTheListingIsReportedAndNothingIsSent) {
    st.putBackup("K9SITE0001.83P", "the claim");
    st.dialogs.answers = {true};
    st.z().ResendClaims_Click();
    ASSERT_TRUE(QFile::remove(st.backupDir() + "K9SITE0001.83P"));
    st.pick("K9SITE0001.83P");

    EXPECT_EQ(st.dialogs.shown.size(), 2u);
    EXPECT_TRUE(st.dialogs.texts().last().contains("K9SITE0001.83P"));
    EXPECT_TRUE(namesIn(account.claimsDir()).isEmpty());
    EXPECT_TRUE(namesIn(st.workingDir()).isEmpty());
    EXPECT_TRUE(st.view.listEnabled);
}

// The Send button stays usable during a resend, whose upload gives the window one
// chance for input: a Send click taken there runs a whole send nested in the resend.
TEST_F(ResendTask, SendClickedDuringTheResendSpoilsNeitherFile) {
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
    EXPECT_EQ(st.dialogs.texts().filter("\n"), QStringList{});
}

}  // namespace
}  // namespace zv::test
