// The reports' side of the ledger keeping: each report matched as it is recorded, the
// changes told once at the end of the run, and the changes nobody saw shown to the next
// person.
#include <QDateTime>
#include <QFileInfo>

#include "answers/sent_claims.h"
#include "base/file_digest.h"
#include "base/workstation_rules.h"
#include "tasks/ledger_keeping.h"
#include "x12/x12.h"

namespace zv {

namespace {

QJsonObject reportWrite(const QString& path, const QString& name) {
    return {{QStringLiteral("op"), QStringLiteral("report")},
            {QStringLiteral("path"), path},
            {QStringLiteral("name"), name},
            {QStringLiteral("at"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)}};
}

}  // namespace

SentIndex* LedgerKeeping::index() {
    if (index_) return index_.get();
    readUnreadClaims();
    // A big ledger takes a while to index: the window keeps repainting meanwhile.
    Result<std::unique_ptr<SentIndex>> built = std::unique_ptr<SentIndex>();
    ctx_.view.runBlocking([&] { built = ledger_->sentIndex(); });
    if (!built) return nullptr;
    index_ = std::move(built.value());
    return index_.get();
}

Result<ReportMatched> LedgerKeeping::matchReport(const QString& path, const QString& name,
                                                 std::optional<qint64> existing) {
    using R = Result<ReportMatched>;
    MappedFile file(path);
    Status opened;
    Result<answers::ParsedReport> parsed = answers::ParsedReport{};
    QString sha;
    ctx_.view.runBlocking([&] {
        opened = file.open();
        if (!opened) return;
        parsed = answers::readAnswers(file.bytes());
        sha = QString::fromLatin1(sha256(file.bytes()).toHex());
    });
    if (!opened)
        return R::failure(QStringLiteral("the report ") + name +
                          QStringLiteral(" could not be read: ") + opened.reason());
    const answers::ParsedReport report = parsed ? *parsed : answers::ParsedReport{};
    const ReportRecord record{name, file.bytes().size(), sha, answers::reportKindText(report.kind),
                              parsed
                                  ? answers::reportSays(report)
                                  : QStringLiteral("could not be read as X12: ") + parsed.reason()};
    SentIndex* sent = index();
    if (!sent) return R::failure(QStringLiteral("the claims sent could not be read"));
    R matched = R::failure(QString());
    // Matching a big report takes a while: the window keeps repainting meanwhile.
    ctx_.view.runBlocking([&] {
        matched = ledger_->recordMatched(record, existing, report, *sent,
                                         QDateTime::currentDateTimeUtc());
    });
    return matched;
}

Status LedgerKeeping::applyReport(const QJsonObject& w) {
    const QString path = w[QLatin1String("path")].toString();
    // Gone from the report folder since: nothing is left to match.
    if (!QFileInfo::exists(path)) return {};
    const QString name = w[QLatin1String("name")].toString();
    // A report that cannot be read is left out: kept waiting, it would hold back every later
    // write for good. It stays in the report folder.
    MappedFile report(path);
    if (const Status readable = report.open(); !readable) {
        ctx_.view.statusAdd(name + QStringLiteral(" is left out of the claim history: ") +
                            readable.reason());
        return {};
    }
    const auto matched = matchReport(path, name, std::nullopt);
    if (!matched) return fail(matched.reason());
    noteMatched(*matched);
    return {};
}

void LedgerKeeping::recordReport(const QString& path, const QString& name) {
    write(reportWrite(path, name));
}

void LedgerKeeping::noteMatched(const ReportMatched& matched) {
    unplaced_ << matched.unplaced;
    // One line per file and run: a file two reports changed is told as it ends.
    for (const FileChange& c : matched.changes) {
        auto it = std::find_if(changes_.begin(), changes_.end(),
                               [&](const FileChange& old) { return old.name == c.name; });
        if (it == changes_.end()) {
            changes_.push_back(c);
            continue;
        }
        const QString notice = c.notice.isEmpty() ? it->notice : c.notice;
        const bool rejection = it->rejection || c.rejection;
        *it = c;
        it->notice = notice;
        it->rejection = rejection;
    }
}

void LedgerKeeping::matchUnmatched() {
    const QString& folder = ctx_.m.Setup.RptPath;
    const auto unmatched = ledger_->unmatchedReports();
    if (!unmatched || folder.isEmpty()) return;
    for (const UnmatchedReport& r : *unmatched) {
        const QString path = folder + r.name;
        if (!QFileInfo::exists(path)) {
            (void)ledger_->giveUpReport(r.id);
            continue;
        }
        const auto matched = matchReport(path, r.name, r.id);
        if (matched) noteMatched(*matched);
    }
}

void LedgerKeeping::readUnreadClaims() {
    if (backfilled_) return;
    backfilled_ = true;
    const auto unread = ledger_->claimsUnread();
    if (!unread) return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const ClaimRecord& c : *unread) {
        std::vector<answers::SentClaim> claims;
        QString time;
        ctx_.view.runBlocking([&] {
            MappedFile backup(ctx_.m.Paths.ClaimsBackupDir + c.name);
            if (!backup.open()) return;  // kept with its file-level state
            if (auto read = answers::readSentClaims(backup.bytes())) claims = std::move(*read);
            if (auto id = x12::readInterchangeId(
                    backup.bytes().first(std::min<qsizetype>(256, backup.bytes().size()))))
                time = id->interchangeTime;
        });
        if (!ledger_->setClaims(c.name, claims, time, now)) return;
    }
}

