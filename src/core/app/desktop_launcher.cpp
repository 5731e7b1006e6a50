#include "app/desktop_launcher.h"

#include <QProcess>
#include <QStandardPaths>

namespace zv {

bool DesktopLauncher::openerExists() { return !QStandardPaths::findExecutable(opener_).isEmpty(); }

bool DesktopLauncher::open(const QString& target, QString* error) {
    const QString program = QStandardPaths::findExecutable(opener_);
    if (program.isEmpty()) {
        if (error)
            *error = QStringLiteral("the program ") + opener_ + QStringLiteral(" was not found");
        return false;
    }
    if (!QProcess::startDetached(program, {target})) {
        if (error)
            *error =
                QStringLiteral("the program ") + program + QStringLiteral(" could not be started");
        return false;
    }
    return true;
}

}  // namespace zv
