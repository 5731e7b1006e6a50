// SafeFile on Windows: a temporary file beside the target, FlushFileBuffers, and
// MoveFileExW with write-through for the rename. The file takes the folder's ACL.
#include <windows.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/durable_file.h"
#include "base/platform.h"
#include "base/readable_name.h"

namespace zv {

namespace {

HANDLE handleOf(qintptr fd) { return reinterpret_cast<HANDLE>(fd); }

// An absolute path in Windows' own form; past MAX_PATH with the \\?\ prefix, which lifts
// that limit (the prefix also turns off the parsing of "." and "..", which the absolute
// path no longer holds).
std::wstring longPath(const QString& path) {
    const QString absolute =
        QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (absolute.size() < MAX_PATH - 12 || absolute.startsWith(QLatin1String("\\\\")))
        return absolute.toStdWString();
    return (QStringLiteral("\\\\?\\") + absolute).toStdWString();
}

qintptr createFile(const QString& path, DWORD disposition) {
    // Others may read it and rename it (FILE_SHARE_DELETE lets MoveFileExW move it while
    // this handle is open), but not write it.
    return reinterpret_cast<qintptr>(CreateFileW(
        longPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
        nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool readAt(HANDLE file, char* data, DWORD size, qint64 offset, DWORD& got) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    got = 0;
    return ReadFile(file, data, size, &got, &at) || GetLastError() == ERROR_HANDLE_EOF;
}

struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

constexpr DWORD kReadSize = 64 * 1024;

}  // namespace

SafeFile::~SafeFile() {
    if (fd_ != -1) CloseHandle(handleOf(fd_));
    if (!committed_ && !tempPath_.isEmpty()) DeleteFileW(longPath(tempPath_).c_str());
}

Status SafeFile::failure(unsigned long err) const {
    QString why = windowsErrorText(err);
    // What a viewer or an editor holding the file looks like from here.
    if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION ||
        (err == ERROR_ACCESS_DENIED && QFileInfo::exists(path_)))
        why = QStringLiteral(
            "it is open in another program. Close that program (a viewer "
            "or an editor), then try once more");
    return fail(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path_), why));
}

Status SafeFile::giveAccess() { return {}; }

Status SafeFile::open() {
    if (windowsForbidsName(QFileInfo(path_).fileName()))
        return fail(QStringLiteral("Cannot write %1: Windows does not allow this file name")
                        .arg(QDir::toNativeSeparators(path_)));
    if (!tempPath_.isEmpty()) {
        fd_ = createFile(tempPath_, CREATE_ALWAYS);
        return fd_ == -1 ? failure(GetLastError()) : Status();
    }
    return openNamed();
}

Status SafeFile::openNamed() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString candidate = freshTempName();
        fd_ = createFile(candidate, CREATE_NEW);
        if (fd_ != -1) {
            tempPath_ = candidate;
            return {};
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return failure(GetLastError());
    }
    return fail(QStringLiteral("Cannot write %1: no free temporary name in its folder")
                    .arg(QDir::toNativeSeparators(path_)));
}

Status SafeFile::nameTheFile() { return {}; }

Status SafeFile::writeRaw(const char* data, qint64 size) {
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(std::min<qint64>(size, 1 << 30));
        DWORD written = 0;
        if (!WriteFile(handleOf(fd_), data, piece, &written, nullptr))
            return failure(GetLastError());
        data += written;
        size -= written;
    }
    return {};
}

Status SafeFile::writeAt(qint64 offset, const char* data, qint64 size) {
    if (fd_ == -1) return failure(ERROR_INVALID_HANDLE);
    if (Status s = flushBuffer(); !s) return s;
    synced_ = false;
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD piece = static_cast<DWORD>(std::min<qint64>(size, 1 << 30));
        DWORD written = 0;
        if (!WriteFile(handleOf(fd_), data, piece, &written, &at)) return failure(GetLastError());
        if (written == 0) return failure(ERROR_DISK_FULL);
        data += written;
        size -= written;
        offset += written;
    }
    return {};
}

