// The setup windows' behaviour: every typed value is in force at once, Save writes it
// and says so or says why not, the folder lists point the path boxes, and closing the
// windows in any order leaves nothing dangling.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

#include "gui/form2.h"
#include "setup/setup_file.h"
#include "support/recorders.h"

using namespace zv;
using P = SetupParameters;
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

struct SetupWindows : ::testing::Test {
    QTemporaryDir dir;
    Module1 m;
    test::RecordingDialogs dialogs;
    QString shownSite;
    QPointer<Form2> form2 = new Form2({m, dialogs, [this](const QString& s) { shownSite = s; }});
    SetupWindows() {
        m.Paths.WorkRoot = dir.path() + "/";
        m.Paths.SetupFile = dir.filePath("setup.prm");
        m.Paths.SequenceFile = dir.filePath("seqfile.fil");
    }
    ~SetupWindows() override {
        if (form2) delete form2->form3(), delete form2->form4(), delete form2;
    }
    Form3* claim() { return form2->Command1_Click(), form2->form3(); }
    Form4* report() { return form2->Command2_Click(), form2->form4(); }
    template <class T = QLineEdit>
    T* in(QWidget* window, const char* name) {
        return window->findChild<T*>(name);
    }
    void type(QWidget* window, const char* box, const QString& text) {
        in(window, box)->clear();
        QTest::keyClicks(in(window, box), text);
    }
    void click(QWidget* window, const char* button) { in<QPushButton>(window, button)->click(); }
    QString lastMessage() { return dialogs.shown.empty() ? "" : dialogs.shown.back().text; }
    QByteArray saved() {
        QFile f(m.Paths.SetupFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : "<missing>";
    }
};

TEST_F(SetupWindows, TypedValuesAreInForceAtOnceButThePasswordIsNeverShown) {
    m.Setup = {"/data/claims/", "eclaims.*", "DEN", "DBMS", "abc123", "pw", "/r/"};
    Form3* f = claim();
    EXPECT_EQ(claim(), f);
    EXPECT_EQ(in(f, "FilePathText")->text() + in(f, "PassWordText")->text(), "/data/claims/");
    EXPECT_EQ(in<QListWidget>(f, "FileTypeList")->count(), 23) << "refilled, not doubled";
    // clang-format off
    const std::tuple<const char*, QString, QString P::*, QString> rows[] = {
        {"SiteIDText", "XyZ9 ", &P::SiteID, "xyz9"},    {"FileExt", "den", &P::FileType, "DEN"},
        {"PassWordText", " Secret  ", &P::PassWord, " secret"},
        {"FileTypeText", "Other", &P::SoftType, "DBMS"}, {"FileNameText", "a.clm ", &P::UserFile, "a.clm"},
        {"FilePathText", "/home/c", &P::UserPath, "/home/c/"}, {"FilePathText", "/", &P::UserPath, "/"},
        {"FilePathText", "", &P::UserPath, "/"}};
    // clang-format on
    for (const auto& [box, typed, field, value] : rows) {
        type(f, box, typed);
        EXPECT_EQ(m.Setup.*field, value) << box;
    }
    EXPECT_EQ(shownSite, "XYZ9");
    type(report(), "Text1", "/Practice/Reports");
    EXPECT_EQ(m.Setup.RptPath, "/Practice/Reports/");
}

TEST_F(SetupWindows, ASoftwareBringsItsDefaultsAndAHeadingNothing) {
    auto* list = in<QListWidget>(claim(), "FileTypeList");
    list->setCurrentRow(12);  // Avocation: its folder lies under the work root here
    EXPECT_EQ(m.Setup.UserPath + m.Setup.FileType, m.Paths.WorkRoot + "pending/AVO");
    const QByteArray before = formatSetupFile(m.Setup);
    for (int heading : {0, 11}) list->setCurrentRow(heading);
    EXPECT_EQ(formatSetupFile(m.Setup), before);
}

TEST_F(SetupWindows, SaveWritesTheFileAndSaysSoOrWhy) {
    Form3* f = claim();
    type(f, "SiteIDText", "Ab12");
    click(f, "SaveCommand");
    EXPECT_EQ(lastMessage(), "Setup has been saved.");
    EXPECT_EQ(saved(), formatSetupFile(m.Setup));
    EXPECT_TRUE(QFile::exists(m.Paths.SequenceFile));
    m.Paths.SequenceFile = dir.filePath("gone/seqfile.fil");
    click(f, "SaveCommand");
    EXPECT_TRUE(lastMessage().contains("seqfile.fil")) << lastMessage().toStdString();

    Form4* r = report();
    type(r, "Text1", "/Practice/Reports");
    m.Setup.RptPath.clear();  // Save takes the box as it stands
    click(r, "Command1");
    EXPECT_EQ(lastMessage(), "Setup has been saved");
    EXPECT_TRUE(m.Setup.RptPath == "/Practice/Reports/" && saved() == formatSetupFile(m.Setup));
    m.Paths.SetupFile = dir.filePath("gone/setup.prm");
    click(r, "Command1");
    EXPECT_TRUE(lastMessage().contains("setup.prm") &&
                dialogs.shown.back().kind == MessageKind::Failure);
}

TEST_F(SetupWindows, ExitKeepsTheWindowTitleBarCloseDiscardsItAndNothingDangles) {
    const auto discardClosed = [] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    Form3* f = claim();
    type(f, "PassWordText", "kept");
    click(f, "HelpCommand");
    click(f, "Command1");  // Exit
    EXPECT_TRUE(f->isHidden() && f->helpBox()->isHidden());
    EXPECT_TRUE(claim() == f && in(f, "PassWordText")->text() == "kept");
    f->close();
    discardClosed();
    EXPECT_EQ(form2->form3(), nullptr);
    QPointer<Form3> fresh = claim();
    EXPECT_EQ(in(fresh, "PassWordText")->text(), "");
    // Closing the chooser: a hidden setup window goes with it, a shown one stays usable.
    QPointer<Form4> hidden = report();
    click(hidden, "Command2");
    form2->close();
    discardClosed();
    ASSERT_TRUE(form2.isNull() && hidden.isNull() && !fresh.isNull());
    type(fresh, "FileNameText", "late.clm");
    EXPECT_EQ(m.Setup.UserFile, "late.clm");
    click(fresh, "Command1");
    discardClosed();
    EXPECT_TRUE(fresh.isNull());
}

TEST_F(SetupWindows, FolderListsPointThePathBoxesAndSayWhatCannotBeRead) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("Claims Here/sub"));
    const QString folder = dir.filePath("Claims Here");
    Form3* f = claim();
    ASSERT_TRUE(f->folderLists().setPath(folder));
    auto* dirs = in<QListWidget>(f, "Dir1");
    emit dirs->itemActivated(dirs->findItems("sub", Qt::MatchEndsWith).value(0));
    QCoreApplication::processEvents();  // the move is queued
    EXPECT_EQ(m.Setup.UserPath, folder + "/sub/");
    EXPECT_FALSE(f->folderLists().setPath(dir.filePath("gone")));
    EXPECT_TRUE(lastMessage().contains("gone"));
    auto* drives = in<QComboBox>(f, "Drive1");  // a volume that went away after the listing
    drives->addItem(dir.filePath("unplugged"));
    drives->setCurrentIndex(drives->count() - 1);
    emit drives->activated(drives->count() - 1);
    EXPECT_TRUE(lastMessage().contains("unplugged") && m.Setup.UserPath == folder + "/sub/");
    ASSERT_TRUE(report()->folderLists().setPath(folder));
    EXPECT_EQ(m.Setup.RptPath, folder + "/");
}
