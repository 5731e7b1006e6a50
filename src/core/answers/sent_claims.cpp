// The claims of an 837 with their envelope numbers, batch and billing provider: what the
// answers name a claim by.
#include "answers/sent_claims.h"

#include "answers/answer_read.h"
#include "x12/x12.h"

namespace zv::answers {

namespace {

using namespace detail;
using x12::detail::trimmed;

QStringView digitsKey(QStringView n) {
    n = n.trimmed();
    if (n.isEmpty()) return n;
    for (const QChar c : n)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return n;
    qsizetype zeros = 0;
    while (zeros + 1 < n.size() && n[zeros] == QLatin1Char('0')) ++zeros;
    return n.sliced(zeros);
}

// Reads the claims of one 837, segment by segment.
class ClaimReader {
public:
    explicit ClaimReader(std::vector<SentClaim>& out) : out_(out) {}
    void setInterchange(const QString& isa13) { interchange_ = isa13; }

    Status visit(const Segment& s) {
        if (s.is("GS")) {
            group_ = label(s.element(6));
        } else if (s.is("ST")) {
            set_ = label(s.element(2));
            batch_.clear();
            npi_.clear();
            taxId_.clear();
            providerName_.clear();
        } else if (s.is("BHT")) {
            batch_ = label(s.element(3));
        } else if (s.is("HL")) {
            inProvider_ = trimmed(s.element(3)) == "20";
            if (inProvider_) {
                npi_.clear();
                taxId_.clear();
                providerName_.clear();
            }
        } else if (inProvider_ && s.is("NM1") && trimmed(s.element(1)) == "85") {
            providerName_ = label(s.element(3));
            if (trimmed(s.element(8)) == "XX") npi_ = label(s.element(9));
        } else if (inProvider_ && s.is("REF") && trimmed(s.element(1)) == "EI") {
            taxId_ = label(s.element(2));
        } else if (s.is("CLM")) {
            return claim(s);
        }
        return {};
    }

private:
    Status claim(const Segment& s) {
        const QString number = label(s.element(1));
        const Result<qint64> charge =
            amount(s.element(2), "CLM02", QStringLiteral("of claim ") + number);
        if (!charge) return fail(charge.reason());
        out_.push_back(
            {number, *charge, interchange_, group_, set_, batch_, npi_, taxId_, providerName_});
        return {};
    }

    std::vector<SentClaim>& out_;
    QString interchange_, group_, set_, batch_, npi_, taxId_, providerName_;
    bool inProvider_ = false;
};

}  // namespace

bool sameControlNumber(QStringView a, QStringView b) { return digitsKey(a) == digitsKey(b); }

QString controlKey(QStringView number) { return digitsKey(number).toString(); }

Result<std::vector<SentClaim>> readSentClaims(QByteArrayView data) {
    using R = Result<std::vector<SentClaim>>;
    std::vector<SentClaim> claims;
    ClaimReader reader(claims);
    qsizetype pos = 0;
    if (!x12::detail::skipBlank(data, pos)) return R::failure(QStringLiteral("the file is empty"));
    const Status read = walkInterchanges(
        data, [&](const Segment& s) { return reader.visit(s); },
        [&](const x12::detail::Header& h) { reader.setInterchange(label(h.field(13))); });
    if (!read) return R::failure(read.reason());
    return claims;
}

}  // namespace zv::answers
