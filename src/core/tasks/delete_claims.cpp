#include "claims/picker_lines.h"
#include "tasks/zuduvor.h"

namespace zv {

void Zuduvor::DeleteClaimFiles_Click() {
    if (m_.PickerCallback) {
        DeleteStage2();
        return;
    }
    m_.PickerMode = PickerModeFlags{.DeleteMode = true};
    picker_.clearList();
    picker_.setLabels(QStringLiteral(" Claim Files Waiting to be Processed"),
                      QStringLiteral("      Click on the File You Want to Delete"),
                      QStringLiteral("File Name        File Size"));
    const bool reused = SessionOpen;
    if (!SessionOpen) OpenSFTPServer();
    picker_.clearList();

    SftpClient& c = Client();
    QString handle = blocking([&] { return c.OpenRemoteDir(QStringLiteral("claims")); });
    if (handle.isEmpty() && reused) {
        // A session kept from an earlier task may have been closed by the server since;
        // one fresh opening tells that apart from a directory that cannot be opened.
        OpenSFTPServer();
        if (SessionOpen)
            handle = blocking([&] { return c.OpenRemoteDir(QStringLiteral("claims")); });
    }
    if (handle.isEmpty()) {
        showFailure(QStringLiteral("Error Opening SFTP Claims Directory. Call ZOD."));
        return;
    }
    listing_ = blocking([&] { return c.ReadRemoteDir(handle); });
    if (!listing_) {
        // The listing failed: say why, or the user takes it for an empty directory.
        showFailure(QStringLiteral("No Claim Files Found to Delete."));
        closeQuietly(handle);
        return;
    }
    closeQuietly(handle);
    if (listing_->EntryCount() == 0) {
        dialogs_.message(QStringLiteral("No Claim Files Found to Delete."), MessageKind::Info);
    } else {
        for (int i = 0; i < listing_->EntryCount(); ++i) {
            entry_ = listing_->EntryAt(i);
            picker_.addLine({deletePickerText(shownName(entry_.EntryName), entry_.EntrySize),
                             entry_.EntryName});
        }
    }
    picker_.showPicker();
}

void Zuduvor::DeletePickAction() {
    m_.DeleteClaimName = m_.ClaimName;
    view_.bringToFront();
    m_.PickerCallback = true;
    DeleteClaimFiles_Click();
}

void Zuduvor::DeleteStage2() {
    m_.PickerCallback = false;
    const QString name = m_.DeleteClaimName;
    // A name that is not a plain file name would reach outside the claims directory.
    if (!isPlainFileName(name)) {
        dialogs_.message(QStringLiteral("Unable to Delete File.") + m_.LF + QStringLiteral("\"") +
                         shownName(name) +
                         QStringLiteral("\" is not a plain file name. Call ZOD."));
        return;
    }
    SftpClient& c = Client();
    m_.LastResult = blocking([&] { return c.DeleteRemoteFile(QStringLiteral("claims/") + name); });
    if (m_.LastResult == 1) {
        view_.statusAdd(QStringLiteral("File ") + shownName(name) + QStringLiteral(" Deleted."));
        m_.DeleteClaimName.clear();
        m_.PickerMode.DeleteMode = false;
        view_.statusAdd(ReadyLine);
        picker_.hidePicker();
    } else {
        showFailure(QStringLiteral("Unable to Delete File."));
    }
}

}  // namespace zv
