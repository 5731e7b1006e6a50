// The windows' behaviour, not their layout: a button runs its task, the claim picker
// hands a name with blanks over whole, the window keeps repainting but holds input back
// while a server call runs; the setup windows put every typed value in force at once and
// save it, or say why not.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QProgressBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "answers/sent_claims.h"
#include "gui/form2.h"
#include "gui/form3.h"
#include "gui/form4.h"
#include "gui/form5.h"
#include "gui/history_window.h"
#include "gui/zuduvor_window.h"
#include "ledger/ledger.h"
#include "setup/setup_file.h"
#include "support/recorders.h"
#include "support/steps.h"
#include "support/x12_samples.h"

using namespace zv;

template <class T = QLineEdit>
static T* in(QWidget* window, const char* name) {
    return window->findChild<T*>(name);
}
static void click(QWidget* window, const char* name) { in<QPushButton>(window, name)->click(); }
// A window the program opened on its own, found as the user would see it.
template <class T>
static T* opened() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = dynamic_cast<T*>(w)) return t;
    return nullptr;
}

// Hands a click to the window system's queue, as a user's click arrives: delivered when
// the event loop next takes user input (Qt's test API would deliver it at once).
static void queueClick(QWidget* target) {
    using Handler =
        bool (*)(QWindow*, const QPointF&, const QPointF&, Qt::MouseButtons, Qt::MouseButton,
                 QEvent::Type, Qt::KeyboardModifiers, Qt::MouseEventSource);
    const auto handle = reinterpret_cast<Handler>(dlsym(
        RTLD_DEFAULT,
        "_ZN22QWindowSystemInterface16handleMouseEventINS_20AsynchronousDeliveryEEEbP7QWindowRK7"
        "QPointFS6_6QFlagsIN2Qt11MouseButtonEES9_N6QEvent4TypeES7_INS8_16KeyboardModifierEENS8_"
        "16MouseEventSourceE"));
    ASSERT_TRUE(handle) << "this Qt does not let a test queue a click";
    const QPoint at = target->mapTo(target->window(), target->rect().center());
    for (const auto& [buttons, type] : {std::pair{Qt::LeftButton, QEvent::MouseButtonPress},
                                        {Qt::NoButton, QEvent::MouseButtonRelease}})
        handle(target->window()->windowHandle(), at, target->mapToGlobal(QPoint()), buttons,
               Qt::LeftButton, type, Qt::NoModifier, Qt::MouseEventNotSynthesized);
}

