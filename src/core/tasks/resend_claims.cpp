#include <QFile>
#include <QFileInfo>

#include "base/file_mask.h"
#include "base/workstation_rules.h"
#include "claims/claim_files.h"
#include "claims/picker_lines.h"
#include "tasks/zuduvor.h"

namespace zv {

void Zuduvor::ResendClaims_Click() {
    view_.statusClear();
    if (!dialogs_.askOkCancel(
            QStringLiteral("WARNING! Please check with ZOD before resending a file."),
            MessageIcon::Critical))
        return;
    m_.PickerMode = PickerModeFlags{.ResendMode = true};
    view_.setEnabled(Control::ResendClaims, false);
    picker_.clearList();
    picker_.setLabels(QStringLiteral("     Recently Submitted Claim Files"),
                      QStringLiteral("     Click on the File You Want to Resend"),
                      QStringLiteral("File Name        File Submission Date and Time"));
    bool found = false;
    const QString folder = m_.Paths.ClaimsBackupDir;
    for (const QString& name : findFiles(folder, QStringLiteral("*.") + m_.Setup.FileType)) {
        found = true;
        const QString date = generalDateText(QFileInfo(folder + name).lastModified());
        picker_.addLine({resendPickerText(name, date), name});
    }
    if (found) {
        picker_.showPicker();
    } else {
        dialogs_.message(QStringLiteral("No Files Found to Resend"), MessageKind::Info);
    }
    view_.setEnabled(Control::ResendClaims, true);
}

void Zuduvor::ResendPickAction() {
    const QString backup = m_.Paths.ClaimsBackupDir + m_.ClaimName;
    const QString working = m_.Paths.ClaimsDir + m_.ClaimName;
    if (!QFileInfo(backup).isFile()) {
        dialogs_.message(QStringLiteral("The backup file ") + backup +
                         QStringLiteral(" is no longer there, so it was not resent. Click "
                                        "Resend Claims to ZOD again to see the files there are."));
        return;
    }
    QFile::remove(working);
    if (const Status copied = copyWhole(backup, working); !copied) {
        dialogs_.message(QStringLiteral("The backup file ") + backup +
                         QStringLiteral(" could not be copied for resending: ") + copied.reason() +
                         QStringLiteral(". Free some disk space, then try once more."));
        return;
    }
    view_.bringToFront();
    resendRequested_ = true;
    SendClaims_Click();
}

}  // namespace zv
