// The main window as the user meets it: its controls, their places and order, and how
// it behaves while a server call runs.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "gui/zuduvor_window.h"
#include "gui/form5.h"
#include "support/station.h"

namespace zv::test {
namespace {

struct ControlRow {
    const char* name;
    const char* caption;           // nullptr: not a fixed text
    int left, top, width, height;  // twips
};

// In tab order.
const ControlRow kControls[] = {
    {"Label1", nullptr, 2400, 240, 4335, 255},
    {"SendClaims", "Send Claims to ZOD", 120, 1920, 2055, 375},
    {"GetReports", "Get Reports from ZOD", 2400, 1920, 2055, 375},
    {"ViewReports", "View Old Reports", 4680, 1920, 1695, 375},
    {"Setup", "Setup", 8160, 600, 735, 375},
    {"Command1", "Exit", 8280, 1080, 615, 375},
    {"SiteIDText", nullptr, 2160, 1440, 855, 285},
    {"DateTimeText", nullptr, 6120, 1440, 1935, 285},
    {"Label2", "Electronic Claims Secure File Transfer", 2520, 600, 4095, 255},
    {"Label3", "Your Site ID is", 720, 1440, 1455, 255},
    {"Label4", "The Current Date and Time is", 3600, 1440, 2535, 255},
    {"Label5", nullptr, 1680, 960, 5775, 255},
    {"HelpCommand", "Help", 8280, 120, 615, 375},
    {"ResendClaims", "Resend Claims to ZOD", 120, 2520, 2055, 375},
    {"ViewClaims", "View Submitted Claims", 6600, 1920, 2295, 375},
    {"DeleteClaimFiles", "Delete Claim Files", 2400, 2520, 1815, 375},
    {"ZODWebSite", "ZOD Web Site", 4440, 2520, 1935, 375},
    {"List1", nullptr, 120, 3120, 8655, 2790},
};

QString captionOf(const QWidget* w) {
    if (auto* b = qobject_cast<const QPushButton*>(w)) return b->text();
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    return {};
}

struct MainWindow : ::testing::Test {
    Module1 m;
    RecordingDialogs dialogs;
    RecordingLauncher launcher;
    ZuduvorWindow w{m, dialogs, launcher};

    TestSftpServer server;
    Station st;  // work root, setup file and folders

    // Shows the window started against the test server.
    void startAgainstServer() {
        ZV_START_TEST_SERVER(server);
        st.writeSetup(accountOf(server));
        StartOptions start;
        start.workRoot = st.workRoot();
        start.sftpHost = server.host();
        start.sftpPort = server.port();
        w.show();
        ASSERT_EQ(w.logic().Form_Load(start), StartState::Complete);
    }
};

TEST_F(MainWindow, ControlsCaptionsPlacesAndTabOrder) {
    EXPECT_EQ(w.windowTitle(), "ZUDUVOR Version 4.02");
    EXPECT_EQ(w.size(), QSize(9075 / 15, 6570 / 15));

    QStringList order;
    for (QObject* child : w.children())
        if (child->isWidgetType() && !child->objectName().isEmpty()) order << child->objectName();
    QStringList expected;
    for (const auto& row : kControls) expected << row.name;
    EXPECT_EQ(order, expected);

    for (const auto& row : kControls) {
        SCOPED_TRACE(row.name);
        auto* c = w.findChild<QWidget*>(row.name, Qt::FindDirectChildrenOnly);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->geometry(),
                  QRect(row.left / 15, row.top / 15, row.width / 15, row.height / 15));
        if (row.caption) {
            EXPECT_EQ(captionOf(c), row.caption);
            EXPECT_TRUE(c->font().bold());
            EXPECT_LE(QFontMetrics(c->font()).horizontalAdvance(captionOf(c)), c->width());
        }
    }
    // Sizes as drawn, made smaller only where this system's font would not fit.
    const std::pair<const char*, double> sizes[] = {
        {"Label1", 12}, {"Label2", 9.75}, {"SendClaims", 8.25}, {"Label4", 8.25}};
    for (const auto& [name, points] : sizes) {
        const double got = w.findChild<QWidget*>(name)->font().pointSizeF();
        EXPECT_TRUE(got <= points && got > points - 3) << name << ": " << got;
    }
    const QString support = captionOf(w.findChild<QLabel*>("Label5"));
    EXPECT_TRUE(support.startsWith("Dental Support - ") &&
                support.contains(",  Medical Support - "))
        << support.toStdString();

