// The walk over a report's interchanges, handing each transaction set to the reader of
// its kind, and what the readers share.
#include <QLocale>

#include "answers/answer_read.h"
#include "answers/answer_words.h"
#include "x12/x12.h"

namespace zv::answers {

namespace detail {

QString label(QByteArrayView value) {
    value = x12::detail::trimmed(value);
    const bool cut = value.size() > 80;
    QString text = QString::fromLatin1(value.first(cut ? 80 : value.size()));
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = QLatin1Char('?');
    return cut ? text + QStringLiteral("...") : text;
}

Result<qint64> amount(QByteArrayView value, const char* element, const QString& whose) {
    if (const auto cents = x12::detail::centsIn(value)) return *cents;
    return Result<qint64>::failure(QStringLiteral("the amount ") + x12::detail::shown(value) +
                                   QStringLiteral(" (") + QLatin1String(element) +
                                   QStringLiteral(") ") + whose +
                                   QStringLiteral(" is not an amount in dollars and cents"));
}

Status addTo(qint64& sum, qint64 cents) {
    if (__builtin_add_overflow(sum, cents, &sum))
        return fail(QStringLiteral("its amounts are too large to add up"));
    return {};
}

QString listed(const QStringList& items, qsizetype most, const QString& separator) {
    if (items.size() <= most) return items.join(separator);
    return items.first(most).join(separator) +
           QStringLiteral(" and %1 more").arg(items.size() - most);
}

Status walkInterchanges(QByteArrayView data, const x12::detail::Visitor& visit,
                        const std::function<void(const x12::detail::Header&)>& opened) {
    qsizetype pos = 0;
    while (x12::detail::skipBlank(data, pos)) {
        if (!data.sliced(pos).startsWith("ISA"))
            return fail(
                QStringLiteral("there is more data after the end of the interchange (IEA)"));
        const Result<x12::detail::Header> header = x12::detail::readHeader(data, pos);
        if (!header) return fail(header.reason());
        if (opened) opened(*header);
        const Result<qsizetype> end = x12::detail::walkInterchange(data, pos, *header, visit);
        if (!end) return fail(end.reason());
        pos = *end;
    }
    return {};
}

}  // namespace detail

using namespace detail;
using x12::detail::Header;
using x12::detail::trimmed;

namespace {

// Reads the answers of every interchange in turn.
class ReportWalk {
public:
    explicit ReportWalk(ParsedReport& report) : r_(report) {}

    Status visit(const Segment& s) {
        if (s.is("TA1")) return ta1(s);
        if (s.is("ST")) return start(trimmed(s.element(1)));
        if (!reader_) return {};  // a transaction of a kind that answers nothing
        if (s.is("SE")) {
            const Status finished = reader_->finish();
            reader_.reset();
            return finished;
        }
        return reader_->visit(s);
    }

private:
    void sawKind(ReportKind kind) {
        if (r_.kind == ReportKind::Other) r_.kind = kind;
    }

    Status ta1(const Segment& s) {
        if (Status taken = budget_.take(); !taken) return taken;
        sawKind(ReportKind::TA1);
        r_.interchanges.push_back({label(s.element(1)), label(s.element(4)), label(s.element(5))});
        return {};
    }

    Status start(QByteArrayView type) {
        const ReportKind kind = type == "999"   ? ReportKind::Ack999
                                : type == "277" ? ReportKind::Status277CA
                                : type == "835" ? ReportKind::Remittance835
                                                : ReportKind::Other;
        if (kind == ReportKind::Other) return {};
        if (Status taken = budget_.take(); !taken) return taken;
        sawKind(kind);
        reader_ = kind == ReportKind::Ack999        ? ack999Reader(r_, budget_)
                  : kind == ReportKind::Status277CA ? status277Reader(r_, budget_)
                                                    : remittanceReader(r_, budget_);
        return {};
    }

