#pragma once
// Files as the tests put and find them, by their bytes; and texts as failures show them.
#include <QByteArray>
#include <QMap>
#include <QString>
#include <ostream>

inline std::ostream& operator<<(std::ostream& os, const QString& s) {
    return os << s.toStdString();
}

namespace zv::test {

QByteArray readBytes(const QString& path);  // "<missing>" when it cannot be read
void writeBytes(const QString& path, const QByteArray& bytes);  // makes the folder too
void putAged(const QString& path, const QByteArray& bytes);     // last changed 5 s ago
QByteArray patterned(qsizetype size, quint32 seed);  // a sound 837 (when big enough), per seed
QMap<QString, QByteArray> filesIn(const QString& folder);  // shown name -> contents, dot-files too

}  // namespace zv::test
