#pragma once
// What the report readers share: one reader per transaction set, fed segment by segment
// by the envelope walk, and the exact reading of amounts and texts.
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

#include "answers/answer_reports.h"
#include "x12/x12_envelope.h"

namespace zv::answers::detail {

using x12::detail::Segment;

// Counts what a report makes the reader keep, so that a hostile one cannot make it keep
// more than kMaxAnswers things.
class Budget {
public:
    [[nodiscard]] Status take() {
        if (++used_ <= kMaxAnswers) return {};
        return fail(QStringLiteral("it holds more than %1 answers").arg(kMaxAnswers));
    }

private:
    qsizetype used_ = 0;
};

class TransactionReader {
public:
    virtual ~TransactionReader() = default;
    [[nodiscard]] virtual Status visit(const Segment& s) = 0;
    // At SE.
    [[nodiscard]] virtual Status finish() { return {}; }
};

std::unique_ptr<TransactionReader> ack999Reader(ParsedReport& report, Budget& budget);
std::unique_ptr<TransactionReader> status277Reader(ParsedReport& report, Budget& budget);
std::unique_ptr<TransactionReader> remittanceReader(ParsedReport& report, Budget& budget);

// Walks every interchange of `data` (one after another), telling `opened` of each header.
[[nodiscard]] Status walkInterchanges(
    QByteArrayView data, const x12::detail::Visitor& visit,
    const std::function<void(const x12::detail::Header&)>& opened = {});

// A value as kept: blanks around it dropped, control characters made '?', at most 80
// characters (a name or number from the report is shown to people).
QString label(QByteArrayView value);
// The same, or the reason naming the element ("the amount 1.2.3 (CLP04) of claim X ...").
[[nodiscard]] Result<qint64> amount(QByteArrayView value, const char* element,
                                    const QString& whose);
[[nodiscard]] Status addTo(qint64& sum, qint64 cents);
// a + b, held at the largest amount rather than wrapped.
inline qint64 saturatedSum(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

// "A list, b, c and 4 more": at most `most` items shown.
QString listed(const QStringList& items, qsizetype most, const QString& separator);

}  // namespace zv::answers::detail
