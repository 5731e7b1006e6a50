#include "base/text_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArrayView>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <array>
#include <optional>

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

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The process's umask, read without changing it (umask() would, for every thread).
std::optional<mode_t> currentUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("Umask:")) continue;
        bool ok = false;
        const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
        if (ok) return static_cast<mode_t>(mask);
    }
    return std::nullopt;
}

// Renames without ever replacing `to` (-1 with EEXIST when it exists), on file systems
// without RENAME_NOREPLACE through a hard link, and on those without links either by a
// look right before the rename.
int renameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return -1;
    if (::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return -1;
    struct stat st;
    if (::lstat(to, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return errno == ENOENT ? ::rename(from, to) : -1;
}

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

SafeFile::SafeFile(QString path, Access access, QString tempName)
    : path_(std::move(path)), access_(access) {
    // The temporary file lies in the target's folder so that the rename cannot cross
    // file systems.
    if (!tempName.isEmpty()) tempPath_ = QFileInfo(path_).absolutePath() + u'/' + tempName;
}

SafeFile::~SafeFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !tempPath_.isEmpty()) ::unlink(QFile::encodeName(tempPath_).constData());
}

Status SafeFile::failure(int err) const {
    return fail(QStringLiteral("Cannot write %1: %2")
                    .arg(QDir::toNativeSeparators(path_), systemError(err)));
}

Status SafeFile::open() {
    const mode_t mode = access_ == Access::OwnerOnly ? 0600 : 0666;  // 0666 less the umask
    if (!tempPath_.isEmpty()) {
        fd_ = ::open(QFile::encodeName(tempPath_).constData(),
                     O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
        if (fd_ < 0) return failure(errno);
        // A named temporary left by an earlier run keeps its old mode: set it again.
        if (access_ == Access::OwnerOnly && ::fchmod(fd_, mode) != 0) return failure(errno);
        return {};
    }
    // A file without a name until commit() leaves nothing behind when the program is
    // killed; file systems that cannot make one get a named temporary file instead.
    fd_ = ::open(QFile::encodeName(QFileInfo(path_).absolutePath()).constData(),
                 O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (fd_ >= 0) {
        buffer_.reserve(kWriteBufferSize);
        // Some kernels give such a file its mode without applying the umask: nothing may
        // be more open than the umask allows.
        if (const std::optional<mode_t> mask = currentUmask();
            mask && ::fchmod(fd_, mode & ~*mask) != 0)
            return failure(errno);
        return {};
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return failure(errno);
    return openNamed(mode);
}

Status SafeFile::openNamed(int mode) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString candidate = freshTempName();
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
        if (fd >= 0) {
            fd_ = fd;
            tempPath_ = candidate;
            buffer_.reserve(kWriteBufferSize);
            return {};
        }
        if (errno != EEXIST) return failure(errno);
    }
    return fail(QStringLiteral("Cannot write %1: no free temporary name in its folder")
                    .arg(QDir::toNativeSeparators(path_)));
}

QString SafeFile::freshTempName() const {
    // A short name keeps a target whose own name is near the file system's limit
    // writable; the leading dot keeps it out of the program's own listings.
    return QFileInfo(path_).absolutePath() + QStringLiteral("/.zvpart-") +
           QString::number(QRandomGenerator::global()->generate(), 16);
}

Status SafeFile::nameTheFile() {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString candidate = freshTempName();
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, QFile::encodeName(candidate).constData(),
                     AT_SYMLINK_FOLLOW) == 0) {
            tempPath_ = candidate;
            return {};
        }
        if (errno != EEXIST) return failure(errno);
    }
    return fail(QStringLiteral("Cannot write %1: no free temporary name in its folder")
                    .arg(QDir::toNativeSeparators(path_)));
}

Status SafeFile::flushBuffer() {
    if (buffer_.isEmpty()) return {};
    if (!writeAll(fd_, buffer_.constData(), buffer_.size())) return failure(errno);
    buffer_.clear();
    return {};
}

Status SafeFile::write(const char* data, qint64 size) {
    if (fd_ < 0) return failure(EBADF);
    synced_ = false;
    if (buffer_.size() + size > kWriteBufferSize) {
        if (Status s = flushBuffer(); !s) return s;
    }
    if (size < kWriteBufferSize) {
        buffer_.append(data, size);
        return {};
    }
    return writeAll(fd_, data, size) ? Status() : failure(errno);
}

