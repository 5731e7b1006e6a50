// The interchange envelope and what a claim file's envelope and claims say.
#include "x12/x12.h"

#include <array>
#include <cstring>

#include "x12/x12_envelope.h"

namespace zv::x12 {
namespace detail {
namespace {

// Widths of ISA01 to ISA16: the header is fixed-width, which is how its separators
// are found at all.
constexpr std::array<int, 16> kIsaWidths = {2, 10, 2, 10, 2, 15, 2, 15, 6, 4, 1, 5, 9, 1, 1, 1};
constexpr qsizetype kIsaLength = 106;  // with its separators and the segment terminator

bool isBlank(char c) {
    // End-of-file padding (NUL, Ctrl-Z) that some billing programs leave counts as blank.
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == '\0' ||
           c == '\x1a';
}

bool isLineBreak(char c) { return c == '\r' || c == '\n'; }

bool isAlphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// An N0 number: digits only, blanks around it allowed.
std::optional<qint64> numberIn(QByteArrayView value) {
    value = trimmed(value);
    if (value.isEmpty() || value.size() > 18) return std::nullopt;
    qint64 n = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// Control numbers of type N0 are the same number whatever their leading zeros.
bool sameNumber(QByteArrayView a, QByteArrayView b) {
    const auto x = numberIn(a);
    const auto y = numberIn(b);
    return x && y ? *x == *y : trimmed(a) == trimmed(b);
}

QString plural(qint64 n, const char* word) {
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(word) +
           (n == 1 ? QString() : QStringLiteral("s"));
}

// "SE01 says 36 segments, but transaction 0001 has 35", or empty when the count is right.
QString countMismatch(const char* element, QByteArrayView said, qint64 counted, const char* word,
                      const QString& whose) {
    const auto n = numberIn(said);
    if (n && *n == counted) return {};
    const QString saidText =
        n ? plural(*n, word)
          : shown(said) + QLatin1Char(' ') + QLatin1String(word) + QLatin1Char('s');
    return QLatin1String(element) + QStringLiteral(" says ") + saidText + QStringLiteral(", but ") +
           whose + QStringLiteral(" has ") + QString::number(counted);
}

QString numberMismatch(const char* element, QByteArrayView value, const char* other,
                       QByteArrayView otherValue) {
    return QLatin1String(element) + QLatin1Char(' ') + shown(value) +
           QStringLiteral(" does not match ") + QLatin1String(other) + QLatin1Char(' ') +
           shown(otherValue);
}

}  // namespace

QByteArrayView Segment::element(int i) const {
    qsizetype begin = 0;
    for (; i > 0; --i) {
        const qsizetype sep = bytes_.indexOf(d_->element, begin);
        if (sep < 0) return {};
        begin = sep + 1;
    }
    const qsizetype end = bytes_.indexOf(d_->element, begin);
    return bytes_.sliced(begin, (end < 0 ? bytes_.size() : end) - begin);
}

QByteArrayView Segment::component(int i, int c) const {
    const QByteArrayView e = element(i);
    qsizetype begin = 0;
    for (; c > 1; --c) {
        const qsizetype sep = e.indexOf(d_->component, begin);
        if (sep < 0) return {};
        begin = sep + 1;
    }
    const qsizetype end = e.indexOf(d_->component, begin);
    return e.sliced(begin, (end < 0 ? e.size() : end) - begin);
}

QByteArrayView trimmed(QByteArrayView value) {
    while (!value.isEmpty() && value.front() == ' ') value = value.sliced(1);
    while (!value.isEmpty() && value.back() == ' ') value.chop(1);
    return value;
}

QString shown(QByteArrayView value) {
    value = trimmed(value);
    const bool cut = value.size() > 30;
    QString text = QString::fromLatin1(value.first(cut ? 30 : value.size()));
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = QLatin1Char('?');
    if (text.isEmpty()) return QStringLiteral("(empty)");
    return cut ? text + QStringLiteral("...") : text;
}

bool skipBlank(QByteArrayView data, qsizetype& pos) {
    while (pos < data.size() && isBlank(data[pos])) ++pos;
    return pos < data.size();
}

Result<Header> readHeader(QByteArrayView data, qsizetype start) {
    if (data.size() - start < kIsaLength)
        return Result<Header>::failure(QStringLiteral("the interchange header (ISA) is cut short"));
    const QByteArrayView isa = data.sliced(start, kIsaLength);
    Header h;
    h.delimiters.element = isa[3];
    h.delimiters.repetition = isa[82];
    h.delimiters.component = isa[104];
    h.delimiters.segment = isa[105];
    h.isa = isa.first(kIsaLength - 1);
    const Delimiters& d = h.delimiters;
    bool good = isa.startsWith("ISA") && !isAlphanumeric(d.element) && d.element != ' ' &&
                !isAlphanumeric(d.component) && !isAlphanumeric(d.segment) &&
                d.segment != d.element && d.segment != d.component && d.component != d.element;
    // Each separator exactly where the widths put it, and none inside a field.
    qsizetype pos = 3;
    for (const int width : kIsaWidths) {
        good = good && isa[pos] == d.element;
        for (qsizetype i = pos + 1; good && i <= pos + width; ++i) good = isa[i] != d.element;
        pos += width + 1;
    }
    if (!good)
        return Result<Header>::failure(QStringLiteral(
            "the interchange header (ISA) is not 106 characters with its separators"));
    return h;
}

namespace {

// The envelopes open while an interchange is walked, and the counts their ends are
// checked against.
class EnvelopeWalk {
public:
    explicit EnvelopeWalk(const Header& header) : header_(header) {}
    // Checks `s` against the envelopes open; a failure says what is wrong.
    Status step(const Segment& s) {
        if (level_ == Level::Transaction) ++segments_;
        if (s.is("IEA")) return endInterchange(s);
        if (s.is("GS")) return startGroup(s);
        if (s.is("ST")) return startTransaction(s);
        if (s.is("SE")) return endTransaction(s);
        if (s.is("GE")) return endGroup(s);
        if (s.is("ISA")) return unclosed();
        if (level_ != Level::Transaction && !(level_ == Level::Interchange && s.is("TA1")))
            return fail(QStringLiteral("the segment ") + shown(s.id()) +
                        QStringLiteral(" is outside a transaction (ST to SE)"));
        return {};
    }
    // The IEA was reached and matched.
    bool ended() const { return ended_; }
    // The innermost envelope still open: what is missing when it is left too early.
    Status unclosed() const {
        if (level_ == Level::Transaction)
            return fail(QStringLiteral("the end (SE) of transaction ") + shown(transactionNumber_) +
                        QStringLiteral(" is missing"));
        if (level_ == Level::Group)
            return fail(QStringLiteral("the end (GE) of group ") + shown(groupNumber_) +
                        QStringLiteral(" is missing"));
        return fail(QStringLiteral("the end of the interchange (IEA) is missing"));
    }

private:
    enum class Level { Interchange, Group, Transaction };

