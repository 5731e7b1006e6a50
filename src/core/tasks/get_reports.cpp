#include <QDateTime>
#include <QFile>
#include <QLockFile>
#include <QSet>
#include <algorithm>
#include <vector>

#include "base/text_file.h"
#include "base/workstation_rules.h"
#include "claims/picker_lines.h"
#include "ledger/ledger.h"
#include "tasks/report_sink.h"
#include "tasks/zuduvor.h"

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

}  // namespace

void Zuduvor::GetReports_Click() {
    view_.setEnabled(Control::GetReports, false);
    m_.Activity = QStringLiteral("GetReports");
    WriteLogLine();
    view_.setDateTimeText(dateAndTimeText(QDateTime::currentDateTime()));
    // The window, a console run and the hourly timer may all fetch at once: one at a time.
    QLockFile lock(m_.Paths.WorkRoot + QStringLiteral("reports.lock"));
    if (!LockWorkRoot(lock,
                      QStringLiteral("Reports are being fetched by another ZUDUVOR program on "
                                     "this workstation right now. Wait until it has finished, "
                                     "then click Get Reports from ZOD again."),
                      QStringLiteral("no report was fetched"))) {
        view_.setEnabled(Control::GetReports, true);
        return;
    }

    m_.Activity = QStringLiteral("GetReports-Call OpenSFTPServer");
    WriteLogLine();
    OpenSFTPServer();
    if (!SessionOpen) {
        dialogs_.message(QStringLiteral("Unable to Open the SFTP Server. Try once more."));
        view_.setEnabled(Control::GetReports, true);
        return;
    }
    m_.Activity = QStringLiteral("GetReports-Call OpenSFTPServer");
    WriteLogLine();

    SftpClient& c = Client();
    fetched_.clear();
    const QString handle = blocking([&] { return c.OpenRemoteDir(QStringLiteral("reports")); });
    if (handle.isEmpty()) {
        showFailure(QStringLiteral("Error Opening SFTP Reports Directory. Call ZOD."));
    } else if (!DownloadListedReports(handle)) {
        closeQuietly(handle);
        MatchAnswers();
        view_.setEnabled(Control::GetReports, true);
        return;
    }

    m_.LastResult = blocking([&] { return c.CloseRemoteHandle(handle); });
    if (m_.LastResult != 1) showFailure(QStringLiteral("Error Closing SFTPHandle. Call ZOD."));
    MatchAnswers();
    view_.setEnabled(Control::GetReports, true);
}

bool Zuduvor::DownloadListedReports(const QString& handle) {
    SftpClient& c = Client();
    listing_ = blocking([&] { return c.ReadRemoteDir(handle); });
    if (!listing_) {
        view_.statusAdd(QStringLiteral("No Reports Found to Download."));
        view_.statusAdd(ReadyLine);
        // The listing failed: reports may be waiting, so it must not pass for none.
        showFailure(
            QStringLiteral("The list of reports on the server could not be read. Try once more."));
        return true;
    }
    if (listing_->EntryCount() == 0) {
        view_.statusAdd(QStringLiteral("No Reports Found to Download"));
        view_.statusAdd(ReadyLine);
        return true;
    }
    // A name the server lists twice is one report: the second fetch would find it gone.
    QSet<QByteArray> seen;
    // The reports that will be fetched, in order: each one's opening travels with the
    // removal of the one before.
    std::vector<int> fetched;
    for (int i = 0; i < listing_->EntryCount(); ++i) {
        const RemoteEntry& entry = listing_->EntryAt(i);
        if (!seen.contains(entry.RawName) && Fetchable(entry)) fetched.push_back(i);
        seen.insert(entry.RawName);
    }
    seen.clear();
    auto following = fetched.begin();
    int onDisk = 0;
    for (int i = 0; i < listing_->EntryCount(); ++i) {
        entry_ = listing_->EntryAt(i);
        if (seen.contains(entry_.RawName)) continue;
        seen.insert(entry_.RawName);
        while (following != fetched.end() && *following <= i) ++following;
        const QByteArray next =
            following == fetched.end() ? QByteArray() : listing_->EntryAt(*following).RawName;
        const ReportOutcome outcome = FetchReport(entry_, next);
        if (outcome == ReportOutcome::Failed) return false;
        if (outcome == ReportOutcome::OnDisk) ++onDisk;
    }
    view_.statusAdd(QStringLiteral(" ") + QString::number(onDisk) +
                    QStringLiteral(" Reports Downloaded"));
    if (dialogs_.askOkCancel(QStringLiteral("Click OK to View Reports"))) ViewReports_Click();
    return true;
}

