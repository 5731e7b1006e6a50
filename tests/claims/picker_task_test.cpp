// The claim file picker's click handler and its modes, with the real tasks behind it.
#include <gtest/gtest.h>

#include <QFile>

#include "support/scenario.h"

namespace zv::test {
namespace {

using PickerTask = ScenarioTest;

TEST_F(PickerTask, LineWithoutBlankNamesNoFileInAnyMode) {
    for (PickerModeFlags mode :
         {PickerModeFlags{.ResendMode = true}, PickerModeFlags{.DeleteMode = true},
          PickerModeFlags{.ViewMode = true}}) {
        s->m.PickerMode = mode;
        s->m.ClaimName = "BEFORE";
        s->dialogs.clear();
        s->z->Form5_List1_Click({"NOBLANK.83P", "NOBLANK.83P"});
        EXPECT_EQ(s->dialogs.texts(), QStringList{"Can't Copy Backup File"});
        EXPECT_EQ(s->m.ClaimName, "BEFORE");
        EXPECT_EQ(s->m.PickerMode.ResendMode, mode.ResendMode);
        EXPECT_EQ(s->m.PickerMode.DeleteMode, mode.DeleteMode);
        EXPECT_EQ(s->m.PickerMode.ViewMode, mode.ViewMode);
        EXPECT_FALSE(s->m.PickerCallback);
        EXPECT_TRUE(s->view.listEnabled);
    }
    EXPECT_TRUE(s->view.status == QStringList{ReadyLine});
    EXPECT_TRUE(s->launcher.opened.isEmpty());
}

TEST_F(PickerTask, ServerNameWithBlanksIsDeletedWhole) {
    s->putServerClaim("A B.83P", "12345");
    s->putServerClaim("A", "must stay");
    s->z->DeleteClaimFiles_Click();
    const auto& lines = s->view.pickerLines;
    const auto it = std::find_if(lines.begin(), lines.end(),
                                 [](const PickerLine& l) { return l.text == "A B.83P   5"; });
    ASSERT_NE(it, lines.end()) << s->view.pickerTexts().join(" | ").toStdString();
    s->z->Form5_List1_Click(*it);
    EXPECT_EQ(s->serverFiles("claims"), QStringList{"A"});
    EXPECT_TRUE(s->view.status.contains("File A B.83P Deleted."));
}

TEST_F(PickerTask, OpeningForAnotherTaskAfterExitLeavesOnlyThatTasksMode) {
    QFile b(s->backupDir() + "K9SITE0001.83P");
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write("backup~");
    b.close();
    s->putServerClaim("K9SITE0001.83P", "waiting");

    s->dialogs.answers = {true};
    s->z->ResendClaims_Click();
    ASSERT_TRUE(s->view.pickerVisible);
    s->z->Form5_Command1_Click();
    EXPECT_FALSE(s->view.pickerVisible);
    EXPECT_TRUE(s->m.PickerMode.ResendMode);  // Exit changes no flag

    s->z->DeleteClaimFiles_Click();
    EXPECT_TRUE(!s->m.PickerMode.ResendMode && s->m.PickerMode.DeleteMode &&
                !s->m.PickerMode.ViewMode);
    ASSERT_EQ(s->view.pickerLines.size(), 1u);
    s->z->Form5_List1_Click(s->view.pickerLines[0]);
    EXPECT_EQ(s->serverFiles("claims"), QStringList{});  // deleted, not resent
    EXPECT_FALSE(s->view.status.filter("Resending").size());

    // And a viewing after a deletion opening left with Exit only views.
    s->putServerClaim("K9SITE0001.83P", "waiting again");
    s->z->DeleteClaimFiles_Click();
    s->z->Form5_Command1_Click();
    s->z->ViewClaims_Click();
    EXPECT_TRUE(!s->m.PickerMode.DeleteMode && s->m.PickerMode.ViewMode);
    s->z->Form5_List1_Click(s->view.pickerLines.at(0));
    EXPECT_EQ(s->serverFiles("claims"), QStringList{"K9SITE0001.83P"});
    EXPECT_EQ(s->launcher.opened, QStringList{s->workRoot() + "claim.txt"});
    EXPECT_EQ(Scenario::bytesOf(s->workRoot() + "claim.txt"), "backup\r\n");
}

TEST_F(PickerTask, NormalSendHidesAShowingPicker) {
    s->z->DeleteClaimFiles_Click();
    ASSERT_TRUE(s->view.pickerVisible);
    s->z->SendClaims_Click();
    EXPECT_FALSE(s->view.pickerVisible);
}

}  // namespace
}  // namespace zv::test
