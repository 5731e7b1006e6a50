// The main window's use of the claim ledger: opening it (a ledger that cannot be kept
// never stops a send), recording a numbered claim, and settling the working copies that
// a cut-off run left in claims/.
#include <QFile>
#include <QFileInfo>
#include <optional>

#include "base/file_mask.h"
#include "base/workstation_rules.h"
#include "claims/claim_guards.h"
#include "claims/numbering.h"
#include "ledger/ledger.h"
#include "tasks/zuduvor.h"

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
    NewClaim c{claim, number, 0, {}, sources_, {}};
    Status read;
    // Hashing and reading a big file takes a while: the window keeps repainting meanwhile.
    view_.runBlocking([&] {
        MappedFile backup(m_.Paths.ClaimsBackupDir + claim);
        read = backup.open();
        if (!read) return;
        const QByteArrayView data = backup.bytes();
        c.size = data.size();
        c.sha256 = QString::fromLatin1(sha256(data).toHex());
        if (x12::isInterchangeType(claim.right(3)) || x12::looksLikeInterchange(data)) {
            // A damaged file is still recorded, without the facts it does not hold.
            if (Result<x12::ClaimFileFacts> facts = x12::readClaimFile(data)) c.facts = *facts;
        }
    });
    if (!read)
        return keepLedger(
            fail(QStringLiteral("the claim file could not be read: ") + read.reason()));
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

