#include "tasks/delete_claims.h"

#include "claims/picker_lines.h"
#include "tasks/server_session.h"

namespace zv {

namespace {

// A name from the server shown in a status line, with control characters made visible.
QString shownName(const QString& name) {
    QString out;
    for (QChar c : name) out += (c.unicode() < 0x20 || c.unicode() == 0x7F) ? QChar(u'?') : c;
    return out;
}

}  // namespace

void DeleteClaims::list() {
    ctx_.m.PickerMode = PickerModeFlags{.DeleteMode = true};
    ctx_.picker.clearList();
    ctx_.picker.setLabels(QStringLiteral(" Claim Files Waiting to be Processed"),
                          QStringLiteral("      Click on the File You Want to Delete"),
                          QStringLiteral("File Name        File Size"));
    ServerSession& s = ctx_.session;
    const bool reused = s.isOpen();
    if (!reused) s.OpenSFTPServer();
    ctx_.picker.clearList();

    SftpClient& c = s.Client();
    QString handle = s.blocking([&] { return c.OpenRemoteDir(QStringLiteral("claims")); });
    if (handle.isEmpty() && reused) {
        // A session kept from an earlier task may have been closed by the server since;
        // one fresh opening tells that apart from a directory that cannot be opened.
        s.OpenSFTPServer();
        if (s.isOpen())
            handle = s.blocking([&] { return c.OpenRemoteDir(QStringLiteral("claims")); });
    }
    if (handle.isEmpty()) {
        s.showFailure(QStringLiteral("Error Opening SFTP Claims Directory. Call ZOD."));
        return;
    }
    const std::optional<RemoteListing> listing =
        s.blocking([&] { return c.ReadRemoteDir(handle); });
    if (!listing) {
        // The listing failed: say why, or the user takes it for an empty directory.
        s.showFailure(QStringLiteral("No Claim Files Found to Delete."));
        s.closeQuietly(handle);
        return;
    }
    s.closeQuietly(handle);
    if (listing->EntryCount() == 0)
        ctx_.dialogs.message(QStringLiteral("No Claim Files Found to Delete."), MessageKind::Info);
    for (int i = 0; i < listing->EntryCount(); ++i) {
        const RemoteEntry& entry = listing->EntryAt(i);
        ctx_.picker.addLine(
            {deletePickerText(shownName(entry.EntryName), entry.EntrySize), entry.EntryName});
    }
    ctx_.picker.showPicker();
}

void DeleteClaims::pick(const QString& name) {
    ctx_.m.DeleteClaimName = name;
    ctx_.view.bringToFront();
    ctx_.m.PickerCallback = true;
    deleteOnServer(name);
}

void DeleteClaims::deleteOnServer(const QString& name) {
    ctx_.m.PickerCallback = false;
    // A name that is not a plain file name would reach outside the claims directory.
    if (!isPlainFileName(name)) {
        ctx_.dialogs.message(QStringLiteral("Unable to Delete File.") + ctx_.m.LF +
                             QStringLiteral("\"") + shownName(name) +
                             QStringLiteral("\" is not a plain file name. Call ZOD."));
        return;
    }
    ServerSession& s = ctx_.session;
    SftpClient& c = s.Client();
    if (!s.succeeded(
            s.blocking([&] { return c.DeleteRemoteFile(QStringLiteral("claims/") + name); }))) {
        s.showFailure(QStringLiteral("Unable to Delete File."));
        return;
    }
    ctx_.view.statusAdd(QStringLiteral("File ") + shownName(name) + QStringLiteral(" Deleted."));
    ctx_.m.DeleteClaimName.clear();
    ctx_.m.PickerMode.DeleteMode = false;
    ctx_.view.statusAdd(ReadyLine);
    ctx_.picker.hidePicker();
}

}  // namespace zv
