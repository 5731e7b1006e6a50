#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "help/help_texts.h"
#include "gui/form2.h"
#include "support/station.h"

namespace zv {
namespace {

using test::setupLine;

// As a click on a drive list entry does.
void chooseDrive(QComboBox* drives, int index) {
    drives->setCurrentIndex(index);
    emit drives->activated(index);
}

void typeInto(QLineEdit* box, const QString& text) {
    box->clear();
    QTest::keyClicks(box, text);
}

struct SetupWindows : ::testing::Test {
    QTemporaryDir dir;
    Module1 m;
    test::RecordingDialogs dialogs;
    QString mainSiteID;
    QPointer<Form2> form2;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        m.Paths.WorkRoot = dir.path() + u'/';
        m.Paths.SetupFile = m.Paths.WorkRoot + "setup.prm";
        m.Paths.SequenceFile = m.Paths.WorkRoot + "seqfile.fil";
        form2 = new Form2(SetupContext{m, dialogs, [this](const QString& s) { mainSiteID = s; }});
    }
    void TearDown() override {
        if (!form2) return;
        delete form2->form3();
        delete form2->form4();
        delete form2;
    }

    Form3* openClaimSetup() {
        form2->Command1_Click();
        return form2->form3();
    }
    Form4* openReportSetup() {
        form2->Command2_Click();
        return form2->form4();
    }
    template <class T = QLineEdit>
    static T* child(QWidget* w, const char* name) {
        T* c = w->findChild<T*>(QString::fromLatin1(name));
        if (!c) ADD_FAILURE() << "no control " << name;
        return c;
    }
    static void discardDeleted() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

// The names of the window's controls that Tab visits, starting at `first`.
QStringList tabOrder(QWidget* window, QWidget* first) {
    QStringList order;
    QWidget* w = first;
    do {
        if (w->focusPolicy() & Qt::TabFocus && w->parentWidget() == window)
            order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != first && order.size() < 20);
    return order;
}

TEST_F(SetupWindows, KeyboardOrderFollowsTheControlTables) {
    EXPECT_EQ(tabOrder(form2, child<QPushButton>(form2, "Command1")),
              QStringList({"Command1", "Command2", "Command3"}));
    Form3* f = openClaimSetup();
    EXPECT_EQ(tabOrder(f, child<QComboBox>(f, "Drive1")),
              QStringList({"Drive1", "Dir1", "FilePathText", "FileNameText", "FileTypeList",
                           "SiteIDText", "PassWordText", "SaveCommand", "FileTypeText",
                           "HelpCommand", "HelpText", "Command1", "FileExt"}));
    Form4* r = openReportSetup();
    EXPECT_EQ(tabOrder(r, child<QComboBox>(r, "Drive1")),
              QStringList(
                  {"Drive1", "Dir1", "Text1", "Command1", "HelpCommand", "HelpText", "Command2"}));
}

TEST_F(SetupWindows, ChooserExitOnlyHides) {
    form2->show();
    child<QPushButton>(form2, "Command3")->click();
    EXPECT_FALSE(form2->isVisible());
    form2->Command1_Click();
    EXPECT_TRUE(form2->form3()->isVisible());
}

TEST_F(SetupWindows, OpeningFillsTheBoxesButNotThePassword) {
    m.Setup = {"/data/claims/", "eclaims.*", "DEN", "DBMS", "abc123", "pw", "/r/"};
    Form3* f = openClaimSetup();
    openClaimSetup();  // twice: the list is refilled, not doubled

    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(child(f, "FilePathText")->text(), "/data/claims/");
    EXPECT_EQ(child(f, "FileNameText")->text(), "eclaims.*");
    EXPECT_EQ(child(f, "SiteIDText")->text(), "ABC123");
    EXPECT_EQ(child(f, "FileTypeText")->text(), "DBMS");
    EXPECT_EQ(child(f, "FileExt")->text(), "DEN");
    EXPECT_EQ(child(f, "PassWordText")->text(), QString());
    EXPECT_EQ(m.Setup.PassWord, "pw");
    EXPECT_EQ(mainSiteID, "ABC123");

    auto* list = child<QListWidget>(f, "FileTypeList");
    EXPECT_EQ(list->count(), 23);
    EXPECT_EQ(list->currentRow(), -1);
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(SetupWindows, ChoosingASoftwareFillsItsDefaults) {
    Form3* f = openClaimSetup();
    auto* list = child<QListWidget>(f, "FileTypeList");

    typeInto(child(f, "FileNameText"), "mine.clm");
    list->setCurrentRow(2);  // Dental 2000
    EXPECT_EQ(child(f, "FileTypeText")->text(), "Dental 2000");
    EXPECT_EQ(child(f, "FilePathText")->text(), "/cdsdata/eclaim");
    EXPECT_EQ(m.Setup.SoftType, "Dental 2000");
    EXPECT_EQ(m.Setup.UserPath, "/cdsdata/eclaim/");
    EXPECT_EQ(m.Setup.UserFile, "eclaim.*");
    EXPECT_EQ(m.Setup.FileType, "NS2");

    // Headings change nothing.
    const SetupParameters before = m.Setup;
    for (int heading : {0, 11}) {
        list->setCurrentRow(heading);
        EXPECT_EQ(m.Setup.SoftType, before.SoftType);
        EXPECT_EQ(m.Setup.UserPath, before.UserPath);
        EXPECT_EQ(child(f, "FileExt")->text(), "NS2");
    }

    list->setCurrentRow(12);  // Avocation: its folder lies under the work root here
    EXPECT_EQ(child(f, "FilePathText")->text(), m.Paths.WorkRoot + "pending");
    EXPECT_EQ(m.Setup.UserPath, m.Paths.WorkRoot + "pending/");
    EXPECT_EQ(m.Setup.FileType, "AVO");

    list->setCurrentRow(21);  // TriTech keeps its capitals and blanks
    EXPECT_EQ(m.Setup.UserPath, "/shared/amazon/Rar_Izaroz/Claim Files/");
}

TEST_F(SetupWindows, TypedValuesAreTrackedAtOnce) {
    Form3* f = openClaimSetup();
    m.Setup.SoftType = "DBMS";

    typeInto(child(f, "SiteIDText"), "XyZ9 ");
    EXPECT_EQ(m.Setup.SiteID, "xyz9");
    EXPECT_EQ(mainSiteID, "XYZ9");
    EXPECT_EQ(child(f, "SiteIDText")->text(), "XyZ9 ");

    typeInto(child(f, "FileExt"), "den");
    EXPECT_EQ(m.Setup.FileType, "DEN");
    EXPECT_EQ(child(f, "FileExt")->text(), "den");

    typeInto(child(f, "PassWordText"), " Secret  ");
    EXPECT_EQ(m.Setup.PassWord, " secret");
    EXPECT_EQ(child(f, "PassWordText")->echoMode(), QLineEdit::Normal);

    typeInto(child(f, "FileTypeText"), "Something else");
    EXPECT_EQ(m.Setup.SoftType, "DBMS");

    typeInto(child(f, "FilePathText"), "/home/claims");
    EXPECT_EQ(m.Setup.UserPath, "/home/claims/");
    child(f, "FilePathText")->clear();
    EXPECT_EQ(m.Setup.UserPath, "/");
}

TEST_F(SetupWindows, SaveWritesTheWholeFileAndCreatesTheSequenceFile) {
    m.Setup.RptPath = "/Reports/Here/";
    Form3* f = openClaimSetup();
    child<QListWidget>(f, "FileTypeList")->setCurrentRow(3);  // Dentrix
    typeInto(child(f, "SiteIDText"), "Ab12");
    typeInto(child(f, "PassWordText"), "PW");
    child<QPushButton>(f, "SaveCommand")->click();

    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Setup has been saved.");
    EXPECT_EQ(dialogs.shown[0].kind, MessageKind::Info);
    const QByteArray expected = setupLine("UserPath", m.Paths.WorkRoot + "user/") +
                                setupLine("UserFile", "*.pdf") + setupLine("FileType", "DTX") +
                                setupLine("SoftType", "DENTRIX") + setupLine("SiteID  ", "ab12") +
                                setupLine("PassWord", "pw") +
                                setupLine("RptPath ", "/Reports/Here/");
    EXPECT_EQ(test::readBytes(m.Paths.SetupFile), expected);
    EXPECT_EQ(test::readBytes(m.Paths.SequenceFile), QByteArray("0000"));
    EXPECT_TRUE(f->isVisible());

    // An existing sequence file is left alone.
    test::writeBytes(m.Paths.SequenceFile, "0042");
    f->SaveCommand_Click();
    EXPECT_EQ(test::readBytes(m.Paths.SequenceFile), QByteArray("0042"));
    EXPECT_EQ(dialogs.shown.size(), 2u);

    // Reopened, the window shows the software as saved, with nothing selected.
    m.Setup.SoftType = "DENTRIX";
    f->Command1_Click();
    openClaimSetup();
    EXPECT_EQ(child(f, "FileTypeText")->text(), "DENTRIX");
    EXPECT_EQ(child<QListWidget>(f, "FileTypeList")->currentRow(), -1);
}

TEST_F(SetupWindows, UnwritableFilesAreReportedInsteadOfTheConfirmation) {
    Form3* f = openClaimSetup();
    const QString missing = dir.path() + "/no such folder/";

    m.Paths.SetupFile = missing + "setup.prm";
    f->SaveCommand_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MessageKind::Failure);
    EXPECT_TRUE(dialogs.shown[0].text.contains("setup.prm"));
    EXPECT_FALSE(QFile::exists(m.Paths.SequenceFile));

    dialogs.clear();
    m.Paths.SetupFile = dir.filePath("setup.prm");
    m.Paths.SequenceFile = missing + "seqfile.fil";
    f->SaveCommand_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MessageKind::Failure);
    EXPECT_TRUE(dialogs.shown[0].text.contains("seqfile.fil"));
    EXPECT_EQ(test::readBytes(m.Paths.SetupFile).size(), 364);

