// What every platform shares of SafeFile: its names and its write buffer. The calls into
// the file system are in durable_file_posix.cpp and durable_file_windows.cpp.
#include "base/durable_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace zv {

namespace {

constexpr qint64 kWriteBufferSize = 64 * 1024;

}  // namespace

SafeFile::SafeFile(QString path, Access access, QString tempName)
    : path_(std::move(path)), access_(access) {
    // The temporary file lies in the target's folder so that the rename cannot cross
    // file systems.
    if (!tempName.isEmpty()) tempPath_ = QFileInfo(path_).absolutePath() + u'/' + tempName;
    buffer_.reserve(kWriteBufferSize);
}

QString SafeFile::freshTempName() const {
    // A short name keeps a target whose own name is near the file system's limit
    // writable; the leading dot keeps it out of the program's own listings.
    return QFileInfo(path_).absolutePath() + QStringLiteral("/.zvpart-") +
           QString::number(QRandomGenerator::global()->generate(), 16);
}

Status SafeFile::flushBuffer() {
    if (buffer_.isEmpty()) return {};
    if (Status s = writeRaw(buffer_.constData(), buffer_.size()); !s) return s;
    buffer_.clear();
    return {};
}

Status SafeFile::write(const char* data, qint64 size) {
    if (fd_ == -1)
        return fail(
            QStringLiteral("Cannot write %1: it is not open").arg(QDir::toNativeSeparators(path_)));
    synced_ = false;
    if (buffer_.size() + size > kWriteBufferSize) {
        if (Status s = flushBuffer(); !s) return s;
    }
    if (size < kWriteBufferSize) {
        buffer_.append(data, size);
        return {};
    }
    return writeRaw(data, size);
}

Status writeFileSafely(const QString& path, const QByteArray& data, SafeFile::Access access) {
    SafeFile file(path, access);
    if (Status s = file.open(); !s) return s;
    if (Status s = file.write(data); !s) return s;
    return file.commit();
}

}  // namespace zv
