#pragma once
// Where Get Reports from ZOD puts a report while it downloads: the report's own file,
// written durably beside its name and given that name only when whole (placeReport), and
// a download stopped before it fills the report folder's disk.
#include "base/durable_file.h"
#include "sftp/download_sink.h"

namespace zv {

class ReportSink final : public DownloadSink {
public:
    // `part`: the report's file, not yet opened; the caller names it once the download
    // is whole.
    explicit ReportSink(SafeFile& part);

    Status begin(const QString& remoteName, qint64 size) override;
    Status room(qint64 left) override;
    Status writeAt(qint64 offset, QByteArrayView data) override;
    // This computer, not the server, stopped the download (the folder, the disk).
    bool failedHere() const { return failedHere_; }

private:
    Status noted(Status s) {
        failedHere_ = failedHere_ || !s.ok();
        return s;
    }
    bool failedHere_ = false;
    SafeFile& part_;
    QString remoteName_;
    QString folder_;
};

}  // namespace zv
