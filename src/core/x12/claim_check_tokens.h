#pragma once
// The claim checker's reading of an interchange: separators from the ISA header, then one
// segment at a time split into elements in a single pass over its bytes. Views only: no
// copy and no allocation per segment, so any size of file is read in fixed memory.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zv::x12::check {

// A short value packed in an integer ("NM1" -> 'N' | 'M' << 8 | '1' << 16), compared in one
// instruction; 0 when it is empty or longer than `most` characters.
constexpr std::uint64_t packed(std::string_view v, std::size_t most) {
    if (v.empty() || v.size() > most) return 0;
    std::uint64_t k = 0;
    for (std::size_t i = 0; i < v.size(); ++i)
        k |= std::uint64_t(static_cast<unsigned char>(v[i])) << (8 * i);
    return k;
}

// A segment ID as a key: IDs longer than three characters never name a known segment.
constexpr std::uint32_t segmentKey(std::string_view id) { return std::uint32_t(packed(id, 3)); }
// A code value as a key: no code of the guides is longer than eight characters.
constexpr std::uint64_t codeKey(std::string_view v) { return packed(v, 8); }

struct Separators {
    char element = '*';
    char component = ':';
    char repetition = 0;  // 0 when ISA11 holds no separator
    char segment = '~';
};

constexpr std::size_t kIsaLength = 106;  // with its separators and the segment terminator

// The ISA at `start`: its separators and its 105 bytes before the terminator. Without a
// value, `why` says in words what is wrong with it.
struct IsaHeader {
    Separators separators;
    std::string_view bytes;
};
std::optional<IsaHeader> readIsa(std::string_view data, std::size_t start, std::string& why);

// Per-element flags found while splitting.
enum ElementFlag : std::uint8_t {
    kHasComponent = 1,
    kHasRepetition = 2,
    kHasBadCharacter = 4,  // a control character or a byte outside ASCII
};

// A segment without its terminator, split into elements.
class Segment {
public:
    static constexpr int kMaxElements = 48;

    // Splits `bytes` up to the first segment terminator (or all of them): returns where it
    // stopped. `classes` comes from classTable() for the interchange's separators.
    std::size_t split(std::string_view bytes, const std::array<std::uint8_t, 256>& classes);

    std::string_view bytes() const { return bytes_; }
    std::string_view id() const { return id_; }
    std::uint32_t key() const { return key_; }
    // Number of elements after the ID (trailing empty ones included), at most kMaxElements.
    int count() const { return count_; }
    bool tooManyElements() const { return tooMany_; }
    // Element i (1-based); empty when absent.
    std::string_view element(int i) const {
        return i >= 1 && i <= count_
                   ? std::string_view(bytes_.data() + begin_[i], end_[i] - begin_[i])
                   : std::string_view();
    }
    std::uint8_t flags(int i) const { return i >= 1 && i <= count_ ? flags_[i] : 0; }

private:
    std::string_view bytes_;
    std::string_view id_;
    std::uint32_t key_ = 0;
    int count_ = 0;
    bool tooMany_ = false;
    std::array<std::uint32_t, kMaxElements + 1> begin_{};
    std::array<std::uint32_t, kMaxElements + 1> end_{};
    std::array<std::uint8_t, kMaxElements + 1> flags_{};
};

// The byte classes that Segment::split looks for: separators, the terminator and bad
// characters.
std::array<std::uint8_t, 256> classTable(const Separators& separators);

// Component c (1-based) of a composite element; empty when absent.
std::string_view component(std::string_view element, int c, char separator);
// Number of components of an element (1 for a simple one, 0 when empty).
int componentCount(std::string_view element, char separator);

// Reads the segments after an ISA header one by one, in the same pass that splits them.
// Line breaks between segments are skipped, and a last segment without its terminator is
// still given.
class SegmentReader {
public:
    SegmentReader(std::string_view data, std::size_t position, const Separators& separators,
                  const std::array<std::uint8_t, 256>& classes)
        : data_(data), pos_(position), terminator_(separators.segment), classes_(classes) {}
    // False at the end of the data.
    bool next(Segment& segment);
    std::size_t position() const { return pos_; }
    std::size_t segmentStart() const { return start_; }

private:
    std::string_view data_;
    std::size_t pos_, start_ = 0;
    char terminator_;
    const std::array<std::uint8_t, 256>& classes_;
};

// Skips blanks (and end-of-file padding); false when nothing else is left.
bool skipBlank(std::string_view data, std::size_t& position);

// A value as a finding shows it: at most 40 characters, unprintable bytes as '?'.
std::string shownValue(std::string_view value);

}  // namespace zv::x12::check