bool Zuduvor::Fetchable(const RemoteEntry& entry) {
    return isPlainFileName(entry.EntryName) && !entry.RawName.startsWith('.') &&
           entry.RawName.size() <= kLongestLocalName;
}

Zuduvor::ReportOutcome Zuduvor::FetchReport(const RemoteEntry& entry, const QByteArray& next) {
    const QByteArray& name = entry.RawName;
    const QString shown = readableName(name);
    // A name that is not a plain file name would write outside the report folder: it is
    // neither fetched nor removed from the server.
    if (!isPlainFileName(entry.EntryName)) {
        view_.statusAdd(QStringLiteral("Skipped Report \"") + shown +
                        QStringLiteral("\": not a plain file name. Call ZOD."));
        return ReportOutcome::Skipped;
    }
    // A hidden name could stand for a file of the program's or the desktop's own.
    if (name.startsWith('.')) {
        view_.statusAdd(QStringLiteral("Skipped Report \"") + shown +
                        QStringLiteral("\": a name that begins with a dot is a hidden file. "
                                       "Call ZOD."));
        return ReportOutcome::Skipped;
    }
    // A name longer than the local disk takes could never be saved, and failing on it at
    // every run would hold back every report listed after it.
    if (name.size() > kLongestLocalName) {
        view_.statusAdd(QStringLiteral("Skipped Report \"") + shown.left(40) +
                        QStringLiteral("...\": the name is too long to be saved on "
                                       "this computer. Call ZOD."));
        return ReportOutcome::Skipped;
    }
    SftpClient& c = Client();
    const QByteArray remote = "reports/" + name;
    SafeFile part(m_.Setup.RptPath + shown);
    ReportSink sink(part);
    m_.LastResult = blocking([&] { return c.FetchRemoteFile(remote, sink); });
    if (m_.LastResult != 1) {
        showFailure(kDownloadFailure);
        return ReportOutcome::Failed;
    }
    // The report keeps the server's bytes for its name, and never replaces another file.
    const Result<QByteArray> placed = placeReport(part, QFile::encodeName(m_.Setup.RptPath), name);
    if (!placed) {
        dialogs_.message(kDownloadFailure + m_.LF + placed.reason());
        return ReportOutcome::Failed;
    }
    RecordReport(QFile::decodeName(QFile::encodeName(m_.Setup.RptPath) + *placed),
                 readableName(*placed));
    // Only a report that is whole on disk leaves the server.
    const QByteArray thenFetch = next.isEmpty() ? QByteArray() : "reports/" + next;
    m_.LastResult = blocking([&] { return c.DeleteRemoteFile(remote, thenFetch); });
    if (m_.LastResult != 1) {
        showFailure(QStringLiteral("Error Deleting Report File from Server. Call ZOD."));
        return ReportOutcome::OnDisk;
    }
    view_.statusAdd(QStringLiteral("Downloading Report ") + shown);
    if (*placed != name)
        view_.statusAdd(QStringLiteral("Report \"") + shown + QStringLiteral("\" was kept as \"") +
                        readableName(*placed) +
                        QStringLiteral("\": a different file of that name is in the report "
                                       "folder."));
    return ReportOutcome::OnDisk;
}

}  // namespace zv
