// Viewing a submitted claim: the listing, the 837 conversion into claim.txt, the opener.
#include <gtest/gtest.h>

#include <QFile>

#include "support/scenario.h"

namespace zv::test {
namespace {

struct ViewTask : ScenarioTest {
    void backup(const QString& name, const QByteArray& bytes) {
        QFile f(s->backupDir() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.flush();
        ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2026, 1, 5), QTime(9, 3, 7)),
                                  QFileDevice::FileModificationTime));
    }
    void writeClaimText(const QByteArray& bytes) {
        QFile f(claimText());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString claimText() const { return s->workRoot() + "claim.txt"; }
    // Stage 1, then a click on the line of `name`.
    void view(const QString& name) {
        s->z->ViewClaims_Click();
        for (const auto& l : s->view.pickerLines)
            if (l.name == name) return s->z->Form5_List1_Click(l);
        ADD_FAILURE() << "no line for " << name.toStdString();
    }
    void expectStage2Completed() {
        EXPECT_EQ(s->view.status, QStringList{ReadyLine});
        EXPECT_FALSE(s->m.PickerMode.ViewMode);
        EXPECT_TRUE(s->m.ViewClaimName.isEmpty());
        EXPECT_FALSE(s->view.pickerVisible);
        EXPECT_TRUE(s->view.isEnabled(Control::ViewClaims));
    }
};

TEST_F(ViewTask, ListsEveryBackupWithItsDateUnderTheViewingHeadings) {
    backup("K9SITE0001.83P", "x");
    backup("K9SITE0002.ECP", "y");
    s->z->ViewClaims_Click();
    EXPECT_EQ(s->view.label1, "     Resently Submitted Claim Files");
    EXPECT_EQ(s->view.label2, "        Click on the File You want to View");
    EXPECT_EQ(s->view.label3, "File Name        File Submission Date and Time");
    EXPECT_EQ(s->view.pickerTexts(), (QStringList{"K9SITE0001.83P   01/05/2026  9:03:07 AM",
                                                  "K9SITE0002.ECP   01/05/2026  9:03:07 AM"}));
    EXPECT_TRUE(s->view.pickerVisible);
    EXPECT_EQ(s->view.status, (QStringList{ReadyLine, ReadyLine}));
}

TEST_F(ViewTask, ClaimOf837TypeIsSplitIntoSegmentLines) {
    backup("K9SITE0001.83P", "AB~CD~EF~\r\n");
    view("K9SITE0001.83P");
    EXPECT_EQ(Scenario::bytesOf(claimText()), "AB\r\nCD\r\nEF\r\n");
    EXPECT_EQ(s->launcher.opened, QStringList{claimText()});
    EXPECT_TRUE(s->dialogs.shown.empty());
    expectStage2Completed();

    // A second viewing starts from a clean state.
    backup("K9SITE0002.83D", "~~X~");
    view("K9SITE0002.83D");
    EXPECT_EQ(Scenario::bytesOf(claimText()), "\r\n\r\nX\r\n");
}

TEST_F(ViewTask, OtherTypesOpenTheBackupItselfAndLeaveClaimTextAlone) {
    writeClaimText("earlier");
    backup("K9SITE0001.ECP", "AB~CD~");
    view("K9SITE0001.ECP");
    EXPECT_EQ(s->launcher.opened, QStringList{s->backupDir() + "K9SITE0001.ECP"});
    EXPECT_EQ(Scenario::bytesOf(claimText()), "earlier");
    expectStage2Completed();
}

TEST_F(ViewTask, EmptyBackupFolderSaysWhereItLookedAndShowsAnEmptyPicker) {
    s->z->ViewClaims_Click();
    EXPECT_EQ(s->dialogs.texts(), QStringList{"No Claim Files found at " + s->backupDir()});
    EXPECT_TRUE(s->view.pickerVisible);
    EXPECT_TRUE(s->view.pickerLines.empty());
    EXPECT_TRUE(s->m.PickerMode.ViewMode);
    EXPECT_TRUE(s->view.isEnabled(Control::ViewClaims));
    EXPECT_EQ(s->view.status.last(), ReadyLine);
}

TEST_F(ViewTask, VanishedBackupIsReportedAndClaimTextKept) {
    writeClaimText("earlier");
    for (const QString name : {"K9SITE0001.83P", "K9SITE0002.ECP"}) {
        backup(name, "AB~");
        s->z->ViewClaims_Click();
        ASSERT_TRUE(QFile::remove(s->backupDir() + name));
        s->dialogs.clear();
        s->z->Form5_List1_Click(s->view.pickerLines.at(0));
        EXPECT_EQ(s->dialogs.shown.size(), 1u) << name.toStdString();
        EXPECT_TRUE(s->dialogs.texts().value(0).contains(name));
        EXPECT_TRUE(s->launcher.opened.isEmpty());
        EXPECT_EQ(Scenario::bytesOf(claimText()), "earlier");
        expectStage2Completed();
    }
}

TEST_F(ViewTask, OpenerThatCannotStartIsReportedAndStageTwoCompletes) {
    backup("K9SITE0001.83P", "AB~");
    s->launcher.succeed = false;
    view("K9SITE0001.83P");
    ASSERT_EQ(s->dialogs.shown.size(), 1u);
    EXPECT_TRUE(s->dialogs.texts()[0].contains(claimText()));
    EXPECT_EQ(Scenario::bytesOf(claimText()), "AB\r\n");
    expectStage2Completed();
}

}  // namespace
}  // namespace zv::test
