#pragma once
// The Get Reports button (and the end of every normal send): each report waiting in the
// server's reports/ is fetched into the report folder, removed from the server once it
// is whole on disk, recorded, and matched with the claim files it answers.
#include <QByteArray>
#include <QString>
#include <vector>

#include "ledger/ledger.h"
#include "tasks/ledger_keeping.h"
#include "tasks/task_context.h"

namespace zv {

class SafeFile;
struct RemoteEntry;

class GetReports {
public:
    GetReports(const TaskContext& ctx, LedgerKeeping& ledger) : ctx_(ctx), ledger_(ledger) {}
    void run();

private:
    enum class ReportOutcome { OnDisk, Skipped, Failed };
    // The reports directory opened, its reports fetched, the directory closed.
    void FetchFromServer();
    // The listed reports one by one; false when a download failed, which ends the task.
    bool DownloadListedReports(const QString& handle);
    // `next`: the report fetched after this one, if any. It is recorded with what it
    // answers before it leaves the server.
    ReportOutcome FetchReport(const RemoteEntry& entry, const QByteArray& next);
    // The server's bytes of `remote` into `part`.
    bool Download(const QByteArray& remote, SafeFile& part);

    TaskContext ctx_;
    LedgerKeeping& ledger_;
};

}  // namespace zv
