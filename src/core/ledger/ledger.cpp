#include "ledger/ledger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <functional>

#include "ledger/ledger_schema.h"
#include "ledger/sqlite_query.h"

namespace zv {

using sqlite::DbPtr;
using sqlite::execOn;
using sqlite::inTransaction;
using sqlite::Query;
using sqlite::Transaction;

namespace {

const char* const kStateWords[] = {"numbered",        "uploading", "sent",
                                   "failed",          "accepted",  "accepted with errors",
                                   "partly accepted", "rejected"};

ClaimState stateFromText(const QString& text) {
    for (int i = 0; i < 8; ++i)
        if (text == QLatin1String(kStateWords[i])) return ClaimState(i);
    return ClaimState::Numbered;
}

QString now() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs); }
QString stamp(const QDateTime& at) {
    return at.isValid() ? at.toUTC().toString(Qt::ISODateWithMs) : now();
}
QDateTime timeOf(const QString& text) {
    return text.isEmpty() ? QDateTime() : QDateTime::fromString(text, Qt::ISODateWithMs);
}
QString joined(const QStringList& list) { return list.join(QLatin1Char('\n')); }
QStringList split(const QString& text) {
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// The columns ClaimRecord is read from, in readClaim's order.
#define ZV_CLAIM_COLUMNS                                                                       \
    "c.name, c.number, c.size, c.sha256, c.sources, c.x12, c.sender, c.interchange, c.usage, " \
    "c.groups, c.transactions, c.claim_count, c.patient_numbers, c.total_cents, "              \
    "c.numbered_at, c.upload_started_at, c.confirmed_at, c.server, c.state, c.reason, "        \
    "c.answered_by, (SELECT COUNT(*) FROM send_attempts a WHERE a.claim_id = c.id), "          \
    "(SELECT a.confirmed_at IS NOT NULL FROM send_attempts a WHERE a.claim_id = c.id "         \
    "ORDER BY a.id DESC LIMIT 1), c.interchange_time, c.summary, c.attention, c.unseen, "      \
    "(SELECT COUNT(*) FROM told_events e WHERE e.file_id = c.id), c.answer_level"

ClaimRecord readClaim(const Query& q) {
    ClaimRecord r;
    r.name = q.text(0);
    r.number = int(q.integer(1));
    r.size = q.integer(2);
    r.sha256 = q.text(3);
    r.sources = split(q.text(4));
    if (q.integer(5)) {
        x12::ClaimFileFacts f;
        f.sender = q.text(6);
        f.interchangeNumber = q.text(7);
        f.usage = q.text(8);
        f.groupNumbers = split(q.text(9));
        f.transactionNumbers = split(q.text(10));
        f.claimCount = int(q.integer(11));
        f.patientControlNumbers = split(q.text(12));
        f.totalChargeCents = q.integer(13);
        f.interchangeTime = q.text(23);
        r.facts = f;
    }
    r.numberedAt = timeOf(q.text(14));
    r.uploadStartedAt = timeOf(q.text(15));
    r.confirmedAt = timeOf(q.text(16));
    r.server = q.text(17);
    r.state = stateFromText(q.text(18));
    r.reason = q.text(19);
    r.answeredBy = q.text(20);
    r.attempts = int(q.integer(21));
    r.lastAttemptConfirmed = q.integer(22) != 0;
    r.summary = q.text(24);
    r.attention = q.integer(25) != 0;
    r.unseen = int(q.integer(26));
    r.answerEvents = int(q.integer(27));
    r.answeredAsWhole = q.integer(28) > 0;
    return r;
}

Result<std::vector<ClaimRecord>> readClaims(Query& q) {
    std::vector<ClaimRecord> out;
    while (q.next()) out.push_back(readClaim(q));
    if (const Status s = q.status(); !s)
        return Result<std::vector<ClaimRecord>>::failure(s.reason());
    return out;
}

}  // namespace

QString stateText(ClaimState state) { return QString::fromLatin1(kStateWords[int(state)]); }

bool uploadConfirmed(ClaimState state) {
    return state != ClaimState::Numbered && state != ClaimState::Uploading &&
           state != ClaimState::Failed;
}