    // Tab moves through the controls that take focus in the table's order.
    QStringList tabbing;
    QWidget* start = w.findChild<QWidget*>("SendClaims");
    for (QWidget* at = start; tabbing.size() < 30;) {
        if (at->focusPolicy() & Qt::TabFocus) tabbing << at->objectName();
        at = at->nextInFocusChain();
        if (at == start) break;
    }
    EXPECT_EQ(tabbing, (QStringList{"SendClaims", "GetReports", "ViewReports", "Setup", "Command1",
                                    "SiteIDText", "DateTimeText", "HelpCommand", "ResendClaims",
                                    "ViewClaims", "DeleteClaimFiles", "ZODWebSite", "List1"}));
    // Display fields: the user cannot type into them.
    EXPECT_TRUE(w.siteIdBox()->isReadOnly() && w.dateTimeBox()->isReadOnly());
}

// Hands a mouse click to the window system's queue, as a real user's click arrives:
// it is delivered when the event loop next takes user input. Qt's public test API
// delivers at once, which would not show whether input is held back.
using QueueMouseEvent = bool (*)(QWindow*, const QPointF&, const QPointF&, Qt::MouseButtons,
                                 Qt::MouseButton, QEvent::Type, Qt::KeyboardModifiers,
                                 Qt::MouseEventSource);

QueueMouseEvent queueMouseEvent() {
    return reinterpret_cast<QueueMouseEvent>(
        dlsym(RTLD_DEFAULT,
              "_ZN22QWindowSystemInterface16handleMouseEventINS_20AsynchronousDeliveryEEEbP7Q"
              "WindowRK7QPointFS6_6QFlagsIN2Qt11MouseButtonEES9_N6QEvent4TypeES7_INS8_"
              "16KeyboardModifierEENS8_16MouseEventSourceE"));
}

struct Watch : QObject {
    ZuduvorWindow* w = nullptr;
    int paintsWhileBusy = 0;
    int clicksWhileBusy = 0;
    int clicksAfter = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && w->busy()) ++paintsWhileBusy;
        if (e->type() == QEvent::MouseButtonRelease) ++(w->busy() ? clicksWhileBusy : clicksAfter);
        return false;
    }
};

TEST_F(MainWindow, ServerCallKeepsPaintingButHoldsUserInputBack) {
    const QueueMouseEvent queue = queueMouseEvent();
    if (!queue) GTEST_SKIP() << "this Qt does not let a test queue window-system input";
    startAgainstServer();
    if (IsSkipped() || HasFatalFailure()) return;
    server.delayOn("opendir", "reports", 1.5);

    Watch watch;
    watch.w = &w;
    w.statusList()->viewport()->installEventFilter(&watch);
    QPushButton* viewReports = w.button(Control::ViewReports);
    viewReports->installEventFilter(&watch);

    // Acts once, during the delayed directory opening: the session is open by then.
    const QString connecting = "Connecting to ZOD SFTPServer/K9SITE Server";
    bool acted = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &w, [&] {
        if (acted || !w.busy() || w.statusList()->findItems(connecting, Qt::MatchExactly).isEmpty())
            return;
        acted = true;
        w.statusList()->viewport()->update();
        QWindow* win = w.windowHandle();
        const QPointF at = viewReports->mapTo(&w, viewReports->rect().center());
        const QPointF global = w.mapToGlobal(at.toPoint());
        queue(win, at, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress,
              Qt::NoModifier, Qt::MouseEventNotSynthesized);
        queue(win, at, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease,
              Qt::NoModifier, Qt::MouseEventNotSynthesized);
    });
    poll.start(50);
    w.button(Control::GetReports)->click();

    poll.stop();
    // Timers ran and the status line added before the call was on show during it.
    ASSERT_TRUE(acted) << "nothing ran while the server call waited";
    EXPECT_GT(watch.paintsWhileBusy, 0);
    EXPECT_EQ(watch.clicksWhileBusy, 0);
    EXPECT_TRUE(dialogs.texts().filter("No Report Files found").isEmpty());

    // The click was held back, not lost: it arrives once the call is over.
    QCoreApplication::processEvents();
    EXPECT_EQ(watch.clicksAfter, 1);
    EXPECT_EQ(dialogs.texts().filter("No Report Files found").size(), 1);
}

// Exit during a send's one chance for input asks the application to quit while the
// run still has server calls to make: they must still end, not spin for ever.
TEST_F(MainWindow, ServerCallEndsWhenTheApplicationIsQuitting) {
    std::atomic<bool> finished = false;
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && !finished; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!finished) {
            std::fprintf(stderr, "runBlocking did not return after the application quit\n");
            std::_Exit(3);
        }
    });
    QCoreApplication::exit(0);
    bool ran = false;
    w.runBlocking([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ran = true;
    });
    finished = true;
    watchdog.join();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(w.busy());
    // Let later tests run event loops again.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

TEST_F(MainWindow, PickerBesideTheWindowHandsOverTheWholeName) {
    startAgainstServer();
    if (IsSkipped() || HasFatalFailure()) return;
    writeBytes(server.claimsDir() + "/A B.83P", "12345");

    w.button(Control::DeleteClaimFiles)->click();
    Form5& picker = w.picker();
    EXPECT_EQ(picker.windowTitle(), "ZUDUvor Claim Files");
    ASSERT_TRUE(picker.isVisible());
    EXPECT_GE(picker.x(), w.frameGeometry().right());
    EXPECT_EQ(picker.labelText(3), "File Name        File Size");
    ASSERT_EQ(picker.list()->count(), 1);
    EXPECT_EQ(picker.list()->item(0)->text(), "A B.83P   5");

    picker.clickLine(0);
    EXPECT_TRUE(namesIn(server.claimsDir()).isEmpty());
    EXPECT_FALSE(picker.isVisible());
    EXPECT_TRUE(picker.list()->isEnabled());
    EXPECT_EQ(w.statusList()->item(w.statusList()->count() - 2)->text(), "File A B.83P Deleted.");
}

using ExitTask = StationTest;

TEST_F(ExitTask, TaskStillFinishingAfterExitLeavesTheLogAsItWas) {
    st.z().GetReports_Click();
    const QByteArray before = readBytes(st.workRoot() + "ZUDUVOR.LOG");
    ASSERT_TRUE(before.startsWith("Start DADEDIRUred"));
    st.z().Command1_Click();
    st.z().GetReports_Click();
    EXPECT_EQ(readBytes(st.workRoot() + "ZUDUVOR.LOG"), before);
}

}  // namespace
}  // namespace zv::test
