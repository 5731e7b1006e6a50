#include <dirent.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/file_mask.h"
#include "app/workstation_rules.h"
#include "app/zuduvor.h"
#include "claims/numbering.h"

namespace zv {

namespace {

// Names in `folder` matching `mask` whose bytes cannot be spelled back from their text
// form (not UTF-8): the program can neither list nor open such a file, so without a
// word it would stay behind unsent at every run.
QStringList unreachableNames(const QString& folder, const QString& mask) {
    QStringList names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(QFile::encodeName(folder).constData()),
                                                  ::closedir);
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray raw(entry->d_name);
        const QString name = QFile::decodeName(raw);
        if (QFile::encodeName(name) != raw && maskMatches(mask, name)) names << name;
    }
    return names;
}

const QString kJoinTarget = QStringLiteral("temp.xxx");
const QString kJoinJournal = QStringLiteral("join.pending");

// Names the sources that a join has put into the first one, until they are gone, so
// that a run cut off in between never joins them in (and sends them) a second time.
bool writeJoinJournal(const QString& path, const QStringList& names, QString* why) {
    QByteArray bytes;
    for (const QString& name : names) bytes += QFile::encodeName(name).toPercentEncoding() + '\n';
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        *why = path + QStringLiteral(": ") + file.errorString();
        file.close();
        QFile::remove(path);
        return false;
    }
    return true;
}

QStringList readJoinJournal(const QString& path) {
    QFile file(path);
    QStringList names;
    if (!file.open(QIODevice::ReadOnly)) return names;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty()) names << QFile::decodeName(QByteArray::fromPercentEncoding(line));
    return names;
}

// Lets the crash tests stop the program dead at a chosen step of a send
// (ZUDUVOR_KILL_AT=<step>), as a power cut would.
void crashPoint(const char* step) {
    static const QByteArray where = qgetenv("ZUDUVOR_KILL_AT");
    if (!where.isEmpty() && where == step) ::raise(SIGKILL);
}

// Copies `from` to `to` and checks that the copy is whole. `to` must not exist yet.
bool copyWhole(const QString& from, const QString& to, QString* why) {
    QFile source(from);
    const qint64 size = QFileInfo(from).size();
    if (!source.copy(to)) {
        *why = source.errorString();
        return false;
    }
    if (QFileInfo(to).size() != size) {
        QFile::remove(to);
        *why = QStringLiteral("the copy is not complete (is the disk full?)");
        return false;
    }
    return true;
}

}  // namespace

void Zuduvor::SendClaims_Click() {
    view_.statusAdd(QStringLiteral("Wake up the SFTP Server!"));
    // Only the picker's resend action runs a resend; a resend mode left over from an
    // earlier picker opening never turns a Send click into one.
    const bool resend = resendRequested_ && m_.PickerMode.ResendMode;
    resendRequested_ = false;
    if (resend)
        ResendRun();
    else
        NormalRun();
}

void Zuduvor::ResendRun() {
    OpenSFTPServer();
    const UploadResult result = UploadClaimFile(/*resend=*/true);
    view_.setEnabled(Control::ResendClaims, true);
    if (result == UploadResult::EndRun) return;  // the picker stays, ready for another try
    m_.PickerMode.ResendMode = false;
    picker_.hidePicker();
}

void Zuduvor::FinishNormalRun() {
    view_.setEnabled(Control::SendClaims, true);
    picker_.hidePicker();
}

