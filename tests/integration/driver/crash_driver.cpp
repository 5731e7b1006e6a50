// The console program with one addition for the crash tests: `--kill-at STEP` stops
// the process dead (SIGKILL, as a power cut would) when a send reaches STEP.
#include <QCoreApplication>
#include <QProcessEnvironment>
#include <QTextStream>
#include <csignal>
#include <cstdio>

#include "app/command_line.h"
#include "app/console.h"

namespace {

const char* stepName(zv::SendStep step) {
    switch (step) {
        case zv::SendStep::AfterBackup:
            return "after-backup";
        case zv::SendStep::AfterWorkingCopy:
            return "after-working-copy";
        case zv::SendStep::AfterDelete:
            return "after-delete";
        case zv::SendStep::AfterUpload:
            return "after-upload";
        case zv::SendStep::AfterNumber:
            return "after-number";
        case zv::SendStep::JoinBeforeReplace:
            return "join-before-replace";
        case zv::SendStep::JoinAfterReplace:
            return "join-after-replace";
    }
    return "";
}

class KillAt : public zv::SendObserver {
public:
    explicit KillAt(QString step) : step_(std::move(step)) {}
    void stepReached(zv::SendStep step) override {
        if (step_ == QLatin1String(stepName(step))) ::raise(SIGKILL);
    }

private:
    QString step_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--kill-at"));
    QString step;
    if (at > 0 && at + 1 < args.size()) {
        step = args.at(at + 1);
        args.remove(at, 2);
    }
    const zv::CommandLine cl =
        zv::parseCommandLine(args, QProcessEnvironment::systemEnvironment().toStringList());
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!cl.error.isEmpty() || cl.command.isEmpty()) {
        err << "crash_driver: " << (cl.error.isEmpty() ? QStringLiteral("no command") : cl.error)
            << '\n';
        return 2;
    }
    KillAt killAt(step);
    zv::ConsoleRunner runner(out, err, &killAt);
    return runner.run(cl);
}
