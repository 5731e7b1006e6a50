#include <QFileInfo>

#include "base/file_mask.h"
#include "base/workstation_rules.h"
#include "claims/picker_lines.h"
#include "claims/segment_splitter.h"
#include "tasks/zuduvor.h"
#include "x12/x12.h"

namespace zv {

void Zuduvor::ViewClaims_Click() {
    if (m_.PickerCallback && !m_.ViewClaimName.isEmpty()) {
        ViewStage2();
        return;
    }
    m_.PickerMode = PickerModeFlags{.ViewMode = true};
    picker_.clearList();
    view_.setEnabled(Control::ViewClaims, false);
    const QString folder = m_.Paths.ClaimsBackupDir;
    const QStringList files = findFiles(folder, QStringLiteral("*.*"));
    if (files.isEmpty()) {
        dialogs_.message(QStringLiteral("No Claim Files found at ") + folder, MessageKind::Info);
    } else {
        picker_.setLabels(QStringLiteral("     Resently Submitted Claim Files"),
                          QStringLiteral("        Click on the File You want to View"),
                          QStringLiteral("File Name        File Submission Date and Time"));
        for (const QString& name : files) {
            const QString date = generalDateText(QFileInfo(folder + name).lastModified());
            picker_.addLine({viewPickerText(name, date), name});
        }
    }
    view_.setEnabled(Control::ViewClaims, true);
    picker_.showPicker();
    view_.statusAdd(ReadyLine);
}

void Zuduvor::ViewPickAction() {
    m_.ViewClaimName = m_.ClaimName;
    view_.bringToFront();
    m_.PickerCallback = true;
    ViewClaims_Click();
}

void Zuduvor::ViewStage2() {
    m_.PickerCallback = false;
    ViewClaimFile(m_.ViewClaimName);
    view_.statusClear();
    view_.statusAdd(ReadyLine);
    view_.setEnabled(Control::ViewClaims, true);
    m_.PickerMode.ViewMode = false;
    m_.ViewClaimName.clear();
    picker_.hidePicker();
}

void Zuduvor::ViewClaimFile(const QString& name) {
    const QString backup = m_.Paths.ClaimsBackupDir + name;
    QString target = backup;
    if (x12::isInterchangeType(name.right(3))) {
        target = claimTextPath();
        if (const Status split = splitSegmentsFile(backup, target); !split) {
            dialogs_.message(QStringLiteral("The claim file ") + backup +
                             QStringLiteral(" could not be shown: ") + split.reason() +
                             QStringLiteral(". Click View Submitted Claims to choose again."));
            return;
        }
    } else if (!QFileInfo(backup).isFile()) {
        dialogs_.message(QStringLiteral("The claim file ") + backup +
                         QStringLiteral(" is no longer there. Click View Submitted Claims to "
                                        "choose again."));
        return;
    }
    if (const Status opened = launcher_.open(target); !opened)
        dialogs_.message(QStringLiteral("The text viewer could not be started for ") + target +
                         QStringLiteral(": ") + opened.reason() +
                         QStringLiteral(". Open the file yourself."));
}

}  // namespace zv
