// The upload of one claim file: written under a temporary name of this run's own, given
// its claim name only when whole, and under the next free number when another program
// took that name meanwhile.
#include <QFile>
#include <QFileInfo>

#include "base/file_digest.h"
#include "claims/numbering.h"
#include "tasks/send_claims.h"
#include "tasks/server_session.h"

namespace zv {

namespace {

// How often a claim whose name another program took meanwhile is given the next number.
constexpr int kMostRenumbers = 3;

}  // namespace

SendClaims::Upload SendClaims::UploadClaimFile(const QString& name, bool resend) {
    ctx_.view.statusAdd(
        (resend ? QStringLiteral("Resending File ") : QStringLiteral("Sending File ")) + name);
    ctx_.view.statusAdd(ReadyLine);
    // A click taken here may run another send nested in this one, which names other
    // files: this upload keeps the name it was handed.
    ctx_.view.processPendingInput();

    // Written under a temporary dot-name of this run's own and given its real name only
    // once the server holds all of it, so that a cut-off upload is never taken for a
    // claim. The name is written down first: only then may a later run remove it.
    const QString temp = uploadTempName(name, token_);
    const QString local = ctx_.m.Paths.ClaimsDir + name;
    RecordUploadStarted(name, local, resend);
    (void)Records().begun(temp);  // unrecorded, a leftover only stays on the server
    ctx_.reach(SendStep::UploadStarted);
    if (const UploadResult written = WriteUpload(temp, local, name);
        written != UploadResult::Completed)
        return {written, temp};
    const UploadResult placed = PlaceUpload(temp, name, resend);
    if (placed == UploadResult::NotPlaced)
        RecordFailure(name, QStringLiteral("the file could not be given its name on the server"));
    return {placed, temp};
}

void SendClaims::RecordUploadStarted(const QString& name, const QString& local, bool resend) {
    // Only a file the history does not know yet (a resend of one sent before it was
    // kept) needs its hash: a numbered file's record already holds it.
    Result<QString> sha = QString();
    Ledger* l = ledger_.ledger();
    const auto known = l ? l->claim(name) : Result<std::optional<ClaimRecord>>(std::nullopt);
    if (!known || !*known) ctx_.view.runBlocking([&] { sha = fileSha256(local); });
    const Module1& m = ctx_.m;
    const QString server = m.SftpPort == 22 || m.SftpPort == 0
                               ? m.SftpHost
                               : m.SftpHost + QLatin1Char(':') + QString::number(m.SftpPort);
    ledger_.recordUploadStarted(name, server, resend, QFileInfo(local).size(),
                                sha ? *sha : QString());
}

void SendClaims::RecordFailure(const QString& name, const QString& reason) {
    ledger_.recordFailed(name, reason + QStringLiteral(": ") + ctx_.session.Client().ErrorDetail());
}

void SendClaims::UploadFailed(const QString& name, const QString& reason, const QString& message,
                              const QString& activity) {
    RecordFailure(name, reason);
    ctx_.session.showFailure(message);
    ctx_.log.write(name + activity);
}

SendClaims::UploadResult SendClaims::WriteUpload(const QString& temp, const QString& local,
                                                 const QString& name) {
    ServerSession& s = ctx_.session;
    SftpClient& c = s.Client();
    const QString part = QStringLiteral("claims/") + temp;
    const QString handle = s.blocking([&] {
        return c.OpenRemoteFile(part, QStringLiteral("writeOnly"),
                                QStringLiteral("createTruncate"));
    });
    if (handle.isEmpty()) {
        UploadFailed(name, QStringLiteral("the server did not let the file be written"),
                     QStringLiteral("Upload File not Found."),
                     QStringLiteral(" Upload File not Found"));
        return UploadResult::EndRun;
    }
    if (!s.succeeded(s.blocking([&] { return c.SendLocalFile(handle, local); }))) {
        UploadFailed(name, QStringLiteral("the upload failed"),
                     QStringLiteral("File Upload Failure. Try once more."),
                     QStringLiteral(" Upload Failure"));
        ctx_.m.PickerCallback = false;
        // A partial file must not be taken for a claim: close it and take it away again
        // (when the connection still allows it); the claim stays here for a resend.
        s.closeQuietly(handle);
        TakeAwayUpload(temp);
        return UploadResult::EndRun;
    }
    if (!s.succeeded(s.blocking([&] { return c.CloseRemoteHandle(handle); }))) {
        UploadFailed(name, QStringLiteral("the server did not confirm the whole file"),
                     QStringLiteral("Upload File Close Error. Call ZOD."),
                     QStringLiteral(" Upload File Close Error"));
        // The file is not counted as sent (a server that kept only part of it also
        // ends here): take the server copy away so that it is not processed; the
        // claim stays here for a resend.
        TakeAwayUpload(temp);
        return UploadResult::CloseFailed;
    }
    return UploadResult::Completed;
}

void SendClaims::TakeAwayUpload(const QString& temp) {
    ServerSession& s = ctx_.session;
    SftpClient& c = s.Client();
    if (s.blocking([&] { return c.DeleteRemoteFile(QStringLiteral("claims/") + temp); }) == 1)
        Records().ended(temp);
}

SendClaims::UploadResult SendClaims::PlaceUpload(const QString& temp, const QString& name,
                                                 bool resend) {
    ServerSession& s = ctx_.session;
    SftpClient& c = s.Client();
    const QString part = QStringLiteral("claims/") + temp;
    const QString remote = QStringLiteral("claims/") + name;
    // A plain rename never replaces a file: a claim waiting on the server under this name
    // (another work root with this site ID, say) stays. A resend the user confirmed
    // replaces its own earlier copy: that copy is removed first and the rename stays the
    // plain one, so that a file another program put there meanwhile is not replaced.
    const bool cleared =
        !resend || s.blocking([&] { return c.RemoveRemoteFileIfPresent(remote); }) == 1;
    if (cleared && s.blocking([&] { return c.RenameRemoteFile(part, remote); }) == 1) {
        // From here on the temporary name is never removed as a leftover: a copy still
        // there would be one the server kept despite its answer.
        Records().ended(temp);
        return UploadResult::Completed;
    }
    const QString detail = c.ErrorDetail();
    // Another program sending under this site ID took the name while this one uploaded.
    if (cleared && !resend && c.SessionUsable()) {
        const std::optional<qint64> there = s.blocking([&] { return c.RemoteFileSize(remote); });
        if (there && *there >= 0) return UploadResult::NameTaken;
    }
    TakeAwayUpload(temp);
    ctx_.log.write(name + QStringLiteral(" Upload Rename Error"));
    if (!cleared)
        ctx_.dialogs.message(QStringLiteral("The earlier copy of ") + name +
                             QStringLiteral(" on the ZOD server could not be removed, so the "
                                            "claim was not resent. It is kept here: try once "
                                            "more, or call ZOD.") +
                             ctx_.m.LF + detail);
    else
        ctx_.dialogs.message(QStringLiteral("The claim ") + name +
                             QStringLiteral(" could not be given its name on the ZOD server (a "
                                            "file of that name may be waiting there already; "
                                            "it was not replaced). The claim was not sent and "
                                            "is kept here for a resend: call ZOD before "
                                            "resending it.") +
                             ctx_.m.LF + detail);
    return UploadResult::NotPlaced;
}

SendClaims::UploadResult SendClaims::PlaceUnderNewNumber(QString& claim, const QString& temp,
                                                         const QStringList& sources, int& number,
                                                         ServerClaims& server) {
    for (int tries = 0; tries < kMostRenumbers; ++tries) {
        server.names.insert(claim.toUpper());
        const QString taken = claim;
        const std::optional<QString> next = NumberClaim(number, server);
        if (!next || !MoveCopies(taken, *next)) break;
        claim = *next;
        ledger_.recordForget(taken);
        ledger_.recordNumbered(claim, number, sources);
        RecordUploadStarted(claim, ctx_.m.Paths.ClaimsDir + claim, /*resend=*/false);
        ctx_.view.statusAdd(taken +
                            QStringLiteral(" was taken on the server meanwhile by "
                                           "another program: sending it as ") +
                            claim);
        const UploadResult placed = PlaceUpload(temp, claim, /*resend=*/false);
        if (placed != UploadResult::NameTaken) return placed;
    }
    TakeAwayUpload(temp);
    RecordFailure(claim, QStringLiteral("the file could not be given its name on the server"));
    ctx_.dialogs.message(QStringLiteral("The claim ") + claim +
                         QStringLiteral(" could not be given a free name on the ZOD server. The "
                                        "claim was not sent and is kept here for a resend: call "
                                        "ZOD before resending it."));
    return UploadResult::NotPlaced;
}

bool SendClaims::MoveCopies(const QString& from, const QString& to) {
    const QString& bu = ctx_.m.Paths.ClaimsBackupDir;
    const QString& working = ctx_.m.Paths.ClaimsDir;
    if (!QFile::rename(bu + from, bu + to)) return false;
    if (QFile::rename(working + from, working + to)) return true;
    (void)QFile::rename(bu + to, bu + from);
    return false;
}

}  // namespace zv
