#include "console/desktop_notice.h"

namespace zv {

// Not yet on Windows: a scheduled run's failure waits in the log and the claim history.
void noticeFailureOnDesktop(const QString&) {}

}  // namespace zv
