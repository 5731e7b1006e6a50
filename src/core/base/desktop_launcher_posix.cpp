#include <QProcess>
#include <QStandardPaths>

#include "base/desktop_launcher.h"

namespace zv {

bool DesktopLauncher::openerExists() { return !QStandardPaths::findExecutable(opener_).isEmpty(); }

Status DesktopLauncher::open(const QString& target) {
    const QString program = QStandardPaths::findExecutable(opener_);
    if (program.isEmpty())
        return fail(QStringLiteral("the program ") + opener_ + QStringLiteral(" was not found"));
    if (!QProcess::startDetached(program, {target}))
        return fail(QStringLiteral("the program ") + program +
                    QStringLiteral(" could not be started"));
    return {};
}

}  // namespace zv
