#include "tasks/send_claims.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include "base/file_digest.h"
#include "base/file_mask.h"
#include "base/workstation_rules.h"
#include "claims/claim_files.h"
#include "claims/claim_guards.h"
#include "claims/numbering.h"
#include "tasks/get_reports.h"
#include "tasks/server_session.h"

namespace zv {

namespace {

const QString kWakeUp = QStringLiteral("Wake up the SFTP Server!");

}  // namespace

void SendClaims::resendRun(const QString& name) {
    ctx_.view.statusAdd(kWakeUp);
    ctx_.session.OpenSFTPServer();
    (void)ListServerClaims();  // only to take away uploads left by a cut-off run
    const UploadResult result = UploadClaimFile(name, /*resend=*/true);
    ctx_.view.setEnabled(Control::ResendClaims, true);
    if (result == UploadResult::EndRun) return;  // the picker stays, ready for another try
    ctx_.m.PickerMode.ResendMode = false;
    ctx_.picker.hidePicker();
}

void SendClaims::normalRun() {
    ctx_.view.statusAdd(kWakeUp);
    BeginSend();
    if (!SetupReadyForSend() || !PracticeFolderOutsideWorkRoot()) return;
    // Two programs on one work root must never give out the same number.
    QLockFile lock(ctx_.m.Paths.WorkRoot + QStringLiteral("send.lock"));
    if (!lockWorkRoot(ctx_, lock,
                      QStringLiteral("Claims are being sent by another ZUDUVOR program on this "
                                     "workstation right now. Wait until it has finished, then "
                                     "click Send Claims to ZOD again."),
                      QStringLiteral("no claim was sent")))
        return EndSend({});
    const std::optional<QString> summary = SendWaitingFiles();
    if (!summary) return;
    lock.unlock();
    ctx_.view.statusAdd(*summary);
    FinishNormalRun();
}

std::optional<QString> SendClaims::SendWaitingFiles() {
    const QStringList waiting = FindClaimFiles();
    // A working copy left by an earlier run is settled even when no new file waits.
    const bool leftovers = !findFiles(ctx_.m.Paths.ClaimsDir, QStringLiteral("*")).isEmpty();
    if (waiting.isEmpty() && !leftovers)
        return QStringLiteral("No Claim File Found at ") + ctx_.m.Setup.UserPath;
    const QStringList goOn = waiting.isEmpty() ? QStringList() : GuardClaimFiles(waiting);
    ServerClaims server;
    if (!goOn.isEmpty() || leftovers) {
        ctx_.view.statusAdd(QStringLiteral("Wake up the SFTP Server"));
        ctx_.session.OpenSFTPServer();
        server = ListServerClaims();
        WorkingCopies(ctx_, ledger_).settle(server, waiting);
    }
    if (goOn.isEmpty())
        return waiting.isEmpty() ? QStringLiteral("No Claim File Found at ") + ctx_.m.Setup.UserPath
                                 : QStringLiteral(" 0 Claim Files Sent");
    const std::optional<int> sent = SendFiles(goOn, server);
    if (!sent) return std::nullopt;
    return QStringLiteral(" ") + QString::number(*sent) + QStringLiteral(" Claim Files Sent");
}

std::optional<int> SendClaims::SendFiles(const QStringList& goOn, const ServerClaims& server) {
    std::vector<std::pair<QString, QStringList>> claims;  // file to send, its practice files
    if (JoinsFiles()) {
        const std::optional<QString> joined = JoinClaimFiles(goOn);
        if (!joined) return std::nullopt;
        claims.push_back({*joined, goOn});
    } else {
        for (const QString& name : goOn) claims.push_back({name, QStringList{name}});
    }
    const Result<int> last = readSequenceFile(ctx_.m.Paths.SequenceFile);
    if (!last) {
        EndSend(QStringLiteral("The submission number could not be read: ") + last.reason() +
                QStringLiteral(". No claim was sent. Call ZOD."));
        return std::nullopt;
    }
    int number = *last;
    int sent = 0;
    for (const auto& [name, sources] : claims) {
        const ClaimOutcome outcome =
            SendOneClaim(ctx_.m.Setup.UserPath + name, sources, server, number);
        if (outcome == ClaimOutcome::EndRun) {
            EndSend({});
            return std::nullopt;
        }
        if (outcome == ClaimOutcome::Stop) break;
        if (outcome == ClaimOutcome::Sent) ++sent;
    }
    return sent;
}

void SendClaims::BeginSend() {
    ctx_.view.setEnabled(Control::SendClaims, false);
    ctx_.log.write(QStringLiteral("SendClaims"));
    ctx_.view.setDateTimeText(dateAndTimeText(QDateTime::currentDateTime()));
    ctx_.view.statusClear();
    // A resend mode left from an earlier picker opening must neither name this run's
    // uploads "Resending" nor let a picker click during the run start a resend.
    ctx_.m.PickerMode.ResendMode = false;
}

void SendClaims::EndSend(const QString& message) {
    if (!message.isEmpty()) ctx_.dialogs.message(message);
    ctx_.view.setEnabled(Control::SendClaims, true);
}

void SendClaims::FinishNormalRun() {
    ctx_.view.statusAdd(QStringLiteral("Looking for Reports"));
    reports_.run();
    ctx_.view.setEnabled(Control::SendClaims, true);
    ctx_.picker.hidePicker();
}

bool SendClaims::SetupReadyForSend() {
    // After a start-up that found the setup incomplete, an empty claim folder would
    // mean the current folder: its files would be taken, deleted and sent.
    const SetupParameters& setup = ctx_.m.Setup;
    if (!setup.UserPath.isEmpty() && !setup.UserFile.isEmpty() && !setup.SiteID.isEmpty() &&
        !setup.FileType.isEmpty())
        return true;
    EndSend(QStringLiteral(
        "The setup is not complete, so no claim was sent. Click Setup, fill in every "
        "value and save it, then start the program again."));
    return false;
}

bool SendClaims::PracticeFolderOutsideWorkRoot() {
    // The program's own files (a working copy in claims/, the setup file, the sequence
    // file) must never be taken for the practice's claims and sent.
    const QString practice = QFileInfo(ctx_.m.Setup.UserPath).canonicalFilePath();
    QString root = QFileInfo(ctx_.m.Paths.WorkRoot).canonicalFilePath();
    if (practice.isEmpty() || root.isEmpty()) return true;
    if (!root.endsWith(QLatin1Char('/'))) root += QLatin1Char('/');
    if (!(practice + QLatin1Char('/')).startsWith(root)) return true;
    EndSend(QStringLiteral("The claim folder in Setup (") + ctx_.m.Setup.UserPath +
            QStringLiteral(") is the program's own work folder ") + root +
            QStringLiteral(" or one of its folders, so no claim was sent. Click Setup and set "
                           "the claim folder to the folder where your practice program "
                           "writes its claim files."));
    return false;
}

ServerClaims SendClaims::ListServerClaims() {
    ServerClaims server;
    ServerSession& s = ctx_.session;
    if (!s.isOpen()) return server;  // the upload then tells what went wrong
    SftpClient& c = s.Client();
    const QString handle = s.blocking([&] { return c.OpenRemoteDir(QStringLiteral("claims")); });
    if (handle.isEmpty()) return server;  // the final rename still never replaces a file
    const std::optional<RemoteListing> listing =
        s.blocking([&] { return c.ReadRemoteDir(handle); });
    s.closeQuietly(handle);
    if (!listing) return server;
    server.listed = true;
    for (int i = 0; i < listing->EntryCount(); ++i) {
        const QString name = listing->EntryAt(i).EntryName;
        server.sizes.insert(name.toUpper(), listing->EntryAt(i).EntrySize);
        if (isLeftoverUpload(name, ctx_.m.Setup.SiteID, ctx_.m.Setup.FileType))
            (void)s.blocking([&] { return c.DeleteRemoteFile(QStringLiteral("claims/") + name); });
        else
            server.names.insert(name.toUpper());
    }
    return server;
}

bool SendClaims::JoinsFiles() const {
    const QString type = ctx_.m.Setup.FileType.toUpper();
    return type == QLatin1String("AVO") || type == QLatin1String("DEN");
}

QStringList SendClaims::FindClaimFiles() {
    const QString userPath = ctx_.m.Setup.UserPath;
    QStringList found = findFiles(userPath, ctx_.m.Setup.UserFile);
    found.removeIf([&](const QString& name) {
        if (isPlainFile(userPath + name)) return false;
        ctx_.view.statusAdd(QStringLiteral("The claim file ") + name +
                            QStringLiteral(" is a link, not a file: it was left in place and "
                                           "not sent"));
        return true;
    });
    for (const QString& name : unreachableNames(userPath, ctx_.m.Setup.UserFile))
        ctx_.dialogs.message(QStringLiteral("The claim file \"") + name + QStringLiteral("\" in ") +
                             userPath +
                             QStringLiteral(" has a name with characters this program cannot "
                                            "read, so it was not sent. Rename it, then click "
                                            "Send Claims to ZOD again."));
    if (JoinsFiles())
        found.removeIf(
            [](const QString& n) { return n.compare(kJoinTarget, Qt::CaseInsensitive) == 0; });
    return found;
}

QStringList SendClaims::GuardClaimFiles(const QStringList& found) {
    // Read without creating it: a run whose files are all held back leaves no trace.
    QFile sequence(ctx_.m.Paths.SequenceFile);
    const int last = !sequence.exists()                   ? 0
                     : sequence.open(QIODevice::ReadOnly) ? parseSequenceRecord(sequence.read(4))
                                                          : kLastSubmissionNumber;
    const GuardSetup setup{
        ctx_.m.Setup.UserPath,
        ctx_.m.Setup.FileType,
        ctx_.m.Paths.ClaimsBackupDir,
        ctx_.m.Paths.ClaimsDir,
        ctx_.m.Setup.SiteID,
        last,
        [this](const QByteArray& sha256, const QString& sender, const QString& interchange) {
            return ledger_.findPriorSend(sha256, sender, interchange);
        },
        ctx_.m.Paths.WorkRoot + QStringLiteral("checks/")};
    const GuardOutcome outcome =
        guardClaimFiles(found, setup, ctx_.dialogs,
                        [&](const std::function<void()>& work) { ctx_.view.runBlocking(work); });
    for (const QString& note : outcome.notes) ctx_.view.statusAdd(note);
    for (const HeldBack& held : outcome.heldBack) {
        ctx_.view.statusAdd(held.statusLine);
        ctx_.log.write(held.name + QStringLiteral(" Held Back"));
    }
    return outcome.goOn;
}

std::optional<QString> SendClaims::JoinClaimFiles(const QStringList& found) {
    const Result<QString> joined =
        joinClaimFiles(ctx_.m.Setup.UserPath, found,
                       ctx_.m.Paths.WorkRoot + QStringLiteral("join.pending"), ctx_.observer);
    if (!joined) {
        EndSend(QStringLiteral("The claim files in ") + ctx_.m.Setup.UserPath +
                QStringLiteral(" could not be joined into one: ") + joined.reason() +
                QStringLiteral(". No claim was sent and no file was deleted. Call ZOD."));
        return std::nullopt;
    }
    return *joined;
}

SendClaims::ClaimOutcome SendClaims::SendOneClaim(const QString& original,
                                                  const QStringList& sources,
                                                  const ServerClaims& server, int& number) {
    if (!isPlainFile(original)) return ClaimOutcome::Gone;  // gone (or a link) since the search
    const std::optional<QString> numbered = NumberClaim(number, server);
    if (!numbered) return ClaimOutcome::Stop;
    const QString& claim = *numbered;
    if (!KeepCopies(original, claim) || !RemovePracticeFile(original, claim))
        return ClaimOutcome::EndRun;
    ledger_.recordNumbered(claim, number, sources);
    ctx_.reach(SendStep::AfterDelete);
    const UploadResult result = UploadClaimFile(claim, /*resend=*/false);
    ctx_.reach(SendStep::AfterUpload);
    if (result == UploadResult::EndRun) return ClaimOutcome::EndRun;
    if (result != UploadResult::Completed) return ClaimOutcome::Stop;
    RecordNumber(ctx_, number, claim);
    ctx_.reach(SendStep::AfterNumber);
    QFile::remove(ctx_.m.Paths.ClaimsDir + claim);
    return ClaimOutcome::Sent;
}

std::optional<QString> SendClaims::NumberClaim(int& number, const ServerClaims& server) {
    const Module1& m = ctx_.m;
    // Never reuse a number whose copies are still here (an upload that did not
    // complete, or a run that was cut off): take the next free one.
    const Result<int> next =
        nextFreeNumber(number, m.Setup.SiteID, m.Setup.FileType,
                       {m.Paths.ClaimsBackupDir, m.Paths.ClaimsDir}, server.names);
    if (!next) {
        ctx_.dialogs.message(QStringLiteral(
            "The submission numbers are used up (9999 reached), so no more claims can be "
            "numbered. Your claim file was not touched. Call ZOD."));
        return std::nullopt;
    }
    number = *next;
    const QString claim = makeClaimName(m.Setup.SiteID, number, m.Setup.FileType);
    ctx_.m.ClaimName = claim;
    return claim;
}

bool SendClaims::KeepCopies(const QString& original, const QString& claim) {
    const QString backup = ctx_.m.Paths.ClaimsBackupDir + claim;
    const QString working = ctx_.m.Paths.ClaimsDir + claim;
    const auto copyFailed = [&](const QString& to, const Status& copied) {
        ctx_.dialogs.message(QStringLiteral("The claim file ") + original +
                             QStringLiteral(" could not be copied to ") + to +
                             QStringLiteral(": ") + copied.reason() +
                             QStringLiteral(". It was not sent and is still in your claim "
                                            "folder. Free some disk space or call ZOD, then try "
                                            "once more."));
        return false;
    };
    if (const Status copied = copyWhole(original, backup); !copied)
        return copyFailed(backup, copied);
    ctx_.reach(SendStep::AfterBackup);
    if (const Status copied = copyWhole(original, working); !copied) {
        QFile::remove(backup);
        return copyFailed(working, copied);
    }
    ctx_.reach(SendStep::AfterWorkingCopy);
    return true;
}

bool SendClaims::RemovePracticeFile(const QString& original, const QString& claim) {
    QFile practiceFile(original);
    if (practiceFile.remove()) return true;
    // Sending it while it stays would send it again next time.
    QFile::remove(ctx_.m.Paths.ClaimsDir + claim);
    QFile::remove(ctx_.m.Paths.ClaimsBackupDir + claim);
    ctx_.dialogs.message(QStringLiteral("The claim file ") + original +
                         QStringLiteral(" could not be removed from your claim folder: ") +
                         practiceFile.errorString() +
                         QStringLiteral(". It was not sent. Close the program that holds it "
                                        "open, then try once more."));
    return false;
}

SendClaims::UploadResult SendClaims::UploadClaimFile(const QString& name, bool resend) {
    ctx_.view.statusAdd(
        (resend ? QStringLiteral("Resending File ") : QStringLiteral("Sending File ")) + name);
    ctx_.view.statusAdd(ReadyLine);
    // A click taken here may run another send nested in this one, which names other
    // files: this upload keeps the name it was handed.
    ctx_.view.processPendingInput();

    // Written under a temporary dot-name and given its real name only once the server
    // holds all of it, so that a cut-off upload is never taken for a claim.
    const QString part = QStringLiteral("claims/") + uploadTempName(name);
    const QString local = ctx_.m.Paths.ClaimsDir + name;
    RecordUploadStarted(name, local, resend);
    ctx_.reach(SendStep::UploadStarted);
    if (const UploadResult written = WriteUpload(part, local, name);
        written != UploadResult::Completed)
        return written;
    const UploadResult placed = PlaceUpload(part, name, resend);
    if (placed == UploadResult::Completed && ledger_.kept())
        ledger_.keep(ledger_.kept()->confirmed(name));
    if (placed == UploadResult::NotPlaced)
        RecordFailure(name, QStringLiteral("the file could not be given its name on the server"));
    return placed;
}

void SendClaims::RecordUploadStarted(const QString& name, const QString& local, bool resend) {
    Ledger* l = ledger_.ledger();
    if (!l) return;
    // Only a file the history does not know yet (a resend of one sent before it was
    // kept) needs its hash: a numbered file's record already holds it.
    Result<QString> sha = QString();
    const auto known = l->claim(name);
    if (!known || !*known) ctx_.view.runBlocking([&] { sha = fileSha256(local); });
    const Module1& m = ctx_.m;
    const QString server = m.SftpPort == 22 || m.SftpPort == 0
                               ? m.SftpHost
                               : m.SftpHost + QLatin1Char(':') + QString::number(m.SftpPort);
    ledger_.keep(
        l->uploadStarted(name, server, resend, QFileInfo(local).size(), sha ? *sha : QString()));
}

void SendClaims::RecordFailure(const QString& name, const QString& reason) {
    if (Ledger* l = ledger_.kept())
        ledger_.keep(
            l->failed(name, reason + QStringLiteral(": ") + ctx_.session.Client().ErrorDetail()));
}

void SendClaims::UploadFailed(const QString& name, const QString& reason, const QString& message,
                              const QString& activity) {
    RecordFailure(name, reason);
    ctx_.session.showFailure(message);
    ctx_.log.write(name + activity);
}

SendClaims::UploadResult SendClaims::WriteUpload(const QString& part, const QString& local,
                                                 const QString& name) {
    ServerSession& s = ctx_.session;
    SftpClient& c = s.Client();
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
        (void)s.blocking([&] { return c.DeleteRemoteFile(part); });
        return UploadResult::EndRun;
    }
    if (!s.succeeded(s.blocking([&] { return c.CloseRemoteHandle(handle); }))) {
        UploadFailed(name, QStringLiteral("the server did not confirm the whole file"),
                     QStringLiteral("Upload File Close Error. Call ZOD."),
                     QStringLiteral(" Upload File Close Error"));
        // The file is not counted as sent (a server that kept only part of it also
        // ends here): take the server copy away so that it is not processed; the
        // claim stays here for a resend.
        (void)s.blocking([&] { return c.DeleteRemoteFile(part); });
        return UploadResult::CloseFailed;
    }
    return UploadResult::Completed;
}

SendClaims::UploadResult SendClaims::PlaceUpload(const QString& part, const QString& name,
                                                 bool resend) {
    ServerSession& s = ctx_.session;
    SftpClient& c = s.Client();
    const QString remote = QStringLiteral("claims/") + name;
    // A plain rename never replaces a file: a claim waiting on the server under this name
    // (another work root with this site ID, say) stays. A resend the user confirmed
    // replaces its own earlier copy: that copy is removed first and the rename stays the
    // plain one, so that a file another program put there meanwhile is not replaced.
    const bool cleared =
        !resend || s.blocking([&] { return c.RemoveRemoteFileIfPresent(remote); }) == 1;
    if (cleared && s.blocking([&] { return c.RenameRemoteFile(part, remote); }) == 1)
        return UploadResult::Completed;
    const QString detail = c.ErrorDetail();
    (void)s.blocking([&] { return c.DeleteRemoteFile(part); });
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

}  // namespace zv
