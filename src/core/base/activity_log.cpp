#include "base/activity_log.h"

#include "base/text_file.h"

namespace zv {

bool ActivityLog::open(const QString& path) {
    close();
    file_.setFileName(path);
    return file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void ActivityLog::writeLine(const QString& line) {
    if (!file_.isOpen()) return;
    // A failing log is not reported: the task it records goes on regardless.
    file_.write(toCp1252(line) + "\r\n");
    file_.flush();
}

void ActivityLog::close() {
    if (file_.isOpen()) file_.close();
}

}  // namespace zv
