#pragma once
#include <QByteArray>
#include <QString>

#include "base/result.h"

namespace zv {

// The one way the program replaces a file: it is written under a temporary name beside
// the target, flushed to disk and renamed over it, and the rename itself is flushed, so
// that a cut at any moment leaves the old file or the new one, never a mix. Destroyed
// without a commit, the temporary file goes and the target stays as it was. Each failing
// call says why in plain words; after a failure only the destructor is meaningful.
class SafeFile {
public:
    // Private: the owner's alone (0600 on POSIX, whatever the umask; on Windows the
    // folder's ACL, which the work root makes private). AsFolder, for the practice's own
    // folders, which may be shared on purpose: as open as the umask the program started
    // with and the folder allow, in the folder's group.
    enum class Access { Private, AsFolder };
    // `tempName`, when given, is the temporary file's name in the target's folder, for
    // a caller that must find it again after a cut; otherwise a fresh hidden name.
    explicit SafeFile(QString path, Access access = Access::Private, QString tempName = {});
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    const QString& path() const { return path_; }
    Status open();
    Status write(const char* data, qint64 size);
    Status write(const QByteArray& data) { return write(data.constData(), data.size()); }
    // Writes at `offset`, for pieces that arrive out of order.
    Status writeAt(qint64 offset, const char* data, qint64 size);
    // Cuts what was written so far to `size` bytes.
    Status truncate(qint64 size);
    // Puts the data on the disk; commit() does it when it was not done before.
    Status sync();
    Status commit();
    // Gives the finished file the name `path` (the file system's own bytes) only while no
    // file has it, as the file system sees names (one that ignores letter case takes
    // "r1.txt" for "R1.TXT"): false when the name is taken; the file is then kept for
    // sameContentAs() or another name.
    Result<bool> commitIfFree(const QByteArray& path);
    // Whether the file at `path` is a regular file (a link is not followed) that holds
    // exactly the bytes written here.
    Result<bool> sameContentAs(const QByteArray& path);

private:
    Status openNamed();
    QString freshTempName() const;
    Status nameTheFile();  // gives the nameless file its temporary name
    Status giveAccess();   // the mode and group `access_` asks for
    Status writeRaw(const char* data, qint64 size);
    Status flushBuffer();
    Status failure(unsigned long err) const;  // errno, or GetLastError() on Windows
    QString path_;
    QString tempPath_;
    Access access_;
    qintptr fd_ = -1;  // a descriptor, or a HANDLE (INVALID_HANDLE_VALUE is -1 too)
    QByteArray buffer_;
    bool synced_ = false;
    bool committed_ = false;
};

// Replaces `path` by `data` through SafeFile.
Status writeFileSafely(const QString& path, const QByteArray& data,
                       SafeFile::Access access = SafeFile::Access::Private);

}  // namespace zv
