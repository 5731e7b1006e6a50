#include "console/desktop_notice.h"

namespace zv {

void noticeFailureOnDesktop(const QString& message) {
    showDesktopNotice(QStringLiteral("ZUDUVOR: the transfer with ZOD failed"), message);
}

void noticeAnswersOnDesktop(const QString& message) {
    showDesktopNotice(QStringLiteral("ZUDUVOR: an answer from ZOD needs you"), message);
}

}  // namespace zv
