#include <QDateTime>
#include <QFile>

#include "app/workstation_rules.h"
#include "app/zuduvor.h"
#include "claims/picker_lines.h"

namespace zv {

namespace {
constexpr qsizetype kLongestLocalName = 255;  // bytes, as the usual file systems take
}  // namespace

void Zuduvor::GetReports_Click() {
    view_.setEnabled(Control::GetReports, false);
    m_.Activity = QStringLiteral("GetReports");
    WriteLogLine();
    view_.setDateTimeText(dateAndTimeText(QDateTime::currentDateTime()));

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
    const QString handle = blocking([&] { return c.OpenRemoteDir(QStringLiteral("reports")); });
    if (handle.isEmpty()) {
        showFailure(QStringLiteral("Error Opening SFTP Reports Directory. Call ZOD."));
    } else if (!DownloadListedReports(handle)) {
        closeQuietly(handle);
        view_.setEnabled(Control::GetReports, true);
        return;
    }

    m_.LastResult = blocking([&] { return c.CloseRemoteHandle(handle); });
    if (m_.LastResult != 1) showFailure(QStringLiteral("Error Closing SFTPHandle. Call ZOD."));
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
    int i = 0;
    for (; i < listing_->EntryCount(); ++i) {
        entry_ = listing_->EntryAt(i);
        if (!FetchReport(entry_.EntryName)) return false;
    }
    view_.statusAdd(QStringLiteral(" ") + QString::number(i) +
                    QStringLiteral(" Reports Downloaded"));
    if (dialogs_.askOkCancel(QStringLiteral("Click OK to View Reports"))) ViewReports_Click();
    return true;
}

bool Zuduvor::FetchReport(const QString& name) {
    // A name that is not a plain file name would write outside the report folder: it is
    // neither fetched nor removed from the server.
    if (!isPlainFileName(name)) {
        view_.statusAdd(QStringLiteral("Skipped Report \"") + shownName(name) +
                        QStringLiteral("\": not a plain file name. Call ZOD."));
        return true;
    }
    // A name longer than the local disk takes could never be saved, and failing on it at
    // every run would hold back every report listed after it.
    if (QFile::encodeName(name).size() > kLongestLocalName) {
        view_.statusAdd(QStringLiteral("Skipped Report \"") + shownName(name).left(40) +
                        QStringLiteral("...\": the name is too long to be saved on "
                                       "this computer. Call ZOD."));
        return true;
    }
    SftpClient& c = Client();
    const QString remote = QStringLiteral("reports/") + name;
    const QString local = m_.Setup.RptPath + name;
    m_.LastResult = blocking([&] { return c.FetchRemoteFile(remote, local); });
    if (m_.LastResult != 1) {
        showFailure(QStringLiteral("Report Download Failure-Try Once More."));
        return false;
    }
    m_.LastResult = blocking([&] { return c.DeleteRemoteFile(remote); });
    if (m_.LastResult != 1) {
        showFailure(QStringLiteral("Error Deleting Report File from Server. Call ZOD."));
        return true;
    }
    view_.statusAdd(QStringLiteral("Downloading Report ") + shownName(name));
    return true;
}

}  // namespace zv
