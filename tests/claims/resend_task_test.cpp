// Resending a submitted claim from its backup, through the picker.
#include <gtest/gtest.h>

#include <QFile>

#include "support/scenario.h"

namespace zv::test {
namespace {

using ResendTask = ScenarioTest;

const QDateTime kJan5Morning(QDate(2026, 1, 5), QTime(9, 3, 7));

void backup(const Scenario& s, const QString& name, const QByteArray& bytes) {
    QFile f(s.backupDir() + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.flush();  // a write at close would stamp the file anew
    ASSERT_TRUE(f.setFileTime(kJan5Morning, QFileDevice::FileModificationTime));
}

TEST_F(ResendTask, CancelledWarningOnlyClearsTheStatusList) {
    s->m.PickerMode = PickerModeFlags{.DeleteMode = true};
    backup(*s, "K9SITE0001.83P", "x");
    s->z->ResendClaims_Click();
    EXPECT_EQ(s->dialogs.texts(),
              QStringList{"WARNING! Please check with ZOD before resending a file."});
    EXPECT_TRUE(s->view.status.isEmpty());
    EXPECT_TRUE(s->m.PickerMode.DeleteMode);
    EXPECT_FALSE(s->m.PickerMode.ResendMode);
    EXPECT_FALSE(s->view.pickerVisible);
    EXPECT_TRUE(s->view.pickerLines.empty());
}

TEST_F(ResendTask, ListsOnlyBackupsOfTheFileTypeWithTheirDates) {
    backup(*s, "K9SITE0001.83P", "1");
    backup(*s, "K9SITE0002.83P", "2");
    backup(*s, "K9SITE0003.DEN", "3");
    s->dialogs.answers = {true};
    s->z->ResendClaims_Click();

    EXPECT_EQ(s->view.label1, "     Recently Submitted Claim Files");
    EXPECT_EQ(s->view.label2, "     Click on the File You Want to Resend");
    EXPECT_EQ(s->view.label3, "File Name        File Submission Date and Time");
    EXPECT_EQ(s->view.pickerTexts(), (QStringList{"K9SITE0001.83P  01/05/2026  9:03:07 AM",
                                                  "K9SITE0002.83P  01/05/2026  9:03:07 AM"}));
    EXPECT_TRUE(s->view.pickerVisible);
    EXPECT_TRUE(s->m.PickerMode.ResendMode && !s->m.PickerMode.DeleteMode &&
                !s->m.PickerMode.ViewMode);
    EXPECT_TRUE(s->view.isEnabled(Control::ResendClaims));
}

TEST_F(ResendTask, NoBackupOfTheTypeSaysSoAndShowsNoPicker) {
    backup(*s, "K9SITE0003.DEN", "3");
    s->dialogs.answers = {true};
    s->z->ResendClaims_Click();
    EXPECT_EQ(s->dialogs.texts().last(), "No Files Found to Resend");
    EXPECT_FALSE(s->view.pickerVisible);
    EXPECT_TRUE(s->view.isEnabled(Control::ResendClaims));
}

TEST_F(ResendTask, PickedFileReplacesTheServerCopyUnderItsOwnName) {
    backup(*s, "K9SITE0001.83P", "the claim");
    QFile stale(s->claimsDir() + "K9SITE0001.83P");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("stale working copy, longer than the claim");
    stale.close();
    s->putServerClaim("K9SITE0001.83P", "older server copy");
    s->writeSeqfile("0001");
    s->view.status = QStringList{"earlier line"};
    s->view.dateTimeText = "unchanged";

    s->dialogs.answers = {true};
    s->z->ResendClaims_Click();
    s->view.status = QStringList{"earlier line"};
    ASSERT_EQ(s->view.pickerLines.size(), 1u);
    s->z->Form5_List1_Click(s->view.pickerLines[0]);

    EXPECT_EQ(s->view.status, (QStringList{"earlier line", "Wake up the SFTP Server!",
                                           "Connecting to ZOD SFTPServer/K9SITE Server",
                                           "Resending File K9SITE0001.83P", ReadyLine}));
    EXPECT_EQ(s->dialogs.texts().size(), 1);  // the warning only
    EXPECT_EQ(s->serverBytes("claims/K9SITE0001.83P"), "the claim");
    EXPECT_EQ(Scenario::bytesOf(s->claimsDir() + "K9SITE0001.83P"), "the claim");
    EXPECT_EQ(s->seqfile(), "0001");
    EXPECT_EQ(s->view.dateTimeText, "unchanged");
    EXPECT_FALSE(s->view.pickerVisible);
    EXPECT_FALSE(s->m.PickerMode.ResendMode);
    EXPECT_GE(s->view.frontCount, 1);
    EXPECT_FALSE(s->logActivities().contains("SendClaims"));
    EXPECT_FALSE(s->logActivities().contains("GetReports"));  // no report run after a resend
}

TEST_F(ResendTask, FailedResendKeepsThePickerForAnotherTry) {
    backup(*s, "K9SITE0001.83P", "the claim");
    s->dialogs.answers = {true};
    s->z->ResendClaims_Click();
    server.failOn("write", "claims/*", 1);
    s->z->Form5_List1_Click(s->view.pickerLines.at(0));

    EXPECT_TRUE(failureShown(s->dialogs, "File Upload Failure. Try once more."));
    EXPECT_TRUE(s->view.pickerVisible);
    EXPECT_TRUE(s->view.isEnabled(Control::ResendClaims));
    EXPECT_EQ(s->serverFiles("claims"), QStringList{});

    s->z->Form5_List1_Click(s->view.pickerLines.at(0));
    EXPECT_EQ(s->serverBytes("claims/K9SITE0001.83P"), "the claim");
    EXPECT_FALSE(s->view.pickerVisible);
    EXPECT_FALSE(s->m.PickerMode.ResendMode);
}

TEST_F(ResendTask, BackupGoneSinceTheListingIsReportedAndNothingIsSent) {
    backup(*s, "K9SITE0001.83P", "the claim");
    s->dialogs.answers = {true};
    s->z->ResendClaims_Click();
    ASSERT_TRUE(QFile::remove(s->backupDir() + "K9SITE0001.83P"));
    s->z->Form5_List1_Click(s->view.pickerLines.at(0));

    EXPECT_EQ(s->dialogs.shown.size(), 2u);
    EXPECT_TRUE(s->dialogs.texts().last().contains("K9SITE0001.83P"));
    EXPECT_EQ(s->serverFiles("claims"), QStringList{});
    EXPECT_EQ(Scenario::localFiles(s->claimsDir()), QStringList{});
    EXPECT_TRUE(s->view.listEnabled);
}

// The Send button stays usable during a resend, whose upload gives the window one
// chance for input: a Send click taken there runs a whole send nested in the resend.
struct ClickDuringInputChance : RecordingView {
    std::function<void()> click;
    void processPendingInput() override {
        ++pendingInputCount;
        if (auto f = std::exchange(click, {})) f();
    }
};

TEST_F(ResendTask, SendClickedDuringTheResendSpoilsNeitherFile) {
    backup(*s, "K9SITE0001.83P", "resent claim");
    s->writeSeqfile("0001");
    s->dropClaim("a.txt", "new claim");
    ClickDuringInputChance view;
    Zuduvor z(s->m, view, view, s->dialogs, s->launcher);
    s->dialogs.answers = {true};
    z.ResendClaims_Click();
    view.click = [&] { z.SendClaims_Click(); };
    z.Form5_List1_Click(view.pickerLines.at(0));

    EXPECT_EQ(s->serverBytes("claims/K9SITE0001.83P"), "resent claim");
    EXPECT_EQ(s->serverBytes("claims/K9SITE0002.83P"), "new claim");
    EXPECT_EQ(s->seqfile(), "0002");
    EXPECT_EQ(s->dialogs.texts().filter("\n"), QStringList{});
}

}  // namespace
}  // namespace zv::test
