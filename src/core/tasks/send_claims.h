#pragma once
// The Send Claims button: the practice's claim files are guarded, numbered, kept as
// copies, taken out of the practice's folder and uploaded one by one, then the reports
// fetched. The picker's resend action runs the same upload for one kept file.
#include <QString>
#include <QStringList>
#include <optional>

#include "tasks/ledger_keeping.h"
#include "tasks/task_context.h"
#include "tasks/working_copies.h"

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
    enum class UploadResult { Completed, CloseFailed, NotPlaced, EndRun };
    enum class ClaimOutcome { Sent, Gone, Stop, EndRun };

    void BeginSend();
    bool SetupReadyForSend();
    bool PracticeFolderOutsideWorkRoot();
    // The run from the search to the last upload; its summary line, or none when the run
    // ended at once.
    std::optional<QString> SendWaitingFiles();
    QStringList FindClaimFiles();
    // The guards over the found files: those that go on.
    QStringList GuardClaimFiles(const QStringList& found);
    bool JoinsFiles() const;
    // Joins the practice's files `found` into one; its name, or none when it failed.
    std::optional<QString> JoinClaimFiles(const QStringList& found);
    // Names waiting in the server's claims/ and the sizes of all it lists; our uploads
    // left there by a cut-off run are taken away.
    ServerClaims ListServerClaims();
    // Numbers and sends `goOn` (joined first where the file type joins); the count sent, or
    // none when the run ended at once.
    std::optional<int> SendFiles(const QStringList& goOn, const ServerClaims& server);
    // Number, keep copies, remove the practice's file, upload, record. `sources`: the
    // practice file(s) the claim is made of.
    ClaimOutcome SendOneClaim(const QString& original, const QStringList& sources,
                              const ServerClaims& server, int& number);
    // The next free number after `number` and the claim's name, or none when the numbers
    // are used up.
    std::optional<QString> NumberClaim(int& number, const ServerClaims& server);
    bool KeepCopies(const QString& original, const QString& claim);
    bool RemovePracticeFile(const QString& original, const QString& claim);
    void EndSend(const QString& message);  // message (when any), Send enabled again
    void FinishNormalRun();

    // The run's own kind decides the status line, whatever the picker is set to meanwhile.
    UploadResult UploadClaimFile(const QString& name, bool resend);
    void RecordUploadStarted(const QString& name, const QString& local, bool resend);
    // Open, write and close `part` on the server with the bytes of `local`.
    UploadResult WriteUpload(const QString& part, const QString& local, const QString& name);
    // Gives the whole upload `part` the claim's name on the server.
    UploadResult PlaceUpload(const QString& part, const QString& name, bool resend);
    // A failed upload: recorded with the server's detail, shown and logged.
    void UploadFailed(const QString& name, const QString& reason, const QString& message,
                      const QString& activity);
    void RecordFailure(const QString& name, const QString& reason);

    TaskContext ctx_;
    LedgerKeeping& ledger_;
    int heldBack_ = 0;
    GetReports& reports_;
};

}  // namespace zv
