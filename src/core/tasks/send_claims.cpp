// The Send Claims button: the practice's claim files are numbered, kept as copies,
// taken out of the practice's folder and uploaded one by one, then the reports fetched.
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSet>

#include "base/file_mask.h"
#include "base/workstation_rules.h"
#include "claims/claim_files.h"
#include "claims/claim_guards.h"
#include "claims/numbering.h"
#include "ledger/ledger.h"
#include "tasks/zuduvor.h"

namespace zv {

void Zuduvor::SendClaims_Click() {
    view_.statusAdd(QStringLiteral("Wake up the SFTP Server!"));
    // Only the picker's resend action runs a resend; a resend mode left over from an
    // earlier picker opening never turns a Send click into one.
    const bool resend = resendRequested_ && m_.PickerMode.ResendMode;
    resendRequested_ = false;
    if (resend)
        ResendRun();
    else
        NormalRun();
}

void Zuduvor::ResendRun() {
    OpenSFTPServer();
    QSet<QString> names;
    QMap<QString, qint64> sizes;
    (void)ListServerClaims(names, sizes);  // only to take away uploads left by a cut-off run
    const UploadResult result = UploadClaimFile(/*resend=*/true);
    view_.setEnabled(Control::ResendClaims, true);
    if (result == UploadResult::EndRun) return;  // the picker stays, ready for another try
    m_.PickerMode.ResendMode = false;
    picker_.hidePicker();
}

void Zuduvor::NormalRun() {
    BeginSend();
    if (!SetupReadyForSend() || !PracticeFolderOutsideWorkRoot()) return;
    // Two programs on one work root must never give out the same number.
    QLockFile lock(m_.Paths.WorkRoot + QStringLiteral("send.lock"));
    if (!LockWorkRoot(lock,
                      QStringLiteral("Claims are being sent by another ZUDUVOR program on this "
                                     "workstation right now. Wait until it has finished, then "
                                     "click Send Claims to ZOD again."),
                      QStringLiteral("no claim was sent")))
        return EndSend({});

    QStringList found = FindClaimFiles();
    // A working copy left by an earlier run is settled even when no new file waits.
    const bool leftovers = !findFiles(m_.Paths.ClaimsDir, QStringLiteral("*")).isEmpty();
    if (found.isEmpty() && !leftovers) {
        lock.unlock();
        view_.statusAdd(QStringLiteral("No Claim File Found at ") + m_.Setup.UserPath);
        return FinishNormalRun();
    }
    const QStringList waiting = found;
    const bool goOn = !found.isEmpty() && GuardClaimFiles(found);
    if (goOn || leftovers) {
        view_.statusAdd(QStringLiteral("Wake up the SFTP Server"));
        OpenSFTPServer();
        SettleWorkingCopies(ListServerClaims(serverClaims_, serverSizes_), waiting);
    }
    if (!goOn) {
        lock.unlock();
        view_.statusAdd(waiting.isEmpty()
                            ? QStringLiteral("No Claim File Found at ") + m_.Setup.UserPath
                            : QStringLiteral(" 0 Claim Files Sent"));
        return FinishNormalRun();
    }
    if (JoinsFiles() && !JoinClaimFiles(found)) return;
    const Result<int> last = readSequenceFile(m_.Paths.SequenceFile);
    if (!last)
        return EndSend(QStringLiteral("The submission number could not be read: ") + last.reason() +
                       QStringLiteral(". No claim was sent. Call ZOD."));

    int number = *last;
    int sent = 0;
    for (const QString& name : found) {
        if (!JoinsFiles()) sources_ = QStringList{name};
        const ClaimOutcome outcome = SendOneClaim(m_.Setup.UserPath + name, number);
        if (outcome == ClaimOutcome::EndRun) return EndSend({});
        if (outcome == ClaimOutcome::Stop) break;
        if (outcome == ClaimOutcome::Sent) ++sent;
    }
    lock.unlock();
    view_.statusAdd(QStringLiteral(" ") + QString::number(sent) +
                    QStringLiteral(" Claim Files Sent"));
    FinishNormalRun();
}

void Zuduvor::BeginSend() {
    view_.setEnabled(Control::SendClaims, false);
    m_.Activity = QStringLiteral("SendClaims");
    WriteLogLine();
    view_.setDateTimeText(dateAndTimeText(QDateTime::currentDateTime()));
    view_.statusClear();
    // A resend mode left from an earlier picker opening must neither name this run's
    // uploads "Resending" nor let a picker click during the run start a resend.
    m_.PickerMode.ResendMode = false;
}

void Zuduvor::EndSend(const QString& message) {
    if (!message.isEmpty()) dialogs_.message(message);
    view_.setEnabled(Control::SendClaims, true);
}

void Zuduvor::FinishNormalRun() {
    view_.statusAdd(QStringLiteral("Looking for Reports"));
    GetReports_Click();
    view_.setEnabled(Control::SendClaims, true);
    picker_.hidePicker();
}

bool Zuduvor::SetupReadyForSend() {
    // After a start-up that found the setup incomplete, an empty claim folder would
    // mean the current folder: its files would be taken, deleted and sent.
    if (!m_.Setup.UserPath.isEmpty() && !m_.Setup.UserFile.isEmpty() &&
        !m_.Setup.SiteID.isEmpty() && !m_.Setup.FileType.isEmpty())
        return true;
    EndSend(QStringLiteral(
        "The setup is not complete, so no claim was sent. Click Setup, fill in every "
        "value and save it, then start the program again."));
    return false;
}

bool Zuduvor::PracticeFolderOutsideWorkRoot() {
    // The program's own files (a working copy in claims/, the setup file, the sequence
    // file) must never be taken for the practice's claims and sent.
    const QString practice = QFileInfo(m_.Setup.UserPath).canonicalFilePath();
    QString root = QFileInfo(m_.Paths.WorkRoot).canonicalFilePath();
    if (practice.isEmpty() || root.isEmpty()) return true;
    if (!root.endsWith(QLatin1Char('/'))) root += QLatin1Char('/');
    if (!(practice + QLatin1Char('/')).startsWith(root)) return true;
    EndSend(QStringLiteral("The claim folder in Setup (") + m_.Setup.UserPath +
            QStringLiteral(") is the program's own work folder ") + root +
            QStringLiteral(" or one of its folders, so no claim was sent. Click Setup and set "
                           "the claim folder to the folder where your practice program "
                           "writes its claim files."));
    return false;
}

bool Zuduvor::ListServerClaims(QSet<QString>& names, QMap<QString, qint64>& sizes) {
    names.clear();
    sizes.clear();
    if (!SessionOpen) return false;  // the upload then tells what went wrong
    SftpClient& c = Client();
    const QString handle = blocking([&] { return c.OpenRemoteDir(QStringLiteral("claims")); });
    if (handle.isEmpty()) return false;  // the final rename still never replaces a file
    const std::optional<RemoteListing> listing = blocking([&] { return c.ReadRemoteDir(handle); });
    closeQuietly(handle);
    if (!listing) return false;
    for (int i = 0; i < listing->EntryCount(); ++i) {
        const QString name = listing->EntryAt(i).EntryName;
        sizes.insert(name.toUpper(), listing->EntryAt(i).EntrySize);
        if (isLeftoverUpload(name, m_.Setup.SiteID, m_.Setup.FileType))
            (void)blocking([&] { return c.DeleteRemoteFile(QStringLiteral("claims/") + name); });
        else
            names.insert(name.toUpper());
    }
    return true;
}

bool Zuduvor::JoinsFiles() const {
    const QString type = m_.Setup.FileType.toUpper();
    return type == QLatin1String("AVO") || type == QLatin1String("DEN");
}

QStringList Zuduvor::FindClaimFiles() {
    const QString userPath = m_.Setup.UserPath;
    QStringList found = findFiles(userPath, m_.Setup.UserFile);
    found.removeIf([&](const QString& name) {
        if (isPlainFile(userPath + name)) return false;
        view_.statusAdd(QStringLiteral("The claim file ") + name +
                        QStringLiteral(" is a link, not a file: it was left in place and "
                                       "not sent"));
        return true;
    });
    for (const QString& name : unreachableNames(userPath, m_.Setup.UserFile))
        dialogs_.message(QStringLiteral("The claim file \"") + name + QStringLiteral("\" in ") +
                         userPath +
                         QStringLiteral(" has a name with characters this program cannot read, "
                                        "so it was not sent. Rename it, then click Send Claims "
                                        "to ZOD again."));
    if (JoinsFiles())
        found.removeIf(
            [](const QString& n) { return n.compare(kJoinTarget, Qt::CaseInsensitive) == 0; });
    return found;
}

bool Zuduvor::GuardClaimFiles(QStringList& found) {
    // Read without creating it: a run whose files are all held back leaves no trace.
    QFile sequence(m_.Paths.SequenceFile);
    const int last = !sequence.exists()                   ? 0
                     : sequence.open(QIODevice::ReadOnly) ? parseSequenceRecord(sequence.read(4))
                                                          : kLastSubmissionNumber;
    const GuardSetup setup{
        m_.Setup.UserPath,
        m_.Setup.FileType,
        m_.Paths.ClaimsBackupDir,
        m_.Paths.ClaimsDir,
        m_.Setup.SiteID,
        last,
        [this](const QByteArray& sha256, const QString& sender, const QString& interchange) {
            return findPriorSend(sha256, sender, interchange);
        }};
    const GuardOutcome outcome =
        guardClaimFiles(found, setup, dialogs_,
                        [&](const std::function<void()>& work) { view_.runBlocking(work); });
    for (const HeldBack& held : outcome.heldBack) {
        view_.statusAdd(held.statusLine);
        m_.Activity = held.name + QStringLiteral(" Held Back");
        WriteLogLine();
    }
    found = outcome.goOn;
    return !found.isEmpty();
}

bool Zuduvor::JoinClaimFiles(QStringList& found) {
    sources_ = found;
    const Result<QString> joined = joinClaimFiles(
        m_.Setup.UserPath, found, m_.Paths.WorkRoot + QStringLiteral("join.pending"), observer_);
    if (!joined) {
        EndSend(QStringLiteral("The claim files in ") + m_.Setup.UserPath +
                QStringLiteral(" could not be joined into one: ") + joined.reason() +
                QStringLiteral(". No claim was sent and no file was deleted. Call ZOD."));
        return false;
    }
    found = QStringList{*joined};
    return true;
}

Zuduvor::ClaimOutcome Zuduvor::SendOneClaim(const QString& original, int& number) {
    if (!isPlainFile(original)) return ClaimOutcome::Gone;  // gone (or a link) since the search
    if (!NumberClaim(number)) return ClaimOutcome::Stop;
    const QString claim = m_.ClaimName;
    if (!KeepCopies(original, claim) || !RemovePracticeFile(original, claim))
        return ClaimOutcome::EndRun;
    RecordNumbered(claim, number);
    reach(SendStep::AfterDelete);
    const UploadResult result = UploadClaimFile(/*resend=*/false);
    reach(SendStep::AfterUpload);
    if (result == UploadResult::EndRun) return ClaimOutcome::EndRun;
    if (result != UploadResult::Completed) return ClaimOutcome::Stop;
    RecordNumber(number, claim);
    reach(SendStep::AfterNumber);
    QFile::remove(m_.Paths.ClaimsDir + claim);
    return ClaimOutcome::Sent;
}

bool Zuduvor::NumberClaim(int& number) {
    // Never reuse a number whose copies are still here (an upload that did not
    // complete, or a run that was cut off): take the next free one.
    const Result<int> next =
        nextFreeNumber(number, m_.Setup.SiteID, m_.Setup.FileType,
                       {m_.Paths.ClaimsBackupDir, m_.Paths.ClaimsDir}, serverClaims_);
    if (!next) {
        dialogs_.message(QStringLiteral(
            "The submission numbers are used up (9999 reached), so no more claims can be "
            "numbered. Your claim file was not touched. Call ZOD."));
        return false;
    }
    number = *next;
    m_.ClaimName = makeClaimName(m_.Setup.SiteID, number, m_.Setup.FileType);
    return true;
}

bool Zuduvor::KeepCopies(const QString& original, const QString& claim) {
    const QString backup = m_.Paths.ClaimsBackupDir + claim;
    const QString working = m_.Paths.ClaimsDir + claim;
    const auto copyFailed = [&](const QString& to, const Status& copied) {
        dialogs_.message(QStringLiteral("The claim file ") + original +
                         QStringLiteral(" could not be copied to ") + to + QStringLiteral(": ") +
                         copied.reason() +
                         QStringLiteral(". It was not sent and is still in your claim folder. "
                                        "Free some disk space or call ZOD, then try once more."));
        return false;
    };
    if (const Status copied = copyWhole(original, backup); !copied)
        return copyFailed(backup, copied);
    reach(SendStep::AfterBackup);
    if (const Status copied = copyWhole(original, working); !copied) {
        QFile::remove(backup);
        return copyFailed(working, copied);
    }
    reach(SendStep::AfterWorkingCopy);
    return true;
}

bool Zuduvor::RemovePracticeFile(const QString& original, const QString& claim) {
    QFile practiceFile(original);
    if (practiceFile.remove()) return true;
    // Sending it while it stays would send it again next time.
    QFile::remove(m_.Paths.ClaimsDir + claim);
    QFile::remove(m_.Paths.ClaimsBackupDir + claim);
    dialogs_.message(QStringLiteral("The claim file ") + original +
                     QStringLiteral(" could not be removed from your claim folder: ") +
                     practiceFile.errorString() +
                     QStringLiteral(". It was not sent. Close the program that holds it open, "
                                    "then try once more."));
    return false;
}

void Zuduvor::RecordNumber(int number, const QString& claim) {
    if (const Status written = writeSequenceFile(m_.Paths.SequenceFile, number); !written) {
        // The claim is on the server; its backup keeps its number from being reused.
        dialogs_.message(QStringLiteral("The claim ") + claim +
                         QStringLiteral(" was sent, but its number could not be recorded: ") +
                         written.reason() + QStringLiteral(". Call ZOD."));
    }
}

Zuduvor::UploadResult Zuduvor::UploadClaimFile(bool resend) {
    // A click taken during the chance for input below may run another send nested in
    // this one, which names other files: this upload keeps the file it was called for.
    const QString name = m_.ClaimName;
    view_.statusAdd((resend ? QStringLiteral("Resending File ") : QStringLiteral("Sending File ")) +
                    name);
    view_.statusAdd(ReadyLine);
    view_.processPendingInput();
    m_.ClaimName = name;

    SftpClient& c = Client();
    // Written under a temporary dot-name and given its real name only once the server
    // holds all of it, so that a cut-off upload is never taken for a claim.
    const QString part = QStringLiteral("claims/") + uploadTempName(name);
    const QString local = m_.Paths.ClaimsDir + name;
    if (Ledger* l = ledger()) {
        // Only a file the history does not know yet (a resend of one sent before it was
        // kept) needs its hash: a numbered file's record already holds it.
        Result<QString> sha = QString();
        const auto known = l->claim(name);
        if (!known || !*known) view_.runBlocking([&] { sha = fileSha256(local); });
        const QString server = m_.SftpPort == 22 || m_.SftpPort == 0
                                   ? m_.SftpHost
                                   : m_.SftpHost + QLatin1Char(':') + QString::number(m_.SftpPort);
        keepLedger(l->uploadStarted(name, server, resend, QFileInfo(local).size(),
                                    sha ? *sha : QString()));
    }
    reach(SendStep::UploadStarted);
    const auto failed = [&](const QString& reason) {
        if (ledger_)
            keepLedger(ledger_->failed(name, reason + QStringLiteral(": ") + c.ErrorDetail()));
    };
    const QString handle = blocking([&] {
        return c.OpenRemoteFile(part, QStringLiteral("writeOnly"),
                                QStringLiteral("createTruncate"));
    });
    if (handle.isEmpty()) {
        failed(QStringLiteral("the server did not let the file be written"));
        showFailure(QStringLiteral("Upload File not Found."));
        m_.Activity = name + QStringLiteral(" Upload File not Found");
        WriteLogLine();
        return UploadResult::EndRun;
    }
    m_.LastResult = blocking([&] { return c.SendLocalFile(handle, local); });
    if (m_.LastResult != 1) {
        failed(QStringLiteral("the upload failed"));
        showFailure(QStringLiteral("File Upload Failure. Try once more."));
        m_.Activity = name + QStringLiteral(" Upload Failure");
        WriteLogLine();
        m_.PickerCallback = false;
        // A partial file must not be taken for a claim: close it and take it away again
        // (when the connection still allows it); the claim stays here for a resend.
        closeQuietly(handle);
        (void)blocking([&] { return c.DeleteRemoteFile(part); });
        return UploadResult::EndRun;
    }
    m_.LastResult = blocking([&] { return c.CloseRemoteHandle(handle); });
    if (m_.LastResult != 1) {
        failed(QStringLiteral("the server did not confirm the whole file"));
        showFailure(QStringLiteral("Upload File Close Error. Call ZOD."));
        m_.Activity = name + QStringLiteral(" Upload File Close Error");
        WriteLogLine();
        // The file is not counted as sent (a server that kept only part of it also
        // ends here): take the server copy away so that it is not processed; the
        // claim stays here for a resend.
        (void)blocking([&] { return c.DeleteRemoteFile(part); });
        return UploadResult::CloseFailed;
    }
    const UploadResult placed = PlaceUpload(part, name, resend);
    if (placed == UploadResult::Completed && ledger_) keepLedger(ledger_->confirmed(name));
    if (placed == UploadResult::NotPlaced)
        failed(QStringLiteral("the file could not be given its name on the server"));
    return placed;
}

Zuduvor::UploadResult Zuduvor::PlaceUpload(const QString& part, const QString& name, bool resend) {
    SftpClient& c = Client();
    const QString remote = QStringLiteral("claims/") + name;
    // A plain rename never replaces a file: a claim waiting on the server under this name
    // (another work root with this site ID, say) stays. A resend the user confirmed
    // replaces its own earlier copy: that copy is removed first and the rename stays the
    // plain one, so that a file another program put there meanwhile is not replaced.
    const bool cleared =
        !resend || blocking([&] { return c.RemoveRemoteFileIfPresent(remote); }) == 1;
    if (cleared && blocking([&] { return c.RenameRemoteFile(part, remote); }) == 1)
        return UploadResult::Completed;
    const QString detail = c.ErrorDetail();
    (void)blocking([&] { return c.DeleteRemoteFile(part); });
    m_.Activity = name + QStringLiteral(" Upload Rename Error");
    WriteLogLine();
    if (!cleared)
        dialogs_.message(QStringLiteral("The earlier copy of ") + name +
                         QStringLiteral(" on the ZOD server could not be removed, so the claim "
                                        "was not resent. It is kept here: try once more, or "
                                        "call ZOD.") +
                         m_.LF + detail);
    else
        dialogs_.message(QStringLiteral("The claim ") + name +
                         QStringLiteral(" could not be given its name on the ZOD server (a file "
                                        "of that name may be waiting there already; it was not "
                                        "replaced). The claim was not sent and is kept here for "
                                        "a resend: call ZOD before resending it.") +
                         m_.LF + detail);
    return UploadResult::NotPlaced;
}

}  // namespace zv
