// The ledger claim by claim: the claims of each sent file, the answer events a report
// places on them, and the file's line that tells what changed.
#include <QSet>
#include <algorithm>
#include <map>

#include "ledger/ledger.h"
#include "ledger/sqlite_query.h"

namespace zv {

using answers::AnswerEvent;
using answers::FileClaim;
using answers::Level;
using answers::MatchedEvent;
using answers::Scope;
using answers::SentClaim;
using answers::State;
using answers::Verdict;
using sqlite::inTransaction;
using sqlite::Query;
using sqlite::Transaction;

namespace {

QString isoTime(const QDateTime& t) { return t.toUTC().toString(Qt::ISODateWithMs); }
QDateTime timeOf(const QString& text) {
    return text.isEmpty() ? QDateTime() : QDateTime::fromString(text, Qt::ISODateWithMs);
}

template <class T>
Result<T> failure(const Status& s) {
    return Result<T>::failure(s.reason());
}

#define ZV_EVENT_COLUMNS                                                                    \
    "level, claim, interchange, grp, set_number, batch, provider, report, source, by_zod, " \
    "code, verdict, reason, detail, at, charge_cents, paid_cents, patient_cents, "          \
    "check_number, check_date, payer_claim, difference_cents"

MatchedEvent readEvent(const Query& q, int file) {
    MatchedEvent m;
    m.file = file;
    Scope& s = m.scope;
    s.level = Level(q.integer(0));
    s.claim = int(q.integer(1));
    s.interchange = q.text(2);
    s.group = q.text(3);
    s.set = q.text(4);
    s.batch = q.text(5);
    s.provider = q.text(6);
    AnswerEvent& e = m.event;
    e.level = s.level;
    e.report = q.text(7);
    e.source = q.text(8);
    e.byClearinghouse = q.integer(9) != 0;
    e.code = q.text(10);
    e.verdict = Verdict(q.integer(11));
    e.reason = q.text(12);
    e.detail = q.text(13);
    e.when = timeOf(q.text(14));
    e.chargeCents = q.integer(15);
    e.paidCents = q.integer(16);
    e.patientCents = q.integer(17);
    e.checkNumber = q.text(18);
    e.checkDate = QDate::fromString(q.text(19), Qt::ISODate);
    e.payerClaimNumber = q.text(20);
    e.remittanceDifferenceCents = q.integer(21);
    return m;
}

// One answer event as the statement takes it, made before the write transaction opens so
// that the ledger is locked only for the writing. The texts of a report's events repeat:
// each is made into UTF-8 once.
struct EventRow {
    static constexpr int kTexts = 13;
    qint64 numbers[10] = {};
    QByteArray texts[kTexts];
};

class EventRows {
public:
    explicit EventRows(size_t count) {
        rows_.reserve(count);
        checkDates_.reserve(count);
    }
    void add(qint64 fileId, const MatchedEvent& m) {
        const Scope& s = m.scope;
        const AnswerEvent& e = m.event;
        EventRow& r = rows_.emplace_back();
        const qint64 numbers[] = {fileId,
                                  0,
                                  qint64(s.level),
                                  qint64(s.claim),
                                  e.byClearinghouse,
                                  qint64(e.verdict),
                                  e.chargeCents,
                                  e.paidCents,
                                  e.patientCents,
                                  e.remittanceDifferenceCents};
        std::copy(std::begin(numbers), std::end(numbers), r.numbers);
        const QString* texts[] = {&s.interchange, &s.group,  &s.set,         &s.batch,
                                  &s.provider,    &e.report, &e.source,      &e.code,
                                  &e.reason,      &e.detail, &e.checkNumber, &e.payerClaimNumber};
        for (int i = 0; i < 12; ++i) r.texts[i] = utf8(i, *texts[i]);
        if (e.when != lastWhen_ || last_[12].isNull()) {
            lastWhen_ = e.when;
            last_[12] = isoTime(e.when).toUtf8();
        }
        r.texts[12] = last_[12];
        checkDates_.push_back(e.checkDate.isValid() ? e.checkDate.toString(Qt::ISODate).toUtf8()
                                                    : QByteArray(""));
    }

    size_t size() const { return rows_.size(); }

