#pragma once
// What every task of the main window is handed: the program-wide values, the window's
// ports (or the console's), the activity log, the watcher of a send and the server
// session. Each task keeps only its own state; what one step learns, the next is handed.
#include <QString>

#include "base/activity_log.h"
#include "base/module1.h"
#include "base/ports.h"
#include "claims/send_observer.h"

class QLockFile;

namespace zv {

class ServerSession;

// The activity log's line writer: each line is the activity, " on ", the date, " at "
// and the time.
class TaskLog {
public:
    explicit TaskLog(Module1& m) : m_(m) {}
    // Start-up's opening, which empties the log.
    void open() { log_.open(m_.Paths.LogFile); }
    // Sets `Activity` and writes its line.
    void write(const QString& activity);
    // Writes the line of the current `Activity`.
    void WriteLogLine();
    // The program is ending: the log is closed and never opened again in this run.
    void close();

private:
    bool ensureOpen();
    void writeLine(const QString& activity);
    Module1& m_;
    ActivityLog log_;
};

struct TaskContext {
    Module1& m;
    MainView& view;
    PickerView& picker;
    Dialogs& dialogs;
    Launcher& launcher;
    SendObserver* observer;  // may be null
    TaskLog& log;
    ServerSession& session;

    void reach(SendStep step) const {
        if (observer) observer->stepReached(step);
    }
};

// Takes a lock file in the work root so that two programs never run the same task on it
// at once; otherwise shows `busy`, or why no lock could be made ("so " + notDone).
bool lockWorkRoot(const TaskContext& ctx, QLockFile& lock, const QString& busy,
                  const QString& notDone);

}  // namespace zv