    Status endInterchange(const Segment& s) {
        if (level_ != Level::Interchange) return unclosed();
        if (!sameNumber(s.element(2), header_.field(13)))
            return fail(numberMismatch("IEA02", s.element(2), "ISA13", header_.field(13)));
        if (QString m = countMismatch("IEA01", s.element(1), groups_, "group",
                                      QStringLiteral("the interchange"));
            !m.isEmpty())
            return fail(m);
        ended_ = true;
        return {};
    }

    Status startGroup(const Segment& s) {
        if (level_ != Level::Interchange) return unclosed();
        level_ = Level::Group;
        groupNumber_ = s.element(6);
        transactions_ = 0;
        ++groups_;
        return {};
    }

    Status startTransaction(const Segment& s) {
        if (level_ == Level::Transaction) return unclosed();
        if (level_ == Level::Interchange)
            return fail(QStringLiteral("transaction ") + shown(s.element(2)) +
                        QStringLiteral(" (ST) is outside a group (GS to GE)"));
        level_ = Level::Transaction;
        transactionNumber_ = s.element(2);
        segments_ = 1;
        ++transactions_;
        return {};
    }

    Status endTransaction(const Segment& s) {
        if (level_ != Level::Transaction)
            return fail(QStringLiteral("an end of transaction (SE) has no start (ST) before it"));
        if (trimmed(s.element(2)) != trimmed(transactionNumber_))
            return fail(numberMismatch("SE02", s.element(2), "ST02", transactionNumber_));
        if (QString m = countMismatch("SE01", s.element(1), segments_, "segment",
                                      QStringLiteral("transaction ") + shown(transactionNumber_));
            !m.isEmpty())
            return fail(m);
        level_ = Level::Group;
        return {};
    }

