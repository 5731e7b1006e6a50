// The claim file picker's click handler and its modes, with the real tasks behind it.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

using PickerTask = StationTest;

TEST_F(PickerTask, LineWithoutBlankNamesNoFileInAnyMode) {
    for (PickerModeFlags mode :
         {PickerModeFlags{.ResendMode = true}, PickerModeFlags{.DeleteMode = true},
          PickerModeFlags{.ViewMode = true}}) {
        st.m.PickerMode = mode;
        st.m.ClaimName = "BEFORE";
        st.dialogs.clear();
        st.z().Form5_List1_Click({"NOBLANK.83P", "NOBLANK.83P"});
        EXPECT_EQ(st.dialogs.texts(), QStringList{"Can't Copy Backup File"});
        EXPECT_EQ(st.m.ClaimName, "BEFORE");
        EXPECT_EQ(st.m.PickerMode.ResendMode, mode.ResendMode);
        EXPECT_EQ(st.m.PickerMode.DeleteMode, mode.DeleteMode);
        EXPECT_EQ(st.m.PickerMode.ViewMode, mode.ViewMode);
        EXPECT_FALSE(st.m.PickerCallback);
        EXPECT_TRUE(st.view.listEnabled);
    }
    EXPECT_EQ(st.view.status, QStringList{ReadyLine});
    EXPECT_TRUE(st.launcher.opened.isEmpty());
}

TEST_F(PickerTask, OpeningForAnotherTaskAfterExitLeavesOnlyThatTasksMode) {
    st.putBackup("K9SITE0001.83P", "backup~");
    writeBytes(account.claimsDir() + "K9SITE0001.83P", "waiting");

    st.dialogs.answers = {true};
    st.z().ResendClaims_Click();
    ASSERT_TRUE(st.view.pickerVisible);
    st.z().Form5_Command1_Click();
    EXPECT_FALSE(st.view.pickerVisible);
    EXPECT_TRUE(st.m.PickerMode.ResendMode);  // Exit changes no flag

    st.z().DeleteClaimFiles_Click();
    EXPECT_TRUE(!st.m.PickerMode.ResendMode && st.m.PickerMode.DeleteMode &&
                !st.m.PickerMode.ViewMode);
    st.pick("K9SITE0001.83P");
    EXPECT_TRUE(namesIn(account.claimsDir()).isEmpty());  // deleted, not resent
    EXPECT_TRUE(st.view.status.filter("Resending").isEmpty());

    // And a viewing after a deletion opening left with Exit only views.
    writeBytes(account.claimsDir() + "K9SITE0001.83P", "waiting again");
    st.z().DeleteClaimFiles_Click();
    st.z().Form5_Command1_Click();
    st.z().ViewClaims_Click();
    EXPECT_TRUE(!st.m.PickerMode.DeleteMode && st.m.PickerMode.ViewMode);
    st.pick("K9SITE0001.83P");
    EXPECT_EQ(namesIn(account.claimsDir()), QStringList{"K9SITE0001.83P"});
    EXPECT_EQ(st.launcher.opened, QStringList{st.claimText()});
    EXPECT_EQ(readBytes(st.claimText()), "backup\r\n");

    // A send hides a showing picker.
    st.z().DeleteClaimFiles_Click();
    ASSERT_TRUE(st.view.pickerVisible);
    st.z().SendClaims_Click();
    EXPECT_FALSE(st.view.pickerVisible);
}

}  // namespace
}  // namespace zv::test