    // Rows [begin, end) of the report `reportId`.
    Status write(sqlite3* db, qint64 reportId, size_t begin, size_t end) const {
        Query q(db,
                "INSERT INTO answer_events(file_id, report_id, level, claim, by_zod, "
                "verdict, charge_cents, paid_cents, patient_cents, difference_cents, "
                "interchange, grp, set_number, batch, provider, report, source, code, reason, "
                "detail, check_number, payer_claim, at, check_date) VALUES(?1, ?2, ?3, ?4, "
                "?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, "
                "?21, ?22, ?23, ?24)");
        for (size_t i = begin; i < end; ++i) {
            q.reset();
            for (int n = 0; n < 10; ++n) q.bind(n + 1, n == 1 ? reportId : rows_[i].numbers[n]);
            for (int t = 0; t < EventRow::kTexts; ++t) q.bindStatic(11 + t, rows_[i].texts[t]);
            q.bindStatic(24, checkDates_[i]);
            if (const Status s = q.run(); !s) return s;
        }
        return {};
    }

private:
    // The same text as the event before (most are): its UTF-8 is shared, not made again.
    QByteArray utf8(int column, const QString& text) {
        if (text != source_[column] || last_[column].isNull()) {
            source_[column] = text;
            last_[column] = text.toUtf8();
            if (last_[column].isNull()) last_[column] = QByteArray("");
        }
        return last_[column];
    }

