// Viewing a submitted claim: the listing, the 837 conversion into claim.txt, the opener.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

struct ViewTask : StationTest {
    // The listing, then a click on the line of `name`.
    void view(const QString& name) {
        st.z().ViewClaims_Click();
        st.dialogs.clear();
        st.pick(name);
    }
    void expectViewingEnded() {
        EXPECT_EQ(st.view.status, QStringList{ReadyLine});
        EXPECT_FALSE(st.m.PickerMode.ViewMode);
        EXPECT_TRUE(st.m.ViewClaimName.isEmpty());
        EXPECT_FALSE(st.view.pickerVisible);
        EXPECT_TRUE(st.view.isEnabled(Control::ViewClaims));
    }
};

TEST_F(ViewTask, EmptyBackupFolderSaysWhereItLookedThenEveryBackupIsListed) {
    st.z().ViewClaims_Click();
    EXPECT_EQ(st.dialogs.texts(), QStringList{"No Claim Files found at " + st.backupDir()});
    EXPECT_TRUE(st.view.pickerVisible);
    EXPECT_TRUE(st.view.pickerLines.empty());
    EXPECT_TRUE(st.m.PickerMode.ViewMode);
    EXPECT_TRUE(st.view.isEnabled(Control::ViewClaims));
    EXPECT_EQ(st.view.status.last(), ReadyLine);

    st.putBackup("K9SITE0001.83P", "x");
    st.putBackup("K9SITE0002.ECP", "y");
    st.view.status.clear();
    st.z().ViewClaims_Click();
    EXPECT_EQ(st.view.label1, "     Resently Submitted Claim Files");
    EXPECT_EQ(st.view.label2, "        Click on the File You want to View");
    EXPECT_EQ(st.view.label3, "File Name        File Submission Date and Time");
    EXPECT_EQ(st.view.pickerTexts(), (QStringList{"K9SITE0001.83P   01/05/2026  9:03:07 AM",
                                                  "K9SITE0002.ECP   01/05/2026  9:03:07 AM"}));
    EXPECT_EQ(st.view.status, QStringList{ReadyLine});
}

TEST_F(ViewTask, ClaimOf837TypeIsSplitIntoSegmentLinesOthersOpenAsTheyAre) {
    st.putBackup("K9SITE0001.83P", "AB~CD~EF~\r\n");
    view("K9SITE0001.83P");
    EXPECT_EQ(readBytes(st.claimText()), "AB\r\nCD\r\nEF\r\n");
    EXPECT_EQ(st.launcher.opened, QStringList{st.claimText()});
    EXPECT_TRUE(st.dialogs.shown.empty());
    expectViewingEnded();

    // A second viewing starts from a clean state.
    st.putBackup("K9SITE0002.83D", "~~X~");
    view("K9SITE0002.83D");
    EXPECT_EQ(readBytes(st.claimText()), "\r\n\r\nX\r\n");

    st.putBackup("K9SITE0003.ECP", "AB~CD~");
    view("K9SITE0003.ECP");
    EXPECT_EQ(st.launcher.opened.last(), st.backupDir() + "K9SITE0003.ECP");
    EXPECT_EQ(readBytes(st.claimText()), "\r\n\r\nX\r\n");
    expectViewingEnded();
}

TEST_F(ViewTask, VanishedBackupOrFailedOpenerIsReportedAndClaimTextKept) {
    writeBytes(st.claimText(), "earlier");
    for (const QString name : {"K9SITE0001.83P", "K9SITE0002.ECP"}) {
        st.putBackup(name, "AB~");
        st.z().ViewClaims_Click();
        ASSERT_TRUE(QFile::remove(st.backupDir() + name));
        st.dialogs.clear();
        st.pick(name);
        EXPECT_EQ(st.dialogs.shown.size(), 1u) << name.toStdString();
        EXPECT_TRUE(st.dialogs.texts().value(0).contains(name));
        EXPECT_TRUE(st.launcher.opened.isEmpty());
        EXPECT_EQ(readBytes(st.claimText()), "earlier");
        expectViewingEnded();
    }

    st.putBackup("K9SITE0003.83P", "AB~");
    st.launcher.succeed = false;
    view("K9SITE0003.83P");
    ASSERT_EQ(st.dialogs.shown.size(), 1u);
    EXPECT_TRUE(st.dialogs.texts()[0].contains(st.claimText()));
    EXPECT_EQ(readBytes(st.claimText()), "AB\r\n");
    expectViewingEnded();
}

}  // namespace
}  // namespace zv::test
