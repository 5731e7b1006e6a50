#pragma once
// A failure of an unattended run (the report timer, a scheduled send) must not be silent:
// it is also shown on the desktop as a freedesktop notification over the session bus.
#include <QString>

namespace zv {

// Does nothing when there is no session bus or no notification service.
void noticeFailureOnDesktop(const QString& message);
// An answer of ZOD or a payer that needs a person (a rejection, a denial, no answer).
void noticeAnswersOnDesktop(const QString& message);

}  // namespace zv
