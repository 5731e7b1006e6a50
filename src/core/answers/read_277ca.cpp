// The 277CA: its hierarchy (HL) of information source (20), information receiver (21, the
// batch we sent), billing provider (19) and claim (PT), each with its statuses. The loops
// nest by their level codes in the order the report gives them; the parent numbers (HL02)
// are not trusted, and a missing parent level is taken as empty.
#include "answers/answer_read.h"

namespace zv::answers::detail {

namespace {

using x12::detail::trimmed;

class Status277Reader : public TransactionReader {
public:
    Status277Reader(ParsedReport& r, Budget& b) : r_(r), budget_(b) {}

    Status visit(const Segment& s) override {
        if (s.is("HL")) return level(trimmed(s.element(3)));
        if (s.is("STC")) return status(s);
        if (s.is("NM1")) name(s);
        if (s.is("TRN")) trace(s);
        if (s.is("REF")) reference(s);
        if (s.is("SVC")) {
            if (at_ != At::Claim && at_ != At::Line)
                return fail(QStringLiteral("the 277CA has a service line (SVC) outside a claim"));
            if (Status taken = budget_.take(); !taken) return taken;
            claim().lines.push_back({label(s.element(1)), {}, {}});
            at_ = At::Line;
        }
        return {};
    }

private:
    enum class At { None, Source, Receiver, Provider, Claim, Line };

    StatusSource& source() { return r_.statuses.back(); }
    ReceiverStatus& receiver() { return source().receivers.back(); }
    ProviderStatus& provider() { return receiver().providers.back(); }
    ClaimStatus& claim() { return provider().claims.back(); }

    Status level(QByteArrayView code) {
        At next = At::None;
        if (code == "20") next = At::Source;
        if (code == "21") next = At::Receiver;
        if (code == "19") next = At::Provider;
        // A plain 277 keeps its claims at the subscriber (22) or dependent (23) level.
        if (code == "PT" || code == "22" || code == "23") next = At::Claim;
        if (next == At::None)
            return fail(QStringLiteral("the 277CA has a level (HL) it should not have: ") +
                        x12::detail::shown(code));
        // A level whose parent is missing (a plain 277 may go from its source straight to
        // its claims) gets an empty one: the claim's own numbers still say which it is.
        const int from = next <= deepest_ ? int(next) : int(deepest_) + 1;
        for (int open = from; open <= int(next); ++open)
            if (Status opened = openLevel(At(open)); !opened) return opened;
        at_ = deepest_ = next;
        return {};
    }

    Status openLevel(At level) {
        if (Status taken = budget_.take(); !taken) return taken;
        if (level == At::Source) r_.statuses.emplace_back();
        if (level == At::Receiver) source().receivers.emplace_back();
        if (level == At::Provider) receiver().providers.emplace_back();
        if (level == At::Claim) provider().claims.emplace_back();
        return {};
    }

    Statuses* statuses() {
        switch (at_) {
            case At::Receiver:
                return &receiver().statuses;
            case At::Provider:
                return &provider().statuses;
            case At::Claim:
                return &claim().statuses;
            case At::Line:
                return &claim().lines.back().statuses;
            default:
                return nullptr;  // the source's own loop carries no status
        }
    }

    // Every status composite counts: STC01, STC10 and STC11.
    Status status(const Segment& s) {
        Statuses* st = statuses();
        if (!st) return {};
        for (const int i : {1, 10, 11}) {
            const QString category = label(s.component(i, 1));
            if (category.isEmpty()) continue;
            if (Status taken = budget_.take(); !taken) return taken;
            st->codes.push_back({category, label(s.component(i, 2)), label(s.component(i, 3))});
        }
        if (!trimmed(s.element(4)).isEmpty()) {
            const QString whose = at_ == At::Claim || at_ == At::Line
                                      ? QStringLiteral("of claim ") + claim().patientControlNumber
                                      : QStringLiteral("of a batch or provider");
            const Result<qint64> charge = amount(s.element(4), "STC04", whose);
            if (!charge) return fail(charge.reason());
            st->chargeCents = *charge;
        }
        if (const QString message = label(s.element(12)); !message.isEmpty()) st->message = message;
        return {};
    }

    void name(const Segment& s) {
        const QString last = label(s.element(3));
        const QString first = label(s.element(4));
        const QString full = first.isEmpty() ? last : last + QStringLiteral(", ") + first;
        if (at_ == At::Source) {
            source().name = last;
            source().clearinghouse = trimmed(s.element(1)) != "PR";
        } else if (at_ == At::Receiver) {
            receiver().name = full;
        } else if (at_ == At::Provider) {
            provider().name = full;
            provider().idQualifier = label(s.element(8));
            provider().id = label(s.element(9));
        } else if (at_ == At::Claim && trimmed(s.element(1)) == "QC") {
            claim().patientName = full;
        }
    }

    void trace(const Segment& s) {
        if (at_ == At::Receiver) receiver().batch = label(s.element(2));
        if (at_ == At::Claim && claim().patientControlNumber.isEmpty())
            claim().patientControlNumber = label(s.element(2));
    }

    void reference(const Segment& s) {
        const QByteArrayView qualifier = trimmed(s.element(1));
        if (at_ == At::Claim && qualifier == "1K") claim().payerClaimNumber = label(s.element(2));
        if (at_ == At::Line && qualifier == "FJ")
            claim().lines.back().control = label(s.element(2));
    }

    ParsedReport& r_;
    Budget& budget_;
    At at_ = At::None;
    At deepest_ = At::None;  // the innermost level open in this transaction
};

}  // namespace

std::unique_ptr<TransactionReader> status277Reader(ParsedReport& report, Budget& budget) {
    return std::make_unique<Status277Reader>(report, budget);
}

}  // namespace zv::answers::detail
