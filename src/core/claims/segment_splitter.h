#pragma once
// Rewrites an X12 837 claim one segment per line: each "~"-ended segment becomes a
// line ended by CR LF; whatever follows the last "~" is not written. Memory stays
// bounded whatever the input's size: the input is read in pieces of at most 1000
// bytes and long segments are streamed out.
#include <QByteArray>
#include <QString>
#include <functional>

#include "base/result.h"

namespace zv {

class SegmentSplitter {
public:
    using Sink = std::function<bool(const char* data, qint64 size)>;
    explicit SegmentSplitter(Sink sink) : sink_(std::move(sink)) {}
    // Feeds the next piece of input. Returns false when the sink failed.
    bool feed(const char* data, qint64 size);
    // Bytes that belong to complete lines written so far; the rest of the output (a
    // segment without a closing "~") must be cut off when the input ends.
    qint64 committedBytes() const { return committed_; }

private:
    Sink sink_;
    qint64 written_ = 0;
    qint64 committed_ = 0;
};

// Whole-file conversion: the output is replaced only when the conversion succeeded;
// on failure it is left unchanged and the result says why.
Status splitSegmentsFile(const QString& inputPath, const QString& outputPath);

}  // namespace zv