    ParsedReport& r_;
    Budget budget_;
    std::unique_ptr<TransactionReader> reader_;
};

}  // namespace

Result<ParsedReport> readAnswers(QByteArrayView data) {
    using R = Result<ParsedReport>;
    ParsedReport report;
    if (!x12::looksLikeInterchange(data)) return report;
    ReportWalk walk(report);
    const Status read = walkInterchanges(data, [&](const Segment& s) { return walk.visit(s); });
    if (!read) return R::failure(read.reason());
    return report;
}

QString moneyText(qint64 cents) {
    // Digits of the absolute value without overflow at the most negative amount.
    const quint64 magnitude = cents < 0 ? 0 - quint64(cents) : quint64(cents);
    QString digits = QString::number(magnitude / 100);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, QLatin1Char(','));
    return (cents < 0 ? QStringLiteral("-") : QString()) + digits + QLatin1Char('.') +
           QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

QString reportKindText(ReportKind kind) {
    static const char* const words[] = {"TA1", "999", "277CA", "835", "other"};
    return QString::fromLatin1(words[int(kind)]);
}

namespace {

QString said999(const GroupAck& g) {
    QStringList rejected;
    for (const SetAck& s : g.sets)
        if (ackRejects(s.code)) rejected << s.set;
    QString line = QStringLiteral("group ") + g.group + QLatin1Char(' ') +
                   (g.code.isEmpty() ? QStringLiteral("answered") : ackWords(g.code));
    if (!rejected.isEmpty())
        line += QStringLiteral(" (set%1 %2 REJECTED)")
                    .arg(rejected.size() > 1 ? QStringLiteral("s") : QString(),
                         listed(rejected, 5, QStringLiteral(", ")));
    return line;
}

QString said277(const StatusSource& source) {
    qsizetype claims = 0, rejected = 0, higher = 0;
    const auto rejects = [](const Statuses& st) {
        for (const StatusCode& c : st.codes)
            if (categoryRejects(c.category)) return true;
        return false;
    };
    for (const ReceiverStatus& r : source.receivers) {
        higher += rejects(r.statuses);
        for (const ProviderStatus& p : r.providers) {
            higher += rejects(p.statuses);
            for (const ClaimStatus& c : p.claims) {
                ++claims;
                rejected += rejects(c.statuses);
            }
        }
    }
    QString line = (source.clearinghouse ? QStringLiteral("ZOD") : source.name) +
                   QStringLiteral(": %1 claim%2, %3 rejected")
                       .arg(claims)
                       .arg(claims == 1 ? QString() : QStringLiteral("s"))
                       .arg(rejected);
    if (higher > 0) line += QStringLiteral(", %1 batch or provider rejections").arg(higher);
    return line;
}

QString said835(const Remittance& r) {
    qsizetype denied = 0;
    for (const ClaimPayment& c : r.claims) denied += c.status == QLatin1String("4");
    QString line =
        r.payer + QStringLiteral(" check ") + r.checkNumber +
        (r.date.isValid() ? QStringLiteral(" of ") + QLocale::c().toString(r.date, u"MM-dd-yyyy")
                          : QString()) +
        QStringLiteral(": paid ") + moneyText(r.totalCents) +
        QStringLiteral(" for %1 claims, %2 denied").arg(r.claims.size()).arg(denied);
    if (r.differenceCents != 0)
        line += QStringLiteral(", does not add up (difference ") + moneyText(r.differenceCents) +
                QLatin1Char(')');
    return line;
}

}  // namespace

QString reportSays(const ParsedReport& report) {
    QStringList parts;
    for (const InterchangeAck& a : report.interchanges)
        parts << QStringLiteral("TA1: interchange ") + a.interchange + QLatin1Char(' ') +
                     ta1Words(a.code);
    for (const GroupAck& g : report.groups) parts << QStringLiteral("999: ") + said999(g);
    for (const StatusSource& s : report.statuses) parts << QStringLiteral("277CA: ") + said277(s);
    for (const Remittance& r : report.remittances) parts << QStringLiteral("835: ") + said835(r);
    if (parts.isEmpty()) return QStringLiteral("answers nothing");
    return listed(parts, 10, QStringLiteral("; "));
}

}  // namespace zv::answers
