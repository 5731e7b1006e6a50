// Which of the claims we sent each answer applies to: TA1 to its interchange, 999 to its
// group and sets, 277CA to its batch (found by the BHT03 we sent), provider and claims,
// 835 to its claims.
#include "answers/answer_events.h"

#include <array>

#include "answers/answer_read.h"
#include "answers/answer_words.h"

namespace zv::answers {

namespace {

bool sameOrBefore(const QDateTime& sent, const QDateTime& when) {
    return !when.isValid() || !sent.isValid() || sent <= when;
}

// `a` was sent after `b` (a time not known counts as the earliest).
bool sentLater(const SentFile& a, const SentFile& b) {
    if (!a.sentAt.isValid()) return false;
    return !b.sentAt.isValid() || a.sentAt > b.sentAt;
}

template <class T>
void appendOnce(QList<T>& list, const T& value) {
    if (list.isEmpty() || list.back() != value) list.append(value);
}

}  // namespace

bool covers(const Scope& s, const SentClaim& c, int index) {
    const bool inBatch = s.batch.isEmpty() || s.batch == c.batch;
    switch (s.level) {
        case Level::Interchange:
            return sameControlNumber(s.interchange, c.interchange);
        case Level::Group:
            return sameControlNumber(s.group, c.group);
        case Level::Set:
            return sameControlNumber(s.group, c.group) && sameControlNumber(s.set, c.set);
        case Level::Receiver:
            return inBatch;
        case Level::Provider:
            return inBatch && !s.provider.isEmpty() &&
                   (s.provider == c.providerNpi || s.provider == c.providerTaxId);
        case Level::Claim:
        case Level::Line:
            return s.claim == index;
    }
    return false;
}

int pickFile(std::span<const SentFile> files, std::span<const int> candidates,
             const QDateTime& when) {
    int best = -1;
    for (const int i : candidates) {
        if (i < 0 || i >= int(files.size()) || !sameOrBefore(files[i].sentAt, when)) continue;
        // The last sent wins; of two sent at once the later in the list.
        if (best < 0 || sentLater(files[i], files[best]) ||
            (!sentLater(files[best], files[i]) && i > best))
            best = i;
    }
    return best;
}

Matcher::Matcher(std::span<const SentFile> files) : files_(files), sets_(files.size()) {
    for (int f = 0; f < int(files.size()); ++f) {
        // Claims of one set share their envelope numbers: their keys are made once.
        const SentClaim* previous = nullptr;
        QString interchange, group, set;
        const auto& claims = files[f].claims;
        for (int i = 0; i < int(claims.size()); ++i) {
            const SentClaim& c = claims[i];
            if (!previous || c.interchange != previous->interchange || c.group != previous->group ||
                c.set != previous->set) {
                interchange = controlKey(c.interchange);
                group = controlKey(c.group);
                set = controlKey(c.set);
                appendOnce(byInterchange_[interchange], f);
                appendOnce(byGroup_[group], f);
                sets_[f].insert(group + QLatin1Char(' ') + set);
            }
            if (!c.batch.isEmpty()) appendOnce(byBatch_[c.batch], f);
            if (!c.patientControlNumber.isEmpty()) byClaim_[c.patientControlNumber].append({f, i});
            previous = &c;
        }
    }
}

bool Matcher::hasSet(int file, const QString& group, const QString& set) const {
    return sets_[file].contains(group + QLatin1Char(' ') + set);
}

Matcher::ClaimRef Matcher::findClaim(const QString& number, std::optional<qint64> charge,
                                     int inFile, const QDateTime& when, QSet<qint64>* taken) const {
    const auto found = byClaim_.constFind(number);
    if (found == byClaim_.cend()) return {};
    const QList<ClaimRef>& refs = *found;
    // Nearly always one claim has the number: nothing to choose.
    if (refs.size() == 1) {
        const ClaimRef& r = refs.front();
        const bool fits =
            inFile >= 0 ? r.file == inFile : sameOrBefore(files_[r.file].sentAt, when);
        return fits ? r : ClaimRef{};
    }
    const auto chargeFits = [&](const ClaimRef& r) {
        return !charge || files_[r.file].claims[r.claim].chargeCents == *charge;
    };
    const auto key = [](const ClaimRef& r) { return (qint64(r.file) << 32) | r.claim; };
    // The file first: among those whose claim's charge fits, if any does.
    QList<int> fitting, holding;
    for (const ClaimRef& r : refs) {
        if (inFile >= 0 && r.file != inFile) continue;
        appendOnce(holding, r.file);
        if (chargeFits(r)) appendOnce(fitting, r.file);
    }
    const int file = inFile >= 0 && !holding.isEmpty()
                         ? inFile
                         : pickFile(files_, fitting.isEmpty() ? holding : fitting, when);
    if (file < 0) return {};
    // Then the claim in it: a number used twice in one file is answered once for each.
    ClaimRef best;
    int bestRank = -1;
    for (const ClaimRef& r : refs) {
        if (r.file != file) continue;
        const int rank = 2 * chargeFits(r) + !(taken && taken->contains(key(r)));
        if (rank > bestRank) {
            best = r;
            bestRank = rank;
        }
    }
    if (taken) taken->insert(key(best));
    return best;
}

namespace {

using detail::listed;

Verdict ackVerdict(const QString& code) {
    return ackRejects(code)   ? Verdict::Rejected
           : ackAccepts(code) ? Verdict::Accepted
                              : Verdict::Info;
}

Verdict categoryVerdict(const QString& category) {
    return categoryRejects(category)   ? Verdict::Rejected
           : categoryAccepts(category) ? Verdict::Accepted
                                       : Verdict::Info;
}

Verdict paymentVerdict(const QString& status) {
    static const QStringList processed = {QStringLiteral("1"),  QStringLiteral("2"),
                                          QStringLiteral("3"),  QStringLiteral("19"),
                                          QStringLiteral("20"), QStringLiteral("21")};
    if (processed.contains(status)) return Verdict::Paid;
    if (status == QLatin1String("4")) return Verdict::Denied;
    if (status == QLatin1String("22")) return Verdict::Reversed;
    return Verdict::Info;  // 23 forwarded, 25 predetermination: nothing decided
}

QString withErrors(QString words, const QString& errors) {
    return errors.isEmpty() ? words : words + QStringLiteral(": ") + errors;
}

// One report's answers placed on the claims.
class Placing {
public:
    Placing(const Matcher& m, const QString& report, const QDateTime& when, Matched& out)
        : m_(m), files_(m.files()), report_(report), when_(when), out_(out) {}

