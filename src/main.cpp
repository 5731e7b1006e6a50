// Electronic Claims Secure File Transfer: the window, or one task from the command line.
#include <QApplication>
#include <QProcessEnvironment>
#include <QTextStream>
#include <QTimer>
#include <cstdio>

#include "base/desktop_launcher.h"
#include "console/command_line.h"
#include "console/console.h"
#include "gui/message_box_window.h"
#include "gui/zuduvor_window.h"

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
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
    if (!cl.screenshot.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");  // a picture needs no screen
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        err << "zuduvor: no display found, so the window cannot be shown.\n"
               "To see it on a machine without a display, run it under a virtual one:\n"
               "  xvfb-run -a zuduvor ...   (and take a screenshot with import -window root)\n"
               "or run a task without a window: zuduvor --help\n";
        return 1;
    }
    QApplication app(argc, argv);
    zv::Module1 m;
    zv::MessageBoxDialogs dialogs;
    zv::DesktopLauncher launcher;
    zv::ZuduvorWindow window(m, dialogs, launcher);
    window.show();  // shown first, so start-up's messages have their window behind them
    window.logic().Form_Load(cl.start);
    if (!cl.screenshot.isEmpty()) {
        QTimer::singleShot(300, &window, [&] {
            const bool saved = window.grab().save(cl.screenshot, "PNG");
            if (!saved)
                err << "zuduvor: the picture could not be saved to " << cl.screenshot << "\n";
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
