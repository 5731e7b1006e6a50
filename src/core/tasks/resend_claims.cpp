#include "tasks/resend_claims.h"

#include <QFile>
#include <QFileInfo>

#include "base/file_mask.h"
#include "base/workstation_rules.h"
#include "claims/claim_files.h"
#include "claims/picker_lines.h"
#include "tasks/send_claims.h"

namespace zv {

void ResendClaims::list() {
    ctx_.view.statusClear();
    if (!ctx_.dialogs.askOkCancel(
            QStringLiteral("WARNING! Please check with ZOD before resending a file."),
            MessageIcon::Critical))
        return;
    ctx_.m.PickerMode = PickerModeFlags{.ResendMode = true};
    ctx_.view.setEnabled(Control::ResendClaims, false);
    ctx_.picker.clearList();
    ctx_.picker.setLabels(QStringLiteral("     Recently Submitted Claim Files"),
                          QStringLiteral("     Click on the File You Want to Resend"),
                          QStringLiteral("File Name        File Submission Date and Time"));
    bool found = false;
    const QString folder = ctx_.m.Paths.ClaimsBackupDir;
    for (const QString& name : findFiles(folder, QStringLiteral("*.") + ctx_.m.Setup.FileType)) {
        found = true;
        const QString date = generalDateText(QFileInfo(folder + name).lastModified());
        ctx_.picker.addLine({resendPickerText(name, date), name});
    }
    if (found) {
        ctx_.picker.showPicker();
    } else {
        ctx_.dialogs.message(QStringLiteral("No Files Found to Resend"), MessageKind::Info);
    }
    ctx_.view.setEnabled(Control::ResendClaims, true);
}

void ResendClaims::pick(const QString& name) {
    const QString backup = ctx_.m.Paths.ClaimsBackupDir + name;
    const QString working = ctx_.m.Paths.ClaimsDir + name;
    if (!QFileInfo(backup).isFile()) {
        ctx_.dialogs.message(QStringLiteral("The backup file ") + backup +
                             QStringLiteral(" is no longer there, so it was not resent. Click "
                                            "Resend Claims to ZOD again to see the files there "
                                            "are."));
        return;
    }
    QFile::remove(working);
    if (const Status copied = copyWhole(backup, working); !copied) {
        ctx_.dialogs.message(QStringLiteral("The backup file ") + backup +
                             QStringLiteral(" could not be copied for resending: ") +
                             copied.reason() +
                             QStringLiteral(". Free some disk space, then try once more."));
        return;
    }
    ctx_.view.bringToFront();
    send_.resendRun(name);
}

}  // namespace zv