    void interchange(const InterchangeAck& a) {
        const QString key = controlKey(a.interchange);
        AnswerEvent e = event(Level::Interchange, QStringLiteral("ZOD"), true);
        e.code = QStringLiteral("TA1 ") + a.code;
        e.verdict = a.code == QLatin1String("R") ? Verdict::Rejected : ackVerdict(a.code);
        e.reason = QStringLiteral("interchange ") + ackWords(a.code);
        if (!a.note.isEmpty() && a.note != QLatin1String("000"))
            e.reason += QStringLiteral(": ") + ta1NoteWords(a.note);
        e.detail = QStringLiteral("interchange ") + a.interchange;
        Scope scope{Level::Interchange, key, {}, {}, {}, {}, -1};
        place(pickFile(files_, m_.filesWithInterchange(key), when_), scope, std::move(e));
    }

    void group(const GroupAck& g) {
        const QString group = controlKey(g.group);
        QList<int> holding;  // the files whose group holds every set answered
        for (const int f : m_.filesWithGroup(group)) {
            bool all = true;
            for (const SetAck& s : g.sets) all = all && m_.hasSet(f, group, controlKey(s.set));
            if (all) holding << f;
        }
        const int file = pickFile(files_, holding, when_);
        if (!g.code.isEmpty()) {
            AnswerEvent e = event(Level::Group, QStringLiteral("ZOD"), true);
            e.code = QStringLiteral("AK9 ") + g.code;
            e.verdict = ackVerdict(g.code);  // P: its sets' answers decide
            e.reason = withErrors(QStringLiteral("group ") + ackWords(g.code), g.errors);
            e.detail = QStringLiteral("group ") + g.group;
            place(file, Scope{Level::Group, {}, group, {}, {}, {}, -1}, std::move(e));
        }
        for (const SetAck& s : g.sets) {
            AnswerEvent e = event(Level::Set, QStringLiteral("ZOD"), true);
            e.code = QStringLiteral("IK5 ") + s.code;
            e.verdict = ackVerdict(s.code);
            e.reason = withErrors(QStringLiteral("transaction set ") + ackWords(s.code), s.errors);
            e.detail = QStringLiteral("group ") + g.group + QStringLiteral(", set ") + s.set;
            place(file, Scope{Level::Set, {}, group, controlKey(s.set), {}, {}, -1}, std::move(e));
        }
    }

