#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "base/desktop_launcher.h"

namespace zv {

namespace {

// The program of a start-up command ("C:\windows\explorer.exe "), or Windows' own when the
// command names none that exists (a D: form on a machine without that drive).
QString programOf(const QString& command, const QString& fallback) {
    const QString program = command.trimmed();
    if (!program.isEmpty() && QFileInfo(program).isFile()) return program;
    return QStandardPaths::findExecutable(fallback);
}

}  // namespace

// Explorer, Notepad and a default browser are part of every Windows.
bool DesktopLauncher::openerExists() { return true; }

Status DesktopLauncher::open(const QString& target) {
    if (target.contains(QLatin1String("://"))) {
        const std::wstring address = target.toStdWString();
        const auto started = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (started > 32) return {};
        return fail(QStringLiteral("Windows found no web browser for ") + target);
    }
    const bool folder = QFileInfo(target).isDir();
    const QString program =
        folder ? programOf(paths_ ? paths_->ExplorerCommand : QString(), QStringLiteral("explorer"))
               : programOf(paths_ ? paths_->NotepadCommand : QString(), QStringLiteral("notepad"));
    if (program.isEmpty())
        return fail(folder ? QStringLiteral("the Windows Explorer was not found")
                           : QStringLiteral("Notepad was not found"));
    if (!QProcess::startDetached(program, {QDir::toNativeSeparators(target)}))
        return fail(QStringLiteral("the program ") + QDir::toNativeSeparators(program) +
                    QStringLiteral(" could not be started"));
    return {};
}

}  // namespace zv
