#pragma once
// Text files the program writes are Windows-1252 with CR LF; readers accept CR LF, CR, LF.
#include <QByteArray>
#include <QList>
#include <QString>

namespace zv {

// Characters Windows-1252 cannot hold become '?'.
QByteArray toCp1252(const QString& text);
QString fromCp1252(const QByteArray& bytes);

// Splits at CR LF, a lone CR or a lone LF. A last line without a line end counts;
// a line end at the very end does not start another (empty) line.
QList<QByteArray> splitLines(const QByteArray& bytes);

// Writes the whole file under a temporary name in the same folder, flushes it to disk
// and renames it over `path`, so a crash never leaves a half-written file. With
// ownerOnly the file is readable and writable by its owner only. On failure returns
// false, leaves `path` as it was and puts a plain-words reason into *error.
bool writeFileAtomically(const QString& path, const QByteArray& data, bool ownerOnly,
                         QString* error);

// A file written piece by piece under a temporary name beside `path` and put in its
// place by commit(). Destroyed without a successful commit, the temporary file is
// removed and `path` stays as it was. Each failing call puts a plain-words reason
// into *error; after a failure only the destructor is meaningful.
class ReplacingFile {
public:
    ReplacingFile(QString path, bool ownerOnly);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool open(QString* error);
    bool write(const char* data, qint64 size, QString* error);
    // Cuts what was written so far to `size` bytes.
    bool truncate(qint64 size, QString* error);
    // With flushToDisk the data reach the disk before the rename and the rename itself
    // is made lasting, so that a crash leaves either the old or the new file.
    bool commit(bool flushToDisk, QString* error);

private:
    bool flushBuffer(QString* error);
    QString path_;
    QString tempPath_;
    bool ownerOnly_;
    int fd_ = -1;
    QByteArray buffer_;
    bool committed_ = false;
};

}  // namespace zv
