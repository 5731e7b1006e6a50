#pragma once
// The View Reports button (and the OK after fetching reports): the report folder opened
// in the desktop's file browser.
#include "tasks/task_context.h"

namespace zv {

void viewReports(const TaskContext& ctx);

}  // namespace zv
