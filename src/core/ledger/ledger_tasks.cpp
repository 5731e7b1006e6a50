// The main window's use of the claim ledger: opening it (a ledger that cannot be kept
// never stops a send), recording a numbered claim, and settling the working copies that
// a cut-off run left in claims/.
#include <QFile>
#include <QFileInfo>
#include <optional>

#include "app/file_mask.h"
#include "app/zuduvor.h"
#include "claims/numbering.h"
#include "ledger/ledger.h"

namespace zv {

Ledger* Zuduvor::ledger() {
    if (ledger_ || ledgerOff_ || m_.Paths.WorkRoot.isEmpty()) return ledger_.get();
    Result<Ledger::Opened> opened = Ledger::open(ledgerPath());
    if (!opened) {
        keepLedger(fail(opened.reason()));
        return nullptr;
    }
    ledger_ = std::move(opened.value().ledger);
    if (!opened->setAsideAs.isEmpty())
        dialogs_.message(QStringLiteral("The claim history file ledger.db was damaged. It was "
                                        "kept as ") +
                             opened->setAsideAs +
                             QStringLiteral(" and a new claim history was started. Your claims "
                                            "are sent as usual."),
                         MessageKind::Info);
    return ledger_.get();
}

void Zuduvor::keepLedger(const Status& written) {
    if (written || ledgerOff_) return;
    ledger_.reset();
    ledgerOff_ = true;
    dialogs_.message(QStringLiteral("The claim history is not being kept: ") + written.reason() +
                         QStringLiteral(". Your claims are sent as usual. If this happens "
                                        "again, call ZOD."),
                     MessageKind::Info);
}

void Zuduvor::RecordNumbered(const QString& claim, int number) {
    Ledger* l = ledger();
    if (!l) return;
    const QString backup = m_.Paths.ClaimsBackupDir + claim;
    const Result<QString> sha = fileSha256(backup);
    if (!sha)
        return keepLedger(
            fail(QStringLiteral("the claim file could not be read: ") + sha.reason()));
    NewClaim c{claim, number, QFileInfo(backup).size(), *sha, sources_, {}};
    keepLedger(l->numbered(c));
}

bool Zuduvor::StillInPracticeFolder(const QString& name, const QStringList& found) {
    const QString working = m_.Paths.ClaimsDir + name;
    const qint64 size = QFileInfo(working).size();
    std::optional<QString> sha;
    for (const QString& practice : found) {
        const QString path = m_.Setup.UserPath + practice;
        if (QFileInfo(path).size() != size) continue;
        if (!sha) {
            const Result<QString> read = fileSha256(working);
            if (!read) return false;
            sha = *read;
        }
        const Result<QString> other = fileSha256(path);
        if (other && *other == *sha) return true;
    }
    return false;
}

void Zuduvor::SettleWorkingCopies(bool listed, const QStringList& found) {
    const QString dir = m_.Paths.ClaimsDir;
    for (const QString& name : findFiles(dir, QStringLiteral("*"))) {
        const qint64 size = QFileInfo(dir + name).size();
        Ledger* l = ledger();
        bool confirmed = false;
        bool known = false;
        bool toldAtFailure = false;
        bool uploadBegun = false;
        if (l) {
            const auto record = l->claim(name);
            keepLedger(record.ok() ? Status() : fail(record.reason()));
            if (record.ok() && *record) {
                known = true;
                confirmed = (*record)->lastAttemptConfirmed;
                toldAtFailure = (*record)->state == ClaimState::Failed;
                uploadBegun = (*record)->attempts > 0;
            }
        }
        if (!uploadBegun && StillInPracticeFolder(name, found)) {
            // Its backup stays, as every backup does.
            QFile::remove(dir + name);
            if (known && ledger_) keepLedger(ledger_->forget(name));
            continue;
        }
        // Our upload gets its claim name only once the server holds all of it (and no
        // number is given whose name waits there), so a whole file under it is ours.
        const qint64 onServer = serverSizes_.value(name.toUpper(), -1);
        if (!confirmed && listed && onServer == size) {
            confirmed = true;
            if (known && ledger_) keepLedger(ledger_->confirmed(name));
        }
        if (confirmed) {
            const int number = claimNumberOf(name, m_.Setup.SiteID, m_.Setup.FileType);
            const Result<int> last = readSequenceFile(m_.Paths.SequenceFile);
            if (number > 0 && last && number > *last)
                RecordNumber(number, name);  // never backwards
            QFile::remove(dir + name);
            continue;
        }
        if (!listed) continue;  // nothing sure is known without the server: next run
        if (onServer >= 0 && onServer < size) {
            SftpClient& c = Client();
            (void)blocking([&] { return c.DeleteRemoteFile(QStringLiteral("claims/") + name); });
        }
        // An upload that failed in front of the user was told of then; one cut off by the
        // program's end was not.
        if (toldAtFailure) continue;
        if (known && ledger_)
            keepLedger(ledger_->failed(name, QStringLiteral("the upload was cut off")));
        dialogs_.message(name + QStringLiteral(" did not reach ZOD completely. Check with ZOD, "
                                               "then send it again with Resend Claims to ZOD."),
                         MessageKind::Info);
    }
}

}  // namespace zv
