#pragma once
// A claim's state from every answer it got, and what a person is told of a file's claims.
// Pure: no database, no clock of its own (the time is passed in). The same answers in any
// order give the same state.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <span>
#include <vector>

#include "answers/answer_events.h"

namespace zv::answers {

// Precedence, first that holds: an 835 payment not reversed (Paid); else an 835 denial
// not reversed (Denied); else an 835 reversal (Reversed: the payment was taken back);
// else any rejection at any level but a service line's (Rejected); else any acceptance
// (Accepted); else Unanswered when no answer at all came two days after the send; else
// Sent.
enum class State { Sent, Unanswered, Accepted, Rejected, Paid, Denied, Reversed };

// One payment or denial a claim's state rests on.
struct Payment {
    QString checkNumber;
    QDate date;
    QString report;
    qint64 differenceCents = 0;  // of the whole 835: nonzero when it does not add up
    bool operator==(const Payment&) const = default;
};

struct ClaimVerdict {
    State state = State::Sent;
    // The answer that decides it (for Rejected ZOD's over a payer's, the earliest stage
    // (TA1, 999, 277CA) and in it the innermost level; for Accepted a payer's over ZOD's,
    // the innermost level): who, what code, why, which report.
    QString by;
    QString code;
    QString reason;
    QString report;
    Level level = Level::Claim;
    qint64 paidCents = 0, patientCents = 0;  // Paid: the sum of the payments that stand
    std::vector<Payment> payments;           // Paid, Denied
    bool operator==(const ClaimVerdict&) const = default;
};

ClaimVerdict decide(std::span<const AnswerEvent* const> events, const QDateTime& sentAt,
                    const QDateTime& now);
ClaimVerdict decide(std::span<const AnswerEvent> events, const QDateTime& sentAt,
                    const QDateTime& now);
// Every claim of `file` from the events of that file (as Matcher gives them).
std::vector<ClaimVerdict> decideFile(const SentFile& file, std::span<const MatchedEvent> events,
                                     const QDateTime& now);

// "accepted", "REJECTED", "paid", ... as the claim view shows it.
QString stateText(State state);

struct FileClaim {
    QString patientControlNumber;
    qint64 chargeCents = 0;
    ClaimVerdict verdict;
};

// The file's one status line, from all its claims:
//   "K90042.83P: accepted by ZOD"
//   "K90042.83P: 11 claims accepted, 1 REJECTED by ZOD (patient control number 1234-A:
//    A7 invalid information) - see report R1234.277"
//   "K90042.83P: paid 1,234.56 of 1,500.00 (check 123456, 12-20-2026); 1 claim denied
//    (1234-A)"
//   "K90042.83P sent 12-01-2026: no answer from ZOD yet. Call ZOD."
QString fileLine(const QString& fileName, const QDate& sentOn, std::span<const FileClaim> claims);

// The desktop notice for claims that became rejected, denied or unanswered while nobody
// was watching ("ZOD rejected 1 claim of K90042.83P - open the program to see which";
// "ZOD has not answered K90042.83P for two days - call ZOD"); empty when none of
// `changed` is one of those.
QString noticeText(const QString& fileName, std::span<const FileClaim> changed);

}  // namespace zv::answers
