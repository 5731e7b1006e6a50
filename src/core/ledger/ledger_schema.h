#pragma once
// The ledger file opened: checked, written ahead, and brought to the schema of this
// program by its steps.
#include <QString>

#include "ledger/sqlite_query.h"

namespace zv::sqlite {

// An open ledger file, or why there is none (`damaged`: the file itself is at fault).
struct OpenAttempt {
    DbPtr db;
    QString reason;
    bool damaged = false;
};

OpenAttempt openLedgerFile(const QString& path);

}  // namespace zv::sqlite
