#include "tasks/send_claims.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <algorithm>

#include "base/file_digest.h"
#include "base/file_mask.h"
#include "base/readable_name.h"
#include "base/workstation_rules.h"
#include "claims/claim_files.h"
#include "claims/claim_guards.h"
#include "claims/numbering.h"
#include "tasks/get_reports.h"
#include "tasks/server_session.h"

namespace zv {

namespace {

const QString kWakeUp = QStringLiteral("Wake up the SFTP Server!");

class SendingTurn {
public:
    explicit SendingTurn(int& sending) : sending_(++sending) {}
    ~SendingTurn() { --sending_; }
    SendingTurn(const SendingTurn&) = delete;
    SendingTurn& operator=(const SendingTurn&) = delete;

private:
    int& sending_;
};

}  // namespace

UploadRecords SendClaims::Records() const {
    return UploadRecords(ctx_.m.Paths.WorkRoot + QStringLiteral("uploads.part"));
}

bool SendClaims::TakeSendLock(QLockFile& lock, const QString& again) {
    if (sending_ > 0) return true;
    return lockWorkRoot(ctx_, lock,
                        QStringLiteral("Claims are being sent by another ZUDUVOR program on this "
                                       "workstation right now. Wait until it has finished, then ") +
                            again + QLatin1Char('.'),
                        QStringLiteral("no claim was sent"));
}

void SendClaims::resendRun(const QString& name) {
    ctx_.view.statusAdd(kWakeUp);
    QLockFile lock(ctx_.m.Paths.WorkRoot + QStringLiteral("send.lock"));
    if (!TakeSendLock(lock, QStringLiteral("click the file in the list again"))) {
        ctx_.view.setEnabled(Control::ResendClaims, true);
        return;  // the picker stays, ready for another try
    }
    const SendingTurn turn(sending_);
    token_ = newUploadToken();
    ctx_.session.OpenSFTPServer();
    UploadCheck check(ctx_, ledger_, Records());
    (void)check.listClaims();  // only to take away uploads left by a cut-off run
    const qint64 size = QFileInfo(ctx_.m.Paths.ClaimsDir + name).size();
    const Upload upload = UploadClaimFile(name, /*resend=*/true);
    if (upload.result == UploadResult::Completed)
        (void)check.confirm({PlacedClaim{name, upload.temp, size}});
    ctx_.view.setEnabled(Control::ResendClaims, true);
    if (upload.result == UploadResult::EndRun) return;  // the picker stays for another try
    ctx_.m.PickerMode.ResendMode = false;
    ctx_.picker.hidePicker();
}

void SendClaims::normalRun() {
    ctx_.view.statusAdd(kWakeUp);
    BeginSend();
    if (!SetupReadyForSend() || !PracticeFolderOutsideWorkRoot()) return;
    std::optional<QString> summary;
    {
        // Two programs on one work root must never give out the same number.
        QLockFile lock(ctx_.m.Paths.WorkRoot + QStringLiteral("send.lock"));
        if (!TakeSendLock(lock, QStringLiteral("click Send Claims to ZOD again")))
            return EndSend({});
        const SendingTurn turn(sending_);
        token_ = newUploadToken();
        summary = SendWaitingFiles();
    }
    if (!summary) return;
    ctx_.view.statusAdd(*summary);
    FinishNormalRun();
}

std::optional<QString> SendClaims::SendWaitingFiles() {
    const QStringList waiting = FindClaimFiles();
    // A working copy left by an earlier run is settled even when no new file waits.
    const bool leftovers = !findFiles(ctx_.m.Paths.ClaimsDir, QStringLiteral("*")).isEmpty();
    if (waiting.isEmpty() && !leftovers)
        return QStringLiteral("No Claim File Found at ") + ctx_.m.Setup.UserPath;
    const GuardOutcome guarded = waiting.isEmpty() ? GuardOutcome() : GuardClaimFiles(waiting);
    ServerClaims server;
    if (!guarded.goOn.isEmpty() || leftovers) {
        ctx_.view.statusAdd(QStringLiteral("Wake up the SFTP Server"));
        ctx_.session.OpenSFTPServer();
        server = UploadCheck(ctx_, ledger_, Records()).listClaims();
        WorkingCopies(ctx_, ledger_).settle(server, waiting);
        nameWaitingClaims(ctx_);
    }
    if (guarded.goOn.isEmpty())
        return waiting.isEmpty() ? QStringLiteral("No Claim File Found at ") + ctx_.m.Setup.UserPath
                                 : QStringLiteral(" 0 Claim Files Sent");
    const std::optional<int> sent = SendFiles(guarded, server);
    if (!sent) return std::nullopt;
    return QStringLiteral(" ") + QString::number(*sent) + QStringLiteral(" Claim Files Sent");
}

std::optional<int> SendClaims::SendFiles(const GuardOutcome& guarded, ServerClaims& server) {
    // File to send, its practice files, how it looked once settled (none for a join,
    // which this program wrote itself).
    struct Claim {
        QString name;
        QStringList sources;
        std::optional<FileLook> settled;
    };
    std::vector<Claim> claims;
    if (JoinsFiles()) {
        const std::optional<QString> joined = JoinClaimFiles(guarded.goOn);
        if (!joined) return std::nullopt;
        claims.push_back({*joined, guarded.goOn, std::nullopt});
    } else {
        for (const QString& name : guarded.goOn)
            claims.push_back({name, QStringList{name}, guarded.settled.value(name)});
    }
    const Result<int> last = readSequenceFile(ctx_.m.Paths.SequenceFile);
    if (!last) {
        EndSend(QStringLiteral("The submission number could not be read: ") + last.reason() +
                QStringLiteral(". No claim was sent. Call ZOD."));
        return std::nullopt;
    }
    int number = *last;
    std::vector<PlacedClaim> placed;
    UploadCheck check(ctx_, ledger_, Records());
    for (const Claim& claim : claims) {
        const ClaimOutcome outcome = SendOneClaim(ctx_.m.Setup.UserPath + claim.name, claim.sources,
                                                  claim.settled, server, number, placed);
        if (outcome == ClaimOutcome::EndRun) {
            (void)SettlePlaced(check, placed);
            EndSend({});
            return std::nullopt;
        }
        if (outcome == ClaimOutcome::Stop) break;
    }
    return SettlePlaced(check, placed);
}

int SendClaims::SettlePlaced(UploadCheck& check, const std::vector<PlacedClaim>& placed) {
    // Counted as sent only once the server shows each under its name, whole. After a lost
    // connection their numbers are kept and the next send confirms them.
    if (ctx_.session.Client().SessionUsable()) return check.confirm(placed);
    for (const PlacedClaim& done : placed) RecordNumberOf(ctx_, done.name);
    return 0;
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
    reports_.run(/*nameWaiting=*/false);  // this run named them already
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
    // file, a fetched report) must never be taken for the practice's claims and sent. The
    // work root's user/ folder is made at start-up for the catalogue's packages: it is
    // the practice's.
    const QString practice = QFileInfo(ctx_.m.Setup.UserPath).canonicalFilePath();
    const QString root = QFileInfo(ctx_.m.Paths.WorkRoot).canonicalFilePath();
    if (!isProgramsOwnFolder(practice, root)) return true;
    EndSend(QStringLiteral("The claim folder in Setup (") + ctx_.m.Setup.UserPath +
            QStringLiteral(") is the program's own work folder ") + root +
            QStringLiteral(" or one of its folders, so no claim was sent. Click Setup and set "
                           "the claim folder to the folder where your practice program "
                           "writes its claim files."));
    return false;
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

GuardOutcome SendClaims::GuardClaimFiles(const QStringList& found) {
    // Read without creating it: a run whose files are all held back leaves no trace.
    QFile sequence(ctx_.m.Paths.SequenceFile);
    const int last = !sequence.exists()                   ? 0
                     : sequence.open(QIODevice::ReadOnly) ? parseSequenceRecord(sequence.read(4))
                                                          : kLastSubmissionNumber;
    const GuardSetup setup{ctx_.m.Setup.UserPath,
                           ctx_.m.Setup.FileType,
                           ctx_.m.Paths.ClaimsBackupDir,
                           ctx_.m.Paths.ClaimsDir,
                           ctx_.m.Setup.SiteID,
                           last,
                           [this](const QByteArray& sha256, const x12::ClaimFileFacts& facts) {
                               return ledger_.findPriorSend(sha256, facts);
                           },
                           ctx_.m.Paths.WorkRoot + QStringLiteral("checks/")};
    const QDateTime now = QDateTime::currentDateTime();
    const bool fresh = std::any_of(found.begin(), found.end(), [&](const QString& name) {
        const std::optional<FileLook> look = FileLook::of(ctx_.m.Setup.UserPath + name);
        return look && look->modified.msecsTo(now) < kSettleMs;
    });
    if (fresh)
        ctx_.view.statusAdd(
            QStringLiteral("Waiting until the billing program has finished "
                           "writing the claim files"));
    GuardOutcome outcome =
        guardClaimFiles(found, setup, ctx_.dialogs,
                        [&](const std::function<void()>& work) { ctx_.view.runBlocking(work); });
    heldBack_ += int(outcome.heldBack.size());
    for (const QString& note : outcome.notes) ctx_.view.statusAdd(note);
    for (const HeldBack& held : outcome.heldBack) {
        ctx_.view.statusAdd(held.statusLine);
        ctx_.log.write(held.name + QStringLiteral(" Held Back"));
    }
    return outcome;
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
                                                  const std::optional<FileLook>& settled,
                                                  ServerClaims& server, int& number,
                                                  std::vector<PlacedClaim>& placed) {
    if (!isPlainFile(original)) return ClaimOutcome::Gone;  // gone (or a link) since the search
    const std::optional<QString> numbered = NumberClaim(number, server);
    if (!numbered) return ClaimOutcome::Stop;
    QString claim = *numbered;
    if (!KeepCopies(original, claim)) return ClaimOutcome::EndRun;
    if (settled && FileLook::of(original) != settled) return ChangedWhileCopied(original, claim);
    if (!RemovePracticeFile(original, claim)) return ClaimOutcome::EndRun;
    ledger_.recordNumbered(claim, number, sources);
    ctx_.reach(SendStep::AfterDelete);
    const qint64 size = QFileInfo(ctx_.m.Paths.ClaimsDir + claim).size();
    Upload upload = UploadClaimFile(claim, /*resend=*/false);
    if (upload.result == UploadResult::NameTaken)
        upload.result = PlaceUnderNewNumber(claim, upload.temp, sources, number, server);
    ctx_.reach(SendStep::AfterUpload);
    if (upload.result == UploadResult::EndRun) return ClaimOutcome::EndRun;
    if (upload.result != UploadResult::Completed) return ClaimOutcome::Stop;
    // Its number is recorded, and its working copy goes, once the end of the run has
    // confirmed it on the server (its backup keeps the number from being given again).
    placed.push_back({claim, upload.temp, size});
    return ClaimOutcome::Placed;
}

SendClaims::ClaimOutcome SendClaims::ChangedWhileCopied(const QString& original,
                                                        const QString& claim) {
    QFile::remove(ctx_.m.Paths.ClaimsDir + claim);
    QFile::remove(ctx_.m.Paths.ClaimsBackupDir + claim);
    const QString name = readableName(QFile::encodeName(QFileInfo(original).fileName()));
    ctx_.view.statusAdd(name + QStringLiteral(" was changed while it was being sent, so it "
                                              "was not sent; it stays in the practice folder "
                                              "for the next send."));
    ctx_.log.write(name + QStringLiteral(" Held Back"));
    return ClaimOutcome::Gone;
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

}  // namespace zv
