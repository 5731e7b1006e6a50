#pragma once
// `zuduvor schedule on|off`: the unattended report pickup, every hour on working days,
// catching up after the computer was off. Windows: a task of the user's own in the Task
// Scheduler; elsewhere the systemd user timer the package installs.
#include <QString>

#include "base/result.h"

namespace zv {

// The Task Scheduler's definition of the pickup: `program` get-reports on `workRoot`.
QString reportTaskXml(const QString& program, const QString& workRoot);

// Turns the pickup on or off; the text says what was done, or why not.
Result<QString> scheduleReports(bool on, const QString& workRoot);

}  // namespace zv
