// The main window's Help and "ZOD Web Site" buttons.
#include "tasks/help_texts.h"
#include "tasks/zuduvor.h"
#include "zuduvor_config.h"

namespace zv {

void Zuduvor::HelpCommand_Click() {
    view_.statusClear();
    view_.focusStatus();
    for (const QString& line : mainHelpLines()) view_.statusAdd(line);
}

void Zuduvor::ZODWebSite_Click() {
    if (!launcher_.openerExists()) {
        dialogs_.message(QStringLiteral("Path to Internet Explorer not Found"));
        return;
    }
    const QString address = QString::fromUtf8(config::kWebSite);
    if (const Status opened = launcher_.open(address); !opened) {
        // The browser was found but would not start: say so rather than stay silent.
        dialogs_.message(QStringLiteral("The ZOD Web Site could not be opened (%1).\n%2\n"
                                        "Type the address into your web browser, "
                                        "or try once more.")
                             .arg(address, opened.reason()));
    }
}

}  // namespace zv