void LedgerKeeping::tellOverdue() {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto overdue = ledger_->takeOverdue(now.addDays(-2));
    if (!overdue) return keep(fail(overdue.reason()));
    for (const ClaimRecord& c : *overdue) {
        const QString line = c.name + QStringLiteral(" sent ") +
                             dateText(c.confirmedAt.toLocalTime()) +
                             QStringLiteral(": no answer from ZOD yet. Call ZOD.");
        const QString notice = QStringLiteral("ZOD has not answered ") + c.name +
                               QStringLiteral(" for two days - call ZOD");
        keep(ledger_->noteChange(c.name, line, true, 1));
        noteMatched({true, {{c.name, line, notice, false}}, {}});
    }
}

void LedgerKeeping::endReports() {
    if (ledger()) {
        if (index()) matchUnmatched();
        if (ledger_) tellOverdue();
    }
    // Told: seen, but for what needs a person when nobody is watching (a notice tells it).
    QStringList seen;
    for (const FileChange& c : changes_) {
        ctx_.view.statusAdd(c.line);
        if (!attended_ && !c.notice.isEmpty())
            notices_ << c.notice;
        else
            seen << c.name;
    }
    if (ledger_) keep(ledger_->markSeen(seen));
    for (const QString& line : unplaced_) {
        ctx_.view.statusAdd(line);
        if (!attended_) notices_ << line;
    }
    unplaced_.clear();
    changes_.clear();
    index_.reset();
}

void LedgerKeeping::tellUnseen() {
    if (!attended_ || !ledger()) return;
    const auto unseen = ledger_->unseen();
    if (!unseen || unseen->empty()) return;
    QStringList rejected, seen;
    for (const ClaimRecord& c : *unseen) {
        ctx_.view.statusAdd(c.summary);
        if (c.unseen == 2) rejected << c.summary;
        seen << c.name;
    }
    if (!rejected.isEmpty())
        ctx_.dialogs.message(
            QStringLiteral("These claim files have REJECTED claims you were not shown yet:") +
                ctx_.m.LF + ctx_.m.LF + rejected.join(ctx_.m.LF) + ctx_.m.LF + ctx_.m.LF +
                QStringLiteral("Correct these claims in your billing program and send them "
                               "again. Claim History shows each claim."),
            MessageKind::Info);
    keep(ledger_->markSeen(seen));
}

QStringList LedgerKeeping::takeNotices() {
    QStringList out;
    out.swap(notices_);
    return out;
}

}  // namespace zv