    std::vector<EventRow> rows_;
    std::vector<QByteArray> checkDates_;
    QString source_[EventRow::kTexts];
    QByteArray last_[EventRow::kTexts];
    QDateTime lastWhen_;
};

// Rows whose texts mostly repeat those of the row before (a file's claims share their
// envelope and provider): a repeated text is shared, not made again.
class RepeatedText {
public:
    const QString& at(const Query& q, int col) {
        const QByteArrayView bytes = q.bytes(col);
        if (bytes != QByteArrayView(bytes_) || (text_.isNull() && !bytes.isNull())) {
            bytes_ = bytes.toByteArray();
            text_ = QString::fromUtf8(bytes);
        }
        return text_;
    }

private:
    QByteArray bytes_;
    QString text_;
};

Result<std::vector<MatchedEvent>> eventsOf(sqlite3* db, qint64 fileId, int file) {
    Query q(db, "SELECT " ZV_EVENT_COLUMNS " FROM told_events WHERE file_id = ?1 ORDER BY id");
    q.bind(1, fileId);
    std::vector<MatchedEvent> out;
    while (q.next()) out.push_back(readEvent(q, file));
    if (const Status s = q.status(); !s) return failure<std::vector<MatchedEvent>>(s);
    return out;
}

std::vector<FileClaim> withVerdicts(const answers::SentFile& file,
                                    const std::vector<answers::ClaimVerdict>& verdicts) {
    std::vector<FileClaim> out;
    out.reserve(file.claims.size());
    for (size_t i = 0; i < file.claims.size(); ++i)
        out.push_back(
            {file.claims[i].patientControlNumber, file.claims[i].chargeCents, verdicts[i]});
    return out;
}

bool needsPerson(State s) {
    return s == State::Rejected || s == State::Denied || s == State::Unanswered;
}

// Each matched report takes the next number: the highest tells whether another program
// matched a report since the events were read.
Result<qint64> dataVersion(sqlite3* db) {
    Query q(db, "SELECT COALESCE(MAX(told_seq), 0) FROM reports");
    if (!q.next()) return failure<qint64>(q.status());
    return q.integer(0);
}

// One affected file: its new line and what a person is told of it.
struct FileDecision {
    int file = -1;
    QString line;
    bool attention = false;
    FileChange change;
    bool changed = false;
};

struct Decided {
    qint64 version = 0;
    std::vector<FileDecision> files;
};

FileDecision decideOne(const SentClaimFile& f, int file, std::vector<MatchedEvent> before,
                       const std::vector<MatchedEvent>& added, const QString& told,
                       const QDateTime& now) {
    // Nothing answered before: every claim stood alike.
    const auto old = before.empty()
                         ? std::vector<answers::ClaimVerdict>(
                               f.file.claims.size(),
                               answers::decide(std::span<const AnswerEvent>(), f.file.sentAt, now))
                         : answers::decideFile(f.file, before, now);
    before.insert(before.end(), added.begin(), added.end());
    const auto verdicts = answers::decideFile(f.file, before, now);
    const std::vector<FileClaim> claims = withVerdicts(f.file, verdicts);
    std::vector<FileClaim> changed;
    for (size_t i = 0; i < claims.size(); ++i)
        if (old[i].state != verdicts[i].state) changed.push_back(claims[i]);
    FileDecision d;
    d.file = file;
    d.line = answers::fileLine(f.file.name, f.file.sentAt.toLocalTime().date(), claims);
    d.attention = std::any_of(claims.begin(), claims.end(),
                              [](const FileClaim& c) { return needsPerson(c.verdict.state); });
    d.changed = d.line != told;
    d.change = {f.file.name, d.line, answers::noticeText(f.file.name, changed),
                std::any_of(changed.begin(), changed.end(),
                            [](const FileClaim& c) { return c.verdict.state == State::Rejected; })};
    return d;
}

// Each file the events touch, decided from the events it had and the new ones.
Result<Decided> decide(sqlite3* db, const answers::Matched& matched, const SentIndex& index,
                       const QDateTime& now) {
    using R = Result<Decided>;
    Decided d;
    const auto version = dataVersion(db);
    if (!version) return R::failure(version.reason());
    d.version = *version;
    std::map<int, std::vector<MatchedEvent>> byFile;
    for (const MatchedEvent& m : matched.events) byFile[m.file].push_back(m);
    for (const auto& [file, added] : byFile) {
        const SentClaimFile& f = index.at(file);
        auto before = eventsOf(db, f.id, file);
        if (!before) return R::failure(before.reason());
        Query summary(db, "SELECT summary FROM claim_files WHERE id = ?1");
        summary.bind(1, f.id);
        const QString told = summary.next() ? summary.text(0) : QString();
        d.files.push_back(decideOne(f, file, std::move(before.value()), added, told, now));
    }
    return d;
}

// The report counts from here: its events are told and the files' lines are new.
Status tellMatched(sqlite3* db, qint64 reportId, const SentIndex& index, const Decided& decided) {
    if (const Status s = Query(db, R"(
UPDATE reports SET matched = 1, told_seq = (SELECT COALESCE(MAX(told_seq), 0) + 1 FROM reports)
WHERE id = ?1)")
                             .bind(1, reportId)
                             .run();
        !s)
        return s;
    Query update(db, R"(
UPDATE claim_files SET summary = ?2, attention = ?3, unseen = MAX(unseen, ?4) WHERE id = ?1)");
    for (const FileDecision& f : decided.files) {
        if (!f.changed) continue;
        // Unseen until told: a run cut off before it told the change leaves it for the next
        // person.
        const int unseen = f.change.rejection ? 2 : 1;
        update.reset().bind(1, index.at(f.file).id).bind(2, f.line);
        update.bind(3, qint64(f.attention)).bind(4, qint64(unseen));
        if (const Status s = update.run(); !s) return s;
    }
    return {};
}

}  // namespace

SentIndex::SentIndex(std::vector<SentClaimFile> files)
    : files_(std::move(files)),
      plain_([this] {
          std::vector<answers::SentFile> plain;
          plain.reserve(files_.size());
          for (const SentClaimFile& f : files_) plain.push_back(f.file);
          return plain;
      }()),
      matcher_(plain_) {}

Result<std::unique_ptr<SentIndex>> Ledger::sentIndex() {
    using R = Result<std::unique_ptr<SentIndex>>;
    Query q(raw(), R"(
SELECT c.id, c.name, c.confirmed_at, c.summary, k.pcn, k.charge_cents, k.isa13, k.gs06, k.st02,
  k.bht03, k.npi, k.tax_id, k.provider_name
FROM claim_files c JOIN claims k ON k.file_id = c.id
WHERE c.confirmed_at IS NOT NULL ORDER BY c.id, k.idx)");
    std::vector<SentClaimFile> files;
    RepeatedText repeated[7];
    while (q.next()) {
        const qint64 id = q.integer(0);
        if (files.empty() || files.back().id != id)
            files.push_back({id, q.text(3), {q.text(1), timeOf(q.text(2)), {}}});
        files.back().file.claims.push_back({q.text(4), q.integer(5), repeated[0].at(q, 6),
                                            repeated[1].at(q, 7), repeated[2].at(q, 8),
                                            repeated[3].at(q, 9), repeated[4].at(q, 10),
                                            repeated[5].at(q, 11), repeated[6].at(q, 12)});
    }
    if (const Status s = q.status(); !s) return R::failure(s.reason());
    return std::make_unique<SentIndex>(std::move(files));
}

// The report's row, kept but not yet matched: recorded first, so that a run stopped before
// its matching leaves it for the next run to match.
Result<qint64> Ledger::keptReport(const ReportRecord& r, const QDateTime& now) {
    Query found(raw(), "SELECT id FROM reports WHERE sha256 = ?1 AND name = ?2 AND matched = 0");
    found.bind(1, r.sha256).bind(2, r.name);
    if (found.next()) return found.integer(0);
    Query q(raw(), R"(
INSERT INTO reports(name, size, sha256, fetched_at, kind, says, matched)
VALUES(?1, ?2, ?3, ?4, ?5, ?6, 0))");
    q.bind(1, r.name).bind(2, r.size).bind(3, r.sha256).bind(4, isoTime(now));
    if (const Status s = q.bind(5, r.kind).bind(6, r.says).run(); !s) return failure<qint64>(s);
    return qint64(sqlite3_last_insert_rowid(raw()));
}

// A report whose events are written but which never counted: its events go.
Status Ledger::dropStaged(qint64 reportId) {
    return Query(raw(), "DELETE FROM answer_events WHERE report_id = ?1").bind(1, reportId).run();
}

bool Ledger::matchedBefore(const QString& sha256) {
    Query seen(raw(), "SELECT 1 FROM reports WHERE sha256 = ?1 AND matched = 1");
    seen.bind(1, sha256);
    return seen.next();
}

Result<ReportMatched> Ledger::recordMatched(const ReportRecord& r, std::optional<qint64> existing,
                                            const answers::ParsedReport& parsed,
                                            const SentIndex& index, const QDateTime& now) {
    using R = Result<ReportMatched>;
    ReportMatched out;
    if (matchedBefore(r.sha256)) {
        if (existing) (void)giveUpReport(*existing);
        return out;
    }
    const answers::Matched matched = index.matcher().match(parsed, r.name, now);
    auto decided = decide(raw(), matched, index, now);
    if (!decided) return R::failure(decided.reason());
    EventRows rows(matched.events.size());
    for (const MatchedEvent& m : matched.events) rows.add(index.at(m.file).id, m);

    auto id = existing ? Result<qint64>(*existing) : keptReport(r, now);
    if (!id) return R::failure(id.reason());
    // A run stopped while writing them left some: they never counted.
    if (const Status s = dropStaged(*id); !s) return R::failure(s.reason());
    // Written a slice at a time, so that the window, a console run and the timer are never
    // kept waiting long by a big report; none of it counts until the report is matched below.
    constexpr size_t kSlice = 5000;
    for (size_t begin = 0; begin < rows.size(); begin += kSlice) {
        const size_t end = std::min(rows.size(), begin + kSlice);
        if (const Status s =
                inTransaction(raw(), [&] { return rows.write(raw(), *id, begin, end); });
            !s) {
            (void)dropStaged(*id);
            return R::failure(s.reason());
        }
    }

    Transaction t(raw());
    if (!t.begun()) return R::failure(t.begun().reason());
    // Another program matched the same content meanwhile: this copy never counts.
    if (matchedBefore(r.sha256)) {
        if (const Status s = giveUpReport(*id); !s) return R::failure(s.reason());
        if (const Status s = t.commit(); !s) return R::failure(s.reason());
        return out;
    }
    // Another program matched answers between the reading and now: decided again under the
    // lock.
    const auto version = dataVersion(raw());
    if (!version) return R::failure(version.reason());
    if (*version != decided->version) decided = decide(raw(), matched, index, now);
    if (!decided) return R::failure(decided.reason());
    if (const Status s = tellMatched(raw(), *id, index, *decided); !s)
        return R::failure(s.reason());
    if (const Status s = t.commit(); !s) return R::failure(s.reason());
    out.counted = true;
    out.unplaced = matched.unplaced;
    for (const FileDecision& f : decided->files)
        if (f.changed) out.changes.push_back(f.change);
    return out;
}

Result<std::vector<UnmatchedReport>> Ledger::unmatchedReports() {
    Query q(raw(), "SELECT id, name FROM reports WHERE matched = 0 ORDER BY id");
    std::vector<UnmatchedReport> out;
    while (q.next()) out.push_back({q.integer(0), q.text(1)});
    if (const Status s = q.status(); !s) return failure<std::vector<UnmatchedReport>>(s);
    return out;
}

Status Ledger::giveUpReport(qint64 id) {
    return inTransaction(raw(), [&] {
        if (const Status s = dropStaged(id); !s) return s;
        return Query(raw(), "UPDATE reports SET matched = -1 WHERE id = ?1").bind(1, id).run();
    });
}

Result<std::vector<ClaimRecord>> Ledger::claimsUnread() {
    Query q(raw(), "SELECT name FROM claim_files WHERE claims_read = 0 AND x12 = 1");
    QSet<QString> unread;
    while (q.next()) unread.insert(q.text(0));
    if (const Status s = q.status(); !s) return failure<std::vector<ClaimRecord>>(s);
    auto list = history();
    if (!list) return list;
    std::erase_if(list.value(), [&](const ClaimRecord& c) { return !unread.contains(c.name); });
    return list;
}

Status Ledger::setClaims(const QString& name, const std::vector<SentClaim>& claims,
                         const QString& interchangeTime, const QDateTime& now) {
    return inTransaction(raw(), [&]() -> Status {
        Query file(raw(), "SELECT id, confirmed_at FROM claim_files WHERE name = ?1");
        file.bind(1, name);
        if (!file.next()) return file.status();
        const qint64 id = file.integer(0);
        const QDateTime sentAt = timeOf(file.text(1));
        Status s = Query(raw(), "DELETE FROM claims WHERE file_id = ?1").bind(1, id).run();
        Query insert(raw(), R"(
INSERT INTO claims(file_id, idx, pcn, charge_cents, isa13, gs06, st02, bht03, npi, tax_id,
  provider_name) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11))");
        for (size_t i = 0; s && i < claims.size(); ++i) {
            const SentClaim& c = claims[i];
            insert.reset().bind(1, id).bind(2, qint64(i)).bind(3, c.patientControlNumber);
            insert.bind(4, c.chargeCents).bind(5, c.interchange).bind(6, c.group).bind(7, c.set);
            insert.bind(8, c.batch).bind(9, c.providerNpi).bind(10, c.providerTaxId);
            s = insert.bind(11, c.providerName).run();
        }
        // A file sent before: its line as it stands, without telling it again.
        QString summary;
        if (now.isValid() && sentAt.isValid() && !claims.empty()) {
            std::vector<FileClaim> waiting;
            for (const SentClaim& c : claims)
                waiting.push_back({c.patientControlNumber, c.chargeCents,
                                   answers::decide(std::span<const AnswerEvent>(), sentAt, now)});
            summary = answers::fileLine(name, sentAt.toLocalTime().date(), waiting);
        }
        if (s)
            s = Query(raw(), R"(
UPDATE claim_files SET claims_read = 1, interchange_time = ?2,
  summary = CASE WHEN answer_level > 0 OR ?3 = '' THEN summary ELSE ?3 END WHERE id = ?1)")
                    .bind(1, id)
                    .bind(2, interchangeTime)
                    .bind(3, summary)
                    .run();
        return s;
    });
}

