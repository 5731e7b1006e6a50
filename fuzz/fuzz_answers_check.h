#pragma once
// The property the answers fuzz target checks, shared with the test that replays its kept
// corpus in the normal build: a report of any bytes is read or refused with words; its
// payments add up as it says; its answers placed on a few sent files give each claim the
// same state in either order; every line and notice can be made of them.
#include <QByteArray>
#include <QString>
#include <algorithm>
#include <vector>

#include "answers/claim_state.h"

namespace zv::fuzz {

// Two files whose numbers a made-up report easily names: interchange 1, group 1, set 1,
// batch B1, claims A and B (the second file also A, with another charge).
inline const std::vector<answers::SentFile>& fuzzFiles() {
    static const std::vector<answers::SentFile> files = [] {
        const QDateTime sent(QDate(2026, 12, 1), QTime(9, 0), Qt::UTC);
        answers::SentClaim a{"A", 10000, "1", "1", "1", "B1", "1234567893", "111223333", "DR"};
        answers::SentClaim b = a;
        b.patientControlNumber = "B";
        answers::SentClaim other = a;
        other.chargeCents = 2500;
        other.set = "2";
        return std::vector<answers::SentFile>{{"K1.83P", sent, {a, b}},
                                              {"K2.83P", sent.addDays(1), {other}}};
    }();
    return files;
}

inline QString checkAnswers(const QByteArray& data) {
    using namespace answers;
    (void)readSentClaims(data);
    const Result<ParsedReport> report = readAnswers(data);
    if (!report) return report.reason().isEmpty() ? QStringLiteral("failed silently") : QString();
    for (const Remittance& r : report->remittances) {
        qint64 paid = 0, kept = 0;
        for (const ClaimPayment& c : r.claims) paid += c.paidCents;
        for (const ProviderAdjustment& a : r.adjustments) kept += a.cents;
        if (paid != r.claimsPaidCents || kept != r.adjustmentsCents ||
            r.differenceCents != r.totalCents - (paid - kept))
            return QStringLiteral("a payment's sums are wrong");
    }
    if (reportSays(*report).isEmpty()) return QStringLiteral("the report says nothing");
    const std::vector<SentFile>& files = fuzzFiles();
    const QDateTime when(QDate(2026, 12, 5), QTime(8, 0), Qt::UTC);
    const Matched matched = Matcher(files).match(*report, QStringLiteral("R1.277"), when);
    for (int f = 0; f < int(files.size()); ++f) {
        std::vector<MatchedEvent> mine;
        for (const MatchedEvent& m : matched.events)
            if (m.file == f) mine.push_back(m);
        const std::vector<ClaimVerdict> forward = decideFile(files[f], mine, when);
        std::reverse(mine.begin(), mine.end());
        if (decideFile(files[f], mine, when) != forward)
            return QStringLiteral("the order of the answers changed a state");
        std::vector<FileClaim> claims;
        for (size_t i = 0; i < forward.size(); ++i)
            claims.push_back({files[f].claims[i].patientControlNumber,
                              files[f].claims[i].chargeCents, forward[i]});
        if (fileLine(files[f].name, files[f].sentAt.date(), claims).isEmpty())
            return QStringLiteral("no status line");
        (void)noticeText(files[f].name, claims);
    }
    return {};
}

}  // namespace zv::fuzz
