// The guide's loops and the elements' syntax: where each segment of a transaction set
// belongs, what is missing, too often or out of place, and whether each value has its
// type, length and code.
#include "x12/claim_check_walker.h"

namespace zv::x12::check {
namespace {

struct Match {
    std::size_t depth = 0;
    std::uint16_t item = 0;
    bool qualifierMismatch = false;
};

std::string_view qualifierValue(const Segment& s, std::uint32_t key, char componentSeparator) {
    const Position p = qualifierPosition(key);
    if (p.element == 0) return {};
    const std::string_view e = s.element(p.element);
    return p.component ? component(e, p.component, componentSeparator) : e;
}

// The innermost open loop with an item, at or after its position, that takes the segment;
// failing that, one whose qualifier alone does not fit. A loop's first item is only ever
// reached through its parent: a second CLM starts another claim.
std::optional<Match> findPlace(const std::vector<OpenLoop>& stack, std::uint32_t key,
                               std::string_view qualifier) {
    std::optional<Match> mismatch;
    for (std::size_t d = stack.size(); d-- > 0;) {
        const OpenLoop& o = stack[d];
        if (!(o.def->keys & keyBit(key))) continue;
        const std::vector<Item>& items = o.def->items;
        for (std::size_t i = std::max<std::size_t>(items[o.pos].runStart, 1); i < items.size();
             ++i) {
            if (items[i].key != key) continue;
            if (items[i].selects(qualifier)) return Match{d, std::uint16_t(i), false};
            if (!mismatch) mismatch = Match{d, std::uint16_t(i), true};
        }
    }
    return mismatch;
}

// The earlier place of an open loop where the segment belongs, if any: counted there, so
// that a segment out of order is not also reported missing.
std::uint16_t* earlierPlace(std::vector<OpenLoop>& stack, std::uint32_t key,
                            std::string_view qualifier) {
    for (OpenLoop& o : stack)
        for (std::size_t i = 1; i < o.def->items[o.pos].runStart; ++i)
            if (o.def->items[i].key == key && !o.def->items[i].loop &&
                o.def->items[i].selects(qualifier))
                return &o.counts[i];
    return nullptr;
}

std::string joined(const std::vector<std::string>& codes) {
    std::string out;
    for (std::size_t i = 0; i < codes.size() && i < 12; ++i) out += (i ? ", " : "") + codes[i];
    return codes.size() > 12 ? out + ", ..." : out;
}

}  // namespace

void Walker::transactionSegment() {
    const SegmentDef* def = findSegment(seg_.key());
    if (!def) {
        if (Finding* f = add(Rule::SegmentUnrecognized))
            f->problem =
                "The segment ID " + shownValue(seg_.id()) + " is not one an 837 claim may hold.";
        return;
    }
    place(*def);
}

void Walker::place(const SegmentDef& def) {
    const std::string_view qualifier = qualifierValue(seg_, seg_.key(), separators_.component);
    const std::optional<Match> m = findPlace(stack_, seg_.key(), qualifier);
    if (!m || (m->qualifierMismatch && stack_[m->depth].def->items[m->item].loop)) {
        const Position q = qualifierPosition(seg_.key());
        if (m) {  // a loop's first segment with a qualifier that opens no loop
            if (Finding* f = add(Rule::ElementBadCode, q.element, q.component))
                f->problem = "This value does not begin any loop that may follow here.";
        } else if (std::uint16_t* count = earlierPlace(stack_, seg_.key(), qualifier)) {
            ++*count;
            if (Finding* f = add(Rule::SegmentOutOfOrder))
                f->problem = "The segment comes too late: in this loop it belongs further up.";
        } else if (Finding* f = add(Rule::SegmentUnexpected)) {
            f->problem = "The segment " + std::string(seg_.id()) + " does not belong here.";
        }
        item_ = nullptr;
        checkElements(def, nullptr);
        return;
    }
    closeLoopsTo(m->depth);
    OpenLoop& o = stack_.back();
    o.pos = m->item;
    const Item& item = o.def->items[m->item];
    const std::uint16_t count = ++o.counts[m->item];
    if (item.loop) {
        if (count > item.max)
            if (Finding* f = add(Rule::LoopTooMany))
                f->problem = "The loop " + item.loop->id + " " + item.loop->name + " occurs " +
                             std::to_string(count) + " times here; at most " +
                             std::to_string(item.max) + " are allowed.";
        openLoop(item.loop);
        item_ = &item.loop->items[0];
        checkElements(def, item_);
    } else {
        if (count > item.max)
            if (Finding* f = add(Rule::SegmentTooMany))
                f->problem = "The segment occurs " + std::to_string(count) +
                             " times here; at most " + std::to_string(item.max) + " are allowed.";
        if (m->qualifierMismatch) {
            const Position q = qualifierPosition(seg_.key());
            if (Finding* f = add(Rule::ElementBadCode, q.element, q.component))
                f->problem = "This code is not valid here; the guide allows " +
                             joined(item.qualifiers) + ".";
        }
        item_ = &item;
        checkElements(def, item_);
    }
    content(*stack_.back().def);
}

void Walker::openLoop(const LoopDef* def) {
    OpenLoop& o = stack_.emplace_back();
    o.def = def;
    o.counts[0] = 1;
    onLoopOpened(*def);
}

void Walker::closeLoopsTo(std::size_t depth) {
    while (stack_.size() > depth + 1) closeLoop();
}

void Walker::closeLoop() {
    const OpenLoop& o = stack_.back();
    findingLoop_ = o.def;
    for (const std::uint16_t i : o.def->required) {
        const Item& item = o.def->items[i];
        if (o.counts[i] >= item.min) continue;
        // Items of one run may stand for one another: a missing REF*EI is not made good by a
        // REF*0B, but each item is counted on its own, so the check is per item.
        if (Finding* f = addAt(Rule::SegmentMissing, 0, 0, {})) {
            f->segment = item.segment->id;
            const std::string what = item.loop
                                         ? "the loop " + item.loop->id + " " + item.loop->name +
                                               " (its " + item.segment->id + " segment)"
                                         : "the segment " + item.segment->id + " " +
                                               withEntity(item.segment->title, o.def->entity);
            const std::string which = item.qualifiers.empty()
                                          ? std::string()
                                          : " with qualifier " + joined(item.qualifiers);
            f->problem =
                "The guide requires " + what + which + " here, but it is missing" +
                (item.min > 1 ? " or occurs fewer than " + std::to_string(item.min) + " times."
                              : ".");
        }
    }
    onLoopClosed(o);
    findingLoop_ = nullptr;
    stack_.pop_back();
}

void Walker::checkElements(const SegmentDef& def, const Item* item) {
    const int defined = int(def.elements.size());
    if (seg_.tooManyElements() || seg_.count() > defined)
        if (Finding* f = addAt(Rule::ElementTooMany, defined + 1, 0, seg_.element(defined + 1)))
            f->problem = "The segment has more elements than the standard defines (" +
                         std::to_string(defined) + ").";
    const int n = std::min(seg_.count(), defined);
    for (int i = 1, last = std::max(n, def.lastMandatory); i <= last; ++i) {
        const ValueDef& d = def.elements[std::size_t(i - 1)];
        if (i <= n && !seg_.element(i).empty()) {
            checkElement(d, i);
        } else if (d.mandatory) {
            if (Finding* f = add(Rule::ElementMissing, i))
                f->problem = "This element is mandatory, but it is empty.";
        }
    }
    if (item) checkRules(*item);
}

void Walker::checkElement(const ValueDef& def, int element) {
    const std::string_view v = seg_.element(element);
    const std::uint8_t flags = seg_.flags(element);
    if (flags & kHasBadCharacter) {
        if (Finding* f = add(Rule::ElementBadCharacter, element))
            f->problem =
                "The value holds a character that X12 does not allow (a control "
                "character or a letter outside plain ASCII, such as an accent).";
    } else if (flags & kHasRepetition) {
        if (Finding* f = add(Rule::ElementRepeated, element))
            f->problem = std::string("The value holds the repetition separator '") +
                         separators_.repetition + "', which this element may not repeat.";
    } else if (def.type != Type::Composite && (flags & kHasComponent)) {
        if (Finding* f = add(Rule::ElementTooManyComponents, element))
            f->problem = std::string("The value holds the component separator '") +
                         separators_.component + "', but this element has no components.";
    } else if (def.type != Type::Composite) {
        checkValueAt(def, element, 0, v);
    } else {
        checkComposite(def, element, v);
    }
}

void Walker::checkComposite(const ValueDef& def, int element, std::string_view v) {
    const int count = componentCount(v, separators_.component);
    if (count > int(def.components.size()))
        if (Finding* f = add(Rule::ElementTooManyComponents, element))
            f->problem = "The element has " + std::to_string(count) + " components; at most " +
                         std::to_string(def.components.size()) + " are defined.";
    for (int c = 1; c <= int(def.components.size()); ++c) {
        const ValueDef& cd = def.components[std::size_t(c - 1)];
        const std::string_view cv = component(v, c, separators_.component);
        if (!cv.empty()) {
            checkValueAt(cd, element, c, cv);
        } else if (cd.mandatory) {
            if (Finding* f = addAt(Rule::ElementMissing, element, c, cv))
                f->problem =
                    "This component is mandatory when the element is used, but it is empty.";
        }
    }
}

void Walker::checkValueAt(const ValueDef& def, int element, int component, std::string_view v) {
    const ValueProblem p = checkValue(def, v);
    if (p == ValueProblem::None) return;
    static constexpr Rule kRules[] = {Rule::ElementMissing, Rule::ElementTooShort,
                                      Rule::ElementTooLong, Rule::ElementBadCharacter,
                                      Rule::ElementBadDate, Rule::ElementBadTime};
    Finding* f = addAt(kRules[int(p)], element, component, v);
    if (!f) return;
    const std::string range = def.min == def.max
                                  ? std::to_string(def.min)
                                  : std::to_string(def.min) + " to " + std::to_string(def.max);
    const bool number = def.type == Type::N0 || def.type == Type::N2 || def.type == Type::R;
    f->problem =
        p == ValueProblem::TooShort || p == ValueProblem::TooLong
            ? "The value has " + std::to_string(v.size()) + " characters; it must have " + range +
                  (number ? " digits." : ".")
        : p == ValueProblem::BadDate ? "The value is not a valid date (CCYYMMDD)."
        : p == ValueProblem::BadTime ? "The value is not a valid time (HHMM)."
        : def.type == Type::R
            ? "The value is not a number (digits, at most one decimal point, a leading minus)."
            : "The value is not a whole number.";
}

bool Walker::requiredByGuide(int element) const {
    if (!item_) return false;
    for (const UsageRule& r : item_->rules)
        if (r.element == element && r.component == 0 && r.required) return true;
    return false;
}

void Walker::checkRules(const Item& item) {
    for (const UsageRule& r : item.rules) {
        const std::string_view e = seg_.element(r.element);
        const std::string_view v =
            r.component ? component(e, r.component, separators_.component) : e;
        if (v.empty()) {
            const ValueDef* d = seg_.key() && r.element <= item.segment->elements.size()
                                    ? &item.segment->elements[r.element - 1u]
                                    : nullptr;
            // Reported once: not again for a mandatory element, nor for each component of
            // an element that is absent altogether.
            const bool reported =
                (r.component == 0 && d && d->mandatory) ||
                (r.component > 0 && !e.empty() && d && r.component <= d->components.size() &&
                 d->components[r.component - 1u].mandatory) ||
                (r.component > 1 && e.empty());
            if (r.required && !reported)
                if (Finding* f = addAt(Rule::ElementMissing, r.element, r.component, v))
                    f->problem = "The guide requires this value here, but it is empty.";
            continue;
        }
        if (r.codes.empty() || (seg_.flags(r.element) & kHasBadCharacter)) continue;
        if (!r.allows(v))
            if (Finding* f = addAt(Rule::ElementBadCode, r.element, r.component, v))
                f->problem =
                    "This code is not valid here; the guide allows " + joined(r.codes) + ".";
    }
}

}  // namespace zv::x12::check
