#pragma once
// `zuduvor check FILE... [--json]`: the check a send makes before numbering, without a
// work root, a setup or a server, for IT people and billing-software vendors.
#include <QDate>
#include <QStringList>
#include <QTextStream>

namespace zv {

// The findings of each file to `out` (as text, or one JSON array), unreadable files to
// `err`. Returns 1 when a file would be rejected or could not be read, else 0.
int checkFilesAndPrint(const QStringList& files, bool json, const QDate& today, QTextStream& out,
                       QTextStream& err);

}  // namespace zv
