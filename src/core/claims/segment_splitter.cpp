#include "claims/segment_splitter.h"

#include <string.h>

#include <QDir>
#include <QFile>

#include "base/durable_file.h"

namespace zv {

namespace {
constexpr qint64 kPieceSize = 1000;
}  // namespace

bool SegmentSplitter::feed(const char* data, qint64 size) {
    // The piece is rewritten into a buffer of its own (each "~" becomes CR LF) and
    // handed on in one call; only this piece is held, never a whole segment.
    QByteArray out;
    out.reserve(size + size / 4 + 2);
    const char* p = data;
    const char* end = data + size;
    qint64 committedInPiece = -1;
    while (p < end) {
        const void* hit = memchr(p, '~', static_cast<size_t>(end - p));
        if (!hit) {
            out.append(p, end - p);
            break;
        }
        const char* tilde = static_cast<const char*>(hit);
        out.append(p, tilde - p);
        out.append("\r\n", 2);
        committedInPiece = out.size();
        p = tilde + 1;
    }
    if (!out.isEmpty() && !sink_(out.constData(), out.size())) return false;
    if (committedInPiece >= 0) committed_ = written_ + committedInPiece;
    written_ += out.size();
    return true;
}

Status splitSegmentsFile(const QString& inputPath, const QString& outputPath) {
    QFile input(inputPath);
    const auto readFailure = [&] {
        return fail(QStringLiteral("Cannot read %1: %2")
                        .arg(QDir::toNativeSeparators(inputPath), input.errorString()));
    };
    if (!input.open(QIODevice::ReadOnly)) return readFailure();
    SafeFile output(outputPath);
    if (Status s = output.open(); !s) return s;
    Status written;
    SegmentSplitter splitter([&](const char* data, qint64 size) {
        written = output.write(data, size);
        return written.ok();
    });
    char piece[kPieceSize];
    for (;;) {
        const qint64 n = input.read(piece, kPieceSize);
        if (n < 0) return readFailure();
        if (n == 0) break;
        if (!splitter.feed(piece, n)) return written;
    }
    if (Status s = output.truncate(splitter.committedBytes()); !s) return s;
    return output.commit();
}

}  // namespace zv
