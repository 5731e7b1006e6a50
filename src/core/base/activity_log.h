#pragma once
// ZUDUVOR.LOG: emptied at each start, one CR LF line per activity, each line on disk
// as soon as it is written.
#include <QFile>
#include <QString>

namespace zv {

class ActivityLog {
public:
    // Opens the log for writing, discarding what it held. False when it cannot be opened.
    bool open(const QString& path);
    bool isOpen() const { return file_.isOpen(); }
    // Appends `line` + CR LF (Windows-1252) and flushes it.
    void writeLine(const QString& line);
    void close();

private:
    QFile file_;
};

}  // namespace zv