    void source(const StatusSource& src) {
        const bool zod = src.clearinghouse;
        const QString who = zod                  ? QStringLiteral("ZOD")
                            : src.name.isEmpty() ? QStringLiteral("the payer")
                                                 : src.name;
        for (const ReceiverStatus& r : src.receivers) receiver(r, who, zod);
    }

    void remittance(const Remittance& r) {
        const QString who = r.payer.isEmpty() ? QStringLiteral("the payer") : r.payer;
        for (const ClaimPayment& c : r.claims) {
            AnswerEvent e = event(Level::Claim, who, false);
            e.code = QStringLiteral("CLP02 ") + c.status;
            e.verdict = paymentVerdict(c.status);
            e.reason = claimPaymentWords(c.status);
            e.detail = paymentDetail(c);
            e.chargeCents = c.chargeCents;
            e.paidCents = c.paidCents;
            e.patientCents = c.patientCents;
            e.checkNumber = r.checkNumber;
            e.checkDate = r.date;
            e.payerClaimNumber = c.payerClaimNumber;
            e.remittanceDifferenceCents = r.differenceCents;
            // A reversal repeats the claim's amounts with their signs turned.
            const qint64 charge = e.verdict == Verdict::Reversed ? -c.chargeCents : c.chargeCents;
            const Matcher::ClaimRef ref =
                m_.findClaim(c.patientControlNumber, charge, -1, when_, nullptr);
            place(ref.file, claimScope(ref.claim, Level::Claim), std::move(e),
                  QStringLiteral("claim ") + c.patientControlNumber);
        }
    }

private:
    AnswerEvent event(Level level, const QString& source, bool zod) const {
        AnswerEvent e;
        e.report = report_;
        e.level = level;
        e.source = source;
        e.byClearinghouse = zod;
        e.when = when_;
        return e;
    }

    static Scope claimScope(int claim, Level level) {
        Scope s;
        s.level = level;
        s.claim = claim;
        return s;
    }

    void place(int file, const Scope& scope, AnswerEvent e, const QString& what = {}) {
        if (file >= 0) {
            out_.events.push_back({file, scope, std::move(e)});
            return;
        }
        // About nothing sent from here (another workstation's claim, or one sent before the
        // claims were recorded): only what needs a person is told, with the report to read.
        if (e.verdict != Verdict::Rejected && e.verdict != Verdict::Denied) return;
        out_.unplaced << e.report + QStringLiteral(": ") + (what.isEmpty() ? e.detail : what) +
                             (e.verdict == Verdict::Rejected ? QStringLiteral(" REJECTED by ")
                                                             : QStringLiteral(" DENIED by ")) +
                             e.source + QStringLiteral(" (") + e.code + QLatin1Char(' ') +
                             e.reason + QStringLiteral("); no claim file sent from here has it");
    }

