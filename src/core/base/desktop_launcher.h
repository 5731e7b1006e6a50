#pragma once
#include "base/module1.h"
#include "base/ports.h"

namespace zv {

// Opens files, folders and addresses without a shell, the target as the one argument.
// POSIX: with the desktop's opener (xdg-open). Windows: a folder with the Explorer and a
// file with the Notepad of `paths` (start-up's C: or D: programs), an address with the
// default browser (Internet Explorer, the described one, is gone from Windows 11).
class DesktopLauncher : public Launcher {
public:
    explicit DesktopLauncher(QString opener = QStringLiteral("xdg-open"),
                             const WorkstationPaths* paths = nullptr)
        : opener_(std::move(opener)), paths_(paths) {}
    bool openerExists() override;
    Status open(const QString& target) override;

private:
    QString opener_;
    [[maybe_unused]] const WorkstationPaths* paths_;
};

}  // namespace zv
