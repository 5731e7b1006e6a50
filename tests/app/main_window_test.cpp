// The main window's behaviour: a button runs its task, the claim picker hands a name
// with blanks over whole, and while a server call runs the window keeps repainting but
// holds user input back until the call is over.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <thread>

#include "gui/form5.h"
#include "gui/zuduvor_window.h"
#include "support/recorders.h"

using namespace zv;

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// Hands a click to the window system's queue, as a real user's click arrives: delivered
// when the event loop next takes user input. Qt's test API delivers at once.
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
    bool inCall = false;
    int paintsInCall = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paintsInCall += inCall && e->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(MainWindow, ServerCallRepaintsButHoldsTheClickBackUntilItIsOver) {
    QListWidget* status = w.findChild<QListWidget*>("List1");
    status->viewport()->installEventFilter(this);
    w.show();
    QTimer::singleShot(50, [&] {
        status->viewport()->update();
        queueClick(w.findChild<QPushButton*>("HelpCommand"));
    });
    inCall = true;
    w.runBlocking([] { std::this_thread::sleep_for(std::chrono::milliseconds(400)); });
    inCall = false;
    EXPECT_GT(paintsInCall, 0);
    EXPECT_EQ(status->count(), 0) << "Help ran during the call";
    QCoreApplication::processEvents();
    EXPECT_GT(status->count(), 0) << "the click was lost, not held back";
}

TEST_F(MainWindow, ServerCallEndsWhenTheApplicationIsQuitting) {
    QCoreApplication::exit(0);
    bool ran = false;
    w.runBlocking([&] { ran = true; });
    EXPECT_TRUE(ran);
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();  // lets later tests run event loops again
}

TEST_F(MainWindow, PickerHandsTheWholeNameOver) {
    QTemporaryDir dir;
    m.Paths.ClaimsBackupDir = dir.path() + "/";
    QFile(dir.filePath("A B.txt")).open(QIODevice::WriteOnly);
    w.findChild<QPushButton*>("ViewClaims")->click();
    QListWidget* list = w.picker().findChild<QListWidget*>("List1");
    ASSERT_TRUE(w.picker().isVisible() && list->count() == 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(launcher.opened, QStringList{dir.filePath("A B.txt")});
    EXPECT_FALSE(w.picker().isVisible());
}