Status Ledger::noteChange(const QString& name, const QString& line, bool attention, int unseen) {
    return Query(raw(), R"(
UPDATE claim_files SET summary = ?2, attention = ?3, unseen = MAX(unseen, ?4) WHERE name = ?1)")
        .bind(1, name)
        .bind(2, line)
        .bind(3, qint64(attention))
        .bind(4, qint64(unseen))
        .run();
}

Result<std::vector<ClaimRecord>> Ledger::unseen() {
    auto all = history();
    if (!all) return all;
    std::erase_if(all.value(), [](const ClaimRecord& c) { return c.unseen == 0; });
    std::reverse(all.value().begin(), all.value().end());
    return all;
}

Status Ledger::markSeen(const QStringList& names) {
    Query q(raw(), "UPDATE claim_files SET unseen = 0 WHERE name = ?1");
    for (const QString& name : names)
        if (const Status s = q.reset().bind(1, name).run(); !s) return s;
    return {};
}

Result<std::vector<FileClaim>> Ledger::fileClaims(const QString& name, const QDateTime& now) {
    using R = Result<std::vector<FileClaim>>;
    Query q(raw(), R"(
SELECT c.id, c.confirmed_at, k.pcn, k.charge_cents, k.isa13, k.gs06, k.st02, k.bht03, k.npi,
  k.tax_id, k.provider_name
FROM claim_files c JOIN claims k ON k.file_id = c.id WHERE c.name = ?1 ORDER BY k.idx)");
    q.bind(1, name);
    answers::SentFile file{name, {}, {}};
    qint64 id = 0;
    while (q.next()) {
        id = q.integer(0);
        file.sentAt = timeOf(q.text(1));
        file.claims.push_back({q.text(2), q.integer(3), q.text(4), q.text(5), q.text(6), q.text(7),
                               q.text(8), q.text(9), q.text(10)});
    }
    if (const Status s = q.status(); !s) return R::failure(s.reason());
    if (file.claims.empty()) return std::vector<FileClaim>();
    const auto events = eventsOf(raw(), id, 0);
    if (!events) return R::failure(events.reason());
    // A file not yet confirmed is waiting, whatever the time.
    const QDateTime at = file.sentAt.isValid() ? now : QDateTime();
    return withVerdicts(file, answers::decideFile(file, *events, at));
}

}  // namespace zv
