// What the clearinghouse's acknowledgements say about the claim files they answer.
#include "x12/x12.h"
#include "x12/x12_envelope.h"

namespace zv::x12 {

using namespace detail;

namespace {

std::optional<Outcome> outcomeOf(QByteArrayView code) {
    code = trimmed(code);
    if (code == "A") return Outcome::Accepted;
    if (code == "E") return Outcome::AcceptedWithErrors;
    if (code == "P") return Outcome::PartlyAccepted;
    // M, W and X are rejections too: the set could not be authenticated or read.
    if (code == "R" || code == "M" || code == "W" || code == "X") return Outcome::Rejected;
    return std::nullopt;
}

// The outcome of a whole answer from the outcomes of its parts.
std::optional<Outcome> combined(int accepted, int withErrors, int rejected) {
    if (accepted + withErrors + rejected == 0) return std::nullopt;
    if (rejected == 0) return withErrors == 0 ? Outcome::Accepted : Outcome::AcceptedWithErrors;
    return accepted + withErrors == 0 ? Outcome::Rejected : Outcome::PartlyAccepted;
}

QString text(QByteArrayView value) { return QString::fromLatin1(trimmed(value)); }

// Reads the answers of one report, transaction by transaction.
class ReportReader {
public:
    explicit ReportReader(Report& report) : r_(report) {}

    Status visit(const Segment& s) {
        if (s.is("TA1")) {
            sawTa1_ = true;
            Answer& a = r_.answers.emplace_back();
            a.interchangeNumber = text(s.element(1));
            a.outcome = outcomeOf(s.element(4));
        } else if (s.is("ST")) {
            startTransaction(trimmed(s.element(1)));
        } else if (s.is("SE")) {
            endTransaction();
        } else if (kind_ == ReportKind::Ack999) {
            visit999(s);
        } else if (kind_ == ReportKind::Status277CA) {
            visit277(s);
        }
        return {};
    }

    void finish() {
        if (r_.kind == ReportKind::Other && sawTa1_) r_.kind = ReportKind::TA1;
    }

private:
    void startTransaction(QByteArrayView type) {
        kind_ = type == "999"   ? ReportKind::Ack999
                : type == "277" ? ReportKind::Status277CA
                : type == "835" ? ReportKind::Remittance835
                                : ReportKind::Other;
        if (r_.kind == ReportKind::Other) r_.kind = kind_;
        answer_ = -1;
        if (kind_ == ReportKind::Ack999 || kind_ == ReportKind::Status277CA) {
            answer_ = qsizetype(r_.answers.size());
            r_.answers.emplace_back();
        }
        accepted_ = withErrors_ = rejected_ = 0;
        claim_ = -1;
        claimLevel_ = serviceLine_ = false;
    }

    void endTransaction() {
        if (answer_ >= 0 && !r_.answers[answer_].outcome)
            r_.answers[answer_].outcome = combined(accepted_, withErrors_, rejected_);
        kind_ = ReportKind::Other;
        answer_ = -1;
    }

    void count(std::optional<Outcome> o) {
        if (o == Outcome::Accepted) ++accepted_;
        if (o == Outcome::AcceptedWithErrors) ++withErrors_;
        if (o == Outcome::Rejected) ++rejected_;
    }

    void visit999(const Segment& s) {
        Answer& a = r_.answers[answer_];
        if (s.is("AK1")) {
            a.groupNumber = text(s.element(2));
        } else if (s.is("AK2")) {
            a.transactionNumbers.append(text(s.element(2)));
        } else if (s.is("IK5")) {
            const auto o = outcomeOf(s.element(1));
            count(o);
            if (o == Outcome::Rejected && !a.transactionNumbers.isEmpty())
                a.rejectedTransactions.append(a.transactionNumbers.back());
        } else if (s.is("AK9")) {
            a.outcome = outcomeOf(s.element(1));
        }
    }

    void visit277(const Segment& s) {
        Answer& a = r_.answers[answer_];
        if (s.is("HL")) {
            // Claims sit at the patient level (PT); subscriber and dependent levels of
            // a plain 277 hold them the same way.
            const QByteArrayView level = trimmed(s.element(3));
            claimLevel_ = level == "PT" || level == "22" || level == "23";
            claim_ = -1;
            serviceLine_ = false;
        } else if (s.is("TRN") && claimLevel_ && trimmed(s.element(1)) == "2") {
            claim_ = qsizetype(a.claims.size());
            a.claims.push_back({text(s.element(2)), {}, false});
        } else if (s.is("SVC")) {
            serviceLine_ = true;  // the STC that follow speak of one service line only
        } else if (s.is("STC") && claim_ >= 0 && !serviceLine_) {
            ClaimAnswer& c = a.claims[claim_];
            const QString category = text(s.component(1, 1));
            const bool accepted =
                category == QLatin1String("A1") || category == QLatin1String("A2");
            // The claim is accepted only when every status of it says so; the first
            // that does not is the one shown.
            if (c.category.isEmpty() || (c.accepted && !accepted)) {
                if (!c.category.isEmpty()) --accepted_;
                c.category = category;
                c.accepted = accepted;
                count(accepted ? Outcome::Accepted : Outcome::Rejected);
            }
        }
    }

    Report& r_;
    ReportKind kind_ = ReportKind::Other;
    qsizetype answer_ = -1;
    qsizetype claim_ = -1;
    bool claimLevel_ = false;
    bool serviceLine_ = false;
    bool sawTa1_ = false;
    int accepted_ = 0, withErrors_ = 0, rejected_ = 0;
};

}  // namespace

Result<Report> readReport(QByteArrayView data) {
    using R = Result<Report>;
    Report report;
    if (!looksLikeInterchange(data)) return report;
    ReportReader reader(report);
    const Visitor visit = [&](const Segment& s) { return reader.visit(s); };
    // A report file may hold several interchanges one after the other.
    qsizetype pos = 0;
    while (skipBlank(data, pos)) {
        if (!data.sliced(pos).startsWith("ISA"))
            return R::failure(
                QStringLiteral("there is more data after the end of the interchange (IEA)"));
        const Result<Header> header = readHeader(data, pos);
        if (!header) return R::failure(header.reason());
        const Result<qsizetype> end = walkInterchange(data, pos, *header, visit);
        if (!end) return R::failure(end.reason());
        pos = *end;
    }
    reader.finish();
    // A claim loop that carries no status says nothing about its claim.
    for (Answer& a : report.answers)
        std::erase_if(a.claims, [](const ClaimAnswer& c) { return c.category.isEmpty(); });
    return report;
}

}  // namespace zv::x12