struct Ledger::Handle {
    DbPtr db;
};

Ledger::Ledger(std::unique_ptr<Handle> db) : db_(std::move(db)) {}
Ledger::~Ledger() = default;

Result<Ledger::Opened> Ledger::open(const QString& path) {
    sqlite::OpenAttempt first = sqlite::openLedgerFile(path);
    QString aside;
    if (!first.db && first.damaged) {
        first.db.reset();
        // Kept, not deleted: it may still be read by someone who knows how.
        aside = QFileInfo(path).fileName() + QStringLiteral(".damaged-") +
                QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const QString asidePath = QFileInfo(path).dir().filePath(aside);
        if (!QFile::rename(path, asidePath))
            return Result<Opened>::failure(
                QStringLiteral("the history file is damaged and could "
                               "not be set aside"));
        for (const char* extra : {"-wal", "-shm"})
            if (QFile::exists(path + QLatin1String(extra)))
                (void)QFile::rename(path + QLatin1String(extra), asidePath + QLatin1String(extra));
        first = sqlite::openLedgerFile(path);
    }
    if (!first.db) return Result<Opened>::failure(first.reason);
    Opened opened;
    opened.ledger.reset(new Ledger(std::make_unique<Handle>(Handle{std::move(first.db)})));
    opened.setAsideAs = aside;
    return opened;
}

Status Ledger::exec(const char* sql) { return execOn(db_->db.get(), sql); }
sqlite3* Ledger::raw() const { return db_->db.get(); }

Status Ledger::beginBatch() { return exec("BEGIN IMMEDIATE"); }
Status Ledger::commitBatch() { return exec("COMMIT"); }
void Ledger::dropBatch() {
    if (!sqlite3_get_autocommit(db_->db.get())) (void)exec("ROLLBACK");
}

Status Ledger::numbered(const NewClaim& c, const QDateTime& at) {
    return inTransaction(raw(), [&] {
        const Status s = numberedFile(c, stamp(at));
        return s ? setClaims(c.name, c.claims, c.facts ? c.facts->interchangeTime : QString(),
                             QDateTime())
                 : s;
    });
}

Status Ledger::numberedFile(const NewClaim& c, const QString& at) {
    // A name is given again only when its first claim never got past its copies (the
    // practice file could not be removed): that row is replaced.
    Query q(db_->db.get(), R"(
INSERT INTO claim_files(name, number, size, sha256, sources, x12, sender, interchange, usage,
  groups, transactions, claim_count, patient_numbers, total_cents, numbered_at, state)
VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, 'numbered')
ON CONFLICT(name) DO UPDATE SET number = ?2, size = ?3, sha256 = ?4, sources = ?5, x12 = ?6,
  sender = ?7, interchange = ?8, usage = ?9, groups = ?10, transactions = ?11,
  claim_count = ?12, patient_numbers = ?13, total_cents = ?14, numbered_at = ?15,
  upload_started_at = NULL, confirmed_at = NULL, state = 'numbered', reason = '',
  answered_by = '', answer_level = 0, overdue_told_at = NULL)");
    const x12::ClaimFileFacts f = c.facts.value_or(x12::ClaimFileFacts{});
    q.bind(1, c.name).bind(2, qint64(c.number)).bind(3, c.size).bind(4, c.sha256);
    q.bind(5, joined(c.sources)).bind(6, qint64(c.facts ? 1 : 0)).bind(7, f.sender);
    q.bind(8, f.interchangeNumber).bind(9, f.usage).bind(10, joined(f.groupNumbers));
    q.bind(11, joined(f.transactionNumbers)).bind(12, qint64(f.claimCount));
    q.bind(13, joined(f.patientControlNumbers)).bind(14, f.totalChargeCents).bind(15, at);
    return q.run();
}

