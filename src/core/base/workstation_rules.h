#pragma once
// Start-up's rule for where the program keeps its files, and the date and time texts of
// the log and the lists.
#include <QDateTime>
#include <QString>

namespace zv {

// POSIX: a current directory whose first component starts with "zod" (any case) is the
// work root; otherwise $HOME/zod/. Always ends with "/".
QString posixWorkRoot(const QString& currentDir, const QString& homeDir);

QString dateText(const QDateTime& t);         // mm-dd-yyyy
QString timeText(const QDateTime& t);         // hh:mm:ss, 24-hour clock
QString dateAndTimeText(const QDateTime& t);  // date + " at " + time
QString generalDateText(const QDateTime& t);  // MM/dd/yyyy h:mm:ss AP

}  // namespace zv
