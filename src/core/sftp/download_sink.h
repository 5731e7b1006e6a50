#pragma once
// Where a download's bytes go. The SFTP layer knows nothing of local files: the task that
// fetches decides where the bytes land, how they are kept and when the disk is too full.
#include <QByteArrayView>
#include <QString>

#include "base/result.h"

namespace zv {

class DownloadSink {
public:
    virtual ~DownloadSink() = default;
    // Once the size of `remoteName` (the server's name of the file, as the messages show
    // it) is known, before any byte: a failure ends the download with its reason.
    [[nodiscard]] virtual Status begin(const QString& remoteName, qint64 size) = 0;
    // Asked again every so often: a failure (the disk is nearly full, say) stops the
    // download before the `left` bytes still due arrive.
    [[nodiscard]] virtual Status room(qint64 left) = 0;
    // `data` belongs at `offset`; pieces may come in any order.
    [[nodiscard]] virtual Status writeAt(qint64 offset, QByteArrayView data) = 0;
};

}  // namespace zv
