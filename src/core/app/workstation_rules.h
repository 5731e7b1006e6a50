#pragma once
// Start-up's rules for where the program keeps its files and which outside programs it
// names; the Windows forms are kept so that a Windows build behaves as on the
// workstations the program was made for.
#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace zv {

// Windows: upper-cases the current path; characters 4-6 "ZOD" keep it (plus "\"),
// otherwise the drive + "\zod\".
QString windowsWorkRoot(const QString& currentDir);
// POSIX: a current directory whose first component starts with "zod" (any case) is the
// work root; otherwise $HOME/zod/. Always ends with "/".
QString posixWorkRoot(const QString& currentDir, const QString& homeDir);

// Output of "ver": "XP", "W7" or "W8" (the last matching line decides).
QString parseVerOutput(const QByteArray& output);
// First line of the sysid marker file, lower-cased, blanks kept.
QString sysIdFromMarker(const QByteArray& contents);

struct ViewerCommands {
    QString explorer;
    QString browser;
    QString notepad;
};
// C: forms, or D: forms when the tag is "W7" and the marker is "ws2xp".
ViewerCommands windowsViewerCommands(const QString& osVersion, bool markerExists,
                                     const QString& sysId);

QString dateText(const QDateTime& t);         // mm-dd-yyyy
QString timeText(const QDateTime& t);         // hh:mm:ss, 24-hour clock
QString dateAndTimeText(const QDateTime& t);  // date + " at " + time
QString generalDateText(const QDateTime& t);  // MM/dd/yyyy h:mm:ss AP

}  // namespace zv
