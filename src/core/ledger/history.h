#pragma once
// The claim history as the user reads it: one row per claim file, newest first, for the
// console, a CSV file kept as proof of submission, and the history window.
#include <QString>
#include <QStringList>
#include <vector>

#include "ledger/ledger.h"

namespace zv {

struct HistoryRow {
    QString name, sent, size, claims, charges, state, report;
};

// One claim of a sent file as the claim view shows it.
struct ClaimRow {
    QString patientControlNumber, charge, state, by, reason, paid, report;
};

// "12-05-2026 at 10:03:11" (local time) or "not sent"; claims and charges "-" for a file
// that is not X12.
HistoryRow historyRow(const ClaimRecord& claim);
// Column titles, in HistoryRow's order.
QStringList historyTitles();
// One aligned line per claim file.
QStringList historyLines(const std::vector<ClaimRecord>& claims);
// A header and one record per claim file, CRLF line ends, every field quoted as needed.
QString historyCsv(const std::vector<ClaimRecord>& claims);
// "1,234.50"
QString chargesText(qint64 cents);

// The claim view: one row per claim of a file, and its titles.
ClaimRow claimRow(const answers::FileClaim& claim);
QStringList claimTitles();
// Indented lines under a file's history line.
QStringList claimLines(const std::vector<answers::FileClaim>& claims);
// Every claim of every file, one CSV record each, for the practice's records.
struct FileClaims {
    ClaimRecord file;
    std::vector<answers::FileClaim> claims;
};
QString claimsCsv(const std::vector<FileClaims>& files);

}  // namespace zv
