#pragma once
// The server's side of a send around the uploads themselves: what the server's claims/
// holds at the start (numbers taken, this work root's own leftovers taken away), and the
// check at the end of a run that each claim is there under its name, whole.
#include <QSet>
#include <QString>
#include <vector>

#include "base/result.h"
#include "tasks/ledger_keeping.h"
#include "tasks/task_context.h"
#include "tasks/working_copies.h"

namespace zv {

// The temporary names this work root's uploads were begun under (the file "uploads.part"
// in the work root), each written down before its upload opens it and crossed out once
// it has its claim name or was taken away again. A name still listed here and on the
// server is a leftover of ours (a run cut off); every other temporary name there belongs
// to another program and is left alone.
class UploadRecords {
public:
    explicit UploadRecords(QString path) : path_(std::move(path)) {}
    [[nodiscard]] Status begun(const QString& temp);
    // Best effort: a name left here only makes a later run look for it once more.
    void ended(const QString& temp);
    QSet<QString> names() const;

private:
    Status write(const QSet<QString>& names) const;
    QString path_;
};

// A claim whose upload was given its name: counted as sent once the server shows it.
struct PlacedClaim {
    QString name;
    QString temp;  // the temporary name it was written under
    qint64 size = 0;
};

class UploadCheck {
public:
    UploadCheck(const TaskContext& ctx, LedgerKeeping& ledger, UploadRecords records)
        : ctx_(ctx), ledger_(ledger), records_(std::move(records)) {}

    // Names waiting in the server's claims/ (numbers taken, also by another program's
    // upload under way) and the sizes of all it lists; our uploads left there by a cut-off
    // run are taken away. Runs while this program holds the send lock: no upload of its
    // work root is under way.
    ServerClaims listClaims();
    // One listing: the claims of `placed` that the server holds whole under their names
    // count as sent (their working copies go); each other one is named, kept here for a
    // resend and recorded as failed. Returns how many count as sent.
    int confirm(const std::vector<PlacedClaim>& placed);

private:
    // Why `claim` does not count as sent, from the end-of-run listing (or, when the server
    // would not list, its own answer); empty when it is there whole.
    QString missing(const PlacedClaim& claim, const ServerClaims& server);

    TaskContext ctx_;
    LedgerKeeping& ledger_;
    UploadRecords records_;
};

// One status line for each claim that waits in claims/ for a resend, so that "try once
// more" is not forgotten; at every Send and Get Reports until it is resent or removed.
void nameWaitingClaims(const TaskContext& ctx);

}  // namespace zv
