#pragma once
// Text files the program writes are Windows-1252 with CR LF; readers accept CR LF, CR, LF.
#include <QByteArray>
#include <QList>
#include <QString>

namespace zv {

// Characters Windows-1252 cannot hold become '?'.
QByteArray toCp1252(const QString& text);
QString fromCp1252(const QByteArray& bytes);

// A file name's bytes as text for the user: UTF-8 read as such, each other byte shown as
// \xNN (so a name in another encoding can still be told apart), control characters as '?'.
QString readableName(const QByteArray& bytes);

// Splits at CR LF, a lone CR or a lone LF. A last line without a line end counts;
// a line end at the very end does not start another (empty) line.
QList<QByteArray> splitLines(const QByteArray& bytes);

}  // namespace zv
