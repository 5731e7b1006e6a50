#pragma once
// The envelope walk that claim files and reports share: the ISA header read with its
// separators, then every segment up to the IEA checked against the envelope's rules and
// handed on. Works on views of the caller's bytes and copies nothing, so a mapped file
// of any size is read in bounded memory.
#include <QByteArrayView>
#include <QString>
#include <algorithm>
#include <functional>
#include <optional>

#include "base/result.h"

namespace zv::x12::detail {

struct Delimiters {
    char element = '*';
    char repetition = '^';
    char component = ':';
    char segment = '~';
};

// One segment without its terminator.
class Segment {
public:
    Segment(QByteArrayView bytes, const Delimiters& d) : bytes_(bytes), d_(&d) {
        const qsizetype end = bytes.indexOf(d.element);
        id_ = end < 0 ? bytes : bytes.first(end);
    }
    QByteArrayView id() const { return id_; }
    // Inline for speed: a big claim file asks this of millions of segments.
    template <size_t N>
    bool is(const char (&id)[N]) const {
        return id_.size() == qsizetype(N - 1) && std::equal(id, id + N - 1, id_.data());
    }
    // Element i (0 is the segment's ID); empty when the segment has fewer.
    QByteArrayView element(int i) const;
    // Component c (1-based) of element i.
    QByteArrayView component(int i, int c) const;
    QByteArrayView bytes() const { return bytes_; }

private:
    QByteArrayView bytes_;
    QByteArrayView id_;
    const Delimiters* d_;
};

struct Header {
    Delimiters delimiters;
    QByteArrayView isa;  // the 105 bytes before the segment terminator
    QByteArrayView field(int i) const { return Segment(isa, delimiters).element(i); }
};

// Skips white space; false when only white space (or end-of-file padding) is left.
bool skipBlank(QByteArrayView data, qsizetype& pos);

// Reads the ISA header at `start`.
[[nodiscard]] Result<Header> readHeader(QByteArrayView data, qsizetype start);

// Gets every segment between ISA and IEA, after the walk's checks for it: TA1 at the
// interchange's own level, everything from GS to GE inside groups. A failure it returns
// ends the walk with that reason.
using Visitor = std::function<Status(const Segment&)>;

// Walks the interchange whose header begins at `start`; returns the position after its
// IEA segment (and the line breaks after it).
[[nodiscard]] Result<qsizetype> walkInterchange(QByteArrayView data, qsizetype start,
                                                const Header& header, const Visitor& visit);

// A value from the file as it can be shown in a message: trimmed, shortened, with
// control characters made visible.
QString shown(QByteArrayView value);
QByteArrayView trimmed(QByteArrayView value);
// A dollar amount ("150", "-20.5", ".25") as exact cents; none when it is not one (or has
// fractions of a cent, or more than 12 digits before the point).
std::optional<qint64> centsIn(QByteArrayView value);

}  // namespace zv::x12::detail