Status SafeFile::truncate(qint64 size) {
    if (fd_ == -1) return failure(ERROR_INVALID_HANDLE);
    if (Status s = flushBuffer(); !s) return s;
    synced_ = false;
    LARGE_INTEGER at{};
    at.QuadPart = size;
    if (!SetFilePointerEx(handleOf(fd_), at, nullptr, FILE_BEGIN) || !SetEndOfFile(handleOf(fd_)))
        return failure(GetLastError());
    return {};
}

Status SafeFile::sync() {
    if (fd_ == -1) return failure(ERROR_INVALID_HANDLE);
    if (Status s = flushBuffer(); !s) return s;
    if (!FlushFileBuffers(handleOf(fd_))) return failure(GetLastError());
    synced_ = true;
    return {};
}

Status SafeFile::commit() {
    if (!synced_) {
        if (Status s = sync(); !s) return s;
    }
    CloseHandle(handleOf(fd_));
    fd_ = -1;
    // Write-through: the move is on the disk when the call returns. A target that another
    // program holds open without sharing its deletion fails here and stays as it was.
    if (!MoveFileExW(longPath(tempPath_).c_str(), longPath(path_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return failure(GetLastError());
    committed_ = true;
    return {};
}

Result<bool> SafeFile::commitIfFree(const QByteArray& path) {
    using R = Result<bool>;
    if (fd_ == -1) return R::failure(failure(ERROR_INVALID_HANDLE).reason());
    if (!synced_) {
        if (Status s = sync(); !s) return R::failure(s.reason());
    }
    const QString target = QFile::decodeName(path);
    if (windowsForbidsName(QFileInfo(target).fileName()))
        return R::failure(QStringLiteral("Cannot write %1: Windows does not allow this file name")
                              .arg(QDir::toNativeSeparators(target)));
    // Without REPLACE_EXISTING the move never replaces a file, and Windows compares names
    // without regard to letter case, as this must.
    if (!MoveFileExW(longPath(tempPath_).c_str(), longPath(target).c_str(),
                     MOVEFILE_WRITE_THROUGH)) {
        const DWORD err = GetLastError();
        if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) return false;
        return R::failure(failure(err).reason());
    }
    committed_ = true;
    CloseHandle(handleOf(fd_));
    fd_ = -1;
    return true;
}

Result<bool> SafeFile::sameContentAs(const QByteArray& path) {
    using R = Result<bool>;
    if (fd_ == -1) return R::failure(failure(ERROR_INVALID_HANDLE).reason());
    if (Status s = flushBuffer(); !s) return R::failure(s.reason());
    // A folder, a link or a device is different: only a plain file is opened.
    const QString other = QFile::decodeName(path);
    if (!isPlainFile(other)) return false;
    const Handle theirs(CreateFileW(longPath(other).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    LARGE_INTEGER ours{}, their{};
    if (!GetFileSizeEx(handleOf(fd_), &ours)) return R::failure(failure(GetLastError()).reason());
    if (theirs.h == INVALID_HANDLE_VALUE || !GetFileSizeEx(theirs.h, &their)) return false;
    if (ours.QuadPart != their.QuadPart) return false;
    QByteArray a(kReadSize, Qt::Uninitialized), b(kReadSize, Qt::Uninitialized);
    for (qint64 offset = 0; offset < ours.QuadPart;) {
        DWORD n = 0, m = 0;
        if (!readAt(handleOf(fd_), a.data(), kReadSize, offset, n) || n == 0)
            return R::failure(failure(GetLastError()).reason());
        if (!readAt(theirs.h, b.data(), n, offset, m) || m != n ||
            memcmp(a.constData(), b.constData(), n))
            return false;
        offset += n;
    }
    return true;
}

}  // namespace zv