std::optional<PriorSend> Zuduvor::findPriorSend(const QByteArray& sha256, const QString& sender,
                                                const QString& interchangeNumber) {
    Ledger* l = ledger();
    if (!l) return std::nullopt;
    const auto prior = l->priorSend(QString::fromLatin1(sha256.toHex()), sender, interchangeNumber);
    keepLedger(prior.ok() ? Status() : fail(prior.reason()));
    if (!prior.ok() || !*prior) return std::nullopt;
    return PriorSend{(*prior)->name, (*prior)->confirmedAt.toLocalTime()};
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

namespace {

// The claim files an answer speaks of, newest first among `sent`, with the outcome for
// each (a 277CA's claims are counted per file).
std::vector<ClaimAnswerRecord> answered(const x12::Report& report, const x12::Answer& a,
                                        const std::vector<ClaimRecord>& sent) {
    std::vector<ClaimAnswerRecord> out;
    const auto first = [&](auto&& answers) -> const ClaimRecord* {
        for (const ClaimRecord& c : sent)
            if (c.facts && answers(*c.facts)) return &c;
        return nullptr;
    };
    if (report.kind == x12::ReportKind::TA1 || report.kind == x12::ReportKind::Ack999) {
        if (!a.outcome) return out;
        const bool ta1 = report.kind == x12::ReportKind::TA1;
        const ClaimRecord* c = first([&](const x12::ClaimFileFacts& f) {
            if (ta1) return f.interchangeNumber == a.interchangeNumber;
            if (!f.groupNumbers.contains(a.groupNumber)) return false;
            for (const QString& set : a.transactionNumbers)
                if (!f.transactionNumbers.contains(set)) return false;
            return true;
        });
        if (!c) return out;
        static const ClaimState states[] = {ClaimState::Accepted, ClaimState::AcceptedWithErrors,
                                            ClaimState::PartlyAccepted, ClaimState::Rejected};
        out.push_back({c->name,
                       states[int(*a.outcome)],
                       ta1 ? AnswerLevel::Interchange : AnswerLevel::Group,
                       0,
                       0,
                       {}});
        return out;
    }
    if (report.kind != x12::ReportKind::Status277CA) return out;
    for (const x12::ClaimAnswer& claim : a.claims) {
        const ClaimRecord* c = first([&](const x12::ClaimFileFacts& f) {
            return f.patientControlNumbers.contains(claim.patientControlNumber);
        });
        if (!c) continue;
        auto it = std::find_if(out.begin(), out.end(),
                               [&](const ClaimAnswerRecord& r) { return r.claimName == c->name; });
        if (it == out.end()) {
            out.push_back({c->name, ClaimState::Accepted, AnswerLevel::Claims, 0, 0, {}});
            it = out.end() - 1;
        }
        if (claim.accepted) {
            ++it->acceptedClaims;
        } else {
            ++it->rejectedClaims;
            it->rejectedNumbers << claim.patientControlNumber;
        }
    }
    for (ClaimAnswerRecord& r : out)
        r.outcome = r.rejectedClaims == 0   ? ClaimState::Accepted
                    : r.acceptedClaims == 0 ? ClaimState::Rejected
                                            : ClaimState::PartlyAccepted;
    return out;
}

QString answerLine(const ClaimAnswerRecord& a, const QString& report) {
    const QString see = QStringLiteral(" by ZOD - see report ") + report;
    if (a.level == AnswerLevel::Claims && a.outcome == ClaimState::PartlyAccepted)
        return a.claimName +
               QStringLiteral(": %1 claims accepted, %2 rejected (patient control number%3 %4)")
                   .arg(a.acceptedClaims)
                   .arg(a.rejectedClaims)
                   .arg(a.rejectedNumbers.size() > 1 ? QStringLiteral("s") : QString())
                   .arg(a.rejectedNumbers.join(QStringLiteral(", ")));
    switch (a.outcome) {
        case ClaimState::Accepted:
            return a.claimName + QStringLiteral(": accepted by ZOD");
        case ClaimState::Rejected:
            return a.claimName + QStringLiteral(": REJECTED") + see;
        default:
            return a.claimName + QStringLiteral(": ") + stateText(a.outcome) + see;
    }
}

}  // namespace

void Zuduvor::RecordReport(const QString& path, const QString& name) {
    Ledger* l = ledger();
    if (!l) return;
    MappedFile file(path);
    Status opened;
    Result<x12::Report> read = x12::Report{};
    QString sha;
    view_.runBlocking([&] {
        opened = file.open();
        if (!opened) return;
        read = x12::readReport(file.bytes());
        sha = QString::fromLatin1(sha256(file.bytes()).toHex());
    });
    if (!opened)
        return keepLedger(fail(QStringLiteral("the report ") + name +
                               QStringLiteral(" could not be read: ") + opened.reason()));
    const x12::Report report = read ? *read : x12::Report{};
    const QString says =
        read ? reportSays(report) : QStringLiteral("could not be read as X12: ") + read.reason();
    const auto id = l->report({name, file.bytes().size(), sha, reportKindText(report.kind), says});
    keepLedger(id.ok() ? Status() : fail(id.reason()));
    if (id.ok() && *id && !report.answers.empty()) fetched_.push_back({**id, name, report});
}

void Zuduvor::MatchAnswers() {
    std::vector<FetchedReport> fetched = std::move(fetched_);
    fetched_.clear();
    Ledger* l = ledger();
    if (!l) return;
    const auto sent = l->confirmedClaims();
    if (!sent) return keepLedger(fail(sent.reason()));
    // One line per answered file: the answer that set its state. All the run's answers
    // are one commit.
    QStringList order;
    QMap<QString, QString> lines;
    if (const Status begun = l->beginBatch(); !begun) return keepLedger(begun);
    for (const FetchedReport& f : fetched) {
        for (const x12::Answer& a : f.report.answers) {
            for (const ClaimAnswerRecord& r : answered(f.report, a, *sent)) {
                const Result<bool> taken = ledger_ ? ledger_->answer(f.id, f.name, r) : false;
                keepLedger(taken.ok() ? Status() : fail(taken.reason()));
                if (!taken.ok() || !*taken) continue;
                if (!lines.contains(r.claimName)) order << r.claimName;
                lines[r.claimName] = answerLine(r, f.name);
            }
        }
    }
    if (!ledger_) return;
    const auto overdue = ledger_->takeOverdue(QDateTime::currentDateTimeUtc().addDays(-2));
    if (!overdue) ledger_->dropBatch();
    if (!overdue) return keepLedger(fail(overdue.reason()));
    if (const Status committed = ledger_->commitBatch(); !committed) {
        ledger_->dropBatch();
        return keepLedger(committed);
    }
    for (const QString& name : order) view_.statusAdd(lines[name]);
    for (const ClaimRecord& c : *overdue)
        view_.statusAdd(c.name + QStringLiteral(" sent ") + dateText(c.confirmedAt.toLocalTime()) +
                        QStringLiteral(": no answer from ZOD yet. Call ZOD."));
}

}  // namespace zv
