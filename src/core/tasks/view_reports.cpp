#include "base/file_mask.h"
#include "tasks/zuduvor.h"

namespace zv {

void Zuduvor::ViewReports_Click() {
    view_.setEnabled(Control::ViewReports, false);
    const QString folder = m_.Setup.RptPath;
    if (findFiles(folder, QStringLiteral("*.*")).isEmpty()) {
        dialogs_.message(QStringLiteral("No Report Files found at ") + folder, MessageKind::Info);
    } else {
        if (const Status opened = launcher_.open(folder); !opened) {
            dialogs_.message(QStringLiteral("The report folder ") + folder +
                             QStringLiteral(" could not be opened: ") + opened.reason() +
                             QStringLiteral(". Open it in your file browser yourself."));
        }
    }
    view_.statusClear();
    view_.statusAdd(ReadyLine);
    view_.setEnabled(Control::ViewReports, true);
}

}  // namespace zv
