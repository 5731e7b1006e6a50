// The 835: one payment per transaction set (BPR, TRN, the payer N1*PR), its claims (CLP with
// their CAS adjustments) and the provider adjustments (PLB), with the check whether the
// payment adds up: BPR02 = the claims' CLP04 less the PLB amounts.
#include "answers/answer_read.h"

namespace zv::answers::detail {

namespace {

using x12::detail::trimmed;

class RemittanceReader : public TransactionReader {
public:
    RemittanceReader(ParsedReport& r, Budget& b) : r_(r), budget_(b) {
        r_.remittances.emplace_back();
    }

    Status visit(const Segment& s) override {
        if (s.is("BPR")) return payment(s);
        if (s.is("TRN") && pay().checkNumber.isEmpty()) pay().checkNumber = label(s.element(2));
        if (s.is("N1") && trimmed(s.element(1)) == "PR") pay().payer = label(s.element(2));
        if (s.is("CLP")) return claim(s);
        if (s.is("CAS")) return adjustments(s);
        if (s.is("PLB")) return providerAdjustments(s);
        return {};
    }

    Status finish() override {
        Remittance& p = pay();
        qint64 expected = 0;
        if (__builtin_sub_overflow(p.claimsPaidCents, p.adjustmentsCents, &expected) ||
            __builtin_sub_overflow(p.totalCents, expected, &p.differenceCents))
            return fail(QStringLiteral("its amounts are too large to add up"));
        return {};
    }

private:
    Remittance& pay() { return r_.remittances.back(); }

    Status payment(const Segment& s) {
        const Result<qint64> total =
            amount(s.element(2), "BPR02", QStringLiteral("of the payment"));
        if (!total) return fail(total.reason());
        pay().totalCents = *total;
        pay().method = label(s.element(4));
        pay().date = QDate::fromString(QString::fromLatin1(trimmed(s.element(16))), u"yyyyMMdd");
        return {};
    }

    Status claim(const Segment& s) {
        if (Status taken = budget_.take(); !taken) return taken;
        ClaimPayment c;
        c.patientControlNumber = label(s.element(1));
        c.status = label(s.element(2));
        c.payerClaimNumber = label(s.element(7));
        const QString whose = QStringLiteral("of claim ") + c.patientControlNumber;
        const Result<qint64> charge = amount(s.element(3), "CLP03", whose);
        if (!charge) return fail(charge.reason());
        const Result<qint64> paid = amount(s.element(4), "CLP04", whose);
        if (!paid) return fail(paid.reason());
        c.chargeCents = *charge;
        c.paidCents = *paid;
        if (!trimmed(s.element(5)).isEmpty()) {
            const Result<qint64> patient = amount(s.element(5), "CLP05", whose);
            if (!patient) return fail(patient.reason());
            c.patientCents = *patient;
        }
        if (Status added = addTo(pay().claimsPaidCents, c.paidCents); !added) return added;
        pay().claims.push_back(std::move(c));
        return {};
    }

    // CAS01 is the group; then up to six reason, amount (and quantity) triplets.
    Status adjustments(const Segment& s) {
        if (pay().claims.empty())
            return fail(QStringLiteral("the 835 has an adjustment (CAS) before any claim (CLP)"));
        ClaimPayment& c = pay().claims.back();
        const QString group = label(s.element(1));
        for (int i = 2; i <= 17; i += 3) {
            const QString reason = label(s.element(i));
            if (reason.isEmpty()) continue;
            if (Status taken = budget_.take(); !taken) return taken;
            const Result<qint64> cents = amount(
                s.element(i + 1), "CAS", QStringLiteral("of claim ") + c.patientControlNumber);
            if (!cents) return fail(cents.reason());
            c.adjustments.push_back({group, reason, *cents});
        }
        return {};
    }

    // PLB03/04 to PLB13/14: the reason and reference, then the amount.
    Status providerAdjustments(const Segment& s) {
        for (int i = 3; i <= 13; i += 2) {
            if (trimmed(s.element(i)).isEmpty() && trimmed(s.element(i + 1)).isEmpty()) continue;
            if (Status taken = budget_.take(); !taken) return taken;
            const Result<qint64> cents =
                amount(s.element(i + 1), "PLB", QStringLiteral("of a provider adjustment"));
            if (!cents) return fail(cents.reason());
            if (Status added = addTo(pay().adjustmentsCents, *cents); !added) return added;
            pay().adjustments.push_back(
                {label(s.component(i, 1)), label(s.component(i, 2)), *cents});
        }
        return {};
    }

    ParsedReport& r_;
    Budget& budget_;
};

}  // namespace

std::unique_ptr<TransactionReader> remittanceReader(ParsedReport& report, Budget& budget) {
    return std::make_unique<RemittanceReader>(report, budget);
}

}  // namespace zv::answers::detail
