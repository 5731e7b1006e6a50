// The one rule for a claim's state from all its answers. The answers are first put in an
// order of their content alone (never of when they were fetched), so that any fetch order
// gives the same state and names the same answer.
#include "answers/claim_state.h"

#include <algorithm>
#include <functional>
#include <tuple>

#include "answers/answer_read.h"

namespace zv::answers {

namespace {

using detail::saturatedSum;

// Any order of the content, so that equal answers are taken alike whenever fetched.
auto contentKey(const AnswerEvent& e) {
    return std::make_tuple(e.level, !e.byClearinghouse, std::cref(e.report), std::cref(e.code),
                           std::cref(e.reason), std::cref(e.source), std::cref(e.detail), e.verdict,
                           std::cref(e.checkNumber), e.checkDate, e.paidCents, e.chargeCents,
                           e.patientCents, std::cref(e.payerClaimNumber),
                           e.remittanceDifferenceCents);
}

bool byContent(const AnswerEvent* a, const AnswerEvent* b) {
    return contentKey(*a) < contentKey(*b);
}

void decidedBy(ClaimVerdict& v, const AnswerEvent& e, State state) {
    v.state = state;
    v.by = e.source;
    v.code = e.code;
    v.reason = e.reason;
    v.report = e.report;
    v.level = e.level;
}

// The payment or denial a reversal takes back: the one with the payer's claim number and
// the amount it turns, else the payer's claim number, else the same payer and amount;
// never one dated after the reversal. -1 when none stands.
int reversedBy(const std::vector<const AnswerEvent*>& adjudications,
               const std::vector<bool>& cancelled, const AnswerEvent& r) {
    const auto fits = [&](const AnswerEvent& a, int pass) {
        if (r.checkDate.isValid() && a.checkDate.isValid() && a.checkDate > r.checkDate)
            return false;
        const bool sameClaim =
            !r.payerClaimNumber.isEmpty() && a.payerClaimNumber == r.payerClaimNumber;
        const bool turned = a.paidCents == -r.paidCents;
        if (pass == 0) return sameClaim && turned;
        if (pass == 1) return sameClaim;
        return a.source == r.source && turned;
    };
    for (int pass = 0; pass < 3; ++pass)
        for (int i = 0; i < int(adjudications.size()); ++i)
            if (!cancelled[i] && fits(*adjudications[i], pass)) return i;
    return -1;
}

void addPayment(ClaimVerdict& v, const AnswerEvent& e) {
    const Payment p{e.checkNumber, e.checkDate, e.report, e.remittanceDifferenceCents};
    if (std::find(v.payments.begin(), v.payments.end(), p) == v.payments.end())
        v.payments.push_back(p);
}

// The 835s settle a claim whatever the acknowledgments said. False when none came.
bool settled(const std::vector<const AnswerEvent*>& sorted, ClaimVerdict& v) {
    std::vector<const AnswerEvent*> adjudications, reversals;
    for (const AnswerEvent* e : sorted) {
        if (e->verdict == Verdict::Paid || e->verdict == Verdict::Denied)
            adjudications.push_back(e);
        if (e->verdict == Verdict::Reversed) reversals.push_back(e);
    }
    if (adjudications.empty() && reversals.empty()) return false;
    // The earliest payment is the one a reversal takes back first.
    std::stable_sort(
        adjudications.begin(), adjudications.end(),
        [](const AnswerEvent* a, const AnswerEvent* b) { return a->checkDate < b->checkDate; });
    std::vector<bool> cancelled(adjudications.size());
    for (const AnswerEvent* r : reversals)
        if (const int i = reversedBy(adjudications, cancelled, *r); i >= 0) cancelled[i] = true;
    std::vector<const AnswerEvent*> paid, denied;
    for (size_t i = 0; i < adjudications.size(); ++i) {
        if (cancelled[i]) continue;
        (adjudications[i]->verdict == Verdict::Paid ? paid : denied).push_back(adjudications[i]);
    }
    std::sort(paid.begin(), paid.end(), byContent);
    std::sort(denied.begin(), denied.end(), byContent);
    if (!paid.empty()) {
        decidedBy(v, *paid.front(), State::Paid);
        for (const AnswerEvent* e : paid) {
            v.paidCents = saturatedSum(v.paidCents, e->paidCents);
            v.patientCents = saturatedSum(v.patientCents, e->patientCents);
            addPayment(v, *e);
        }
    } else if (!denied.empty()) {
        decidedBy(v, *denied.front(), State::Denied);
        for (const AnswerEvent* e : denied) addPayment(v, *e);
    } else {
        decidedBy(v, *reversals.front(), State::Reversed);
    }
    return true;
}

// The stage an answer comes at: the interchange (TA1), the syntax (999), the claims (277CA).
int stage(Level level) { return level == Level::Interchange ? 0 : level <= Level::Set ? 1 : 2; }

// Of two rejections, the one to name: ZOD's before a payer's, the earlier stage (what
// stopped the claim first), and in one stage the innermost (a set's errors say more than
// its group's verdict).
bool namedFirst(const AnswerEvent& a, const AnswerEvent& b) {
    if (a.byClearinghouse != b.byClearinghouse) return a.byClearinghouse;
    if (stage(a.level) != stage(b.level)) return stage(a.level) < stage(b.level);
    return a.level > b.level;
}

// Of two acceptances, a payer's says more than ZOD's, and an inner level more than an outer.
bool saysMore(const AnswerEvent& a, const AnswerEvent& b) {
    if (a.byClearinghouse != b.byClearinghouse) return !a.byClearinghouse;
    return a.level > b.level;
}

}  // namespace

ClaimVerdict decide(std::span<const AnswerEvent* const> events, const QDateTime& sentAt,
                    const QDateTime& now) {
    std::vector<const AnswerEvent*> sorted(events.begin(), events.end());
    std::sort(sorted.begin(), sorted.end(), byContent);
    ClaimVerdict v;
    if (settled(sorted, v)) return v;
    // A service line's status is shown with its claim but does not decide it.
    const auto decides = [](const AnswerEvent* e) { return e->level != Level::Line; };
    const AnswerEvent* rejected = nullptr;
    for (const AnswerEvent* e : sorted)
        if (decides(e) && e->verdict == Verdict::Rejected &&
            (!rejected || namedFirst(*e, *rejected)))
            rejected = e;
    if (rejected) {
        decidedBy(v, *rejected, State::Rejected);
        return v;
    }
    const AnswerEvent* accepted = nullptr;
    for (const AnswerEvent* e : sorted)
        if (decides(e) && e->verdict == Verdict::Accepted && (!accepted || saysMore(*e, *accepted)))
            accepted = e;
    if (accepted) {
        decidedBy(v, *accepted, State::Accepted);
    } else if (sorted.empty() && sentAt.isValid() && now.isValid() && sentAt.addDays(2) <= now) {
        v.state = State::Unanswered;
    }
    return v;
}

ClaimVerdict decide(std::span<const AnswerEvent> events, const QDateTime& sentAt,
                    const QDateTime& now) {
    std::vector<const AnswerEvent*> pointers;
    pointers.reserve(events.size());
    for (const AnswerEvent& e : events) pointers.push_back(&e);
    return decide(std::span<const AnswerEvent* const>(pointers), sentAt, now);
}

std::vector<ClaimVerdict> decideFile(const SentFile& file, std::span<const MatchedEvent> events,
                                     const QDateTime& now) {
    const auto byClaim = eventsByClaim(file, events);
    std::vector<ClaimVerdict> out;
    out.reserve(byClaim.size());
    for (const auto& claimEvents : byClaim) out.push_back(decide(claimEvents, file.sentAt, now));
    return out;
}

QString stateText(State state) {
    static const char* const words[] = {
        "sent",   "no answer for two days", "accepted", "REJECTED", "paid",
        "denied", "payment reversed"};
    return QString::fromLatin1(words[int(state)]);
}

}  // namespace zv::answers