    dialogs.clear();
    Form4* r = openReportSetup();
    m.Paths.SetupFile = missing + "setup.prm";
    r->Command1_Click();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MessageKind::Failure);
}

TEST_F(SetupWindows, ExitKeepsTheWindowAndTitleBarCloseDiscardsIt) {
    Form3* f = openClaimSetup();
    typeInto(child(f, "PassWordText"), "kept");
    f->HelpCommand_Click();
    child<QPushButton>(f, "Command1")->click();  // Exit
    EXPECT_FALSE(f->isVisible());
    EXPECT_TRUE(f->helpBox()->isHidden());

    EXPECT_EQ(openClaimSetup(), f);
    EXPECT_EQ(child(f, "PassWordText")->text(), "kept");

    f->close();
    discardDeleted();
    EXPECT_EQ(form2->form3(), nullptr);
    Form3* fresh = openClaimSetup();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(child(fresh, "PassWordText")->text(), QString());
    EXPECT_EQ(m.Setup.PassWord, "kept");
    EXPECT_TRUE(fresh->helpBox()->isHidden());
}

TEST_F(SetupWindows, ClosingTheChooserLeavesAShowingSetupWindowUsable) {
    Form3* f = openClaimSetup();
    Form4* r = openReportSetup();
    r->Command2_Click();  // hidden: nothing could show it again, so it goes too
    QPointer<Form3> claim = f;
    QPointer<Form4> report = r;
    form2->close();
    discardDeleted();
    EXPECT_TRUE(form2.isNull());
    EXPECT_TRUE(report.isNull());
    ASSERT_FALSE(claim.isNull());
    typeInto(child(claim, "FileNameText"), "late.clm");
    EXPECT_EQ(m.Setup.UserFile, "late.clm");
    claim->Command1_Click();  // Exit now discards it
    discardDeleted();
    EXPECT_TRUE(claim.isNull());
}