void Zuduvor::NormalRun() {
    int sent = 0;
    view_.setEnabled(Control::SendClaims, false);
    m_.Activity = QStringLiteral("SendClaims");
    WriteLogLine();
    view_.setDateTimeText(dateAndTimeText(QDateTime::currentDateTime()));
    view_.statusClear();
    // A resend mode left from an earlier picker opening must neither name this run's
    // uploads "Resending" nor let a picker click during the run start a resend.
    m_.PickerMode.ResendMode = false;

    // After a start-up that found the setup incomplete, an empty claim folder would
    // mean the current folder: its files would be taken, deleted and sent.
    if (m_.Setup.UserPath.isEmpty() || m_.Setup.UserFile.isEmpty() || m_.Setup.SiteID.isEmpty() ||
        m_.Setup.FileType.isEmpty()) {
        dialogs_.message(QStringLiteral(
            "The setup is not complete, so no claim was sent. Click Setup, fill in every "
            "value and save it, then start the program again."));
        view_.setEnabled(Control::SendClaims, true);
        return;
    }

    // Two programs on one work root must never give out the same number.
    QLockFile lock(m_.Paths.WorkRoot + QStringLiteral("send.lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        if (lock.error() == QLockFile::LockFailedError) {
            dialogs_.message(QStringLiteral(
                "Claims are being sent by another ZUDUVOR program on this workstation right "
                "now. Wait until it has finished, then click Send Claims to ZOD again."));
        } else {
            // No lock could be made at all: the work folder is full or not writable.
            dialogs_.message(QStringLiteral("The work folder ") + m_.Paths.WorkRoot +
                             QStringLiteral(" cannot be written (is the disk full?), so no "
                                            "claim was sent. Free some disk space, then try "
                                            "once more."));
        }
        view_.setEnabled(Control::SendClaims, true);
        return;
    }

    const QString userPath = m_.Setup.UserPath;
    QStringList found = findFiles(userPath, m_.Setup.UserFile);
    const bool join = m_.Setup.FileType.toUpper() == QLatin1String("AVO") ||
                      m_.Setup.FileType.toUpper() == QLatin1String("DEN");
    for (const QString& name : unreachableNames(userPath, m_.Setup.UserFile))
        dialogs_.message(QStringLiteral("The claim file \"") + name + QStringLiteral("\" in ") +
                         userPath +
                         QStringLiteral(" has a name with characters this program cannot read, "
                                        "so it was not sent. Rename it, then click Send Claims "
                                        "to ZOD again."));
    if (join)
        found.removeIf(
            [](const QString& n) { return n.compare(kJoinTarget, Qt::CaseInsensitive) == 0; });

    if (found.isEmpty()) {
        lock.unlock();
        view_.statusAdd(QStringLiteral("No Claim File Found at ") + userPath);
        view_.statusAdd(QStringLiteral("Looking for Reports"));
        GetReports_Click();
        FinishNormalRun();
        return;
    }

    view_.statusAdd(QStringLiteral("Wake up the SFTP Server"));
    OpenSFTPServer();

    auto endAtOnce = [&](const QString& message) {
        if (!message.isEmpty()) dialogs_.message(message);
        view_.setEnabled(Control::SendClaims, true);
    };

    if (join) {
        QString joined, why;
        if (!JoinStep(found, &joined, &why)) {
            endAtOnce(QStringLiteral("The claim files in ") + userPath +
                      QStringLiteral(" could not be joined into one: ") + why +
                      QStringLiteral(". No claim was sent and no file was deleted. Call ZOD."));
            return;
        }
        found = QStringList{joined};
    }

    int number = 0;
    QString why;
    if (!readSequenceFile(m_.Paths.SequenceFile, &number, &why)) {
        endAtOnce(QStringLiteral("The submission number could not be read: ") + why +
                  QStringLiteral(". No claim was sent. Call ZOD."));
        return;
    }

    for (const QString& name : found) {
        const QString original = userPath + name;
        if (!QFileInfo::exists(original)) continue;  // gone since the search

        // Never reuse a number whose copies are still here (an upload that did not
        // complete, or a run that was cut off): take the next free one.
        auto taken = [&](int n) {
            const QString claim = makeClaimName(m_.Setup.SiteID, n, m_.Setup.FileType);
            return QFileInfo::exists(m_.Paths.ClaimsBackupDir + claim) ||
                   QFileInfo::exists(m_.Paths.ClaimsDir + claim);
        };
        int next = number + 1;
        while (next <= kLastSubmissionNumber && taken(next)) ++next;
        if (next > kLastSubmissionNumber) {
            dialogs_.message(QStringLiteral(
                "The submission numbers are used up (9999 reached), so no more claims can be "
                "numbered. Your claim file was not touched. Call ZOD."));
            break;
        }
        number = next;
        m_.ClaimName = makeClaimName(m_.Setup.SiteID, number, m_.Setup.FileType);
        const QString backup = m_.Paths.ClaimsBackupDir + m_.ClaimName;
        const QString working = m_.Paths.ClaimsDir + m_.ClaimName;

        auto copyFailed = [&](const QString& to) {
            endAtOnce(QStringLiteral("The claim file ") + original +
                      QStringLiteral(" could not be copied to ") + to + QStringLiteral(": ") + why +
                      QStringLiteral(". It was not sent and is still in your claim folder. "
                                     "Free some disk space or call ZOD, then try once more."));
        };
        if (!copyWhole(original, backup, &why)) return copyFailed(backup);
        crashPoint("after-backup");
        if (!copyWhole(original, working, &why)) {
            QFile::remove(backup);
            return copyFailed(working);
        }
        crashPoint("after-working-copy");
        QFile practiceFile(original);
        if (!practiceFile.remove()) {
            // Sending it while it stays would send it again next time.
            QFile::remove(working);
            QFile::remove(backup);
            endAtOnce(QStringLiteral("The claim file ") + original +
                      QStringLiteral(" could not be removed from your claim folder: ") +
                      practiceFile.errorString() +
                      QStringLiteral(". It was not sent. Close the program that holds it open, "
                                     "then try once more."));
            return;
        }

        crashPoint("after-delete");
        const UploadResult result = UploadClaimFile(/*resend=*/false);
        crashPoint("after-upload");
        if (result == UploadResult::EndRun) {
            view_.setEnabled(Control::SendClaims, true);
            return;
        }
        if (result == UploadResult::CloseFailed) break;
        ++sent;
        if (!writeSequenceFile(m_.Paths.SequenceFile, number, &why)) {
            // The claim is on the server; its backup keeps its number from being reused.
            dialogs_.message(QStringLiteral("The claim ") + m_.ClaimName +
                             QStringLiteral(" was sent, but its number could not be recorded: ") +
                             why + QStringLiteral(". Call ZOD."));
        }
        crashPoint("after-number");
        QFile::remove(working);
    }
    lock.unlock();

    view_.statusAdd(QStringLiteral(" ") + QString::number(sent) +
                    QStringLiteral(" Claim Files Sent"));
    view_.statusAdd(QStringLiteral("Looking for Reports"));
    GetReports_Click();
    FinishNormalRun();
}