struct MainWindow : ::testing::Test, QObject {
    Module1 m;
    test::RecordingDialogs dialogs;
    test::RecordingLauncher launcher;
    ZuduvorWindow w{m, dialogs, launcher};
    int paintsInCall = -1;  // counted only while the call runs
    bool eventFilter(QObject*, QEvent* e) override {
        paintsInCall += paintsInCall >= 0 && e->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(MainWindow, LongCallRepaintsButHoldsAClickBackAndEndsEvenWhenTheProgramQuits) {
    QListWidget* status = in<QListWidget>(&w, "List1");
    status->viewport()->installEventFilter(this);
    w.show();
    QTimer::singleShot(50, [&] {
        status->viewport()->update();
        queueClick(in<QPushButton>(&w, "HelpCommand"));
    });
    paintsInCall = 0;
    w.runBlocking([] { QThread::msleep(400); });
    EXPECT_GT(paintsInCall, 0);
    EXPECT_EQ(status->count(), 0) << "Help ran during the call";
    QCoreApplication::processEvents();
    EXPECT_GT(status->count(), 0) << "the click was lost, not held back";
    // Exit during a send's chance for input quits while the run still has server calls
    // to make: they must end, not wait for an event loop that is gone.
    QCoreApplication::exit(0);
    w.runBlocking([] {});
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();  // lets later tests run event loops again
}

TEST_F(MainWindow, PickerHandsTheWholeNameOver) {
    QTemporaryDir dir;
    m.Paths.ClaimsBackupDir = dir.path() + "/";
    QFile(dir.filePath("A B.txt")).open(QIODevice::WriteOnly);
    click(&w, "ViewClaims");
    Form5* picker = opened<Form5>();
    QListWidget* list = in<QListWidget>(picker, "List1");
    ASSERT_TRUE(picker->isVisible() && list->count() == 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(launcher.opened, QStringList{dir.filePath("A B.txt")});
    EXPECT_FALSE(picker->isVisible());
}

TEST_F(MainWindow, ClaimHistoryShowsFilesNewestFirstTheirClaimsAndViewsOne) {
    QTemporaryDir dir;
    m.Paths.WorkRoot = dir.path() + "/";
    m.Paths.ClaimsBackupDir = dir.path() + "/";
    const QByteArray claim = test::claimFile();
    test::writeBytes(dir.filePath("K90002.83P"), claim);
    {
        auto opened = Ledger::open(w.logic().ledgerPath());
        ASSERT_TRUE(opened.ok()) << opened.reason().toStdString();
        Ledger& l = *opened->ledger;
        for (const char* name : {"K90001.83P", "K90002.83P"}) {
            ASSERT_TRUE(l.numbered({name,
                                    1,
                                    claim.size(),
                                    "00",
                                    {"a.clm"},
                                    *x12::readClaimFile(claim),
                                    *answers::readSentClaims(claim)}) &&
                        l.uploadStarted(name, "zod", false, claim.size(), "00") &&
                        l.confirmed(name));
        }
        const QByteArray ta1 = test::interchange({"TA1*000000905*260512*1004*R*022"}, 0);
        const auto index = l.sentIndex();
        ASSERT_TRUE(index.ok());
        const auto matched =
            l.recordMatched({"R1.TA1", ta1.size(), "11", "TA1", ""}, std::nullopt,
                            *answers::readAnswers(ta1), **index, QDateTime::currentDateTimeUtc());
        ASSERT_TRUE(matched.ok() && matched->changes.size() == 1) << matched.reason().toStdString();
    }
    click(&w, "ClaimHistory");
    auto* history = opened<HistoryWindow>();
    ASSERT_TRUE(history && history->isVisible());
    QTableWidget* table = in<QTableWidget>(history, "HistoryTable");
    ASSERT_EQ(table->rowCount(), 2);
    const auto row = [&](int r) {
        QStringList cells;
        for (int c : {0, 3, 4, 5}) cells << table->item(r, c)->text().section(" (", 0, 0);
        return cells.join('|');
    };
    EXPECT_EQ(row(0), "K90002.83P|3|170.75|3 claims REJECTED by ZOD");
    EXPECT_EQ(row(1), "K90001.83P|3|170.75|sent");
    table->setCurrentCell(0, 0);
    QTableWidget* claims = in<QTableWidget>(history, "ClaimsTable");
    ASSERT_EQ(claims->rowCount(), 3);
    EXPECT_EQ(claims->item(2, 0)->text() + "|" + claims->item(2, 1)->text() + "|" +
                  claims->item(2, 2)->text() + "|" + claims->item(2, 3)->text(),
              "PCN-3|0.25|REJECTED|ZOD");
    in<QCheckBox>(history, "NeedsAttention")->setChecked(true);
    EXPECT_EQ(table->rowCount(), 1);
    in<QCheckBox>(history, "NeedsAttention")->setChecked(false);
    const QPoint at = table->visualItemRect(table->item(0, 0)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);  // a double-click's first half
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(launcher.opened, QStringList{w.logic().claimTextPath()});
}

// A slow download: the bar comes up with the file's line while it runs and is gone after.
struct WindowTransfer : test::ServerTest, QObject {
    QStringList shown;  // the bar's text each time it came up
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show) shown << static_cast<QProgressBar*>(o)->text();
        return false;
    }
};

TEST_F(WindowTransfer, ProgressBarShowsWhileALongDownloadRunsOnly) {
    writeSetup();
    ZuduvorWindow w{m, dialogs, launcher};
    ASSERT_EQ(w.logic().Form_Load({workRoot(), account.host, account.port, {}, {}}),
              StartState::Complete);
    test::report(*this, "R1.TXT", test::sized(98304));
    test::slow(*this, "read", "reports/*");  // each read answered after 0.6 s
    w.show();
    w.progressBar()->installEventFilter(this);
    ::click(&w, "GetReports");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith("R1.TXT  64.0 KB of 96.0 KB  ")) << shown[0];
    EXPECT_FALSE(w.progressBar()->isVisible());
    EXPECT_EQ(test::filesIn(reportFolder()).keys(), QStringList{"R1.TXT"});
}

