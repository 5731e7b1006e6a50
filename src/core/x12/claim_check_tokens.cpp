// Reading an interchange for the claim checker: the ISA, then segments and elements.
#include "x12/claim_check_tokens.h"

#include <cstring>

namespace zv::x12::check {
namespace {

// Widths of ISA01 to ISA16: the header is fixed-width, which is how its separators are
// found at all.
constexpr std::array<int, 16> kIsaWidths = {2, 10, 2, 10, 2, 15, 2, 15, 6, 4, 1, 5, 9, 1, 1, 1};

enum Class : std::uint8_t { kPlain = 0, kElement, kComponent, kRepetition, kBad, kTerminator };

bool isAlphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isBlank(char c) {
    // End-of-file padding (NUL, Ctrl-Z) that some billing programs leave counts as blank.
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == '\0' ||
           c == '\x1a';
}

}  // namespace

std::optional<IsaHeader> readIsa(std::string_view data, std::size_t start, std::string& why) {
    if (data.size() - start < kIsaLength) {
        why = "the interchange header (ISA) is cut short";
        return std::nullopt;
    }
    const std::string_view isa = data.substr(start, kIsaLength);
    IsaHeader h;
    Separators& s = h.separators;
    s.element = isa[3];
    s.repetition = isa[82];
    s.component = isa[104];
    s.segment = isa[105];
    h.bytes = isa.substr(0, kIsaLength - 1);
    bool good = isa.substr(0, 3) == "ISA" && !isAlphanumeric(s.element) && s.element != ' ' &&
                !isAlphanumeric(s.component) && !isAlphanumeric(s.segment) &&
                s.segment != s.element && s.segment != s.component && s.component != s.element;
    std::size_t pos = 3;
    for (const int width : kIsaWidths) {
        good = good && isa[pos] == s.element;
        for (std::size_t i = pos + 1; good && i <= pos + std::size_t(width); ++i)
            good = isa[i] != s.element;
        pos += std::size_t(width) + 1;
    }
    if (!good) {
        why = "the interchange header (ISA) is not 106 characters with its separators";
        return std::nullopt;
    }
    // ISA11 is a separator only when it differs from the others and from data characters.
    if (isAlphanumeric(s.repetition) || s.repetition == ' ' || s.repetition == s.element ||
        s.repetition == s.component || s.repetition == s.segment)
        s.repetition = 0;
    return h;
}

std::array<std::uint8_t, 256> classTable(const Separators& separators) {
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c)
        if (c < 0x20 || c >= 0x7f) t[std::size_t(c)] = kBad;
    t[static_cast<unsigned char>(separators.element)] = kElement;
    t[static_cast<unsigned char>(separators.component)] = kComponent;
    if (separators.repetition) t[static_cast<unsigned char>(separators.repetition)] = kRepetition;
    t[static_cast<unsigned char>(separators.segment)] = kTerminator;
    return t;
}

std::size_t Segment::split(std::string_view bytes, const std::array<std::uint8_t, 256>& classes) {
    count_ = 0;
    tooMany_ = false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::uint32_t n = std::uint32_t(bytes.size());
    std::uint32_t i = 0;
    std::uint8_t idFlags = 0;
    for (; i < n; ++i) {
        const std::uint8_t c = classes[p[i]];
        if (c == kElement || c == kTerminator) break;
        idFlags |= c;
    }
    id_ = bytes.substr(0, i);
    key_ = idFlags == 0 ? segmentKey(id_) : 0;
    std::uint8_t flags = 0;
    for (; i < n; ++i) {
        const std::uint8_t c = classes[p[i]];
        if (c == kPlain) continue;
        if (c == kTerminator) break;
        if (c != kElement) {
            flags |= c == kComponent    ? kHasComponent
                     : c == kRepetition ? kHasRepetition
                                        : kHasBadCharacter;
            continue;
        }
        if (count_ > 0) {
            end_[count_] = i;
            flags_[count_] = flags;
        }
        if (count_ == kMaxElements) {
            tooMany_ = true;
            count_ = kMaxElements;
            flags = 0;
            // The rest is not split, only its end found.
            while (i < n && classes[p[i]] != kTerminator) ++i;
            bytes_ = bytes.substr(0, i);
            return i;
        }
        ++count_;
        begin_[count_] = i + 1;
        flags = 0;
    }
    if (count_ > 0) {
        end_[count_] = i;
        flags_[count_] = flags;
    }
    bytes_ = bytes.substr(0, i);
    return i;
}

std::string_view component(std::string_view element, int c, char separator) {
    // A plain loop: components are a few characters, shorter than a library call's set-up.
    const std::size_t n = element.size();
    std::size_t begin = 0;
    for (; c > 1; --c) {
        while (begin < n && element[begin] != separator) ++begin;
        if (begin == n) return {};
        ++begin;
    }
    std::size_t end = begin;
    while (end < n && element[end] != separator) ++end;
    return element.substr(begin, end - begin);
}

int componentCount(std::string_view element, char separator) {
    if (element.empty()) return 0;
    int n = 1;
    for (const char c : element) n += c == separator;
    return n;
}

bool SegmentReader::next(Segment& segment) {
    const std::size_t n = data_.size();
    for (;;) {
        while (pos_ < n && (data_[pos_] == '\r' || data_[pos_] == '\n') &&
               data_[pos_] != terminator_)
            ++pos_;
        if (pos_ >= n) return false;
        start_ = pos_;
        const std::size_t length = segment.split(data_.substr(pos_), classes_);
        const bool terminated = pos_ + length < n;
        pos_ += length + (terminated ? 1 : 0);
        std::string_view bytes = segment.bytes();
        const std::size_t full = bytes.size();
        // A line feed as terminator in a file with CR LF line ends; blank padding after
        // the last terminator.
        if (terminator_ == '\n' && !bytes.empty() && bytes.back() == '\r') bytes.remove_suffix(1);
        if (!terminated)
            while (!bytes.empty() && isBlank(bytes.back())) bytes.remove_suffix(1);
        if (bytes.size() != full) segment.split(bytes, classes_);
        if (!bytes.empty()) return true;
    }
}

bool skipBlank(std::string_view data, std::size_t& position) {
    while (position < data.size() && isBlank(data[position])) ++position;
    return position < data.size();
}

std::string shownValue(std::string_view value) {
    const bool cut = value.size() > 40;
    std::string out(value.substr(0, cut ? 40 : value.size()));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) c = '?';
    return cut ? out + "..." : out;
}

}  // namespace zv::x12::check
