#pragma once
// The claim ledger: every claim file the program numbers and every report it fetches,
// kept in an SQLite file (ledger.db) in the work root. It records what happened; the
// claim folders and seqfile.fil stay what decides the send's own steps.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "base/file_digest.h"
#include "base/result.h"
#include "x12/x12.h"

struct sqlite3;

namespace zv {

enum class ClaimState {
    Numbered,
    Uploading,
    Sent,
    Failed,
    Accepted,
    AcceptedWithErrors,
    PartlyAccepted,
    Rejected
};
// "accepted with errors", as the history shows it and the file stores it.
QString stateText(ClaimState state);
// True once the server confirmed the whole upload (every state from Sent on, but Failed).
bool uploadConfirmed(ClaimState state);

struct NewClaim {
    QString name;
    int number = 0;
    qint64 size = 0;
    QString sha256;       // hex
    QStringList sources;  // the practice file(s) it was made of
    std::optional<x12::ClaimFileFacts> facts;
};

struct ClaimRecord {
    QString name;
    int number = 0;
    qint64 size = 0;
    QString sha256;
    QStringList sources;
    std::optional<x12::ClaimFileFacts> facts;
    QDateTime numberedAt, uploadStartedAt, confirmedAt;  // UTC; null when not (yet)
    QString server;
    ClaimState state = ClaimState::Numbered;
    QString reason;                     // why it failed
    QString answeredBy;                 // the report whose answer set the state
    int attempts = 0;                   // uploads started, resends included
    bool lastAttemptConfirmed = false;  // the latest upload (a resend, say) was confirmed
};

struct ReportRecord {
    QString name;
    qint64 size = 0;
    QString sha256;
    QString kind;  // TA1, 999, 277CA, 835, other
    QString says;  // one line: what it answers
};

// How specific an answer is: a later answer replaces an earlier one only when it is at
// least as specific (a TA1's interchange receipt never hides a 277CA's claim answers).
enum class AnswerLevel { Interchange = 1, Group = 2, Claims = 3 };

struct ClaimAnswerRecord {
    QString claimName;
    ClaimState outcome = ClaimState::Accepted;
    AnswerLevel level = AnswerLevel::Interchange;
    int acceptedClaims = 0, rejectedClaims = 0;
    QStringList rejectedNumbers;  // patient control numbers
};

// A report fetched in this run, waiting to be matched with the claim files it answers.
struct FetchedReport {
    qint64 id = 0;
    QString name;
    x12::Report report;
};

// What a report says in one line ("999: group 41, sets 0001 0002: rejected").
QString reportSays(const x12::Report& report);
QString reportKindText(x12::ReportKind kind);

class Ledger {
public:
    ~Ledger();
    Ledger(const Ledger&) = delete;
    Ledger& operator=(const Ledger&) = delete;

    struct Opened;
    // Opens (or starts) the ledger at `path`. A file that is damaged or no database is
    // kept under another name and a new one started: Opened::setAsideAs then names it.
    // Fails when no ledger can be used at all (the folder is not writable, the file is
    // locked too long, or it was written by a newer program).
    static Result<Opened> open(const QString& path);

    Status numbered(const NewClaim& claim);
    // Every upload attempt; a claim not numbered here (sent before the ledger existed) is
    // added with what its working copy says.
    Status uploadStarted(const QString& name, const QString& server, bool resend, qint64 size,
                         const QString& sha256);
    Status confirmed(const QString& name);
    Status failed(const QString& name, const QString& reason);
    // Takes back a numbering that never went further (the claim is numbered anew).
    Status forget(const QString& name);

    Result<std::optional<ClaimRecord>> claim(const QString& name);
    // Newest first (by the time numbered, else first sent).
    Result<std::vector<ClaimRecord>> history();
    // The latest claim file whose upload was confirmed with this content, or this sender and
    // interchange control number.
    Result<std::optional<ClaimRecord>> priorSend(const QString& sha256, const QString& sender,
                                                 const QString& interchangeNumber);
    // Confirmed uploads that no report has answered, confirmed before `before`, not yet
    // named as overdue; they are marked as named.
    Result<std::vector<ClaimRecord>> takeOverdue(const QDateTime& before);

    // The new report's id; none when this report (name and content) was recorded before,
    // as a report whose removal from the server failed is fetched again.
    Result<std::optional<qint64>> report(const ReportRecord& report);
    // Records an answer of report `reportId` and, unless a more specific answer came
    // earlier, sets the claim's state from it. False when it was not taken for the state.
    Result<bool> answer(qint64 reportId, const QString& reportName, const ClaimAnswerRecord& a);

    // Several writes as one commit (one sync of the disk): the answers of a run's reports.
    // A batch not committed is dropped.
    Status beginBatch();
    Status commitBatch();
    void dropBatch();

    // Claims whose upload was confirmed (the ones a report can answer), newest first.
    Result<std::vector<ClaimRecord>> confirmedClaims();

private:
    struct Handle;
    explicit Ledger(std::unique_ptr<Handle> db);
    Status exec(const char* sql);
    std::unique_ptr<Handle> db_;
};

struct Ledger::Opened {
    std::unique_ptr<Ledger> ledger;
    QString setAsideAs;  // file name the damaged ledger was kept under; empty when none
};

}  // namespace zv