TEST_F(SetupWindows, HelpButtonTogglesTheHelpBox) {
    Form3* f = openClaimSetup();
    QPlainTextEdit* help = f->helpBox();
    EXPECT_TRUE(help->isHidden());
    QString expected = claimSetupHelpText();
    expected.replace("\r\n", "\n");

    child<QPushButton>(f, "HelpCommand")->click();
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->toPlainText(), expected);
    f->HelpCommand_Click();
    EXPECT_TRUE(help->isHidden());
    f->HelpCommand_Click();
    EXPECT_EQ(help->toPlainText(), expected);
    // A click on the "Select Path to Claim File" heading puts the help away.
    QTest::mouseClick(child<QLabel>(f, "Label5"), Qt::LeftButton);
    EXPECT_TRUE(help->isHidden());

    Form4* r = openReportSetup();
    r->HelpCommand_Click();
    EXPECT_EQ(r->helpBox()->toPlainText(), reportSetupHelpText().replace("\r\n", "\n"));
    QTest::mouseClick(child<QLabel>(r, "Label2"), Qt::LeftButton);
    EXPECT_TRUE(r->helpBox()->isHidden());
}

TEST_F(SetupWindows, ReportSetupTracksAndSavesTheFolderWithItsCase) {
    m.Setup = {"/c/", "a.*", "DEN", "DBMS", "site", "pw", "/old/"};
    Form4* r = openReportSetup();
    QLineEdit* text1 = child(r, "Text1");
    EXPECT_EQ(text1->text(), "/old/");

    typeInto(text1, "/Practice/Reports");
    EXPECT_EQ(m.Setup.RptPath, "/Practice/Reports/");
    // Claim setup edits made meanwhile are saved from memory too.
    m.Setup.UserFile = "b.*";
    m.Setup.RptPath.clear();
    child<QPushButton>(r, "Command1")->click();

    ASSERT_EQ(dialogs.texts(), QStringList{"Setup has been saved"});
    EXPECT_EQ(m.Setup.RptPath, "/Practice/Reports/");
    const QByteArray file = test::readBytes(m.Paths.SetupFile);
    EXPECT_EQ(file.size(), 364);
    EXPECT_EQ(file.mid(6 * 52), setupLine("RptPath ", "/Practice/Reports/"));
    EXPECT_EQ(file.mid(52, 52), setupLine("UserFile", "b.*"));
    EXPECT_FALSE(QFile::exists(m.Paths.SequenceFile));
}

