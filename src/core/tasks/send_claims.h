#pragma once
// The Send Claims button: the practice's claim files are guarded, numbered, kept as
// copies, taken out of the practice's folder and uploaded one by one, then the reports
// fetched. The picker's resend action runs the same upload for one kept file.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "claims/claim_guards.h"
#include "tasks/ledger_keeping.h"
#include "tasks/send_uploads.h"
#include "tasks/task_context.h"
#include "tasks/working_copies.h"

class QLockFile;

namespace zv {

class GetReports;

class SendClaims {
public:
    SendClaims(const TaskContext& ctx, LedgerKeeping& ledger, GetReports& reports)
        : ctx_(ctx), ledger_(ledger), reports_(reports) {}

    // A normal run: every claim file waiting in the practice's folder.
    void normalRun();
    // A resend run: `name`, whose working copy is in claims/ already.
    void resendRun(const QString& name);
    // Claim files the guards held back in this program's runs.
    int heldBack() const { return heldBack_; }

private:
    // NameTaken: another program gave a file the claim's name while this one uploaded.
    enum class UploadResult { Completed, CloseFailed, NotPlaced, NameTaken, EndRun };
    enum class ClaimOutcome { Placed, Gone, Stop, EndRun };
    struct Upload {
        UploadResult result;
        QString temp;  // the server name it was written under
    };

    // Two programs on one work root never send at once; a send clicked during this
    // program's own resend (its one chance for input) runs inside it, under its lock.
    bool TakeSendLock(QLockFile& lock, const QString& again);
    UploadRecords Records() const;
    void BeginSend();
    bool SetupReadyForSend();
    bool PracticeFolderOutsideWorkRoot();
    // The run from the search to the last upload; its summary line, or none when the run
    // ended at once.
    std::optional<QString> SendWaitingFiles();
    QStringList FindClaimFiles();
    // The guards over the found files: those that go on.
    GuardOutcome GuardClaimFiles(const QStringList& found);
    bool JoinsFiles() const;
    // Joins the practice's files `found` into one; its name, or none when it failed.
    std::optional<QString> JoinClaimFiles(const QStringList& found);
    // Numbers and sends the guards' `goOn` (joined first where the file type joins); the
    // count the server confirms, or none when the run ended at once.
    std::optional<int> SendFiles(const GuardOutcome& guarded, ServerClaims& server);
    // Number, keep copies, remove the practice's file (only while it still looks as it
    // did once `settled`), upload, record. `sources`: the practice file(s) the claim is
    // made of. A claim given its name is added to `placed`.
    ClaimOutcome SendOneClaim(const QString& original, const QStringList& sources,
                              const std::optional<FileLook>& settled, ServerClaims& server,
                              int& number, std::vector<PlacedClaim>& placed);
    // The claims given their names in this run, confirmed: how many count as sent.
    int SettlePlaced(UploadCheck& check, const std::vector<PlacedClaim>& placed);
    // The practice file changed while it was copied: the copies go, the file stays.
    ClaimOutcome ChangedWhileCopied(const QString& original, const QString& claim);
    // The upload `temp` of `claim` under the next free number, as another program took
    // its name meanwhile; `claim` and `number` follow.
    UploadResult PlaceUnderNewNumber(QString& claim, const QString& temp,
                                     const QStringList& sources, int& number, ServerClaims& server);
    // The next free number after `number` and the claim's name, or none when the numbers
    // are used up.
    std::optional<QString> NumberClaim(int& number, const ServerClaims& server);
    bool MoveCopies(const QString& from, const QString& to);
    bool KeepCopies(const QString& original, const QString& claim);
    bool RemovePracticeFile(const QString& original, const QString& claim);
    void EndSend(const QString& message);  // message (when any), Send enabled again
    void FinishNormalRun();

    // The run's own kind decides the status line, whatever the picker is set to meanwhile.
    Upload UploadClaimFile(const QString& name, bool resend);
    void RecordUploadStarted(const QString& name, const QString& local, bool resend);
    // Open, write and close `temp` on the server with the bytes of `local`.
    UploadResult WriteUpload(const QString& temp, const QString& local, const QString& name);
    // Gives the whole upload `temp` the claim's name on the server.
    UploadResult PlaceUpload(const QString& temp, const QString& name, bool resend);
    // An upload that will not be a claim is taken off the server again, when it can be.
    void TakeAwayUpload(const QString& temp);
    // A failed upload: recorded with the server's detail, shown and logged.
    void UploadFailed(const QString& name, const QString& reason, const QString& message,
                      const QString& activity);
    void RecordFailure(const QString& name, const QString& reason);

    TaskContext ctx_;
    LedgerKeeping& ledger_;
    int heldBack_ = 0;
    GetReports& reports_;
    QString token_;    // this run's own mark in its uploads' temporary names
    int sending_ = 0;  // runs of this program holding the send lock
};

}  // namespace zv