Status Ledger::uploadStarted(const QString& name, const QString& server, bool resend, qint64 size,
                             const QString& sha256, const QDateTime& when) {
    sqlite3* db = db_->db.get();
    return inTransaction(db, [&] {
        const QString at = stamp(when);
        Status s = Query(db, R"(
INSERT INTO claim_files(name, size, sha256, state) VALUES(?1, ?2, ?3, 'uploading')
ON CONFLICT(name) DO NOTHING)")
                       .bind(1, name)
                       .bind(2, size)
                       .bind(3, sha256)
                       .run();
        if (s)
            s = Query(db, R"(
UPDATE claim_files SET state = CASE WHEN confirmed_at IS NULL THEN 'uploading' ELSE state END,
  upload_started_at = COALESCE(upload_started_at, ?2), server = ?3, reason = ''
WHERE name = ?1)")
                    .bind(1, name)
                    .bind(2, at)
                    .bind(3, server)
                    .run();
        if (s)
            s = Query(db, R"(
INSERT INTO send_attempts(claim_id, resend, server, started_at)
SELECT id, ?2, ?3, ?4 FROM claim_files WHERE name = ?1)")
                    .bind(1, name)
                    .bind(2, qint64(resend))
                    .bind(3, server)
                    .bind(4, at)
                    .run();
        return s;
    });
}

Status Ledger::confirmed(const QString& name, const QDateTime& when) {
    sqlite3* db = db_->db.get();
    return inTransaction(db, [&] {
        const QString at = stamp(when);
        // An answer that came already (a resend of an answered file) keeps its state.
        Status s = Query(db, R"(
UPDATE claim_files SET confirmed_at = ?2, reason = '',
  state = CASE WHEN answer_level > 0 THEN state ELSE 'sent' END
WHERE name = ?1)")
                       .bind(1, name)
                       .bind(2, at)
                       .run();
        if (s)
            s = Query(db, R"(
UPDATE send_attempts SET confirmed_at = ?2 WHERE id = (SELECT MAX(a.id) FROM send_attempts a
  JOIN claim_files c ON c.id = a.claim_id WHERE c.name = ?1))")
                    .bind(1, name)
                    .bind(2, at)
                    .run();
        return s;
    });
}

Status Ledger::failed(const QString& name, const QString& reason, const QDateTime& when) {
    sqlite3* db = db_->db.get();
    return inTransaction(db, [&] {
        const QString at = stamp(when);
        // A resend that fails leaves a file the server confirmed earlier as it was.
        Status s = Query(db, R"(
UPDATE claim_files SET reason = ?2,
  state = CASE WHEN confirmed_at IS NULL THEN 'failed' ELSE state END
WHERE name = ?1)")
                       .bind(1, name)
                       .bind(2, reason)
                       .run();
        if (s)
            s = Query(db, R"(
UPDATE send_attempts SET failed_at = ?2, reason = ?3 WHERE id = (SELECT MAX(a.id)
  FROM send_attempts a JOIN claim_files c ON c.id = a.claim_id WHERE c.name = ?1))")
                    .bind(1, name)
                    .bind(2, at)
                    .bind(3, reason)
                    .run();
        return s;
    });
}

Status Ledger::forget(const QString& name) {
    return Query(db_->db.get(),
                 "DELETE FROM claim_files WHERE name = ?1 AND state = 'numbered' AND NOT EXISTS "
                 "(SELECT 1 FROM send_attempts a WHERE a.claim_id = claim_files.id)")
        .bind(1, name)
        .run();
}

Result<std::optional<ClaimRecord>> Ledger::claim(const QString& name) {
    Query q(db_->db.get(), "SELECT " ZV_CLAIM_COLUMNS " FROM claim_files c WHERE c.name = ?1");
    q.bind(1, name);
    if (q.next()) return std::optional<ClaimRecord>(readClaim(q));
    if (const Status s = q.status(); !s)
        return Result<std::optional<ClaimRecord>>::failure(s.reason());
    return std::optional<ClaimRecord>();
}

