#include "tasks/help.h"

#include "tasks/help_texts.h"
#include "zuduvor_config.h"

namespace zv {

void showHelp(const TaskContext& ctx) {
    ctx.view.statusClear();
    ctx.view.focusStatus();
    for (const QString& line : mainHelpLines()) ctx.view.statusAdd(line);
}

void openWebSite(const TaskContext& ctx) {
    if (!ctx.launcher.openerExists()) {
        ctx.dialogs.message(QStringLiteral("Path to Internet Explorer not Found"));
        return;
    }
    const QString address = QString::fromUtf8(config::kWebSite);
    if (const Status opened = ctx.launcher.open(address); !opened) {
        // The browser was found but would not start: say so rather than stay silent.
        ctx.dialogs.message(QStringLiteral("The ZOD Web Site could not be opened (%1).\n%2\n"
                                           "Type the address into your web browser, "
                                           "or try once more.")
                                .arg(address, opened.reason()));
    }
}

}  // namespace zv
