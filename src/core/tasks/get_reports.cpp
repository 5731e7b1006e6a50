#include "tasks/get_reports.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSet>
#include <algorithm>
#include <vector>

#include "base/durable_file.h"
#include "base/text_file.h"
#include "base/workstation_rules.h"
#include "claims/picker_lines.h"
#include "tasks/report_sink.h"
#include "tasks/send_uploads.h"
#include "tasks/server_session.h"
#include "tasks/view_reports.h"

namespace zv {

namespace {

constexpr qsizetype kLongestLocalName = 255;  // bytes, as the usual file systems take
constexpr int kMostNamesTried = 999;
const QString kDownloadFailure = QStringLiteral("Report Download Failure-Try Once More.");

// The name for a report kept beside a different file of its own name: "R1.TXT" becomes
// "R1(2).TXT", shortened to fit when the name is near the longest there is.
QByteArray besideName(const QByteArray& name, int number) {
    const qsizetype dot = name.lastIndexOf('.');
    const qsizetype cut = dot > 0 ? dot : name.size();
    const QByteArray tag = '(' + QByteArray::number(number) + ')';
    const QByteArray ext = name.mid(cut);
    const qsizetype room = std::max<qsizetype>(1, kLongestLocalName - tag.size() - ext.size());
    return name.left(std::min(cut, room)) + tag + ext;
}

// Gives a downloaded report a name in `folder` without replacing any file: its own name
// when free; none new when a file of that name already holds the same bytes (fetched
// before); else the first free numbered name beside it. Returns the name it is under.
Result<QByteArray> placeReport(SafeFile& part, const QByteArray& folder, const QByteArray& name) {
    for (int number = 1; number <= kMostNamesTried; ++number) {
        const QByteArray candidate = number == 1 ? name : besideName(name, number);
        const Result<bool> placed = part.commitIfFree(folder + candidate);
        if (!placed) return Result<QByteArray>::failure(placed.reason());
        if (*placed) return candidate;
        const Result<bool> same = part.sameContentAs(folder + candidate);
        if (!same) return Result<QByteArray>::failure(same.reason());
        if (*same) return candidate;
    }
    return Result<QByteArray>::failure(
        QStringLiteral("no free name is left for %1 in the report folder").arg(readableName(name)));
}

// Why a listed report is not fetched, as its status line; empty when it is fetched.
QString skipReason(const RemoteEntry& entry) {
    const QByteArray& name = entry.RawName;
    const QString shown = readableName(name);
    // A name that is not a plain file name would write outside the report folder: it is
    // neither fetched nor removed from the server.
    if (!isPlainFileName(entry.EntryName))
        return QStringLiteral("Skipped Report \"") + shown +
               QStringLiteral("\": not a plain file name. Call ZOD.");
#ifdef Q_OS_WIN
    // Windows would take such a name for a device (CON, NUL, ...) or refuse it.
    if (windowsForbidsName(shown))
        return QStringLiteral("Skipped Report \"") + shown +
               QStringLiteral("\": Windows does not allow this file name. Call ZOD.");
#endif
    // A hidden name could stand for a file of the program's or the desktop's own.
    if (name.startsWith('.'))
        return QStringLiteral("Skipped Report \"") + shown +
               QStringLiteral("\": a name that begins with a dot is a hidden file. Call ZOD.");
    // A name longer than the local disk takes could never be saved, and failing on it at
    // every run would hold back every report listed after it.
    if (name.size() > kLongestLocalName)
        return QStringLiteral("Skipped Report \"") + shown.left(40) +
               QStringLiteral(
                   "...\": the name is too long to be saved on this computer. "
                   "Call ZOD.");
    return {};
}

// The indexes of the reports that will be fetched, in order: a name the server lists
// twice is one report (the second fetch would find it gone).
std::vector<int> fetchOrder(const RemoteListing& listing) {
    QSet<QByteArray> seen;
    std::vector<int> order;
    for (int i = 0; i < listing.EntryCount(); ++i) {
        const RemoteEntry& entry = listing.EntryAt(i);
        if (!seen.contains(entry.RawName) && skipReason(entry).isEmpty()) order.push_back(i);
        seen.insert(entry.RawName);
    }
    return order;
}

}  // namespace

QString reportFolderProblem(const QString& folder) {
    // A blank value in Setup reads as "/": reports would land at the top of the disk (or,
    // for a relative path, wherever the program happens to run).
    if (folder.isEmpty() || folder == QLatin1String("/") || !QDir::isAbsolutePath(folder))
        return QStringLiteral("Report Path not found, Setup Required.");
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("Report Path not found, Setup Required.\nThe report folder ") +
               QDir::toNativeSeparators(folder) +
               QStringLiteral(
                   " is not there, so no report was fetched. Click Setup and choose "
                   "the folder for your reports.");
    return {};
}

void GetReports::run(bool nameWaiting) {
    ctx_.view.setEnabled(Control::GetReports, false);
    ctx_.log.write(QStringLiteral("GetReports"));
    ctx_.view.setDateTimeText(dateAndTimeText(QDateTime::currentDateTime()));
    // The window, a console run and the hourly timer may all fetch at once: one at a time.
    QLockFile lock(ctx_.m.Paths.WorkRoot + QStringLiteral("reports.lock"));
    if (!lockWorkRoot(ctx_, lock,
                      QStringLiteral("Reports are being fetched by another ZUDUVOR program on "
                                     "this workstation right now. Wait until it has finished, "
                                     "then click Get Reports from ZOD again."),
                      QStringLiteral("no report was fetched"))) {
        ctx_.view.setEnabled(Control::GetReports, true);
        return;
    }

    if (nameWaiting) nameWaitingClaims(ctx_);
    // Reports go into the folder chosen in Setup or nowhere.
    if (const QString problem = reportFolderProblem(ctx_.m.Setup.RptPath); !problem.isEmpty()) {
        ctx_.dialogs.message(problem);
        ctx_.view.setEnabled(Control::GetReports, true);
        return;
    }
    ctx_.log.write(QStringLiteral("GetReports-Call OpenSFTPServer"));
    ctx_.session.OpenSFTPServer();
    if (!ctx_.session.isOpen()) {
        ctx_.dialogs.message(QStringLiteral("Unable to Open the SFTP Server. Try once more."));
        ctx_.view.setEnabled(Control::GetReports, true);
        return;
    }
    ctx_.log.write(QStringLiteral("GetReports-Call OpenSFTPServer"));

    FetchFromServer();
    ledger_.endReports();
    ctx_.view.setEnabled(Control::GetReports, true);
}

void GetReports::FetchFromServer() {
    ServerSession& s = ctx_.session;
    SftpClient& c = s.Client();
    const QString handle = s.blocking([&] { return c.OpenRemoteDir(QStringLiteral("reports")); });
    if (handle.isEmpty()) {
        s.showFailure(QStringLiteral("Error Opening SFTP Reports Directory. Call ZOD."));
    } else if (!DownloadListedReports(handle)) {
        s.closeQuietly(handle);
        return;
    }
    if (!s.succeeded(s.blocking([&] { return c.CloseRemoteHandle(handle); })))
        s.showFailure(QStringLiteral("Error Closing SFTPHandle. Call ZOD."));
}

bool GetReports::DownloadListedReports(const QString& handle) {
    ServerSession& s = ctx_.session;
    SftpClient& c = s.Client();
    const std::optional<RemoteListing> listing =
        s.blocking([&] { return c.ReadRemoteDir(handle); });
    if (!listing) {
        ctx_.view.statusAdd(QStringLiteral("No Reports Found to Download."));
        ctx_.view.statusAdd(ReadyLine);
        // The listing failed: reports may be waiting, so it must not pass for none.
        s.showFailure(
            QStringLiteral("The list of reports on the server could not be read. Try once more."));
        return true;
    }
    if (listing->EntryCount() == 0) {
        ctx_.view.statusAdd(QStringLiteral("No Reports Found to Download"));
        ctx_.view.statusAdd(ReadyLine);
        return true;
    }
    // Each report's opening travels with the removal of the one before.
    const std::vector<int> order = fetchOrder(*listing);
    auto following = order.begin();
    QSet<QByteArray> seen;
    int onDisk = 0;
    for (int i = 0; i < listing->EntryCount(); ++i) {
        const RemoteEntry& entry = listing->EntryAt(i);
        if (seen.contains(entry.RawName)) continue;
        seen.insert(entry.RawName);
        while (following != order.end() && *following <= i) ++following;
        const QByteArray next =
            following == order.end() ? QByteArray() : listing->EntryAt(*following).RawName;
        const ReportOutcome outcome = FetchReport(entry, next);
        // A report the server refuses is named and stays there for the next run; the ones
        // after it are still fetched while the session lasts.
        if (outcome == ReportOutcome::Stopped ||
            (outcome == ReportOutcome::Failed && !s.Client().SessionUsable()))
            return false;
        if (outcome == ReportOutcome::OnDisk) ++onDisk;
    }
    ctx_.view.statusAdd(QStringLiteral(" ") + QString::number(onDisk) +
                        QStringLiteral(" Reports Downloaded"));
    if (ctx_.dialogs.askOkCancel(QStringLiteral("Click OK to View Reports"))) viewReports(ctx_);
    return true;
}

GetReports::ReportOutcome GetReports::Download(const QByteArray& remote, SafeFile& part) {
    ServerSession& s = ctx_.session;
    SftpClient& c = s.Client();
    ReportSink sink(part);
    if (s.succeeded(s.blocking([&] { return c.FetchRemoteFile(remote, sink); })))
        return ReportOutcome::OnDisk;
    return sink.failedHere() ? ReportOutcome::Stopped : ReportOutcome::Failed;
}

GetReports::ReportOutcome GetReports::FetchReport(const RemoteEntry& entry,
                                                  const QByteArray& next) {
    if (const QString skipped = skipReason(entry); !skipped.isEmpty()) {
        ctx_.view.statusAdd(skipped);
        return ReportOutcome::Skipped;
    }
    const QByteArray& name = entry.RawName;
    const QString shown = readableName(name);
    const QString& folder = ctx_.m.Setup.RptPath;
    const QByteArray remote = "reports/" + name;
    SafeFile part(folder + shown, SafeFile::Access::AsFolder);
    if (const ReportOutcome got = Download(remote, part); got != ReportOutcome::OnDisk) {
        ctx_.session.showFailure(kDownloadFailure);
        if (got == ReportOutcome::Failed)
            ctx_.view.statusAdd(QStringLiteral("Report ") + shown +
                                QStringLiteral(" was not fetched: it stays on the server for "
                                               "the next run"));
        return got;
    }
    // The report keeps the server's bytes for its name, and never replaces another file.
    const Result<QByteArray> placed = placeReport(part, QFile::encodeName(folder), name);
    if (!placed) {
        ctx_.dialogs.message(kDownloadFailure + ctx_.m.LF + placed.reason());
        return ReportOutcome::Stopped;
    }
    ledger_.recordReport(QFile::decodeName(QFile::encodeName(folder) + *placed),
                         readableName(*placed));
    // Only a report that is whole on disk leaves the server.
    ServerSession& s = ctx_.session;
    SftpClient& c = s.Client();
    const QByteArray thenFetch = next.isEmpty() ? QByteArray() : "reports/" + next;
    if (!s.succeeded(s.blocking([&] { return c.DeleteRemoteFile(remote, thenFetch); }))) {
        s.showFailure(QStringLiteral("Error Deleting Report File from Server. Call ZOD."));
        return ReportOutcome::OnDisk;
    }
    ctx_.view.statusAdd(QStringLiteral("Downloading Report ") + shown);
    if (*placed != name)
        ctx_.view.statusAdd(QStringLiteral("Report \"") + shown +
                            QStringLiteral("\" was kept as \"") + readableName(*placed) +
                            QStringLiteral("\": a different file of that name is in the report "
                                           "folder."));
    return ReportOutcome::OnDisk;
}

}  // namespace zv
