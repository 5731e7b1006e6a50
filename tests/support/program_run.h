#pragma once
// The built program run as a user runs it, in a folder of its own, stopped when it does not
// end in time.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>

namespace zv::test {

struct ProgramRun {
    bool ended = false;
    int exitCode = -1;
    QString err;
    double seconds = 0;
};

// Runs the program with `args`, HOME set to `home` and no display; kills it after `limitMs`.
inline ProgramRun runProgram(const QStringList& args, const QString& home, int limitMs) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("ZUDUVOR_WORK_ROOT");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(home);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(ZV_ZUDUVOR_BINARY), args);
    ProgramRun run;
    run.ended = process.waitForFinished(limitMs);
    run.seconds = clock.elapsed() / 1000.0;
    if (!run.ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// setup.prm in `workRoot`: one line of 50 characters and CR LF per "KEY     value".
inline void writeSetupLines(const QString& workRoot, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) bytes += line.leftJustified(50, ' ', true).toUtf8() + "\r\n";
    QDir().mkpath(workRoot);
    QFile file(workRoot + "/setup.prm");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// A whole setup whose claims come from `practice` and whose reports go to `reports`.
inline QStringList completeSetup(const QString& practice, const QString& reports) {
    return {"UserPath" + practice + "/", "UserFile*.txt",  "FileType83P",
            "SoftTypeDOCUTRAC",          "SiteID  k9site", "PassWordSecret-Pass1",
            "RptPath " + reports + "/"};
}

}  // namespace zv::test
