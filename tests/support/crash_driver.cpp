// The console program with one addition for the crash tests: `--kill-at N` stops the
// process dead (SIGKILL, as a power cut would) when a send reaches SendStep number N.
#include <QCoreApplication>
#include <QProcessEnvironment>
#include <QTextStream>
#include <csignal>
#include <cstdio>

#include "console/command_line.h"
#include "console/console.h"

namespace {

struct KillAt : zv::SendObserver {
    int step = -1;
    void stepReached(zv::SendStep reached) override {
        if (int(reached) == step) ::raise(SIGKILL);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--kill-at"));
    KillAt killAt;
    if (at > 0 && at + 1 < args.size()) {
        killAt.step = args.at(at + 1).toInt();
        args.remove(at, 2);
    }
    const zv::CommandLine cl =
        zv::parseCommandLine(args, QProcessEnvironment::systemEnvironment().toStringList());
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!cl.error.isEmpty()) {
        err << "crash_driver: " << cl.error << '\n';
        return 2;
    }
    zv::ConsoleRunner runner(out, err, &killAt);
    return runner.run(cl);
}
