// The setup windows' behaviour: every typed value is in force at once, Save writes it
// and says so or says why not, the folder lists point the path boxes, and closing any
// of the windows in any order leaves nothing dangling.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

#include "gui/form2.h"
#include "setup/setup_file.h"
#include "support/recorders.h"

using namespace zv;

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
        if (form2) delete form2->form3(), delete form2->form4();
        delete form2;
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
    QByteArray saved(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : "<missing>";
    }
    static void discardClosed() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(SetupWindows, TypedValuesAreInForceAtOnceButThePasswordIsNeverShown) {
    m.Setup = {"/data/claims/", "eclaims.*", "DEN", "DBMS", "abc123", "pw", "/r/"};
    Form3* f = claim();
    EXPECT_EQ(claim(), f);
    EXPECT_EQ(in(f, "FilePathText")->text(), "/data/claims/");
    EXPECT_EQ(in(f, "PassWordText")->text(), "");
    EXPECT_EQ(in<QListWidget>(f, "FileTypeList")->count(), 23) << "refilled, not doubled";
    // clang-format off
    const std::tuple<const char*, QString, QString SetupParameters::*, QString> rows[] = {
        {"SiteIDText", "XyZ9 ", &SetupParameters::SiteID, "xyz9"},
        {"FileExt", "den", &SetupParameters::FileType, "DEN"},
        {"PassWordText", " Secret  ", &SetupParameters::PassWord, " secret"},
        {"FileTypeText", "Other", &SetupParameters::SoftType, "DBMS"},
        {"FileNameText", "a.clm ", &SetupParameters::UserFile, "a.clm"},
        {"FilePathText", "/home/claims", &SetupParameters::UserPath, "/home/claims/"},
        {"FilePathText", "/", &SetupParameters::UserPath, "/"},
        {"FilePathText", "", &SetupParameters::UserPath, "/"}};
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
    EXPECT_EQ(m.Setup.UserPath, m.Paths.WorkRoot + "pending/");
    EXPECT_EQ(m.Setup.FileType, "AVO");
    const QByteArray before = formatSetupFile(m.Setup);
    for (int heading : {0, 11}) list->setCurrentRow(heading);
    EXPECT_EQ(formatSetupFile(m.Setup), before);
}

TEST_F(SetupWindows, SaveWritesTheFileAndSaysSoOrWhy) {
    Form3* f = claim();
    type(f, "SiteIDText", "Ab12");
    in<QPushButton>(f, "SaveCommand")->click();
    EXPECT_EQ(dialogs.texts(), QStringList{"Setup has been saved."});
    EXPECT_EQ(saved(m.Paths.SetupFile), formatSetupFile(m.Setup));
    EXPECT_EQ(saved(m.Paths.SequenceFile), "0000");
    m.Paths.SequenceFile = dir.filePath("gone/seqfile.fil");
    in<QPushButton>(f, "SaveCommand")->click();
    EXPECT_TRUE(dialogs.shown.back().kind == MessageKind::Failure &&
                dialogs.shown.back().text.contains("seqfile.fil"));

    Form4* r = report();
    type(r, "Text1", "/Practice/Reports");
    m.Setup.RptPath.clear();  // Save takes the box as it stands
    in<QPushButton>(r, "Command1")->click();
    EXPECT_EQ(dialogs.shown.back().text, "Setup has been saved");
    EXPECT_EQ(saved(m.Paths.SetupFile), formatSetupFile(m.Setup));
    EXPECT_EQ(m.Setup.RptPath, "/Practice/Reports/");
    m.Paths.SetupFile = dir.filePath("gone/setup.prm");
    in<QPushButton>(r, "Command1")->click();
    EXPECT_TRUE(dialogs.shown.back().kind == MessageKind::Failure &&
                dialogs.shown.back().text.contains("setup.prm"));
}

TEST_F(SetupWindows, ExitKeepsTheWindowTitleBarCloseDiscardsItAndNothingDangles) {
    Form3* f = claim();
    type(f, "PassWordText", "kept");
    in<QPushButton>(f, "HelpCommand")->click();
    in<QPushButton>(f, "Command1")->click();  // Exit
    EXPECT_TRUE(f->isHidden() && f->helpBox()->isHidden());
    EXPECT_EQ(claim(), f);
    EXPECT_EQ(in(f, "PassWordText")->text(), "kept");
    f->close();
    discardClosed();
    EXPECT_EQ(form2->form3(), nullptr);
    QPointer<Form3> shown = claim();
    EXPECT_EQ(in(shown, "PassWordText")->text(), "");
    // Closing the chooser: a hidden setup window goes with it, a shown one stays usable.
    QPointer<Form4> hidden = report();
    hidden->Command2_Click();
    form2->close();
    discardClosed();
    ASSERT_TRUE(form2.isNull() && hidden.isNull() && !shown.isNull());
    type(shown, "FileNameText", "late.clm");
    EXPECT_EQ(m.Setup.UserFile, "late.clm");
    shown->Command1_Click();
    discardClosed();
    EXPECT_TRUE(shown.isNull());
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
    EXPECT_TRUE(dialogs.shown.back().text.contains("gone"));
    // A volume that went away between listing and choosing.
    auto* drives = in<QComboBox>(f, "Drive1");
    drives->addItem(dir.filePath("unplugged"));
    drives->setCurrentIndex(drives->count() - 1);
    emit drives->activated(drives->count() - 1);
    EXPECT_TRUE(dialogs.shown.back().text.contains("unplugged"));
    EXPECT_EQ(m.Setup.UserPath, folder + "/sub/");
    ASSERT_TRUE(report()->folderLists().setPath(folder));
    EXPECT_EQ(m.Setup.RptPath, folder + "/");
}