TEST(SetupWindows, ValuesAreInForceAtOnceAndSaveWritesThemOrSaysWhyNot) {
    QTemporaryDir dir;
    Module1 m;
    m.Paths.WorkRoot = dir.path() + "/";
    m.Paths.SetupFile = dir.filePath("setup.prm");
    m.Paths.SequenceFile = dir.filePath("seqfile.fil");
    m.Setup = {"/data/claims/", "eclaims.*", "DEN", "DBMS", "abc123", "pw", "/r/"};
    test::RecordingDialogs dialogs;
    QString shownSite;
    Form2 chooser({m, dialogs, [&](const QString& s) { shownSite = s; }});
    chooser.Command1_Click();
    chooser.Command2_Click();
    Form3* f = opened<Form3>();
    EXPECT_EQ(in(f, "FilePathText")->text() + in(f, "PassWordText")->text(), "/data/claims/");
    auto* software = in<QListWidget>(f, "FileTypeList");
    const int rows = software->count();
    chooser.Command1_Click();  // shown again: the list is refilled, not doubled
    EXPECT_EQ(software->count(), rows);
    for (int row : {12, 0, 11}) software->setCurrentRow(row);  // Avocation, then the headings
    EXPECT_EQ(m.Setup.UserPath + m.Setup.FileType, m.Paths.WorkRoot + "pending/AVO");
    // clang-format off
    const std::tuple<QWidget*, const char*, const char*> typing[] = {
        {f, "SiteIDText", "XyZ9 "}, {f, "FileExt", "den"}, {f, "PassWordText", " Secret  "}, {f, "FileTypeText", "x"},
        {f, "FileNameText", "a.clm "}, {f, "FilePathText", "/c"}, {opened<Form4>(), "Text1", "/Practice/Reports"}};
    // clang-format on
    for (const auto& [window, box, typed] : typing) {
        in(window, box)->clear();
        QTest::keyClicks(in(window, box), typed);
    }
    const SetupParameters& s = m.Setup;  // the software box is not a value of its own
    EXPECT_EQ(
        QStringList(
            {s.UserPath, s.UserFile, s.FileType, s.SoftType, s.SiteID, s.PassWord, s.RptPath}),
        QStringList({"/c/", "a.clm", "DEN", "Avocation", "xyz9", " secret", "/Practice/Reports/"}));
    EXPECT_EQ(shownSite, "XYZ9");  // in the main window
    click(f, "SaveCommand");
    EXPECT_EQ(dialogs.texts().value(0), "Setup has been saved.");
    EXPECT_EQ(test::readBytes(m.Paths.SetupFile), formatSetupFile(m.Setup));
    EXPECT_TRUE(QFile::exists(m.Paths.SequenceFile));
    m.Paths.SequenceFile = dir.filePath("gone/seqfile.fil");
    click(f, "SaveCommand");
    EXPECT_TRUE(dialogs.texts().value(1).contains("seqfile.fil") &&
                dialogs.shown.back().kind == MessageKind::Failure);
    delete f;
    delete opened<Form4>();
}
