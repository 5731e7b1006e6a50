#include "console/desktop_notice.h"

namespace zv {

// A scheduled run on Windows has no desktop session to speak into; its failure waits in
// the log and the claim history, and the window says it at its next start.
void noticeFailureOnDesktop(const QString&) {}

}  // namespace zv
