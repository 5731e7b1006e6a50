// What a person is told of a claim file: one status line from all its claims' states, and
// the desktop notice for what went wrong while nobody was watching.
#include <QLocale>
#include <map>

#include "answers/answer_read.h"
#include "answers/claim_state.h"

namespace zv::answers {

namespace {

using detail::listed;
using detail::saturatedSum;

constexpr qsizetype kNumbersShown = 5;  // patient control numbers named per reason
constexpr qsizetype kReasonsShown = 3;  // reasons named per source
constexpr qsizetype kReportsShown = 3;

QString dateText(const QDate& date) { return QLocale::c().toString(date, u"MM-dd-yyyy"); }

QString claims(qsizetype n) {
    return QString::number(n) + (n == 1 ? QStringLiteral(" claim") : QStringLiteral(" claims"));
}

// ZOD first, then the payers by name.
bool sourceBefore(const QString& a, const QString& b) {
    const bool zodA = a == QLatin1String("ZOD"), zodB = b == QLatin1String("ZOD");
    return zodA != zodB ? zodA : a < b;
}

struct BySource {
    bool operator()(const QString& a, const QString& b) const { return sourceBefore(a, b); }
};

// "(patient control number 1234-A: A7 invalid information) - see report R1234.277"
QString rejectionDetail(const std::vector<const FileClaim*>& rejected) {
    std::vector<std::pair<QString, QStringList>> reasons;  // "A7 invalid information", numbers
    QStringList reports;
    for (const FileClaim* c : rejected) {
        const QString reason = c->verdict.code + QLatin1Char(' ') + c->verdict.reason;
        auto it = std::find_if(reasons.begin(), reasons.end(),
                               [&](const auto& r) { return r.first == reason; });
        if (it == reasons.end()) it = reasons.insert(reasons.end(), {reason, {}});
        it->second << c->patientControlNumber;
        if (!reports.contains(c->verdict.report)) reports << c->verdict.report;
    }
    QStringList parts;
    for (const auto& [reason, numbers] : reasons)
        parts << listed(numbers, kNumbersShown, QStringLiteral(", ")) + QStringLiteral(": ") +
                     reason;
    return QStringLiteral("(patient control number") +
           (rejected.size() > 1 ? QStringLiteral("s ") : QStringLiteral(" ")) +
           listed(parts, kReasonsShown, QStringLiteral("; ")) + QStringLiteral(") - see report") +
           (reports.size() > 1 ? QStringLiteral("s ") : QStringLiteral(" ")) +
           listed(reports, kReportsShown, QStringLiteral(", "));
}

QString numbers(const std::vector<const FileClaim*>& of) {
    QStringList list;
    for (const FileClaim* c : of) list << c->patientControlNumber;
    return QStringLiteral("(") + listed(list, kNumbersShown, QStringLiteral(", ")) +
           QLatin1Char(')');
}

// "paid 1,234.56 of 1,500.00 (check 123456, 12-20-2026)"
QString paidPart(std::span<const FileClaim> all, const std::vector<const FileClaim*>& paid) {
    qint64 paidCents = 0, chargeCents = 0;
    std::vector<Payment> payments;
    for (const FileClaim& c : all) chargeCents = saturatedSum(chargeCents, c.chargeCents);
    for (const FileClaim* c : paid) {
        paidCents = saturatedSum(paidCents, c->verdict.paidCents);
        for (const Payment& p : c->verdict.payments)
            if (std::find(payments.begin(), payments.end(), p) == payments.end())
                payments.push_back(p);
    }
    QStringList checks, unbalanced;
    for (const Payment& p : payments) {
        const QString check =
            p.checkNumber +
            (p.date.isValid() ? QStringLiteral(", ") + dateText(p.date) : QString());
        if (!checks.contains(check)) checks << check;
        const QString off = QStringLiteral("; remittance ") + p.report +
                            QStringLiteral(" does not add up (difference ") +
                            moneyText(p.differenceCents) + QLatin1Char(')');
        if (p.differenceCents != 0 && !unbalanced.contains(off)) unbalanced << off;
    }
    return QStringLiteral("paid ") + moneyText(paidCents) + QStringLiteral(" of ") +
           moneyText(chargeCents) + QStringLiteral(" (check") +
           (checks.size() > 1 ? QStringLiteral("s ") : QStringLiteral(" ")) +
           listed(checks, kReportsShown, QStringLiteral("; ")) + QLatin1Char(')') +
           unbalanced.join(QString());
}

struct Sorted {
    std::vector<const FileClaim*> accepted, paid, denied, reversed, waiting, unanswered;
    std::map<QString, std::vector<const FileClaim*>, BySource> rejected;
    QStringList acceptedBy;
};

Sorted sortedByState(std::span<const FileClaim> all) {
    Sorted s;
    for (const FileClaim& c : all) {
        switch (c.verdict.state) {
            case State::Accepted:
                s.accepted.push_back(&c);
                if (!s.acceptedBy.contains(c.verdict.by)) s.acceptedBy << c.verdict.by;
                break;
            case State::Rejected:
                s.rejected[c.verdict.by].push_back(&c);
                break;
            case State::Paid:
                s.paid.push_back(&c);
                break;
            case State::Denied:
                s.denied.push_back(&c);
                break;
            case State::Reversed:
                s.reversed.push_back(&c);
                break;
            case State::Unanswered:
                s.unanswered.push_back(&c);
                break;
            case State::Sent:
                s.waiting.push_back(&c);
                break;
        }
    }
    std::sort(s.acceptedBy.begin(), s.acceptedBy.end(), sourceBefore);
    return s;
}

// "11 claims accepted, 1 REJECTED by ZOD (...)": the first count names its claims.
QString countsPart(const Sorted& s) {
    QStringList parts;
    const auto add = [&](size_t n, const QString& what) {
        if (n == 0) return;
        parts << (parts.isEmpty() ? claims(qsizetype(n)) : QString::number(n)) + QLatin1Char(' ') +
                     what;
    };
    add(s.accepted.size(), QStringLiteral("accepted"));
    for (const auto& [by, rejected] : s.rejected)
        add(rejected.size(),
            QStringLiteral("REJECTED by ") + by + QLatin1Char(' ') + rejectionDetail(rejected));
    add(s.denied.size(), QStringLiteral("denied ") + numbers(s.denied));
    add(s.reversed.size(), QStringLiteral("with the payment taken back ") + numbers(s.reversed));
    add(s.waiting.size(), QStringLiteral("waiting for an answer"));
    add(s.unanswered.size(), QStringLiteral("with no answer for two days"));
    return parts.join(QStringLiteral(", "));
}

}  // namespace

QString fileLine(const QString& fileName, const QDate& sentOn, std::span<const FileClaim> all) {
    const Sorted s = sortedByState(all);
    const QString head = fileName + QStringLiteral(": ");
    const auto only = [&](const std::vector<const FileClaim*>& of) {
        return !all.empty() && of.size() == all.size();
    };
    if (only(s.unanswered))
        return fileName + QStringLiteral(" sent ") + dateText(sentOn) +
               QStringLiteral(": no answer from ZOD yet. Call ZOD.");
    if (all.empty() || only(s.waiting)) return head + QStringLiteral("waiting for ZOD's answer");
    if (only(s.accepted))
        return head + QStringLiteral("accepted by ") + s.acceptedBy.join(QStringLiteral(" and "));
    QStringList parts;
    if (!s.paid.empty()) parts << paidPart(all, s.paid);
    if (const QString counts = countsPart(s); !counts.isEmpty()) parts << counts;
    return head + parts.join(QStringLiteral("; "));
}

QString noticeText(const QString& fileName, std::span<const FileClaim> changed) {
    std::map<QString, qsizetype, BySource> rejected, denied;
    qsizetype unanswered = 0;
    for (const FileClaim& c : changed) {
        if (c.verdict.state == State::Rejected) ++rejected[c.verdict.by];
        if (c.verdict.state == State::Denied) ++denied[c.verdict.by];
        unanswered += c.verdict.state == State::Unanswered;
    }
    QStringList parts;
    for (const auto& [by, n] : rejected)
        parts << by + QStringLiteral(" rejected ") + claims(n) + QStringLiteral(" of ") + fileName;
    for (const auto& [by, n] : denied)
        parts << by + QStringLiteral(" denied ") + claims(n) + QStringLiteral(" of ") + fileName;
    if (parts.isEmpty())
        return unanswered == 0 ? QString()
                               : QStringLiteral("ZOD has not answered ") + fileName +
                                     QStringLiteral(" for two days - call ZOD");
    if (unanswered > 0)
        parts << QStringLiteral("ZOD has not answered ") + claims(unanswered) +
                     QStringLiteral(" of it for two days");
    return parts.join(QStringLiteral("; ")) + QStringLiteral(" - open the program to see which");
}

}  // namespace zv::answers
