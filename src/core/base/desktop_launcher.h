#pragma once
#include "base/ports.h"

namespace zv {

// Opens files, folders and addresses with the desktop's opener (xdg-open), started
// without a shell and with the target as its one argument.
class DesktopLauncher : public Launcher {
public:
    explicit DesktopLauncher(QString opener = QStringLiteral("xdg-open"))
        : opener_(std::move(opener)) {}
    bool openerExists() override;
    Status open(const QString& target) override;

private:
    QString opener_;
};

}  // namespace zv
