#pragma once
// SQLite as the ledger uses it: handles that close themselves, one prepared statement,
// one write as a whole, and every failure said in words.
#include <sqlite3.h>

#include <QString>
#include <functional>
#include <memory>

#include "base/result.h"

namespace zv::sqlite {

struct DbClose {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StmtFinalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using DbPtr = std::unique_ptr<sqlite3, DbClose>;
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtFinalize>;

// The code says the file is damaged or is no database at all.
bool damaged(int rc);
QString failureText(sqlite3* db, int rc);

// One prepared statement: bound, stepped, read, finalized when it goes.
class Query {
public:
    Query(sqlite3* db, const char* sql) : db_(db) {
        sqlite3_stmt* raw = nullptr;
        rc_ = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
        stmt_.reset(raw);
    }
    Query& bind(int i, const QString& v) {
        if (rc_ == SQLITE_OK) {
            const QByteArray utf8 = v.toUtf8();
            rc_ = sqlite3_bind_text(stmt_.get(), i, utf8.constData(), int(utf8.size()),
                                    SQLITE_TRANSIENT);
        }
        return *this;
    }
    // `v` must outlive the statement's next run.
    Query& bindStatic(int i, const QByteArray& v) {
        if (rc_ == SQLITE_OK)
            rc_ = sqlite3_bind_text(stmt_.get(), i, v.constData(), int(v.size()), SQLITE_STATIC);
        return *this;
    }
    Query& bind(int i, qint64 v) {
        if (rc_ == SQLITE_OK) rc_ = sqlite3_bind_int64(stmt_.get(), i, v);
        return *this;
    }
    Query& bindNull(int i) {
        if (rc_ == SQLITE_OK) rc_ = sqlite3_bind_null(stmt_.get(), i);
        return *this;
    }
    // True for a row; false at the end or on a failure (then failed() holds).
    bool next() {
        if (rc_ != SQLITE_OK && rc_ != SQLITE_ROW) return false;
        const int rc = sqlite3_step(stmt_.get());
        rc_ = rc == SQLITE_ROW ? SQLITE_ROW : rc == SQLITE_DONE ? SQLITE_DONE : rc;
        return rc == SQLITE_ROW;
    }
    Status run() {
        next();
        return status();
    }
    // Ready to be bound and run again (one statement for many rows).
    Query& reset() {
        sqlite3_reset(stmt_.get());
        sqlite3_clear_bindings(stmt_.get());
        if (rc_ == SQLITE_ROW || rc_ == SQLITE_DONE) rc_ = SQLITE_OK;
        return *this;
    }
    Status status() const {
        if (rc_ == SQLITE_OK || rc_ == SQLITE_ROW || rc_ == SQLITE_DONE) return {};
        return fail(failureText(db_, rc_));
    }
    int code() const { return rc_; }
    QString text(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), col));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(stmt_.get(), col)) : QString();
    }
    QByteArrayView bytes(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), col));
        return p ? QByteArrayView(p, sqlite3_column_bytes(stmt_.get(), col)) : QByteArrayView();
    }
    qint64 integer(int col) const { return sqlite3_column_int64(stmt_.get(), col); }
    bool isNull(int col) const { return sqlite3_column_type(stmt_.get(), col) == SQLITE_NULL; }

private:
    sqlite3* db_;
    StmtPtr stmt_;
    int rc_ = SQLITE_OK;
};

Status execOn(sqlite3* db, const char* sql);

// One write as a whole: rolled back unless committed. Inside a batch (a transaction
// already open) it is part of that batch and commits nothing itself.
class Transaction {
public:
    explicit Transaction(sqlite3* db)
        : db_(db),
          nested_(!sqlite3_get_autocommit(db)),
          begun_(nested_ ? Status() : execOn(db, "BEGIN IMMEDIATE")) {}
    ~Transaction() {
        if (begun_ && !done_ && !nested_) (void)execOn(db_, "ROLLBACK");
    }
    const Status& begun() const { return begun_; }
    Status commit() {
        done_ = true;
        return nested_ ? Status() : execOn(db_, "COMMIT");
    }

private:
    sqlite3* db_;
    bool nested_;
    Status begun_;
    bool done_ = false;
};

// Runs `work` as one transaction: committed when it succeeds, rolled back otherwise.
Status inTransaction(sqlite3* db, const std::function<Status()>& work);

}  // namespace zv::sqlite
