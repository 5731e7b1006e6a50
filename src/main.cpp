// Electronic Claims Secure File Transfer: the window, or one task from the command line.
#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QProcessEnvironment>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#ifdef Q_OS_WIN
#include <windows.h>
// after windows.h
#include <shellapi.h>
#endif
#include <memory>
#include <vector>

#include "base/desktop_launcher.h"
#include "console/command_line.h"
#include "console/console.h"
#include "gui/message_box_window.h"
#include "gui/zuduvor_window.h"

namespace {

// Start-up's messages while a picture is taken: nobody is there to click OK, so each box
// is laid out without a modal loop (and never on the screen), drawn into the picture,
// and its text goes to standard error; a question is answered Cancel.
class PictureDialogs : public zv::Dialogs {
public:
    explicit PictureDialogs(QTextStream& err) : err_(err) {}

    void message(const QString& text, zv::MessageKind) override { add(text, QMessageBox::NoIcon); }
    bool askOkCancel(const QString& text, zv::MessageIcon icon) override {
        add(text, icon == zv::MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon);
        return false;
    }

    // The window with each box in its middle, the latest on top, as the user would see it.
    QPixmap picture(QWidget& window) const {
        QPixmap shot = window.grab();
        QPainter painter(&shot);
        for (const auto& box : boxes_) {
            const QPixmap drawn = box->grab();
            const QRect where(
                QPoint((shot.width() - drawn.width()) / 2, (shot.height() - drawn.height()) / 2),
                drawn.deviceIndependentSize().toSize());
            painter.drawPixmap(where, drawn);
            painter.setPen(window.palette().color(QPalette::Dark));
            painter.drawRect(where.adjusted(0, 0, -1, -1));  // the frame a desktop would add
        }
        return shot;
    }

private:
    void add(const QString& text, QMessageBox::Icon icon) {
        err_ << "zuduvor: " << text << "\n";
        err_.flush();
        auto box =
            std::make_unique<QMessageBox>(icon, QStringLiteral("ZUDUVOR"), text, QMessageBox::Ok);
        box->setAttribute(Qt::WA_DontShowOnScreen);
        box->show();  // lays it out; show() on a QMessageBox does not wait
        boxes_.push_back(std::move(box));
    }

    QTextStream& err_;
    std::vector<std::unique_ptr<QMessageBox>> boxes_;
};

#ifdef Q_OS_WIN
bool hasDisplay() { return true; }

// The arguments as Windows holds them (UTF-16): argv has them in the ANSI code page,
// which loses the characters it lacks.
QStringList programArguments(int, char**) {
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    QStringList args;
    for (int i = 0; i < count; ++i) args << QString::fromWCharArray(words[i]);
    LocalFree(words);
    return args;
}

// A window program has no console: a task started from a command prompt writes to the
// prompt's own, unless its output already goes to a file or a pipe.
void reachParentConsole() {
    const bool outSet = GetStdHandle(STD_OUTPUT_HANDLE) != nullptr;
    const bool errSet = GetStdHandle(STD_ERROR_HANDLE) != nullptr;
    if ((outSet && errSet) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (!outSet) (void)freopen("CONOUT$", "w", stdout);
    if (!errSet) (void)freopen("CONOUT$", "w", stderr);
}
#else
bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QStringList programArguments(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    return args;
}

void reachParentConsole() {}
#endif

// Opens the window, shows it, saves a picture of it to FILE and ends.
int takePicture(const zv::CommandLine& cl, int argc, char** argv, QTextStream& err) {
    if (!hasDisplay()) qputenv("QT_QPA_PLATFORM", "offscreen");  // a picture needs no screen
    QApplication app(argc, argv);
    zv::Module1 m;
    PictureDialogs dialogs(err);
    zv::DesktopLauncher launcher(QStringLiteral("xdg-open"), &m.Paths);
    zv::ZuduvorWindow window(m, dialogs, launcher);
    window.show();
    window.logic().Form_Load(cl.start);
    QTimer::singleShot(300, &window, [&] {
        const bool saved = dialogs.picture(window).save(cl.screenshot, "PNG");
        if (!saved) err << "zuduvor: the picture could not be saved to " << cl.screenshot << "\n";
        QApplication::exit(saved ? 0 : 1);
    });
    return app.exec();
}

int openWindow(const zv::CommandLine& cl, int argc, char** argv, QTextStream& err) {
    if (!hasDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        err << "zuduvor: no display found, so the window cannot be shown.\n"
               "To see it on a machine without a display, run it under a virtual one:\n"
               "  xvfb-run -a zuduvor ...   (and take a screenshot with import -window root)\n"
               "or run a task without a window: zuduvor --help\n";
        return 1;
    }
    QApplication app(argc, argv);
    zv::Module1 m;
    zv::MessageBoxDialogs dialogs;
    zv::DesktopLauncher launcher(QStringLiteral("xdg-open"), &m.Paths);
    zv::ZuduvorWindow window(m, dialogs, launcher);
    window.show();  // shown first, so start-up's messages have their window behind them
    // What changed while nobody was watching is the first thing a person sees.
    if (window.logic().Form_Load(cl.start) == zv::StartState::Complete) window.logic().tellUnseen();
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    reachParentConsole();
    const QStringList args = programArguments(argc, argv);
    const zv::CommandLine cl =
        zv::parseCommandLine(args, QProcessEnvironment::systemEnvironment().toStringList());
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (cl.help || cl.version) {
        out << (cl.help ? zv::usageText() : zv::versionText());
        return 0;
    }
    if (!cl.error.isEmpty()) {
        err << "zuduvor: " << cl.error << "\n\n" << zv::usageText();
        return 2;
    }
    if (!cl.command.isEmpty()) {
        QCoreApplication app(argc, argv);
        zv::ConsoleRunner runner(out, err);
        return runner.run(cl);
    }
    return cl.screenshot.isEmpty() ? openWindow(cl, argc, argv, err)
                                   : takePicture(cl, argc, argv, err);
}
