#include "tasks/report_sink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/platform.h"

namespace zv {

namespace {

// Free space a download leaves on the report folder's disk, for the rest of the system.
constexpr qint64 kDiskReserve = 1024 * 1024;

}  // namespace

ReportSink::ReportSink(SafeFile& part) : part_(part) {}

Status ReportSink::begin(const QString& remoteName, qint64 /*size*/) {
    remoteName_ = remoteName;
    folder_ = QFileInfo(part_.path()).absolutePath();
    return noted(part_.open());
}

// Fails while the report folder's disk has no room for the rest of the download and for
// the rest of the system.
Status ReportSink::room(qint64 left) {
    const qint64 free = freeDiskBytes(folder_);
    if (free < 0) return {};  // unknown: a write that finds the disk full still says so
    if (free >= kDiskReserve && free >= 2 * left) return {};
    return noted(
        fail(QStringLiteral("The disk of the report folder %1 is nearly full (%2 MB free), so "
                            "%3 was not fetched. Make room on that disk, then try once more")
                 .arg(QDir::toNativeSeparators(folder_))
                 .arg(free / (1024 * 1024))
                 .arg(remoteName_)));
}

Status ReportSink::writeAt(qint64 offset, QByteArrayView data) {
    return noted(part_.writeAt(offset, data.data(), data.size()));
}

}  // namespace zv
