#pragma once
// The claim ledger as the tasks keep it: opened on first use (a ledger that cannot be
// kept never stops a send: the user is told once and it is not used again), a numbered
// claim recorded, the guards' question "was this sent before?", and the reports of a run
// matched with the claim files they answer.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "base/result.h"
#include "claims/claim_guards.h"
#include "ledger/ledger.h"
#include "tasks/task_context.h"

namespace zv {

class LedgerKeeping {
public:
    explicit LedgerKeeping(const TaskContext& ctx);
    ~LedgerKeeping();

    QString path() const { return ctx_.m.Paths.WorkRoot + QStringLiteral("ledger.db"); }
    // Opened on first use; null when it cannot be kept in this run.
    Ledger* ledger();
    // The ledger when it is open and still kept; never opens it.
    Ledger* kept() const { return ledger_.get(); }
    // A ledger write that failed: the user is told once and the ledger is not used again.
    void keep(const Status& written);

    // `claim` numbered `number`, made of the practice file(s) `sources`; its backup is read
    // for the size, the hash and the X12 facts.
    void recordNumbered(const QString& claim, int number, const QStringList& sources);
    // sha256: raw bytes.
    std::optional<PriorSend> findPriorSend(const QByteArray& sha256, const QString& sender,
                                           const QString& interchangeNumber);
    // A fetched report, kept in the report folder at `path`; what it answers, when it
    // answers anything, for matchAnswers().
    std::optional<FetchedReport> recordReport(const QString& path, const QString& name);
    // Matches the reports `fetched` in this run with the claim files they answer, records
    // the outcomes and adds one status line per answered file, then names the files sent
    // more than two days ago that nothing has answered yet.
    void matchAnswers(const std::vector<FetchedReport>& fetched);

private:
    // Records what the reports `fetched` answer of the claim files `sent`: one status line
    // per answered file (the answer that set its state), in the order first answered.
    QStringList recordAnswers(const std::vector<FetchedReport>& fetched,
                              const std::vector<ClaimRecord>& sent);

    TaskContext ctx_;
    std::unique_ptr<Ledger> ledger_;
    bool off_ = false;
};

}  // namespace zv
