#pragma once
// Fixed help texts: the main window writes its help into the status list, the two
// setup windows show theirs in a help box.
#include <QString>
#include <QStringList>

namespace zv {

// The main window's help, one status-list entry per line (empty lines included).
QStringList mainHelpLines();
// The setup windows' help: lines of one topic joined by CR LF, topics separated by one
// empty line (CR LF CR LF), no line break at the end.
QString claimSetupHelpText();
QString reportSetupHelpText();

}  // namespace zv