    static QString paymentDetail(const ClaimPayment& c) {
        QStringList adjustments;
        for (const Adjustment& a : c.adjustments)
            adjustments << a.group + QLatin1Char('-') + a.reason + QLatin1Char(' ') +
                               moneyText(a.cents);
        QString text = QStringLiteral("charge ") + moneyText(c.chargeCents) +
                       QStringLiteral(", paid ") + moneyText(c.paidCents) +
                       QStringLiteral(", patient ") + moneyText(c.patientCents);
        if (!adjustments.isEmpty())
            text += QStringLiteral("; adjustments ") + listed(adjustments, 6, QStringLiteral(", "));
        return text;
    }

    // Each status composite of a loop is one event.
    void statuses(const Statuses& st, Level level, int file, const Scope& scope,
                  const QString& where, const QString& who, bool zod,
                  const QString& payerClaim = {}) {
        for (const StatusCode& c : st.codes) {
            AnswerEvent e = event(level, who, zod);
            e.code = c.category;
            e.verdict = level == Level::Line ? Verdict::Info : categoryVerdict(c.category);
            e.reason = categoryWords(c.category);
            e.detail = where + QStringLiteral(": status code ") + c.status;
            if (!c.entity.isEmpty()) e.detail += QStringLiteral(", entity ") + c.entity;
            if (!st.message.isEmpty())
                e.detail += QStringLiteral(" (") + st.message + QLatin1Char(')');
            e.chargeCents = st.chargeCents.value_or(0);
            e.payerClaimNumber = payerClaim;
            place(file, scope, std::move(e), where);
        }
    }

    // The file a batch answer means: the one whose BHT03 it names (holding one of its
    // claims, when it lists any); else the one file its claims are in; else the only file.
    std::pair<int, bool> batchFile(const ReceiverStatus& r) const {
        const QList<int> batchFiles = r.batch.isEmpty() ? QList<int>() : m_.filesWithBatch(r.batch);
        if (!hasClaims(r)) {
            if (const int named = pickFile(files_, batchFiles, when_); named >= 0)
                return {named, true};
            if (files_.size() != 1) return {-1, false};
            return {pickFile(files_, std::array{0}, when_), false};
        }
        if (const int f = pickFile(files_, namedHolding(r, batchFiles), when_); f >= 0)
            return {f, true};
        QSet<int> holding;
        for (const ProviderStatus& p : r.providers)
            for (const ClaimStatus& c : p.claims) {
                const auto ref = m_.findClaim(c.patientControlNumber, c.statuses.chargeCents, -1,
                                              when_, nullptr);
                if (ref.file >= 0) holding.insert(ref.file);
            }
        if (holding.size() == 1) return {*holding.begin(), false};
        return {-1, false};
    }

    // Of the files the batch names, those that hold one of its claims; the claims are looked
    // at until each of them is seen.
    QList<int> namedHolding(const ReceiverStatus& r, const QList<int>& batchFiles) const {
        const QSet<int> batchSet(batchFiles.begin(), batchFiles.end());
        QSet<int> named;
        for (const ProviderStatus& p : r.providers)
            for (const ClaimStatus& c : p.claims) {
                if (named.size() == batchSet.size()) break;
                for (const Matcher::ClaimRef& ref : m_.claimsNumbered(c.patientControlNumber))
                    if (batchSet.contains(ref.file)) named.insert(ref.file);
            }
        return QList<int>(named.begin(), named.end());
    }

    static bool hasClaims(const ReceiverStatus& r) {
        for (const ProviderStatus& p : r.providers)
            if (!p.claims.empty()) return true;
        return false;
    }