Result<std::vector<ClaimRecord>> Ledger::history(const QDateTime& now) {
    Query q(db_->db.get(), "SELECT " ZV_CLAIM_COLUMNS
                           " FROM claim_files c ORDER BY COALESCE(c.numbered_at, "
                           "c.upload_started_at) DESC, c.id DESC");
    auto claims = readClaims(q);
    // A file nothing has answered for two days needs a person, told or not.
    if (claims)
        for (ClaimRecord& c : claims.value())
            if (c.confirmedAt.isValid() && c.answerEvents == 0 && !c.answeredAsWhole &&
                c.confirmedAt.addDays(2) < now)
                c.attention = true;
    return claims;
}

Result<std::optional<ClaimRecord>> Ledger::priorSend(const QString& sha256,
                                                     const x12::ClaimFileFacts& f) {
    // A file recorded before its date and time were kept is the same interchange only by
    // its content.
    Query q(db_->db.get(), "SELECT " ZV_CLAIM_COLUMNS R"( FROM claim_files c
WHERE c.confirmed_at IS NOT NULL AND (c.sha256 = ?1 OR (?3 <> '' AND ?4 <> '' AND c.x12 = 1
  AND c.sender = ?2 AND c.interchange = ?3 AND c.interchange_time = ?4))
ORDER BY c.confirmed_at DESC LIMIT 1)");
    q.bind(1, sha256).bind(2, f.sender).bind(3, f.interchangeNumber).bind(4, f.interchangeTime);
    if (q.next()) return std::optional<ClaimRecord>(readClaim(q));
    if (const Status s = q.status(); !s)
        return Result<std::optional<ClaimRecord>>::failure(s.reason());
    return std::optional<ClaimRecord>();
}

Result<std::vector<ClaimRecord>> Ledger::takeOverdue(const QDateTime& before) {
    using R = Result<std::vector<ClaimRecord>>;
    sqlite3* db = db_->db.get();
    Transaction t(db);
    if (!t.begun()) return R::failure(t.begun().reason());
    const QString cut = before.toUTC().toString(Qt::ISODateWithMs);
    Query q(db, "SELECT " ZV_CLAIM_COLUMNS R"( FROM claim_files c
WHERE c.state = 'sent' AND c.answer_level = 0 AND c.overdue_told_at IS NULL
  AND c.confirmed_at < ?1 AND NOT EXISTS (SELECT 1 FROM told_events e WHERE e.file_id = c.id)
ORDER BY c.confirmed_at)");
    q.bind(1, cut);
    R found = readClaims(q);
    if (!found) return found;
    if (const Status s = Query(db, R"(
UPDATE claim_files SET overdue_told_at = ?2 WHERE state = 'sent' AND answer_level = 0
  AND overdue_told_at IS NULL AND confirmed_at < ?1
  AND NOT EXISTS (SELECT 1 FROM told_events e WHERE e.file_id = claim_files.id))")
                             .bind(1, cut)
                             .bind(2, now())
                             .run();
        !s)
        return R::failure(s.reason());
    if (const Status s = t.commit(); !s) return R::failure(s.reason());
    return found;
}

Result<std::optional<qint64>> Ledger::report(const ReportRecord& r) {
    using R = Result<std::optional<qint64>>;
    sqlite3* db = db_->db.get();
    Query seen(db, "SELECT 1 FROM reports WHERE name = ?1 AND sha256 = ?2");
    seen.bind(1, r.name).bind(2, r.sha256);
    if (seen.next()) return std::optional<qint64>();
    if (const Status s = seen.status(); !s) return R::failure(s.reason());
    Query q(db, R"(
INSERT INTO reports(name, size, sha256, fetched_at, kind, says) VALUES(?1, ?2, ?3, ?4, ?5, ?6))");
    q.bind(1, r.name).bind(2, r.size).bind(3, r.sha256).bind(4, now()).bind(5, r.kind);
    if (const Status s = q.bind(6, r.says).run(); !s) return R::failure(s.reason());
    return std::optional<qint64>(sqlite3_last_insert_rowid(db));
}

Result<std::vector<ClaimRecord>> Ledger::confirmedClaims() {
    Query q(db_->db.get(), "SELECT " ZV_CLAIM_COLUMNS
                           " FROM claim_files c WHERE c.confirmed_at IS NOT NULL "
                           "ORDER BY c.confirmed_at DESC");
    return readClaims(q);
}

}  // namespace zv
