#include "tasks/view_reports.h"

#include "base/file_mask.h"

namespace zv {

void viewReports(const TaskContext& ctx) {
    ctx.view.setEnabled(Control::ViewReports, false);
    const QString folder = ctx.m.Setup.RptPath;
    if (findFiles(folder, QStringLiteral("*.*")).isEmpty()) {
        ctx.dialogs.message(QStringLiteral("No Report Files found at ") + folder,
                            MessageKind::Info);
    } else {
        if (const Status opened = ctx.launcher.open(folder); !opened) {
            ctx.dialogs.message(QStringLiteral("The report folder ") + folder +
                                QStringLiteral(" could not be opened: ") + opened.reason() +
                                QStringLiteral(". Open it in your file browser yourself."));
        }
    }
    ctx.view.statusClear();
    ctx.view.statusAdd(ReadyLine);
    ctx.view.setEnabled(Control::ViewReports, true);
}

}  // namespace zv
