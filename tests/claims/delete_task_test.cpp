// Deleting a claim file that still waits on the server, through the picker.
#include <gtest/gtest.h>

#include <QFile>

#include "support/scenario.h"

namespace zv::test {
namespace {

using DeleteTask = ScenarioTest;

const PickerLine* lineFor(const RecordingView& v, const QString& name) {
    for (const auto& l : v.pickerLines)
        if (l.name == name) return &l;
    return nullptr;
}

TEST_F(DeleteTask, ListsWaitingFilesWithSizesUnderTheDeletionHeadings) {
    s->putServerClaim("A.83P", QByteArray(1234, 'a'));
    s->putServerClaim("B.83P", "");
    s->z->DeleteClaimFiles_Click();

    EXPECT_EQ(s->view.label1, " Claim Files Waiting to be Processed");
    EXPECT_EQ(s->view.label2, "      Click on the File You Want to Delete");
    EXPECT_EQ(s->view.label3, "File Name        File Size");
    QStringList lines = s->view.pickerTexts();
    lines.sort();  // the server's order is its own
    EXPECT_EQ(lines, (QStringList{"A.83P   1234", "B.83P   0"}));
    EXPECT_TRUE(s->view.pickerVisible);
    EXPECT_TRUE(s->dialogs.shown.empty());
    EXPECT_TRUE(s->m.PickerMode.DeleteMode);
    // Stage 1 writes no status line of its own and no log line.
    EXPECT_EQ(s->view.status,
              (QStringList{ReadyLine, "Connecting to ZOD SFTPServer/K9SITE Server"}));
    EXPECT_EQ(s->logActivities(), QStringList{"Start DADEDIRUred"});

    // An open session is used again.
    s->z->DeleteClaimFiles_Click();
    EXPECT_EQ(s->view.status.size(), 2);
}

TEST_F(DeleteTask, PickedFileIsDeletedOnTheServerOnly) {
    s->putServerClaim("A.83P", "a");
    s->putServerClaim("B.83P", "b");
    QFile backup(s->backupDir() + "A.83P");
    ASSERT_TRUE(backup.open(QIODevice::WriteOnly));
    backup.close();
    s->z->DeleteClaimFiles_Click();
    s->view.status.clear();
    ASSERT_TRUE(lineFor(s->view, "A.83P"));
    s->z->Form5_List1_Click(*lineFor(s->view, "A.83P"));

    EXPECT_EQ(s->view.status, (QStringList{"File A.83P Deleted.", ReadyLine}));
    EXPECT_EQ(s->serverFiles("claims"), QStringList{"B.83P"});
    EXPECT_TRUE(QFileInfo::exists(s->backupDir() + "A.83P"));
    EXPECT_FALSE(s->view.pickerVisible);
    EXPECT_FALSE(s->m.PickerMode.DeleteMode);
    EXPECT_TRUE(s->m.DeleteClaimName.isEmpty());
    EXPECT_FALSE(s->m.PickerCallback);
    EXPECT_TRUE(s->view.listEnabled);
}

TEST_F(DeleteTask, RefusedRemovalKeepsThePickerForASecondTry) {
    s->putServerClaim("A.83P", "a");
    server.failOn("remove", "claims/A.83P", 1);
    s->z->DeleteClaimFiles_Click();
    const PickerLine line = *lineFor(s->view, "A.83P");
    s->z->Form5_List1_Click(line);

    EXPECT_TRUE(failureShown(s->dialogs, "Unable to Delete File."));
    EXPECT_TRUE(s->view.pickerVisible);
    EXPECT_TRUE(s->m.PickerMode.DeleteMode);
    EXPECT_EQ(s->m.DeleteClaimName, "A.83P");
    EXPECT_EQ(s->serverFiles("claims"), QStringList{"A.83P"});

    s->z->Form5_List1_Click(line);
    EXPECT_EQ(s->serverFiles("claims"), QStringList{});
    EXPECT_TRUE(s->view.status.contains("File A.83P Deleted."));
}

TEST_F(DeleteTask, EmptyDirectorySaysSoThenShowsAnEmptyPicker) {
    s->z->DeleteClaimFiles_Click();
    EXPECT_EQ(s->dialogs.texts(), QStringList{"No Claim Files Found to Delete."});
    EXPECT_TRUE(s->view.pickerVisible);
    EXPECT_TRUE(s->view.pickerLines.empty());
    EXPECT_EQ(s->view.label1, " Claim Files Waiting to be Processed");
}

TEST_F(DeleteTask, DirectoryThatCannotBeOpenedShowsNoPicker) {
    s->putServerClaim("A.83P", "a");
    server.failOn("opendir", "claims");
    s->z->DeleteClaimFiles_Click();
    EXPECT_TRUE(failureShown(s->dialogs, "Error Opening SFTP Claims Directory. Call ZOD."));
    EXPECT_EQ(s->dialogs.shown.size(), 1u);
    EXPECT_FALSE(s->view.pickerVisible);
}

TEST_F(DeleteTask, SessionClosedByTheServerSinceIsOpenedAgain) {
    s->putServerClaim("A.83P", "a");
    s->z->DeleteClaimFiles_Click();
    ASSERT_TRUE(s->z->SessionOpen);
    ASSERT_TRUE(server.restart());  // the kept session is gone

    s->view.pickerLines.clear();
    s->z->DeleteClaimFiles_Click();
    EXPECT_TRUE(s->dialogs.shown.empty()) << s->dialogs.texts().join("|").toStdString();
    EXPECT_EQ(s->view.pickerTexts(), QStringList{"A.83P   1"});
}

}  // namespace
}  // namespace zv::test
