#pragma once
// Working copies that a cut-off send left in claims/, settled before new files are
// numbered: a copy of a practice file still waiting goes (that file is numbered anew), a
// copy the server holds whole counts as sent, a copy cut off on the way is named to the
// user for a resend.
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include "tasks/ledger_keeping.h"
#include "tasks/task_context.h"

namespace zv {

// What a send learned of the server's claims/ directory.
struct ServerClaims {
    bool listed = false;          // false when it could not be listed
    QSet<QString> names;          // upper-cased: numbers that are taken
    QMap<QString, qint64> sizes;  // upper-cased name -> size, of all it listed
};

class WorkingCopies {
public:
    WorkingCopies(const TaskContext& ctx, LedgerKeeping& ledger) : ctx_(ctx), ledger_(ledger) {}
    // `waiting`: the practice files found by this run, before the guards.
    void settle(const ServerClaims& server, const QStringList& waiting);

private:
    struct Recorded {
        bool known = false;
        bool confirmed = false;
        bool toldAtFailure = false;
        bool uploadBegun = false;
    };
    Recorded lookUp(const QString& name);
    void settleOne(const QString& name, const ServerClaims& server, const QStringList& waiting);
    void settleSent(const QString& name);
    // True when the working copy `name` is a copy of a practice file still waiting: the
    // run was cut off before it took that file.
    bool StillInPracticeFolder(const QString& name, const QStringList& waiting) const;

    TaskContext ctx_;
    LedgerKeeping& ledger_;
};

// Writes `number` into seqfile.fil once `claim` is on the server; says so when it cannot.
void RecordNumber(const TaskContext& ctx, int number, const QString& claim);
// The number of `claim`, confirmed on the server, into seqfile.fil; never backwards (a
// resend, a claim settled late).
void RecordNumberOf(const TaskContext& ctx, const QString& claim);

}  // namespace zv
