#pragma once
// How a file name the program did not choose (a server's, a disk's) is shown to the user.
#include <QByteArray>
#include <QString>

namespace zv {

// A file name's bytes as text for the user: UTF-8 read as such, each other byte shown as
// \xNN (so a name in another encoding can still be told apart), control characters as '?'.
QString readableName(const QByteArray& bytes);

}  // namespace zv