bool Zuduvor::JoinStep(const QStringList& foundFiles, QString* joined, QString* error) {
    const QString userPath = m_.Setup.UserPath;
    const QString target = userPath + kJoinTarget;
    const QString journal = m_.Paths.WorkRoot + kJoinJournal;
    QStringList found = foundFiles;
    if (QFileInfo::exists(journal)) {
        // An earlier run was cut off in its join. Once the joined file has taken the first
        // source's place (temp.xxx is gone), the sources named here are inside it.
        if (!QFileInfo::exists(target)) {
            for (const QString& name : readJoinJournal(journal)) {
                found.removeAll(name);
                QFile::remove(userPath + name);
            }
        }
        QFile::remove(journal);
    }
    if (found.isEmpty()) {
        *error = QStringLiteral("no claim file is left to join");
        return false;
    }
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = target + QStringLiteral(": ") + out.errorString();
        return false;
    }
    auto fail = [&](const QString& why) {
        out.close();
        QFile::remove(target);
        *error = why;
        return false;
    };
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (const QString& name : found) {
        QFile in(userPath + name);
        if (!in.open(QIODevice::ReadOnly))
            return fail(in.fileName() + QStringLiteral(": ") + in.errorString());
        for (;;) {
            const qint64 n = in.read(buffer.data(), buffer.size());
            if (n < 0) return fail(in.fileName() + QStringLiteral(": ") + in.errorString());
            if (n == 0) break;
            if (out.write(buffer.constData(), n) != n)
                return fail(target + QStringLiteral(": ") + out.errorString());
        }
    }
    if (!out.flush() || ::fsync(out.handle()) != 0)
        return fail(target + QStringLiteral(": ") + out.errorString());
    out.close();
    if (out.error() != QFileDevice::NoError)
        return fail(target + QStringLiteral(": ") + out.errorString());
    QString why;
    if (!writeJoinJournal(journal, found.mid(1), &why)) return fail(why);

    crashPoint("join-before-replace");
    // The joined file replaces the first source in one step, and the others go only
    // after that, so a run cut off at any point loses no claim.
    const QString first = found.first();
    std::error_code ec;
    std::filesystem::rename(target.toStdString(), (userPath + first).toStdString(), ec);
    if (ec) {
        QFile::remove(target);
        QFile::remove(journal);
        *error = target + QStringLiteral(" could not replace ") + first + QStringLiteral(": ") +
                 QString::fromStdString(ec.message());
        return false;
    }
    crashPoint("join-after-replace");
    for (const QString& name : found.mid(1)) {
        if (!QFile::remove(userPath + name) && QFileInfo::exists(userPath + name)) {
            *error = userPath + name + QStringLiteral(" could not be removed after joining");
            return false;
        }
    }
    QFile::remove(journal);
    *joined = first;
    return true;
}

