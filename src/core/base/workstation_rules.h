#pragma once
// Start-up's rule for where the program keeps its files, and the date and time texts of
// the log and the lists.
#include <QDateTime>
#include <QString>

namespace zv {

// POSIX: a current directory whose first component starts with "zod" (any case) is the
// work root; otherwise $HOME/zod/. Always ends with "/".
QString posixWorkRoot(const QString& currentDir, const QString& homeDir);

// Windows: the current directory upper-cased; characters 4 to 6 "ZOD" make it the work
// root, else the current drive's "\zod\". Given and returned with "/" (Qt's separator).
QString windowsWorkRoot(const QString& currentDir);

// The operating-system tag from Windows' version number: "XP" (5.x), "W7" (6.0, 6.1),
// "W8" for Windows 8 and every later one.
QString osVersionTag(int major, int minor);

// The three outside programs, each followed by one blank: on drive D: only for the one
// kind of workstation the marker file "c:\sysid" names ("ws2xp" on a "W7" machine).
struct ViewerCommands {
    QString explorer, browser, notepad;
};
ViewerCommands viewerCommands(const QString& osVersion, bool sysIdPresent, const QString& sysId);

QString dateText(const QDateTime& t);         // mm-dd-yyyy
QString timeText(const QDateTime& t);         // hh:mm:ss, 24-hour clock
QString dateAndTimeText(const QDateTime& t);  // date + " at " + time
QString generalDateText(const QDateTime& t);  // MM/dd/yyyy h:mm:ss AP

}  // namespace zv
