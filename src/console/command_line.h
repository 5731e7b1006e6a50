#pragma once
// zuduvor [--work-root DIR] [--sftp-host H] [--sftp-port N] [COMMAND [NAME] [--yes] [--csv]]
#include <QString>
#include <QStringList>

#include "tasks/zuduvor.h"

namespace zv {

struct CommandLine {
    StartOptions start;
    QString command;  // empty = open the window
    QString name;     // for delete, resend, view
    bool yes = false;
    bool csv = false;  // history as CSV
    bool help = false;
    bool version = false;
    QString screenshot;  // window only: save a picture of it there, then end
    QString platform;    // Qt's own -platform NAME, which QApplication takes from argv
    QString error;       // a usage error, in words
};

// Options first from the environment, then from the arguments (which win).
CommandLine parseCommandLine(const QStringList& arguments, const QStringList& environment);
QString usageText();
// The program's version with those of the libraries it runs on (libssh, Qt).
QString versionText();

}  // namespace zv