Zuduvor::UploadResult Zuduvor::UploadClaimFile(bool resend) {
    // A click taken during the chance for input below may run another send nested in
    // this one, which names other files: this upload keeps the file it was called for.
    const QString name = m_.ClaimName;
    view_.statusAdd((resend ? QStringLiteral("Resending File ") : QStringLiteral("Sending File ")) +
                    name);
    view_.statusAdd(ReadyLine);
    view_.processPendingInput();
    m_.ClaimName = name;

    SftpClient& c = Client();
    const QString remote = QStringLiteral("claims/") + name;
    const QString local = m_.Paths.ClaimsDir + name;
    const QString handle = blocking([&] {
        return c.OpenRemoteFile(remote, QStringLiteral("writeOnly"),
                                QStringLiteral("createTruncate"));
    });
    if (handle.isEmpty()) {
        showFailure(QStringLiteral("Upload File not Found."));
        m_.Activity = name + QStringLiteral(" Upload File not Found");
        WriteLogLine();
        return UploadResult::EndRun;
    }
    m_.LastResult = blocking([&] { return c.SendLocalFile(handle, local); });
    if (m_.LastResult != 1) {
        showFailure(QStringLiteral("File Upload Failure. Try once more."));
        m_.Activity = name + QStringLiteral(" Upload Failure");
        WriteLogLine();
        m_.PickerCallback = false;
        // A partial file must not be taken for a claim: close it and take it away again
        // (when the connection still allows it); the claim stays here for a resend.
        closeQuietly(handle);
        (void)blocking([&] { return c.DeleteRemoteFile(remote); });
        return UploadResult::EndRun;
    }
    m_.LastResult = blocking([&] { return c.CloseRemoteHandle(handle); });
    if (m_.LastResult != 1) {
        showFailure(QStringLiteral("Upload File Close Error. Call ZOD."));
        m_.Activity = name + QStringLiteral(" Upload File Close Error");
        WriteLogLine();
        // The file is not counted as sent (a server that kept only part of it also
        // ends here): take the server copy away so that it is not processed; the
        // claim stays here for a resend.
        (void)blocking([&] { return c.DeleteRemoteFile(remote); });
        return UploadResult::CloseFailed;
    }
    return UploadResult::Completed;
}

}  // namespace zv