    Status endGroup(const Segment& s) {
        if (level_ == Level::Transaction) return unclosed();
        if (level_ == Level::Interchange)
            return fail(QStringLiteral("an end of group (GE) has no start (GS) before it"));
        if (!sameNumber(s.element(2), groupNumber_))
            return fail(numberMismatch("GE02", s.element(2), "GS06", groupNumber_));
        if (QString m = countMismatch("GE01", s.element(1), transactions_, "transaction",
                                      QStringLiteral("group ") + shown(groupNumber_));
            !m.isEmpty())
            return fail(m);
        level_ = Level::Interchange;
        return {};
    }

    const Header& header_;
    Level level_ = Level::Interchange;
    qint64 groups_ = 0, transactions_ = 0, segments_ = 0;
    QByteArrayView groupNumber_, transactionNumber_;
    bool ended_ = false;
};

// The segment at `pos`, up to its terminator; `pos` moves past it. After the last
// terminator only blank padding or an IEA that lacks only its terminator may follow;
// anything else is the rest of a file that was cut off (none).
std::optional<QByteArrayView> cutSegment(QByteArrayView data, qsizetype& pos, char terminator) {
    const qsizetype n = data.size();
    const char* found =
        static_cast<const char*>(std::memchr(data.data() + pos, terminator, size_t(n - pos)));
    const qsizetype end = found ? found - data.data() : n;
    QByteArrayView bytes = data.sliced(pos, end - pos);
    pos = found ? end + 1 : n;
    if (found) return bytes;
    while (!bytes.isEmpty() && isBlank(bytes.back())) bytes.chop(1);
    if (!bytes.startsWith("IEA")) return std::nullopt;
    return bytes;
}

void skipLineBreaks(QByteArrayView data, qsizetype& pos) {
    while (pos < data.size() && isLineBreak(data[pos])) ++pos;
}

}  // namespace

Result<qsizetype> walkInterchange(QByteArrayView data, qsizetype start, const Header& header,
                                  const Visitor& visit) {
    using R = Result<qsizetype>;
    EnvelopeWalk walk(header);
    qsizetype pos = start + kIsaLength;
    for (;;) {
        skipLineBreaks(data, pos);
        if (pos >= data.size()) return R::failure(walk.unclosed().reason());
        const std::optional<QByteArrayView> bytes =
            cutSegment(data, pos, header.delimiters.segment);
        if (!bytes) return R::failure(walk.unclosed().reason());
        if (bytes->isEmpty()) continue;
        const Segment s(*bytes, header.delimiters);
        if (const Status checked = walk.step(s); !checked) return R::failure(checked.reason());
        if (walk.ended()) {
            skipLineBreaks(data, pos);
            return pos;
        }
        if (Status visited = visit(s); !visited) return R::failure(visited.reason());
    }
}

std::optional<qint64> centsIn(QByteArrayView value) {
    value = trimmed(value);
    const bool negative = value.startsWith('-');
    if (negative) value = value.sliced(1);
    const qsizetype dot = value.indexOf('.');
    const QByteArrayView whole = dot < 0 ? value : value.first(dot);
    const QByteArrayView fraction = dot < 0 ? QByteArrayView() : value.sliced(dot + 1);
    if (whole.size() + fraction.size() == 0 || whole.size() > 12) return std::nullopt;
    qint64 cents = 0;
    for (const char c : whole) {
        if (c < '0' || c > '9') return std::nullopt;
        cents = cents * 10 + (c - '0');
    }
    for (qsizetype i = 0; i < fraction.size(); ++i) {
        const char c = fraction[i];
        if (c < '0' || c > '9') return std::nullopt;
        if (i >= 2 && c != '0') return std::nullopt;  // fractions of a cent
    }
    cents *= 100;
    if (fraction.size() > 0) cents += (fraction[0] - '0') * 10;
    if (fraction.size() > 1) cents += fraction[1] - '0';
    return negative ? -cents : cents;
}

}  // namespace detail

using namespace detail;

namespace {

QString text(QByteArrayView value) { return QString::fromLatin1(trimmed(value)); }

}  // namespace

bool looksLikeInterchange(QByteArrayView data) {
    qsizetype pos = 0;
    return skipBlank(data, pos) && data.sliced(pos).startsWith("ISA");
}

bool isInterchangeType(const QString& fileType) {
    return fileType.compare(QLatin1String("83P"), Qt::CaseInsensitive) == 0 ||
           fileType.compare(QLatin1String("83D"), Qt::CaseInsensitive) == 0;
}

std::optional<InterchangeId> readInterchangeId(QByteArrayView head) {
    qsizetype pos = 0;
    if (!skipBlank(head, pos)) return std::nullopt;
    const Result<Header> header = readHeader(head, pos);
    if (!header) return std::nullopt;
    QByteArrayView sender = header->field(6);
    while (sender.endsWith(' ')) sender.chop(1);
    return InterchangeId{QString::fromLatin1(sender), QString::fromLatin1(header->field(13)),
                         QString::fromLatin1(header->field(9)) + QLatin1Char(' ') +
                             QString::fromLatin1(header->field(10))};
}

namespace {

// What one segment adds to a claim file's facts.
Status addFacts(ClaimFileFacts& facts, const Segment& s) {
    if (s.is("GS")) {
        facts.groupNumbers.append(text(s.element(6)));
    } else if (s.is("ST")) {
        facts.transactionNumbers.append(text(s.element(2)));
    } else if (s.is("CLM")) {
        ++facts.claimCount;
        facts.patientControlNumbers.append(text(s.element(1)));
        const auto cents = centsIn(s.element(2));
        if (!cents)
            return fail(QStringLiteral("the charge ") + shown(s.element(2)) +
                        QStringLiteral(" (CLM02) of claim ") + shown(s.element(1)) +
                        QStringLiteral(" is not an amount in dollars and cents"));
        if (__builtin_add_overflow(facts.totalChargeCents, *cents, &facts.totalChargeCents))
            return fail(QStringLiteral("the claims' charges are too large to add up"));
    }
    return {};
}

// One interchange, or (`several`) any number one after another as a joined file holds
// them: the facts of all, the first one's sender and number, "T" when any is a test.
Result<ClaimFileFacts> readInterchanges(QByteArrayView data, bool several) {
    using R = Result<ClaimFileFacts>;
    qsizetype pos = 0;
    if (!skipBlank(data, pos)) return R::failure(QStringLiteral("the file is empty"));
    if (!data.sliced(pos).startsWith("ISA"))
        return R::failure(QStringLiteral("it does not begin with an interchange header (ISA)"));

    ClaimFileFacts facts;
    const auto visit = [&](const Segment& s) { return addFacts(facts, s); };
    for (bool first = true; first || (several && skipBlank(data, pos)); first = false) {
        if (!data.sliced(pos).startsWith("ISA")) break;
        const Result<Header> header = readHeader(data, pos);
        if (!header) return R::failure(header.reason());
        const QString usage = QString::fromLatin1(header->field(15));
        if (first) {
            const std::optional<InterchangeId> id = readInterchangeId(data.sliced(pos));
            facts.sender = id->sender;
            facts.interchangeNumber = id->interchangeNumber;
            facts.interchangeTime = id->interchangeTime;
        }
        if (first || usage == QLatin1String("T")) facts.usage = usage;
        const Result<qsizetype> end = walkInterchange(data, pos, *header, visit);
        if (!end) return R::failure(end.reason());
        pos = *end;
    }
    if (skipBlank(data, pos))
        return R::failure(
            QStringLiteral("there is more data after the end of the interchange (IEA)"));
    return facts;
}

}  // namespace

Result<ClaimFileFacts> readClaimFile(QByteArrayView data) { return readInterchanges(data, false); }

Result<ClaimFileFacts> readJoinedClaimFile(QByteArrayView data) {
    return readInterchanges(data, true);
}

}  // namespace zv::x12
