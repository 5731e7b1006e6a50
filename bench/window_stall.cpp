// How long the main window's thread goes without turning its event loop while a big
// report is fetched and a big claim sent through the window's own buttons: a timer ticks
// every 10 ms in the window process and the longest gap between two ticks is kept.
//   zv_bench_window_stall WORK_ROOT HOST PORT
// Prints each task's time and longest gap, with the status lines shown around that gap;
// exits 1 when the window showed a failure.
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "base/module1.h"
#include "base/ports.h"
#include "gui/zuduvor_window.h"

namespace {

// Answers as a user who reads each box and goes on: Cancel to "view the reports?".
class NoteDialogs : public zv::Dialogs {
public:
    QStringList failures;
    void message(const QString& text, zv::MessageKind kind) override {
        if (kind == zv::MessageKind::Failure) failures << text;
    }
    bool askOkCancel(const QString&, zv::MessageIcon) override { return false; }
};

class NoLauncher : public zv::Launcher {
public:
    bool openerExists() override { return false; }
    zv::Status open(const QString&) override { return {}; }
};

struct Measure {
    double seconds = 0;
    qint64 longestGapMs = 0;
    QString where;  // the status lines shown before and after the longest gap
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s WORK_ROOT HOST PORT\n", argv[0]);
        return 2;
    }
    zv::Module1 m;
    NoteDialogs dialogs;
    NoLauncher launcher;
    zv::ZuduvorWindow window(m, dialogs, launcher);
    window.show();
    zv::StartOptions start;
    start.workRoot = QString::fromLocal8Bit(argv[1]);
    start.sftpHost = QString::fromLocal8Bit(argv[2]);
    start.sftpPort = QString::fromLocal8Bit(argv[3]).toInt();
    if (window.logic().Form_Load(start) != zv::StartState::Complete) {
        std::fprintf(stderr, "start-up failed: %s\n", qPrintable(dialogs.failures.join(' ')));
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 longest = 0;
    QString lastLine;
    QString where;
    const auto shownLine = [&] {
        const QListWidget* list = window.statusList();
        return list->count() ? list->item(list->count() - 1)->text() : QString();
    };
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        const QString line = shownLine();
        if (now - lastTick > longest) {
            longest = now - lastTick;
            where = QStringLiteral("'%1' .. '%2'").arg(lastLine, line);
        }
        lastTick = now;
        lastLine = line;
    });
    ticker.start(10);

    // The click returns when the task has ended; the ticks meanwhile come from the
    // window's own loop turns.
    auto click = [&](zv::Control c) {
        lastTick = clock.elapsed();
        lastLine = shownLine();
        longest = 0;
        const qint64 began = lastTick;
        window.button(c)->click();
        if (clock.elapsed() - lastTick > longest) {
            longest = clock.elapsed() - lastTick;
            where = QStringLiteral("'%1' .. end").arg(lastLine);
        }
        return Measure{static_cast<double>(clock.elapsed() - began) / 1000.0, longest, where};
    };
    Measure fetch;
    Measure send;
    QTimer::singleShot(200, [&] {
        fetch = click(zv::Control::GetReports);
        send = click(zv::Control::SendClaims);
        app.quit();
    });
    app.exec();
    for (const auto& [name, m] : {std::pair{"fetch", fetch}, std::pair{"send", send}})
        std::printf("%s %.2f s, longest gap %lld ms (between status lines %s)\n", name, m.seconds,
                    static_cast<long long>(m.longestGapMs), qPrintable(m.where));
    if (!dialogs.failures.isEmpty()) {
        std::fprintf(stderr, "the window showed: %s\n", qPrintable(dialogs.failures.join(" | ")));
        return 1;
    }
    return 0;
}
