#pragma once
// zuduvor [--work-root DIR] [--sftp-host H] [--sftp-port N]
//         [COMMAND [NAME] [--yes] [--csv] [--claims] [--attention]]
// zuduvor check FILE... [--json]
#include <QString>
#include <QStringList>

#include "tasks/zuduvor.h"

namespace zv {

struct CommandLine {
    StartOptions start;
    QString command;  // empty = open the window
    QString name;     // for delete, resend, view
    bool yes = false;
    QStringList files;       // for check
    bool csv = false;        // history as CSV
    bool claims = false;     // history claim by claim
    bool attention = false;  // history of the files that need a person only
    bool json = false;       // check's findings as JSON
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
