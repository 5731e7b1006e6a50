#include "ledger/ledger_schema.h"

#include <QByteArray>
#include <QFile>
#include <iterator>

namespace zv::sqlite {

namespace {

// Schema steps: step i brings a ledger of version i to version i + 1. A new version
// adds a step at the end; the ones before never change.
Status toVersion1(sqlite3* db) {
    return execOn(db, R"(
CREATE TABLE claim_files(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  number INTEGER NOT NULL DEFAULT 0,
  size INTEGER NOT NULL,
  sha256 TEXT NOT NULL,
  sources TEXT NOT NULL DEFAULT '',
  x12 INTEGER NOT NULL DEFAULT 0,
  sender TEXT NOT NULL DEFAULT '',
  interchange TEXT NOT NULL DEFAULT '',
  usage TEXT NOT NULL DEFAULT '',
  groups TEXT NOT NULL DEFAULT '',
  transactions TEXT NOT NULL DEFAULT '',
  claim_count INTEGER NOT NULL DEFAULT 0,
  patient_numbers TEXT NOT NULL DEFAULT '',
  total_cents INTEGER NOT NULL DEFAULT 0,
  numbered_at TEXT,
  upload_started_at TEXT,
  confirmed_at TEXT,
  server TEXT NOT NULL DEFAULT '',
  state TEXT NOT NULL,
  reason TEXT NOT NULL DEFAULT '',
  answered_by TEXT NOT NULL DEFAULT '',
  answer_level INTEGER NOT NULL DEFAULT 0,
  overdue_told_at TEXT);
CREATE INDEX claim_files_sha256 ON claim_files(sha256);
CREATE INDEX claim_files_interchange ON claim_files(sender, interchange);
CREATE TABLE send_attempts(
  id INTEGER PRIMARY KEY,
  claim_id INTEGER NOT NULL REFERENCES claim_files(id),
  resend INTEGER NOT NULL,
  server TEXT NOT NULL,
  started_at TEXT NOT NULL,
  confirmed_at TEXT,
  failed_at TEXT,
  reason TEXT NOT NULL DEFAULT '');
CREATE TABLE reports(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  size INTEGER NOT NULL,
  sha256 TEXT NOT NULL,
  fetched_at TEXT NOT NULL,
  kind TEXT NOT NULL,
  says TEXT NOT NULL DEFAULT '');
CREATE TABLE answers(
  id INTEGER PRIMARY KEY,
  report_id INTEGER NOT NULL REFERENCES reports(id),
  claim_id INTEGER NOT NULL REFERENCES claim_files(id),
  outcome TEXT NOT NULL,
  level INTEGER NOT NULL,
  accepted_claims INTEGER NOT NULL DEFAULT 0,
  rejected_claims INTEGER NOT NULL DEFAULT 0,
  rejected_numbers TEXT NOT NULL DEFAULT '');
)");
}

// Claim by claim: every claim of a sent file and every answer event that touched it. A file
// sent before keeps its file-level answer until its claims are read from its backup
// (claims_read). A report an earlier version recorded without an answer is matched again.
Status toVersion2(sqlite3* db) {
    return execOn(db, R"(
ALTER TABLE claim_files ADD COLUMN interchange_time TEXT NOT NULL DEFAULT '';
ALTER TABLE claim_files ADD COLUMN claims_read INTEGER NOT NULL DEFAULT 0;
ALTER TABLE claim_files ADD COLUMN summary TEXT NOT NULL DEFAULT '';
ALTER TABLE claim_files ADD COLUMN attention INTEGER NOT NULL DEFAULT 0;
ALTER TABLE claim_files ADD COLUMN unseen INTEGER NOT NULL DEFAULT 0;
CREATE TABLE claims(
  file_id INTEGER NOT NULL REFERENCES claim_files(id) ON DELETE CASCADE,
  idx INTEGER NOT NULL,
  pcn TEXT NOT NULL,
  charge_cents INTEGER NOT NULL,
  isa13 TEXT NOT NULL,
  gs06 TEXT NOT NULL,
  st02 TEXT NOT NULL,
  bht03 TEXT NOT NULL,
  npi TEXT NOT NULL,
  tax_id TEXT NOT NULL,
  provider_name TEXT NOT NULL,
  PRIMARY KEY(file_id, idx)) WITHOUT ROWID;
CREATE TABLE answer_events(
  id INTEGER PRIMARY KEY,
  file_id INTEGER NOT NULL REFERENCES claim_files(id) ON DELETE CASCADE,
  report_id INTEGER NOT NULL REFERENCES reports(id),
  level INTEGER NOT NULL,
  claim INTEGER NOT NULL,
  interchange TEXT NOT NULL,
  grp TEXT NOT NULL,
  set_number TEXT NOT NULL,
  batch TEXT NOT NULL,
  provider TEXT NOT NULL,
  report TEXT NOT NULL,
  source TEXT NOT NULL,
  by_zod INTEGER NOT NULL,
  code TEXT NOT NULL,
  verdict INTEGER NOT NULL,
  reason TEXT NOT NULL,
  detail TEXT NOT NULL,
  at TEXT NOT NULL,
  charge_cents INTEGER NOT NULL,
  paid_cents INTEGER NOT NULL,
  patient_cents INTEGER NOT NULL,
  check_number TEXT NOT NULL,
  check_date TEXT NOT NULL,
  payer_claim TEXT NOT NULL,
  difference_cents INTEGER NOT NULL);
CREATE INDEX answer_events_file ON answer_events(file_id);
ALTER TABLE reports ADD COLUMN matched INTEGER NOT NULL DEFAULT 0;
UPDATE reports SET matched = 1 WHERE kind = 'other'
  OR EXISTS (SELECT 1 FROM answers a WHERE a.report_id = reports.id);
CREATE INDEX reports_sha256 ON reports(sha256);
)");
}

// A big report's events are written in short transactions before it counts: they are told
// only once their report is matched, and `told_seq` numbers the matchings so that a program
// sees whether another one matched a report meanwhile.
Status toVersion3(sqlite3* db) {
    return execOn(db, R"(
ALTER TABLE reports ADD COLUMN told_seq INTEGER NOT NULL DEFAULT 0;
CREATE INDEX reports_told ON reports(told_seq);
CREATE VIEW told_events AS
  SELECT e.* FROM answer_events e JOIN reports r ON r.id = e.report_id WHERE r.matched = 1;
)");
}

using SchemaStep = Status (*)(sqlite3*);
const SchemaStep kSchemaSteps[] = {toVersion1, toVersion2, toVersion3};
constexpr int kSchemaVersion = int(std::size(kSchemaSteps));

// The handle is closed as the attempt fails, so that a damaged file can be set aside.
OpenAttempt failed(DbPtr db, int rc) {
    OpenAttempt a;
    a.reason = failureText(db.get(), rc);
    a.damaged = damaged(rc);
    return a;
}

}  // namespace

OpenAttempt openLedgerFile(const QString& path) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    DbPtr db(raw);
    if (rc != SQLITE_OK) return failed(std::move(db), rc);
    sqlite3_extended_result_codes(db.get(), 1);
    // The window, a console run and the hourly report timer may write at once.
    sqlite3_busy_timeout(db.get(), 5000);
    {
        Query wal(db.get(), "PRAGMA journal_mode=WAL");
        if (!wal.next() || wal.text(0) != QLatin1String("wal")) {
            if (wal.code() != SQLITE_ROW) return failed(std::move(db), wal.code());
            return {nullptr, QStringLiteral("the history file cannot be written ahead"), false};
        }
    }
    // A committed record survives a power cut.
    for (const char* pragma : {"PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON"}) {
        Query q(db.get(), pragma);
        if (q.next(), !q.status()) return failed(std::move(db), q.code());
    }
    {
        Query check(db.get(), "PRAGMA quick_check");
        if (!check.next()) return failed(std::move(db), check.code());
        if (check.text(0) != QLatin1String("ok"))
            return {nullptr, QStringLiteral("its check found: ") + check.text(0), true};
    }
    int version = 0;
    {
        Query q(db.get(), "PRAGMA user_version");
        if (!q.next()) return failed(std::move(db), q.code());
        version = int(q.integer(0));
    }
    if (version > kSchemaVersion)
        return {nullptr,
                QStringLiteral("it was written by a newer version of this program; start that "
                               "version, or call ZOD"),
                false};
    for (int v = version; v < kSchemaVersion; ++v) {
        const Status s = inTransaction(db.get(), [&] {
            const Status step = kSchemaSteps[v](db.get());
            if (!step) return step;
            return execOn(
                db.get(),
                QByteArray("PRAGMA user_version=" + QByteArray::number(v + 1)).constData());
        });
        if (!s) return {nullptr, s.reason(), false};
    }
    return {std::move(db), {}, false};
}

}  // namespace zv::sqlite
