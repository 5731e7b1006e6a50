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

// Why the report folder `folder` (Setup's, ending with "/") cannot take reports, in the
// words shown; empty when it can.
QString reportFolderProblem(const QString& folder);

class GetReports {
public:
    GetReports(const TaskContext& ctx, LedgerKeeping& ledger) : ctx_(ctx), ledger_(ledger) {}
    // `nameWaiting`: the claims waiting for a resend are named first (a send that fetches
    // reports at its end has named them already).
    void run(bool nameWaiting = true);

private:
    // Failed: the server did not give this report; Stopped: this computer cannot keep
    // reports (the folder, the disk), so every report after it would fail too.
    enum class ReportOutcome { OnDisk, Skipped, Failed, Stopped };
    // The reports directory opened, its reports fetched, the directory closed.
    void FetchFromServer();
    // The listed reports one by one; false when the session was lost on the way, which ends
    // the task.
    bool DownloadListedReports(const QString& handle);
    // `next`: the report fetched after this one, if any. It is recorded with what it
    // answers before it leaves the server.
    ReportOutcome FetchReport(const RemoteEntry& entry, const QByteArray& next);
    // The server's bytes of `remote` into `part`: OnDisk, Failed or Stopped.
    ReportOutcome Download(const QByteArray& remote, SafeFile& part);

    TaskContext ctx_;
    LedgerKeeping& ledger_;
};

}  // namespace zv
