#pragma once
// Text files the program writes are Windows-1252 with CR LF; readers accept CR LF, CR, LF.
#include <QByteArray>
#include <QList>
#include <QString>

#include "base/readable_name.h"

namespace zv {

// Characters Windows-1252 cannot hold become '?'.
QByteArray toCp1252(const QString& text);
QString fromCp1252(const QByteArray& bytes);

// Splits at CR LF, a lone CR or a lone LF. A last line without a line end counts;
// a line end at the very end does not start another (empty) line.
QList<QByteArray> splitLines(const QByteArray& bytes);

}  // namespace zv
