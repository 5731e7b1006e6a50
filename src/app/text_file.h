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

}  // namespace zv
