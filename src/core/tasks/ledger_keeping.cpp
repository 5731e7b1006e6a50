#include "tasks/ledger_keeping.h"

#include <QDateTime>
#include <QMap>
#include <algorithm>

#include "base/file_digest.h"
#include "base/workstation_rules.h"
#include "x12/x12.h"

namespace zv {

namespace {

using SentClaims = std::vector<ClaimRecord>;

// The newest claim file among `sent` whose facts `answers` picks, or null.
template <class Pick>
const ClaimRecord* newestAnswered(const SentClaims& sent, Pick&& answers) {
    for (const ClaimRecord& c : sent)
        if (c.facts && answers(*c.facts)) return &c;
    return nullptr;
}

// A TA1's interchange receipt or a 999's group answer: one file, one outcome.
std::vector<ClaimAnswerRecord> answeredAsWhole(bool ta1, const x12::Answer& a,
                                               const SentClaims& sent) {
    if (!a.outcome) return {};
    const ClaimRecord* c = newestAnswered(sent, [&](const x12::ClaimFileFacts& f) {
        if (ta1) return f.interchangeNumber == a.interchangeNumber;
        if (!f.groupNumbers.contains(a.groupNumber)) return false;
        for (const QString& set : a.transactionNumbers)
            if (!f.transactionNumbers.contains(set)) return false;
        return true;
    });
    if (!c) return {};
    static const ClaimState states[] = {ClaimState::Accepted, ClaimState::AcceptedWithErrors,
                                        ClaimState::PartlyAccepted, ClaimState::Rejected};
    return {{c->name,
             states[int(*a.outcome)],
             ta1 ? AnswerLevel::Interchange : AnswerLevel::Group,
             0,
             0,
             {}}};
}

// A 277CA's claims, counted per file.
std::vector<ClaimAnswerRecord> answeredClaimByClaim(const x12::Answer& a, const SentClaims& sent) {
    std::vector<ClaimAnswerRecord> out;
    for (const x12::ClaimAnswer& claim : a.claims) {
        const ClaimRecord* c = newestAnswered(sent, [&](const x12::ClaimFileFacts& f) {
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

// The claim files an answer speaks of, newest first among `sent`, with the outcome for
// each.
std::vector<ClaimAnswerRecord> answered(const x12::Report& report, const x12::Answer& a,
                                        const SentClaims& sent) {
    if (report.kind == x12::ReportKind::TA1 || report.kind == x12::ReportKind::Ack999)
        return answeredAsWhole(report.kind == x12::ReportKind::TA1, a, sent);
    if (report.kind == x12::ReportKind::Status277CA) return answeredClaimByClaim(a, sent);
    return {};
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

LedgerKeeping::LedgerKeeping(const TaskContext& ctx) : ctx_(ctx) {}

LedgerKeeping::~LedgerKeeping() = default;

Ledger* LedgerKeeping::ledger() {
    if (ledger_ || off_ || ctx_.m.Paths.WorkRoot.isEmpty()) return ledger_.get();
    Result<Ledger::Opened> opened = Ledger::open(path());
    if (!opened) {
        keep(fail(opened.reason()));
        return nullptr;
    }
    ledger_ = std::move(opened.value().ledger);
    if (!opened->setAsideAs.isEmpty())
        ctx_.dialogs.message(QStringLiteral("The claim history file ledger.db was damaged. It was "
                                            "kept as ") +
                                 opened->setAsideAs +
                                 QStringLiteral(" and a new claim history was started. Your "
                                                "claims are sent as usual."),
                             MessageKind::Info);
    return ledger_.get();
}

void LedgerKeeping::keep(const Status& written) {
    if (written || off_) return;
    ledger_.reset();
    off_ = true;
    ctx_.dialogs.message(QStringLiteral("The claim history is not being kept: ") +
                             written.reason() +
                             QStringLiteral(". Your claims are sent as usual. If this happens "
                                            "again, call ZOD."),
                         MessageKind::Info);
}

void LedgerKeeping::recordNumbered(const QString& claim, int number, const QStringList& sources) {
    Ledger* l = ledger();
    if (!l) return;
    NewClaim c{claim, number, 0, {}, sources, {}};
    Status read;
    // Hashing and reading a big file takes a while: the window keeps repainting meanwhile.
    ctx_.view.runBlocking([&] {
        MappedFile backup(ctx_.m.Paths.ClaimsBackupDir + claim);
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
        return keep(fail(QStringLiteral("the claim file could not be read: ") + read.reason()));
    keep(l->numbered(c));
}

std::optional<PriorSend> LedgerKeeping::findPriorSend(const QByteArray& sha256,
                                                      const QString& sender,
                                                      const QString& interchangeNumber) {
    Ledger* l = ledger();
    if (!l) return std::nullopt;
    const auto prior = l->priorSend(QString::fromLatin1(sha256.toHex()), sender, interchangeNumber);
    keep(prior.ok() ? Status() : fail(prior.reason()));
    if (!prior.ok() || !*prior) return std::nullopt;
    return PriorSend{(*prior)->name, (*prior)->confirmedAt.toLocalTime()};
}

std::optional<FetchedReport> LedgerKeeping::recordReport(const QString& path, const QString& name) {
    Ledger* l = ledger();
    if (!l) return std::nullopt;
    MappedFile file(path);
    Status opened;
    Result<x12::Report> read = x12::Report{};
    QString sha;
    ctx_.view.runBlocking([&] {
        opened = file.open();
        if (!opened) return;
        read = x12::readReport(file.bytes());
        sha = QString::fromLatin1(sha256(file.bytes()).toHex());
    });
    if (!opened) {
        keep(fail(QStringLiteral("the report ") + name + QStringLiteral(" could not be read: ") +
                  opened.reason()));
        return std::nullopt;
    }
    const x12::Report report = read ? *read : x12::Report{};
    const QString says =
        read ? reportSays(report) : QStringLiteral("could not be read as X12: ") + read.reason();
    const auto id = l->report({name, file.bytes().size(), sha, reportKindText(report.kind), says});
    keep(id.ok() ? Status() : fail(id.reason()));
    if (!id.ok() || !*id || report.answers.empty()) return std::nullopt;
    return FetchedReport{**id, name, report};
}

QStringList LedgerKeeping::recordAnswers(const std::vector<FetchedReport>& fetched,
                                         const std::vector<ClaimRecord>& sent) {
    QStringList order;
    QMap<QString, QString> lines;
    for (const FetchedReport& f : fetched) {
        for (const x12::Answer& a : f.report.answers) {
            for (const ClaimAnswerRecord& r : answered(f.report, a, sent)) {
                const Result<bool> taken = ledger_ ? ledger_->answer(f.id, f.name, r) : false;
                keep(taken.ok() ? Status() : fail(taken.reason()));
                if (!taken.ok() || !*taken) continue;
                if (!lines.contains(r.claimName)) order << r.claimName;
                lines[r.claimName] = answerLine(r, f.name);
            }
        }
    }
    QStringList out;
    for (const QString& name : order) out << lines[name];
    return out;
}

void LedgerKeeping::matchAnswers(const std::vector<FetchedReport>& fetched) {
    Ledger* l = ledger();
    if (!l) return;
    const auto sent = l->confirmedClaims();
    if (!sent) return keep(fail(sent.reason()));
    // All the run's answers are one commit.
    if (const Status begun = l->beginBatch(); !begun) return keep(begun);
    const QStringList lines = recordAnswers(fetched, *sent);
    if (!ledger_) return;
    const auto overdue = ledger_->takeOverdue(QDateTime::currentDateTimeUtc().addDays(-2));
    if (!overdue) ledger_->dropBatch();
    if (!overdue) return keep(fail(overdue.reason()));
    if (const Status committed = ledger_->commitBatch(); !committed) {
        ledger_->dropBatch();
        return keep(committed);
    }
    for (const QString& line : lines) ctx_.view.statusAdd(line);
    for (const ClaimRecord& c : *overdue)
        ctx_.view.statusAdd(c.name + QStringLiteral(" sent ") +
                            dateText(c.confirmedAt.toLocalTime()) +
                            QStringLiteral(": no answer from ZOD yet. Call ZOD."));
}

}  // namespace zv
