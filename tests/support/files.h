#pragma once
// Files as the tests put and find them, by their bytes; and texts as failures show them.
#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <ostream>
#include <string>

inline std::ostream& operator<<(std::ostream& os, const QString& s) {
    return os << s.toStdString();
}

namespace zv::test {

// A parameterised case named by its row.
inline constexpr auto rowName = [](const auto& info) { return std::string(info.param.name); };

QByteArray readBytes(const QString& path);  // "<missing>" when it cannot be read
// Makes the folder too; `changed` when given is the file's time of last change.
void writeBytes(const QString& path, const QByteArray& bytes, const QDateTime& changed = {});
inline void putAged(const QString& path, const QByteArray& bytes) {  // changed a minute ago
    writeBytes(path, bytes, QDateTime::currentDateTime().addSecs(-60));
}
QByteArray patterned(qsizetype size, quint32 seed);  // a sound 837 (when big enough), per seed
QMap<QString, QByteArray> filesIn(const QString& folder);  // shown name -> contents, dot-files too

}  // namespace zv::test
