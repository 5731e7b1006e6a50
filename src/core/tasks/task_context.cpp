#include "tasks/task_context.h"

#include <QDateTime>
#include <QLockFile>

#include "base/workstation_rules.h"

namespace zv {

bool TaskLog::ensureOpen() {
    // A start-up that ended before its log step leaves no log; the first task that
    // logs opens it then, so the run's activity is still recorded.
    if (log_.isOpen()) return true;
    if (m_.Paths.LogFile.isEmpty()) return false;
    return log_.open(m_.Paths.LogFile);
}

void TaskLog::writeLine(const QString& activity) {
    if (!ensureOpen()) return;
    log_.writeLine(activity + QStringLiteral(" on ") + dateText(QDateTime::currentDateTime()) +
                   QStringLiteral(" at ") + timeText(QDateTime::currentDateTime()));
}

void TaskLog::WriteLogLine() { writeLine(m_.Activity); }

void TaskLog::write(const QString& activity) {
    m_.Activity = activity;
    writeLine(activity);
}

void TaskLog::close() {
    log_.close();
    // A task still finishing (Exit clicked during a send's chance for input) must not
    // open the log again: that would empty it.
    m_.Paths.LogFile.clear();
}

bool lockWorkRoot(const TaskContext& ctx, QLockFile& lock, const QString& busy,
                  const QString& notDone) {
    lock.setStaleLockTime(0);  // a lock left by a program that was killed is taken over
    if (lock.tryLock(0)) return true;
    if (lock.error() == QLockFile::LockFailedError) {
        ctx.dialogs.message(busy);
    } else {
        // No lock could be made at all: the work folder is full or not writable.
        ctx.dialogs.message(QStringLiteral("The work folder ") + ctx.m.Paths.WorkRoot +
                            QStringLiteral(" cannot be written (is the disk full?), so ") +
                            notDone +
                            QStringLiteral(". Free some disk space, then try once more."));
    }
    return false;
}

}  // namespace zv
