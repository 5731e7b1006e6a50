#pragma once
// The claim ledger as the tasks keep it: opened on first use, a numbered claim and its
// uploads recorded, the guards' question "was this sent before?", and each fetched report
// matched with the claims it answers as it is recorded. A write the ledger cannot take
// right now (another program holds it too long, the disk is full) is kept beside it and
// recorded as soon as it can be, in this run or the next: the history never switches off.
#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "base/result.h"
#include "claims/claim_guards.h"
#include "ledger/ledger.h"
#include "ledger/ledger_pending.h"
#include "tasks/task_context.h"

namespace zv {

class LedgerKeeping {
public:
    explicit LedgerKeeping(const TaskContext& ctx);
    ~LedgerKeeping();

    QString path() const { return ctx_.m.Paths.WorkRoot + QStringLiteral("ledger.db"); }
    // Opened on first use, with the writes kept from before taken first; null when it
    // cannot be used right now (the user has been told once why).
    Ledger* ledger();
    // A ledger read that failed: the user is told once.
    void keep(const Status& read);

    // `claim` numbered `number`, made of the practice file(s) `sources`; its backup is read
    // for the size, the hash, the X12 facts and the claims.
    void recordNumbered(const QString& claim, int number, const QStringList& sources);
    void recordUploadStarted(const QString& name, const QString& server, bool resend, qint64 size,
                             const QString& sha256);
    void recordConfirmed(const QString& name);
    void recordFailed(const QString& name, const QString& reason);
    // Takes back a numbering that never went further (the claim is numbered anew).
    void recordForget(const QString& name);
    // sha256: raw bytes.
    std::optional<PriorSend> findPriorSend(const QByteArray& sha256,
                                           const x12::ClaimFileFacts& facts);

    // A report kept in the report folder at `path`: read, then recorded with what it
    // answers in one transaction. What changed is told by endReports().
    void recordReport(const QString& path, const QString& name);
    // The end of a run of reports: reports an earlier run kept but never matched are matched,
    // files nothing answered for two days are named, and one line per changed file is told.
    void endReports();

    // A run with nobody watching (the timer; the console without a terminal): what needs a
    // person is kept as unseen and a desktop notice is prepared.
    void setAttended(bool attended) { attended_ = attended; }
    // Shows every change kept as unseen (status lines; one message when a claim was
    // rejected), then marks them seen. Does nothing when nobody is watching.
    void tellUnseen();
    // The desktop notices prepared in this run, handed over once.
    QStringList takeNotices();

private:
    // Runs `write` now, or keeps `kept` to be written later when the ledger cannot take it.
    void write(const QJsonObject& kept);
    Status apply(const QJsonObject& write);
    Status applyNumbered(const QJsonObject& write);
    Status applyReport(const QJsonObject& write);
    // The writes kept from before, taken in order; false when some must wait still.
    bool writePending();
    void tellPending(const QString& reason);
    Result<ReportMatched> matchReport(const QString& path, const QString& name,
                                      std::optional<qint64> existing);
    void noteMatched(const ReportMatched& matched);
    void matchUnmatched();
    void readUnreadClaims();
    void tellOverdue();
    SentIndex* index();

    TaskContext ctx_;
    std::unique_ptr<Ledger> ledger_;
    PendingWrites pending_;
    bool toldPending_ = false, toldRead_ = false, backfilled_ = false;
    bool attended_ = true;
    QElapsedTimer retry_;  // since a write the ledger could not take
    std::unique_ptr<SentIndex> index_;
    std::vector<FileChange> changes_;
    QStringList unplaced_;  // rejections of claims not sent from here, told after the changes
    QStringList notices_;
};

}  // namespace zv
