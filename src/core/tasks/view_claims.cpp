#include "tasks/view_claims.h"

#include <QFileInfo>

#include "base/file_mask.h"
#include "base/workstation_rules.h"
#include "claims/picker_lines.h"
#include "claims/segment_splitter.h"
#include "x12/x12.h"

namespace zv {

void ViewClaims::list() {
    ctx_.m.PickerMode = PickerModeFlags{.ViewMode = true};
    ctx_.picker.clearList();
    ctx_.view.setEnabled(Control::ViewClaims, false);
    const QString folder = ctx_.m.Paths.ClaimsBackupDir;
    const QStringList files = findFiles(folder, QStringLiteral("*.*"));
    if (files.isEmpty()) {
        ctx_.dialogs.message(QStringLiteral("No Claim Files found at ") + folder,
                             MessageKind::Info);
    } else {
        ctx_.picker.setLabels(QStringLiteral("     Resently Submitted Claim Files"),
                              QStringLiteral("        Click on the File You want to View"),
                              QStringLiteral("File Name        File Submission Date and Time"));
        for (const QString& name : files) {
            const QString date = generalDateText(QFileInfo(folder + name).lastModified());
            ctx_.picker.addLine({viewPickerText(name, date), name});
        }
    }
    ctx_.view.setEnabled(Control::ViewClaims, true);
    ctx_.picker.showPicker();
    ctx_.view.statusAdd(ReadyLine);
}

void ViewClaims::pick(const QString& name) {
    ctx_.m.ViewClaimName = name;
    ctx_.view.bringToFront();
    ctx_.m.PickerCallback = true;
    // With no name the button's first stage runs again, and the callback stays set.
    if (name.isEmpty())
        list();
    else
        show(name);
}

void ViewClaims::show(const QString& name) {
    ctx_.m.PickerCallback = false;
    viewClaimFile(name);
    ctx_.view.statusClear();
    ctx_.view.statusAdd(ReadyLine);
    ctx_.view.setEnabled(Control::ViewClaims, true);
    ctx_.m.PickerMode.ViewMode = false;
    ctx_.m.ViewClaimName.clear();
    ctx_.picker.hidePicker();
}

void ViewClaims::viewClaimFile(const QString& name) {
    const QString backup = ctx_.m.Paths.ClaimsBackupDir + name;
    QString target = backup;
    if (x12::isInterchangeType(name.right(3))) {
        target = claimTextPath();
        if (const Status split = splitSegmentsFile(backup, target); !split) {
            ctx_.dialogs.message(QStringLiteral("The claim file ") + backup +
                                 QStringLiteral(" could not be shown: ") + split.reason() +
                                 QStringLiteral(". Click View Submitted Claims to choose again."));
            return;
        }
    } else if (!QFileInfo(backup).isFile()) {
        ctx_.dialogs.message(QStringLiteral("The claim file ") + backup +
                             QStringLiteral(" is no longer there. Click View Submitted Claims "
                                            "to choose again."));
        return;
    }
    if (const Status opened = ctx_.launcher.open(target); !opened)
        ctx_.dialogs.message(QStringLiteral("The text viewer could not be started for ") + target +
                             QStringLiteral(": ") + opened.reason() +
                             QStringLiteral(". Open the file yourself."));
}

}  // namespace zv
