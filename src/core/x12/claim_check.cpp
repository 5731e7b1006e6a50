// The claim checker's entry point and the envelope: interchanges, groups and transaction
// sets with their counts and control numbers.
#include "x12/claim_check.h"

#include <algorithm>

#include "x12/claim_check_values.h"
#include "x12/claim_check_walker.h"

namespace zv::x12::check {
namespace {

// ISA elements with the TA1 note code for a bad value and the codes allowed.
struct IsaRule {
    int element;
    const char* ta1;
    std::initializer_list<std::string_view> codes;
};
const IsaRule kIsaRules[] = {
    {1, "010", {"00", "03"}},
    {2, "011", {}},
    {3, "012", {"00", "01"}},
    {4, "013", {}},
    {5, "005", {"01", "14", "20", "27", "28", "29", "30", "33", "ZZ"}},
    {6, "006", {}},
    {7, "007", {"01", "14", "20", "27", "28", "29", "30", "33", "ZZ"}},
    {8, "008", {}},
    {9, "014", {}},
    {10, "015", {}},
    {12, "017", {"00501"}},
    {13, "018", {}},
    {14, "019", {"0", "1"}},
    {15, "020", {"P", "T"}},
};

bool sameNumber(std::string_view a, std::string_view b) {
    while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
    while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
    return a == b;
}

// The guide of the first group of the interchange at `start`, or why there is none.
const Guide* firstGuide(std::string_view data, const IsaHeader& header, std::string& version) {
    const auto classes = classTable(header.separators);
    SegmentReader reader(data, std::size_t(header.bytes.data() - data.data()) + kIsaLength,
                         header.separators, classes);
    Segment s;
    if (!reader.next(s) || s.key() != segmentKey("GS")) return nullptr;
    version = std::string(s.element(8));
    return findGuide(version);
}

}  // namespace

CheckReport checkClaimFile(std::string_view bytes, const CheckOptions& options) {
    CheckReport report;
    Walker(options, report).run(bytes);
    return report;
}

void Walker::run(std::string_view data) {
    std::size_t pos = 0;
    if (!skipBlank(data, pos) || data.substr(pos, 3) != "ISA") {
        report_.notChecked = "it is not an X12 interchange";
        return;
    }
    std::string why;
    auto header = readIsa(data, pos, why);
    if (!header) {
        report_.kind = FileKind::Unreadable;
        report_.notChecked = why;
        if (Finding* f = add(Rule::InterchangeHeader)) {
            f->segment = "ISA";
            f->loopName = "Interchange Control Header";
            f->problem = "The file cannot be read: " + why + ".";
            f->answer = interchangeAnswer("024");
        }
        return;
    }
    const Guide* guide = firstGuide(data, *header, report_.guide);
    if (!guide) {
        report_.notChecked = report_.guide.empty()
                                 ? "it holds no functional group (GS) after its header"
                                 : "it holds no 837 claims in version 5010 (GS08 is " +
                                       shownValue(report_.guide) + ")";
        return;
    }
    report_.kind = guide->kind;
    for (;;) {
        pos = interchange(data, pos, *header);
        if (!skipBlank(data, pos)) return;
        if (data.substr(pos, 3) != "ISA" || !(header = readIsa(data, pos, why))) {
            if (Finding* f = add(Rule::EnvelopeOrder)) {
                f->segment = shownValue(data.substr(pos, 3));
                f->problem = "There is more data after the end of the interchange (IEA): " +
                             (data.substr(pos, 3) == "ISA" ? why : "it is not an interchange") +
                             ".";
            }
            return;
        }
    }
}

std::size_t Walker::interchange(std::string_view data, std::size_t start, const IsaHeader& header) {
    separators_ = header.separators;
    classes_ = classTable(separators_);
    level_ = Level::Interchange;
    groups_ = 0;
    seg_.split(header.bytes, classes_);
    ++report_.segments;
    checkIsa(header);
    isa13_ = std::string(seg_.element(13));

    SegmentReader reader(data, start + kIsaLength, separators_, classes_);
    while (reader.next(seg_)) {
        if (seg_.key() == segmentKey("ISA")) {  // a new interchange before this one ended
            endGroup();
            if (Finding* f = add(Rule::InterchangeEndMissing))
                f->problem = "The interchange " + shownValue(isa13_) +
                             " has no end (IEA) before the next interchange begins.";
            return reader.segmentStart();
        }
        ++report_.segments;
        if (level_ == Level::Transaction) ++segmentNumber_;
        if (seg_.key() == segmentKey("IEA")) {
            endInterchange();
            return reader.position();
        }
        envelopeSegment();
    }
    endGroup();
    if (Finding* f = add(Rule::InterchangeEndMissing))
        f->problem = "The file ends before the end of the interchange (IEA): it was cut short.";
    return data.size();
}

void Walker::envelopeSegment() {
    const std::uint32_t key = seg_.key();
    const bool outOfPlace = (key == segmentKey("GE") && level_ == Level::Interchange) ||
                            (key == segmentKey("ST") && level_ == Level::Interchange) ||
                            (key == segmentKey("SE") && level_ != Level::Transaction);
    if (outOfPlace) {
        if (Finding* f = add(Rule::EnvelopeOrder))
            f->problem =
                key == segmentKey("GE") ? "An end of group (GE) has no start (GS) before it."
                : key == segmentKey("ST")
                    ? "A transaction set (ST) begins outside a functional group (GS to GE)."
                    : "An end of transaction set (SE) has no start (ST) before it.";
    } else if (key == segmentKey("GS")) {
        endGroup();
        beginGroup();
    } else if (key == segmentKey("GE")) {
        endTransaction(false);
        endGroupWithTrailer();
    } else if (key == segmentKey("ST")) {
        endTransaction(false);
        beginTransaction();
    } else if (key == segmentKey("SE")) {
        endTransaction(true);
    } else if (level_ == Level::Transaction) {
        if (guide_) transactionSegment();
    } else if (key != segmentKey("TA1")) {
        if (Finding* f = add(Rule::EnvelopeOrder))
            f->problem = "The segment " + shownValue(seg_.id()) +
                         " is outside a transaction set (ST to SE).";
    }
}

void Walker::endInterchange() {
    endGroup();
    if (const SegmentDef* def = findSegment(seg_.key())) checkElements(*def, nullptr);
    envelopeCount(Rule::InterchangeCount, 1, groups_, "functional groups");
    if (!seg_.element(2).empty() && !sameNumber(seg_.element(2), isa13_))
        if (Finding* f = addAt(Rule::InterchangeNumber, 2, 0, seg_.element(2)))
            f->problem = "The interchange's end (IEA02) names control number " +
                         shownValue(seg_.element(2)) + ", but its header (ISA13) says " +
                         shownValue(isa13_) + ".";
}

void Walker::endGroupWithTrailer() {
    if (const SegmentDef* def = findSegment(seg_.key())) checkElements(*def, nullptr);
    envelopeCount(Rule::GroupCount, 1, transactions_, "transaction sets");
    if (!seg_.element(2).empty() && !sameNumber(seg_.element(2), groupNumber_))
        if (Finding* f = addAt(Rule::GroupNumber, 2, 0, seg_.element(2)))
            f->problem = "The group's end (GE02) names control number " +
                         shownValue(seg_.element(2)) + ", but its start (GS06) says " +
                         shownValue(groupNumber_) + ".";
    level_ = Level::Interchange;
}

void Walker::checkIsa(const IsaHeader& header) {
    for (const IsaRule& rule : kIsaRules) {
        const std::string_view v = seg_.element(rule.element);
        const ValueDef& def =
            findSegment(segmentKey("ISA"))->elements[std::size_t(rule.element - 1)];
        bool bad = (seg_.flags(rule.element) & kHasBadCharacter) ||
                   checkValue(def, v) != ValueProblem::None;
        if (rule.element != 2 && rule.element != 4 && rule.element != 6 && rule.element != 8)
            bad = bad || v.find(' ') != std::string_view::npos ||
                  (rule.codes.size() > 0 &&
                   std::find(rule.codes.begin(), rule.codes.end(), v) == rule.codes.end());
        if (bad)
            if (Finding* f = addAt(Rule::InterchangeHeader, rule.element, 0, v)) {
                f->problem = "The value is not valid for this element of the interchange header.";
                f->answer = interchangeAnswer(rule.ta1);
            }
    }
    if (!header.separators.repetition)
        if (Finding* f = addAt(Rule::InterchangeHeader, 11, 0, seg_.element(11))) {
            f->problem =
                "In version 5010 this element holds the repetition separator, a "
                "character that is neither a letter, a digit nor another separator.";
            f->answer = interchangeAnswer("024");
        }
}

void Walker::envelopeCount(Rule rule, int element, std::int64_t counted, const char* what) {
    const std::string_view said = seg_.element(element);
    if (said.empty() || (isDigits(said) && sameNumber(said, std::to_string(counted)))) return;
    if (Finding* f = addAt(rule, element, 0, said))
        f->problem = "It says " + shownValue(said) + " " + what + ", but there " +
                     (counted == 1 ? "is " : "are ") + std::to_string(counted) + ".";
}

void Walker::beginGroup() {
    level_ = Level::Group;
    ++groups_;
    transactions_ = 0;
    groupNumber_ = std::string(seg_.element(6));
    guide_ = findGuide(seg_.element(8));
    if (!guide_) return;  // another kind of group: its envelope is still counted
    if (const SegmentDef* def = findSegment(seg_.key())) checkElements(*def, nullptr);
    if (seg_.element(1) != "HC")
        if (Finding* f = addAt(Rule::ElementBadCode, 1, 0, seg_.element(1)))
            f->problem = "A group of health care claims has the functional identifier HC.";
    if (seg_.element(7) != "X")
        if (Finding* f = addAt(Rule::ElementBadCode, 7, 0, seg_.element(7)))
            f->problem = "The responsible agency code of an X12 group is X.";
}

void Walker::endGroup() {
    endTransaction(false);
    if (level_ != Level::Group) return;
    if (Finding* f = add(Rule::GroupEndMissing))
        f->problem = "The functional group " + shownValue(groupNumber_) + " has no end (GE).";
    level_ = Level::Interchange;
}

void Walker::beginTransaction() {
    level_ = Level::Transaction;
    ++transactions_;
    segmentNumber_ = 1;
    transactionNumber_ = std::string(seg_.element(2));
    hlCount_ = 0;
    if (!guide_) return;
    ++report_.transactions;
    stack_.clear();
    openLoop(guide_->transaction);
    checkElements(*findSegment(seg_.key()), &guide_->transaction->items[0]);
    if (!seg_.element(3).empty() && seg_.element(3) != guide_->version)
        if (Finding* f = addAt(Rule::ElementBadCode, 3, 0, seg_.element(3)))
            f->problem = "The transaction names the guide " + shownValue(seg_.element(3)) +
                         ", but its group (GS08) says " + guide_->version + ".";
}

void Walker::endTransaction(bool trailer) {
    if (level_ != Level::Transaction) return;
    if (guide_)
        while (!stack_.empty()) closeLoop();
    if (!trailer) {
        if (Finding* f = add(Rule::TransactionEndMissing))
            f->problem =
                "The transaction set " + shownValue(transactionNumber_) + " has no end (SE).";
        level_ = Level::Group;
        return;
    }
    if (const SegmentDef* def = findSegment(seg_.key())) checkElements(*def, nullptr);
    envelopeCount(Rule::TransactionCount, 1, segmentNumber_, "segments");
    if (!seg_.element(2).empty() && seg_.element(2) != transactionNumber_)
        if (Finding* f = addAt(Rule::TransactionNumber, 2, 0, seg_.element(2)))
            f->problem = "The transaction set's end (SE02) names control number " +
                         shownValue(seg_.element(2)) + ", but its start (ST02) says " +
                         shownValue(transactionNumber_) + ".";
    level_ = Level::Group;
}

Finding* Walker::add(Rule rule, int element, int component) {
    return addAt(rule, element, component, seg_.element(element));
}

Finding* Walker::addAt(Rule rule, int element, int component, std::string_view value) {
    const RuleInfo& info = ruleInfo(rule);
    (info.severity == Severity::Error ? report_.errors : report_.warnings)++;
    if (report_.findings.size() >= options_.maxFindings) {
        ++report_.findingsLeftOut;
        return nullptr;
    }
    Finding& f = report_.findings.emplace_back();
    f.rule = rule;
    f.severity = info.severity;
    f.answer = std::string(info.answer);
    f.action = std::string(info.action);
    f.value = element > 0 ? shownValue(value) : std::string();
    describe(f, element, component);
    return &f;
}

}  // namespace zv::x12::check
