// SafeFile on POSIX: descriptors, O_TMPFILE, link and rename, fsync.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/durable_file.h"
#include "base/platform.h"

namespace zv {

namespace {

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

constexpr qint64 kReadSize = 64 * 1024;

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

SafeFile::~SafeFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !tempPath_.isEmpty()) ::unlink(QFile::encodeName(tempPath_).constData());
}

Status SafeFile::failure(unsigned long err) const {
    return fail(QStringLiteral("Cannot write %1: %2")
                    .arg(QDir::toNativeSeparators(path_), systemError(static_cast<int>(err))));
}

Status SafeFile::giveAccess() {
    // A file system without modes (FAT on a USB stick) refuses them: nothing to give there.
    const auto setMode = [this](mode_t mode) {
        return ::fchmod(fd_, mode) == 0 || errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS
                   ? Status()
                   : failure(errno);
    };
    if (access_ == Access::Private) return setMode(0600);
    // The practice's folder: group and others get what the starting umask gives them, and
    // only where the folder itself lets them in.
    struct stat folder {};
    if (::stat(QFile::encodeName(QFileInfo(path_).absolutePath()).constData(), &folder) != 0)
        return failure(errno);
    mode_t open = 0600;
    if (folder.st_mode & S_IXGRP) open |= 0060;
    if (folder.st_mode & S_IXOTH) open |= 0006;
    // Only a member of the folder's group may give a file that group: otherwise it keeps
    // the user's own.
    (void)::fchown(fd_, static_cast<uid_t>(-1), folder.st_gid);
    return setMode(0666 & ~static_cast<mode_t>(startingUmask()) & open);
}

Status SafeFile::open() {
    if (!tempPath_.isEmpty()) {
        fd_ = ::open(QFile::encodeName(tempPath_).constData(),
                     O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        // A named temporary left by an earlier run keeps its old mode: set it again.
        return fd_ == -1 ? failure(errno) : giveAccess();
    }
    // A file without a name until commit() leaves nothing behind when the program is
    // killed; file systems that cannot make one get a named temporary file instead.
    fd_ = ::open(QFile::encodeName(QFileInfo(path_).absolutePath()).constData(),
                 O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) return giveAccess();
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return failure(errno);
    return openNamed();
}

Status SafeFile::openNamed() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString candidate = freshTempName();
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            fd_ = fd;
            tempPath_ = candidate;
            return giveAccess();
        }
        if (errno != EEXIST) return failure(errno);
    }
    return fail(QStringLiteral("Cannot write %1: no free temporary name in its folder")
                    .arg(QDir::toNativeSeparators(path_)));
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

Status SafeFile::writeRaw(const char* data, qint64 size) {
    return writeAll(static_cast<int>(fd_), data, size) ? Status() : failure(errno);
}

Status SafeFile::writeAt(qint64 offset, const char* data, qint64 size) {
    if (fd_ == -1) return failure(EBADF);
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
    if (fd_ == -1) return failure(EBADF);
    if (Status s = flushBuffer(); !s) return s;
    synced_ = false;
    return ::ftruncate(fd_, size) == 0 ? Status() : failure(errno);
}

Status SafeFile::sync() {
    if (fd_ == -1) return failure(EBADF);
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
    if (fd_ == -1) return R::failure(failure(EBADF).reason());
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
    if (fd_ == -1) return R::failure(failure(EBADF).reason());
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
    QByteArray a(kReadSize, Qt::Uninitialized), b(kReadSize, Qt::Uninitialized);
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

}  // namespace zv
