#pragma once
// The loops of the three 837 implementation guides as the checker walks them: for each
// loop its segments and child loops in order, how often each may occur, which qualifier
// tells same-named segments and loops apart, and the guide's rules for their elements
// (required ones, allowed codes). Only what decides a rejection is modelled.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "x12/claim_check.h"
#include "x12/claim_check_dictionary.h"
#include "x12/claim_check_tokens.h"

namespace zv::x12::check {

constexpr std::uint16_t kUnbounded = 0xffff;

// One element (or component) rule of the guide.
struct UsageRule {
    std::uint8_t element = 0;
    std::uint8_t component = 0;  // 0: the element as a whole
    bool required = false;
    std::vector<std::string> codes;       // allowed values; empty: any
    std::vector<std::uint64_t> codeKeys;  // the same, packed by codeKey
    bool allows(std::string_view v) const;
};

// Loops whose content the checker looks at beyond the generic rules.
enum class LoopTag : std::uint8_t {
    None,
    Transaction,
    BillingProvider,      // 2000A
    BillingProviderName,  // 2010AA
    Subscriber,           // 2000B
    SubscriberName,       // 2010BA
    Patient,              // 2000C
    PatientName,          // 2010CA
    Claim,                // 2300
    OtherSubscriber,      // 2320
    OtherSubscriberName,  // 2330A
    OtherPayerName,       // 2330B
    ServiceLine,          // 2400
    LineAdjudication,     // 2430
};

struct LoopDef;

// A segment of a loop, or a child loop (then `segment` is its first segment).
struct Item {
    const SegmentDef* segment = nullptr;
    std::uint32_t key = 0;
    std::vector<std::string> qualifiers;  // values that select this item; empty: any
    std::vector<std::uint64_t> qualifierKeys;
    std::uint16_t min = 0, max = 1;  // uses of a segment, repeats of a loop
    std::vector<UsageRule> rules;    // a segment's element rules
    const LoopDef* loop = nullptr;
    std::uint16_t runStart = 0;  // first item of the run with the same segment ID
    bool selects(std::string_view qualifier) const;
};

struct LoopDef {
    std::string id;      // "2010AA"
    std::string name;    // "Billing Provider Name"
    std::string entity;  // "Billing Provider": fills "{}" in element names
    LoopTag tag = LoopTag::None;
    bool streetAddress = false;           // its address may not be a post office box
    bool nineDigitZip = false;            // a US address here needs the ZIP+4
    std::vector<Item> items;              // items[0] is the loop's first segment
    std::vector<std::uint16_t> required;  // items that must occur (min > 0), after the first
    std::uint64_t keys = 0;               // keyBit() of every item's segment ID
};

// One bit per segment ID, for telling at once that a loop has no item for a segment.
constexpr std::uint64_t keyBit(std::uint32_t key) {
    return std::uint64_t(1) << ((key * 2654435761u) >> 26);
}

struct Guide {
    FileKind kind = FileKind::NotChecked;
    std::string version;  // GS08 and ST03
    const LoopDef* transaction = nullptr;
};

// The guide GS08 names, or null when it is not one of the three.
const Guide* findGuide(std::string_view version);

// Where a segment's qualifier is, the same for every item of that segment ID ("NM1" ->
// NM101, "HI" -> HI01-1); element 0 when items of that ID are not told apart.
struct Position {
    std::uint8_t element = 0, component = 0;
};
Position qualifierPosition(std::uint32_t key);

}  // namespace zv::x12::check
