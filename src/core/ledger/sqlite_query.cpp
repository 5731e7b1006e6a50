#include "ledger/sqlite_query.h"

namespace zv::sqlite {

bool damaged(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

QString failureText(sqlite3* db, int rc) {
    if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED)
        return QStringLiteral("another ZUDUVOR program held the history file too long");
    if ((rc & 0xff) == SQLITE_FULL) return QStringLiteral("the disk is full");
    if ((rc & 0xff) == SQLITE_READONLY || (rc & 0xff) == SQLITE_CANTOPEN ||
        (rc & 0xff) == SQLITE_PERM)
        return QStringLiteral("the history file cannot be written (") +
               QString::fromUtf8(sqlite3_errstr(rc)) + QLatin1Char(')');
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

Status execOn(sqlite3* db, const char* sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc == SQLITE_OK) return {};
    return fail(failureText(db, rc));
}

Status inTransaction(sqlite3* db, const std::function<Status()>& work) {
    Transaction t(db);
    if (!t.begun()) return t.begun();
    if (Status s = work(); !s) return s;
    return t.commit();
}

}  // namespace zv::sqlite
