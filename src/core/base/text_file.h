#pragma once
// Text files the program writes are Windows-1252 with CR LF; readers accept CR LF, CR, LF.
#include <QByteArray>
#include <QList>
#include <QString>

#include "base/readable_name.h"
#include "base/result.h"

namespace zv {

// Characters Windows-1252 cannot hold become '?'.
QByteArray toCp1252(const QString& text);
QString fromCp1252(const QByteArray& bytes);

// Splits at CR LF, a lone CR or a lone LF. A last line without a line end counts;
// a line end at the very end does not start another (empty) line.
QList<QByteArray> splitLines(const QByteArray& bytes);

// The one way the program replaces a file: it is written under a temporary name beside
// the target, flushed to disk and renamed over it, and the rename itself is flushed, so
// that a cut at any moment leaves the old file or the new one, never a mix. Destroyed
// without a commit, the temporary file goes and the target stays as it was. Each failing
// call says why in plain words; after a failure only the destructor is meaningful.
class SafeFile {
public:
    // OwnerOnly: readable and writable by the owner alone (0600). Umask: 0666 narrowed
    // by the umask, as any new file.
    enum class Access { Umask, OwnerOnly };
    // `tempName`, when given, is the temporary file's name in the target's folder, for
    // a caller that must find it again after a cut; otherwise a fresh hidden name.
    explicit SafeFile(QString path, Access access = Access::Umask, QString tempName = {});
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
    Status openNamed(int mode);
    QString freshTempName() const;
    Status nameTheFile();  // gives the nameless file its temporary name
    Status flushBuffer();
    Status failure(int err) const;
    QString path_;
    QString tempPath_;
    Access access_;
    int fd_ = -1;
    QByteArray buffer_;
    bool synced_ = false;
    bool committed_ = false;
};

// Replaces `path` by `data` through SafeFile.
Status writeFileSafely(const QString& path, const QByteArray& data,
                       SafeFile::Access access = SafeFile::Access::Umask);

}  // namespace zv