TEST_F(SetupWindows, FolderListsFillThePathBoxes) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("Claims Here/sub"));
    const QString folder = dir.filePath("Claims Here");
    Form3* f = openClaimSetup();
    FolderLists& lists = f->folderLists();
    EXPECT_EQ(lists.path(), QDir::currentPath());
    EXPECT_EQ(child(f, "FilePathText")->text(), QString());  // not moved by opening

    ASSERT_TRUE(lists.setPath(folder));
    EXPECT_EQ(child(f, "FilePathText")->text(), folder);
    EXPECT_EQ(m.Setup.UserPath, folder + u'/');

    // The list shows the way down and the sub-folders; activating one moves there.
    QListWidget* dirList = child<QListWidget>(f, "Dir1");
    QListWidgetItem* sub = dirList->findItems("sub", Qt::MatchEndsWith).value(0);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(dirList->currentItem()->text().trimmed(), "Claims Here");
    emit dirList->itemActivated(sub);
    QCoreApplication::processEvents();
    EXPECT_EQ(m.Setup.UserPath, folder + "/sub/");

    // The top of the file system gets no second "/".
    ASSERT_TRUE(lists.setPath("/"));
    EXPECT_EQ(m.Setup.UserPath, "/");

    // A folder that cannot be read is reported; the list stays where it was.
    EXPECT_FALSE(lists.setPath(dir.filePath("gone")));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MessageKind::Failure);
    EXPECT_TRUE(dialogs.shown[0].text.contains("gone"));
    EXPECT_EQ(lists.path(), "/");
    EXPECT_EQ(m.Setup.UserPath, "/");

    // Same lists in the report setup.
    Form4* r = openReportSetup();
    ASSERT_TRUE(r->folderLists().setPath(folder));
    EXPECT_EQ(child(r, "Text1")->text(), folder);
    EXPECT_EQ(m.Setup.RptPath, folder + u'/');
}

TEST_F(SetupWindows, DriveListOffersVolumesAndSurvivesAMissingOne) {
    Form3* f = openClaimSetup();
    QComboBox* drives = child<QComboBox>(f, "Drive1");
    ASSERT_GE(drives->count(), 1);
    EXPECT_EQ(drives->itemText(0), "/");
    QStringList seen;
    for (int i = 0; i < drives->count(); ++i) {
        EXPECT_FALSE(seen.contains(drives->itemText(i)));
        seen << drives->itemText(i);
    }

    ASSERT_TRUE(f->folderLists().setPath(dir.path()));
    chooseDrive(drives, 0);
    EXPECT_EQ(f->folderLists().path(), "/");
    EXPECT_EQ(m.Setup.UserPath, "/");

    // A volume that went away between listing and choosing.
    drives->addItem(dir.filePath("unplugged"));
    dialogs.clear();
    chooseDrive(drives, drives->count() - 1);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains("unplugged"));
    EXPECT_EQ(drives->currentIndex(), 0);
    EXPECT_EQ(f->folderLists().path(), "/");
}

}  // namespace
}  // namespace zv
