#pragma once
// A whole file's bytes without a copy on the heap (a claim file or report can be tens of
// MB), and SHA-256 through libcrypto, which uses the processor's SHA instructions: about
// ten times Qt's own here (bench/guards-bench.sh).
#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include "base/result.h"

namespace zv {

class MappedFile {
public:
    explicit MappedFile(const QString& path) : file_(path) {}
    // Mapped, or read only where the file system cannot map.
    [[nodiscard]] Status open();
    QByteArrayView bytes() const { return view_; }

private:
    QFile file_;
    QByteArray copy_;
    QByteArrayView view_;
};

// The 32 raw bytes of the digest; empty only when libcrypto fails.
QByteArray sha256(QByteArrayView data);
// A file's SHA-256 as lower-case hex.
[[nodiscard]] Result<QString> fileSha256(const QString& path);

}  // namespace zv
