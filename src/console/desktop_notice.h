#pragma once
// A failure of an unattended run (the report timer, a scheduled send) must not be silent:
// it is also shown on the desktop (Linux: a freedesktop notification over the session bus;
// Windows: a balloon from the notification area).
#include <QString>

namespace zv {

// Does nothing when there is no desktop to show it on.
void noticeFailureOnDesktop(const QString& message);
// An answer of ZOD or a payer that needs a person (a rejection, a denial, no answer).
void noticeAnswersOnDesktop(const QString& message);

// The platform's own way of showing one notice (desktop_notice_posix/_windows.cpp).
void showDesktopNotice(const QString& title, const QString& message);

}  // namespace zv
