#include "console/desktop_notice.h"

namespace zv {

// Not on Windows: an unattended run's failure waits in the log and the claim history, and its
// answers are shown, unseen, at the next start of the window.
void noticeFailureOnDesktop(const QString&) {}
void noticeAnswersOnDesktop(const QString&) {}

}  // namespace zv
