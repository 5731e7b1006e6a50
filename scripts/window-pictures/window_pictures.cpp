// Pictures of the program's windows for the README, as a practice sees them: the main
// window after a send to the server that scripts/screenshots runs, the progress bar of its
// slow report download, the claim file picker,
// the setup chooser, the claim setup, the report setup, and the claim history when the
// main window has a button for it.
//   zuduvor_pictures OUTDIR WORKROOT HOST PORT
// Drives the windows from outside, as a user's clicks would; the program has no hook.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTextStream>
#include <QTimer>
#include <cstdio>

#include "gui/form2.h"
#include "gui/zuduvor_window.h"

namespace {

// Message boxes would wait for a click nobody makes: their texts go to standard error,
// and every question is answered Cancel.
struct QuietDialogs : zv::Dialogs {
    void message(const QString& text, zv::MessageKind) override {
        QTextStream(stderr) << "message: " << text << '\n';
    }
    bool askOkCancel(const QString& text, zv::MessageIcon) override {
        QTextStream(stderr) << "question (Cancel): " << text << '\n';
        return false;
    }
};

struct NoLauncher : zv::Launcher {
    bool openerExists() override { return true; }
    zv::Status open(const QString&) override { return {}; }
};

// Runs `shown` each time the watched widget is shown.
class ShowWatch : public QObject {
public:
    explicit ShowWatch(std::function<void()> shown) : shown_(std::move(shown)) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show) shown_();
        return false;
    }

private:
    std::function<void()> shown_;
};

QSet<QWidget*> shownWindows() {
    QSet<QWidget*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) out.insert(w);
    return out;
}

// The window an action opened: visible now, not before.
QWidget* openedSince(const QSet<QWidget*>& before) {
    for (QWidget* w : shownWindows())
        if (!before.contains(w)) return w;
    return nullptr;
}

void settle() {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5) {
        QTextStream(stderr) << "usage: zuduvor_pictures OUTDIR WORKROOT HOST PORT\n";
        return 2;
    }
    const QDir out(args[1]);
    int failures = 0;
    auto shoot = [&](QWidget* window, const char* name) {
        settle();
        const QString path = out.filePath(QLatin1String(name) + QStringLiteral(".png"));
        if (window && window->grab().save(path, "PNG")) {
            QTextStream(stdout) << path << '\n';
        } else {
            QTextStream(stderr) << "no picture of " << name << '\n';
            ++failures;
        }
    };

    zv::Module1 m;
    QuietDialogs dialogs;
    NoLauncher launcher;
    zv::ZuduvorWindow w(m, dialogs, launcher);
    w.show();
    if (w.logic().Form_Load({args[2], args[3], args[4].toInt(), {}, {}}) !=
        zv::StartState::Complete)
        return 1;

    // The send fetches a report the server hands out slowly: the progress bar comes up.
    bool barShot = false;
    ShowWatch watch([&] {
        if (!barShot) QTimer::singleShot(150, [&] { shoot(w.progressBar(), "transfer-progress"); });
        barShot = true;
    });
    w.progressBar()->installEventFilter(&watch);
    w.button(zv::Control::SendClaims)->click();
    if (!barShot) shoot(nullptr, "transfer-progress");
    shoot(&w, "main-window");

    QSet<QWidget*> before = shownWindows();
    w.button(zv::Control::ViewClaims)->click();
    shoot(openedSince(before), "claim-file-picker");
    w.logic().Form5_Command1_Click();

    before = shownWindows();
    w.button(zv::Control::Setup)->click();
    auto* chooser = qobject_cast<zv::Form2*>(openedSince(before));
    shoot(chooser, "setup-chooser");
    if (chooser) {
        before = shownWindows();
        chooser->Command1_Click();
        QWidget* claimSetup = openedSince(before);
        shoot(claimSetup, "claim-setup");
        if (claimSetup) claimSetup->hide();
        before = shownWindows();
        chooser->Command2_Click();
        QWidget* reportSetup = openedSince(before);
        shoot(reportSetup, "report-setup");
        if (reportSetup) reportSetup->hide();
        chooser->hide();
    }

    // Made only where the main window has the button.
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
        if (b->text() != QLatin1String("Claim History")) continue;
        before = shownWindows();
        b->click();
        shoot(openedSince(before), "claim-history");
    }
    w.logic().Command1_Click();
    return failures == 0 ? 0 : 1;
}
