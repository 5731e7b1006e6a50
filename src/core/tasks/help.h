#pragma once
// The main window's Help and "ZOD Web Site" buttons.
#include "tasks/task_context.h"

namespace zv {

// The main window's help text, into the status list.
void showHelp(const TaskContext& ctx);
// ZOD's web site, in the desktop's browser.
void openWebSite(const TaskContext& ctx);

}  // namespace zv
