#include "app/text_file.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <array>

namespace zv {

namespace {

// Windows-1252 bytes 0x80-0x9F; 0 marks the five bytes the code page leaves undefined,
// which map to the C1 control of the same number (as Windows itself does), so that any
// byte string survives a read and a write unchanged.
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char toCp1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    if (c >= 0x80 && c <= 0x9F) return kHighTable[c - 0x80] == 0 ? static_cast<char>(c) : '?';
    for (std::size_t i = 0; i < kHighTable.size(); ++i) {
        if (kHighTable[i] != 0 && kHighTable[i] == c) return static_cast<char>(0x80 + i);
    }
    return '?';
}

QString systemError(int err) { return QString::fromLocal8Bit(strerror(err)); }

// Writes all of `size` bytes, retrying after interruptions and short writes.
bool writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// Makes a rename inside `folder` lasting.
void syncFolder(const QString& folder) {
    const int dfd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (dfd < 0) return;
    ::fsync(dfd);
    ::close(dfd);
}

constexpr qint64 kWriteBufferSize = 64 * 1024;

}  // namespace

QByteArray toCp1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) out.append(toCp1252Byte(c));
    return out;
}

QString fromCp1252(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u <= 0x9F && kHighTable[u - 0x80] != 0) {
            out.append(QChar(kHighTable[u - 0x80]));
        } else {
            out.append(QChar(u));
        }
    }
    return out;
}

QList<QByteArray> splitLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') continue;
        lines.append(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n) lines.append(bytes.mid(start));
    return lines;
}

ReplacingFile::ReplacingFile(QString path, bool ownerOnly)
    : path_(std::move(path)), ownerOnly_(ownerOnly) {}

ReplacingFile::~ReplacingFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !tempPath_.isEmpty()) ::unlink(QFile::encodeName(tempPath_).constData());
}

bool ReplacingFile::open(QString* error) {
    const QFileInfo target(path_);
    // The temporary file must lie in the target's folder so that the rename cannot
    // cross file systems; a leading dot keeps it out of the program's own listings.
    const QString base =
        target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".part-");
    const mode_t mode = ownerOnly_ ? 0600 : 0666;  // 0666 is narrowed by the umask
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString candidate =
            base + QString::number(QRandomGenerator::global()->generate(), 16);
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            fd_ = fd;
            tempPath_ = candidate;
            buffer_.reserve(kWriteBufferSize);
            return true;
        }
        if (errno != EEXIST) {
            if (error) {
                *error = QStringLiteral("Cannot write %1: %2")
                             .arg(QDir::toNativeSeparators(path_), systemError(errno));
            }
            return false;
        }
    }
    if (error) {
        *error = QStringLiteral("Cannot write %1: no free temporary name in its folder")
                     .arg(QDir::toNativeSeparators(path_));
    }
    return false;
}

bool ReplacingFile::flushBuffer(QString* error) {
    if (buffer_.isEmpty()) return true;
    if (!writeAll(fd_, buffer_.constData(), buffer_.size())) {
        if (error) {
            *error = QStringLiteral("Cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(path_), systemError(errno));
        }
        return false;
    }
    buffer_.clear();
    return true;
}

bool ReplacingFile::write(const char* data, qint64 size, QString* error) {
    if (fd_ < 0) {
        if (error) *error = QStringLiteral("Cannot write %1").arg(QDir::toNativeSeparators(path_));
        return false;
    }
    if (buffer_.size() + size > kWriteBufferSize && !flushBuffer(error)) return false;
    if (size >= kWriteBufferSize) {
        if (!writeAll(fd_, data, size)) {
            if (error) {
                *error = QStringLiteral("Cannot write %1: %2")
                             .arg(QDir::toNativeSeparators(path_), systemError(errno));
            }
            return false;
        }
        return true;
    }
    buffer_.append(data, size);
    return true;
}

bool ReplacingFile::truncate(qint64 size, QString* error) {
    if (fd_ < 0 || !flushBuffer(error)) return false;
    if (::ftruncate(fd_, size) != 0) {
        if (error) {
            *error = QStringLiteral("Cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(path_), systemError(errno));
        }
        return false;
    }
    return true;
}

bool ReplacingFile::commit(bool flushToDisk, QString* error) {
    if (fd_ < 0 || !flushBuffer(error)) return false;
    const auto fail = [&](int err) {
        if (error) {
            *error = QStringLiteral("Cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(path_), systemError(err));
        }
        return false;
    };
    if (flushToDisk && ::fsync(fd_) != 0) return fail(errno);
    // close() can report a delayed write error (NFS, full disk): check it.
    const int closeResult = ::close(fd_);
    fd_ = -1;
    if (closeResult != 0) return fail(errno);
    if (::rename(QFile::encodeName(tempPath_).constData(), QFile::encodeName(path_).constData()) !=
        0) {
        return fail(errno);
    }
    committed_ = true;
    if (flushToDisk) syncFolder(QFileInfo(path_).absolutePath());
    return true;
}

bool writeFileAtomically(const QString& path, const QByteArray& data, bool ownerOnly,
                         QString* error) {
    ReplacingFile file(path, ownerOnly);
    return file.open(error) && file.write(data.constData(), data.size(), error) &&
           file.commit(true, error);
}

}  // namespace zv