    void receiver(const ReceiverStatus& r, const QString& who, bool zod) {
        const auto [file, byBatch] = batchFile(r);
        const QString batch = byBatch ? r.batch : QString();
        statuses(r.statuses, Level::Receiver, file,
                 Scope{Level::Receiver, {}, {}, {}, batch, {}, -1},
                 QStringLiteral("batch ") + r.batch, who, zod);
        for (const ProviderStatus& p : r.providers) {
            QList<int> providerFiles;  // where the provider's claims are when the batch is not
            QSet<int> seen;
            if (file >= 0) {
                providerFiles << file;
                seen.insert(file);
            }
            for (const ClaimStatus& c : p.claims) {
                Matcher::ClaimRef ref = m_.findClaim(c.patientControlNumber, c.statuses.chargeCents,
                                                     file, when_, &taken_);
                if (ref.file < 0 && file >= 0)
                    ref = m_.findClaim(c.patientControlNumber, c.statuses.chargeCents, -1, when_,
                                       &taken_);
                if (ref.file >= 0 && !seen.contains(ref.file)) {
                    seen.insert(ref.file);
                    providerFiles << ref.file;
                }
                claim(c, ref, who, zod);
            }
            const Scope scope{Level::Provider, {}, {}, {}, batch, p.id, -1};
            const QString where = QStringLiteral("provider ") + p.name + QStringLiteral(" (") +
                                  p.id + QLatin1Char(')');
            if (providerFiles.isEmpty())
                statuses(p.statuses, Level::Provider, -1, scope, where, who, zod);
            for (const int f : providerFiles)
                statuses(p.statuses, Level::Provider, f, scope, where, who, zod);
        }
    }

    void claim(const ClaimStatus& c, const Matcher::ClaimRef& ref, const QString& who, bool zod) {
        const QString where = QStringLiteral("claim ") + c.patientControlNumber;
        statuses(c.statuses, Level::Claim, ref.file, claimScope(ref.claim, Level::Claim), where,
                 who, zod, c.payerClaimNumber);
        for (const LineStatus& l : c.lines)
            statuses(l.statuses, Level::Line, ref.file, claimScope(ref.claim, Level::Line),
                     where + QStringLiteral(", service ") + l.service, who, zod,
                     c.payerClaimNumber);
    }

    const Matcher& m_;
    std::span<const SentFile> files_;
    const QString& report_;
    const QDateTime& when_;
    Matched& out_;
    QSet<qint64> taken_;  // claims this report answered already
};

}  // namespace

namespace {

// How many events a report makes at most, so that they are kept without regrowing.
size_t eventsIn(const ParsedReport& report) {
    size_t n = report.interchanges.size();
    for (const GroupAck& g : report.groups) n += 1 + g.sets.size();
    for (const Remittance& r : report.remittances) n += r.claims.size();
    for (const StatusSource& s : report.statuses)
        for (const ReceiverStatus& r : s.receivers) {
            n += r.statuses.codes.size();
            for (const ProviderStatus& p : r.providers) {
                n += p.statuses.codes.size();
                for (const ClaimStatus& c : p.claims) {
                    n += c.statuses.codes.size();
                    for (const LineStatus& l : c.lines) n += l.statuses.codes.size();
                }
            }
        }
    return n;
}

}  // namespace

Matched Matcher::match(const ParsedReport& report, const QString& reportName,
                       const QDateTime& when) const {
    Matched out;
    out.events.reserve(eventsIn(report));
    Placing placing(*this, reportName, when, out);
    for (const InterchangeAck& a : report.interchanges) placing.interchange(a);
    for (const GroupAck& g : report.groups) placing.group(g);
    for (const StatusSource& s : report.statuses) placing.source(s);
    for (const Remittance& r : report.remittances) placing.remittance(r);
    return out;
}

std::vector<std::vector<const AnswerEvent*>> eventsByClaim(const SentFile& file,
                                                           std::span<const MatchedEvent> events) {
    std::vector<std::vector<const AnswerEvent*>> out(file.claims.size());
    std::vector<const MatchedEvent*> wide;
    for (const MatchedEvent& m : events) {
        if (m.scope.level != Level::Claim && m.scope.level != Level::Line)
            wide.push_back(&m);
        else if (m.scope.claim >= 0 && m.scope.claim < int(out.size()))
            out[m.scope.claim].push_back(&m.event);
    }
    if (wide.empty()) return out;
    for (int i = 0; i < int(out.size()); ++i)
        for (const MatchedEvent* m : wide)
            if (covers(m->scope, file.claims[i], i)) out[i].push_back(&m->event);
    return out;
}

}  // namespace zv::answers
