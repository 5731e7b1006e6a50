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

#include "answers/claim_state.h"
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
    // Its claims, one by one (empty for a file that is not X12 or could not be read).
    std::vector<answers::SentClaim> claims;
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
    // Claim by claim: the file's line ("K90042.83P: accepted by ZOD"), whether a claim
    // needs a person (rejected, denied, unanswered), and whether its latest change was not
    // shown to a person yet (1; 2 with a rejection).
    QString summary;
    bool attention = false;
    int unseen = 0;
    int answerEvents = 0;
    bool answeredAsWhole = false;  // answered before claims were kept one by one
};

struct ReportRecord {
    QString name;
    qint64 size = 0;
    QString sha256;
    QString kind;  // TA1, 999, 277CA, 835, other
    QString says;  // one line: what it answers
};

// What a report's answers changed of one claim file: its new line, and the desktop notice
// when a claim became rejected, denied or unanswered (empty otherwise).
struct FileChange {
    QString name;
    QString line;
    QString notice;
    bool rejection = false;
};

struct ReportMatched {
    bool counted = false;  // false: this content was matched before, nothing changed
    std::vector<FileChange> changes;
    QStringList unplaced;  // rejections and denials of nothing we sent, one line each
};

// A report kept by an earlier run that was recorded but never matched.
struct UnmatchedReport {
    qint64 id = 0;
    QString name;
};

// A sent claim file, claim by claim, as matching and the claim view need it.
struct SentClaimFile {
    qint64 id = 0;
    QString summary;
    answers::SentFile file;
};

class SentIndex;

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

    // `at`: when it happened, for a write kept until the ledger could take it; null: now.
    Status numbered(const NewClaim& claim, const QDateTime& at = {});
    // Every upload attempt; a claim not numbered here (sent before the ledger existed) is
    // added with what its working copy says.
    Status uploadStarted(const QString& name, const QString& server, bool resend, qint64 size,
                         const QString& sha256, const QDateTime& at = {});
    Status confirmed(const QString& name, const QDateTime& at = {});
    Status failed(const QString& name, const QString& reason, const QDateTime& at = {});
    // Takes back a numbering that never went further (the claim is numbered anew).
    Status forget(const QString& name);

    Result<std::optional<ClaimRecord>> claim(const QString& name);
    // Newest first (by the time numbered, else first sent); `now` decides which files have
    // waited two days for an answer.
    Result<std::vector<ClaimRecord>> history(
        const QDateTime& now = QDateTime::currentDateTimeUtc());
    // The latest claim file whose upload was confirmed with this content, or this sender,
    // interchange control number and interchange date and time.
    Result<std::optional<ClaimRecord>> priorSend(const QString& sha256,
                                                 const x12::ClaimFileFacts& facts);
    // Confirmed uploads that no report has answered, confirmed before `before`, not yet
    // named as overdue; they are marked as named.
    Result<std::vector<ClaimRecord>> takeOverdue(const QDateTime& before);

    // The new report's id; none when this report (name and content) was recorded before,
    // as a report whose removal from the server failed is fetched again.
    Result<std::optional<qint64>> report(const ReportRecord& report);
    // Records report `r` and what its answers say of the claims we sent, in one short
    // transaction (everything is read and decided before it opens): the same content
    // matched before changes nothing. `existing`: the id of the report's row when an earlier
    // run recorded it without matching it. Each changed file is unseen until markSeen().
    Result<ReportMatched> recordMatched(const ReportRecord& r, std::optional<qint64> existing,
                                        const answers::ParsedReport& parsed, const SentIndex& index,
                                        const QDateTime& now);
    // Every confirmed claim file whose claims are known, indexed for matching.
    Result<std::unique_ptr<SentIndex>> sentIndex();
    Result<std::vector<UnmatchedReport>> unmatchedReports();
    // A report that can no longer be read is given up (never matched).
    Status giveUpReport(qint64 id);
    // Claim files whose claims were never read (sent by an earlier version).
    Result<std::vector<ClaimRecord>> claimsUnread();
    Status setClaims(const QString& name, const std::vector<answers::SentClaim>& claims,
                     const QString& interchangeTime, const QDateTime& now);
    // A file's new line, unseen (1; 2 with a rejection) until markSeen().
    Status noteChange(const QString& name, const QString& line, bool attention, int unseen);
    // The files whose change no person has seen yet, oldest first.
    Result<std::vector<ClaimRecord>> unseen();
    Status markSeen(const QStringList& names);
    // A sent file's claims with their states (the claim view), file order.
    Result<std::vector<answers::FileClaim>> fileClaims(const QString& name, const QDateTime& now);

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
    Status numberedFile(const NewClaim& c, const QString& at);
    sqlite3* raw() const;
    Result<qint64> keptReport(const ReportRecord& r, const QDateTime& now);
    Status dropStaged(qint64 reportId);
    bool matchedBefore(const QString& sha256);

    std::unique_ptr<Handle> db_;
};

// The sent files, claim by claim, with the matcher over them. Built once per run of reports.
class SentIndex {
public:
    explicit SentIndex(std::vector<SentClaimFile> files);
    const answers::Matcher& matcher() const { return matcher_; }
    const SentClaimFile& at(int index) const { return files_[size_t(index)]; }

private:
    std::vector<SentClaimFile> files_;
    std::vector<answers::SentFile> plain_;
    answers::Matcher matcher_;
};

struct Ledger::Opened {
    std::unique_ptr<Ledger> ledger;
    QString setAsideAs;  // file name the damaged ledger was kept under; empty when none
};

}  // namespace zv
