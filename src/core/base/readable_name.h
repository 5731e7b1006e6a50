#pragma once
// How a file name the program did not choose (a server's, a disk's) is shown to the user.
#include <QByteArray>
#include <QString>

namespace zv {

// A file name's bytes as text for the user: UTF-8 read as such, each other byte shown as
// \xNN (so a name in another encoding can still be told apart), control characters as '?'.
QString readableName(const QByteArray& bytes);

// Whether Windows refuses `name` as a file name or takes it for something else: a device
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension), a trailing dot or
// blank, one of <>:"/\|?* or a control character.
bool windowsForbidsName(const QString& name);

}  // namespace zv
