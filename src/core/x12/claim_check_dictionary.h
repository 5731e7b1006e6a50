#pragma once
// The X12 segments an 837 may hold, with each element's data type, length and name as the
// base standard defines them, and the syntax check of one value against its definition.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zv::x12::check {

enum class Type : std::uint8_t { AN, ID, N0, N2, R, DT, TM, Composite };

struct ValueDef {
    Type type = Type::AN;
    std::uint16_t min = 1, max = 1;
    bool mandatory = false;  // by the base standard, whatever the implementation guide says
    // The name; "{}" stands for the loop's entity ("Billing Provider Identifier").
    std::string name;
    std::vector<ValueDef> components;  // of a composite
};

struct SegmentDef {
    std::uint32_t key = 0;
    std::string id;
    std::string title;  // "{} Name": the entity of the loop fills in
    std::vector<ValueDef> elements;
    int lastMandatory = 0;  // position of the last mandatory element, 0 when none
};

// The definition of a segment by its key (see segmentKey), or null when it is not one
// an 837 may hold.
const SegmentDef* findSegment(std::uint32_t key);

enum class ValueProblem : std::uint8_t { None, TooShort, TooLong, BadCharacter, BadDate, BadTime };

// Type and length of one simple value (an empty one is too short: whether it may be empty
// is for the caller).
// Characters outside the printable set are found while splitting, not here.
ValueProblem checkValue(const ValueDef& def, std::string_view value);

// "{}" in a name or title replaced by `entity` (or dropped when there is none).
std::string withEntity(const std::string& text, std::string_view entity);

}  // namespace zv::x12::check
