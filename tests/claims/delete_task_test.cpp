// Deleting a claim file that still waits on the server, through the picker.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

using DeleteTask = StationTest;

TEST_F(DeleteTask, ListsWaitingFilesWithSizesAndDeletesThePickedOneOnTheServerOnly) {
    writeBytes(account.claimsDir() + "A.83P", QByteArray(1234, 'a'));
    writeBytes(account.claimsDir() + "B.83P", "");
    st.putBackup("A.83P", "a");
    st.z().DeleteClaimFiles_Click();

    EXPECT_EQ(st.view.label1, " Claim Files Waiting to be Processed");
    EXPECT_EQ(st.view.label2, "      Click on the File You Want to Delete");
    EXPECT_EQ(st.view.label3, "File Name        File Size");
    QStringList lines = st.view.pickerTexts();
    lines.sort();  // the server's order is its own
    EXPECT_EQ(lines, (QStringList{"A.83P   1234", "B.83P   0"}));
    EXPECT_TRUE(st.view.pickerVisible);
    EXPECT_TRUE(st.dialogs.shown.empty());
    EXPECT_TRUE(st.m.PickerMode.DeleteMode);
    // The listing writes no status line of its own and no log line.
    EXPECT_EQ(st.view.status,
              (QStringList{ReadyLine, "Connecting to ZOD SFTPServer/K9SITE Server"}));
    EXPECT_EQ(st.logActivities(), QStringList{"Start DADEDIRUred"});
    // An open session is used again.
    st.z().DeleteClaimFiles_Click();
    EXPECT_EQ(st.view.status.size(), 2);

    st.view.status.clear();
    st.pick("A.83P");
    EXPECT_EQ(st.view.status, (QStringList{"File A.83P Deleted.", ReadyLine}));
    EXPECT_EQ(namesIn(account.claimsDir()), QStringList{"B.83P"});
    EXPECT_EQ(readBytes(st.backupDir() + "A.83P"), "a");
    EXPECT_FALSE(st.view.pickerVisible);
    EXPECT_FALSE(st.m.PickerMode.DeleteMode);
    EXPECT_TRUE(st.m.DeleteClaimName.isEmpty());
    EXPECT_FALSE(st.m.PickerCallback);
    EXPECT_TRUE(st.view.listEnabled);
}

TEST_F(DeleteTask, RefusedRemovalKeepsThePickerForASecondTry) {
    writeBytes(account.claimsDir() + "A.83P", "a");
    server.failOn("remove", "claims/A.83P", 1);
    st.z().DeleteClaimFiles_Click();
    st.pick("A.83P");

    EXPECT_TRUE(st.failureShown("Unable to Delete File."));
    EXPECT_TRUE(st.view.pickerVisible);
    EXPECT_TRUE(st.m.PickerMode.DeleteMode);
    EXPECT_EQ(st.m.DeleteClaimName, "A.83P");
    EXPECT_EQ(namesIn(account.claimsDir()), QStringList{"A.83P"});

    st.pick("A.83P");
    EXPECT_TRUE(namesIn(account.claimsDir()).isEmpty());
    EXPECT_TRUE(st.view.status.contains("File A.83P Deleted."));
}

TEST_F(DeleteTask, EmptyDirectorySaysSoThenShowsAnEmptyPicker) {
    st.z().DeleteClaimFiles_Click();
    EXPECT_EQ(st.dialogs.texts(), QStringList{"No Claim Files Found to Delete."});
    EXPECT_TRUE(st.view.pickerVisible);
    EXPECT_TRUE(st.view.pickerLines.empty());
    EXPECT_EQ(st.view.label1, " Claim Files Waiting to be Processed");
}

TEST_F(DeleteTask, SessionClosedByTheServerSinceIsOpenedAgain) {
    writeBytes(account.claimsDir() + "A.83P", "a");
    st.z().DeleteClaimFiles_Click();
    ASSERT_TRUE(st.z().SessionOpen);
    ASSERT_TRUE(server.restart());  // the kept session is gone

    st.view.pickerLines.clear();
    st.z().DeleteClaimFiles_Click();
    EXPECT_TRUE(st.dialogs.shown.empty()) << st.allMessages().toStdString();
    EXPECT_EQ(st.view.pickerTexts(), QStringList{"A.83P   1"});
}

}  // namespace
}  // namespace zv::test