Status SafeFile::writeAt(qint64 offset, const char* data, qint64 size) {
    if (fd_ < 0) return failure(EBADF);
    if (Status s = flushBuffer(); !s) return s;
    synced_ = false;
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, data, static_cast<size_t>(size), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return failure(n < 0 ? errno : ENOSPC);
        data += n;
        size -= n;
        offset += n;
    }
    return {};
}

Status SafeFile::truncate(qint64 size) {
    if (fd_ < 0) return failure(EBADF);
    if (Status s = flushBuffer(); !s) return s;
    synced_ = false;
    return ::ftruncate(fd_, size) == 0 ? Status() : failure(errno);
}

Status SafeFile::sync() {
    if (fd_ < 0) return failure(EBADF);
    if (Status s = flushBuffer(); !s) return s;
    if (::fsync(fd_) != 0) return failure(errno);
    synced_ = true;
    return {};
}

Status SafeFile::commit() {
    if (!synced_) {
        if (Status s = sync(); !s) return s;
    }
    if (tempPath_.isEmpty()) {
        if (Status s = nameTheFile(); !s) return s;
    }
    // close() can report a delayed write error (NFS, full disk): check it.
    const int closeResult = ::close(fd_);
    fd_ = -1;
    if (closeResult != 0) return failure(errno);
    if (::rename(QFile::encodeName(tempPath_).constData(), QFile::encodeName(path_).constData()) !=
        0)
        return failure(errno);
    committed_ = true;
    syncFolder(QFileInfo(path_).absolutePath());
    return {};
}

Result<bool> SafeFile::commitIfFree(const QByteArray& path) {
    using R = Result<bool>;
    if (fd_ < 0) return R::failure(failure(EBADF).reason());
    if (!synced_) {
        if (Status s = sync(); !s) return R::failure(s.reason());
    }
    // A link, like RENAME_NOREPLACE, never replaces a file: the name is taken only when free.
    const int placed =
        tempPath_.isEmpty()
            ? ::linkat(AT_FDCWD, ("/proc/self/fd/" + QByteArray::number(fd_)).constData(), AT_FDCWD,
                       path.constData(), AT_SYMLINK_FOLLOW)
            : renameNoReplace(QFile::encodeName(tempPath_).constData(), path.constData());
    if (placed != 0) return errno == EEXIST ? R(false) : R::failure(failure(errno).reason());
    committed_ = true;
    const int closeResult = ::close(fd_);
    fd_ = -1;
    if (closeResult != 0) {
        const int err = errno;
        ::unlink(path.constData());
        return R::failure(failure(err).reason());
    }
    syncFolder(QFileInfo(path_).absolutePath());
    return true;
}

Result<bool> SafeFile::sameContentAs(const QByteArray& path) {
    using R = Result<bool>;
    if (fd_ < 0) return R::failure(failure(EBADF).reason());
    if (Status s = flushBuffer(); !s) return R::failure(s.reason());
    // Read back through a descriptor of its own: some FUSE file systems do not show what
    // was written through the writing one.
    const UniqueFd mine(
        ::open(("/proc/self/fd/" + QByteArray::number(fd_)).constData(), O_RDONLY | O_CLOEXEC));
    // Whatever cannot be read as a plain file (a link, a folder, a device) is different.
    const UniqueFd other(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat ours, theirs;
    if (mine.get() < 0 || ::fstat(mine.get(), &ours) != 0)
        return R::failure(failure(errno).reason());
    if (other.get() < 0 || ::fstat(other.get(), &theirs) != 0 || !S_ISREG(theirs.st_mode))
        return false;
    if (ours.st_size != theirs.st_size) return false;
    QByteArray a(kWriteBufferSize, Qt::Uninitialized), b(kWriteBufferSize, Qt::Uninitialized);
    for (off_t offset = 0; offset < ours.st_size;) {
        const ssize_t n = ::pread(mine.get(), a.data(), a.size(), offset);
        if (n <= 0) return R::failure(failure(n < 0 ? errno : EIO).reason());
        if (::pread(other.get(), b.data(), n, offset) != n ||
            memcmp(a.constData(), b.constData(), n))
            return false;
        offset += n;
    }
    return true;
}

Status writeFileSafely(const QString& path, const QByteArray& data, SafeFile::Access access) {
    SafeFile file(path, access);
    if (Status s = file.open(); !s) return s;
    if (Status s = file.write(data); !s) return s;
    return file.commit();
}

}  // namespace zv
