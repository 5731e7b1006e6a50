#pragma once
// Start-up, run once before the main window is shown: the work root and its folders, the
// setup file, the activity log, and the server's address.
#include <QString>

#include "tasks/task_context.h"

namespace zv {

struct StartOptions {
    QString workRoot;    // --work-root / ZUDUVOR_WORK_ROOT; empty = the usual rule
    QString sftpHost;    // --sftp-host / ZUDUVOR_SFTP_HOST; empty = the built-in host
    int sftpPort = 0;    // --sftp-port / ZUDUVOR_SFTP_PORT; 0 = 22
    QString currentDir;  // empty = the process's current directory
    QString homeDir;     // empty = $HOME
};

enum class StartState { NoSetupFile, UnknownKey, MissingValue, Complete, WorkRootUnusable };

// Each failed check shows one message and ends start-up early.
StartState startUp(const TaskContext& ctx, const StartOptions& options);

}  // namespace zv
