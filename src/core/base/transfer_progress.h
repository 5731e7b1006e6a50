#pragma once
// What a long transfer shows while it runs: the file, how much of it has moved, the
// rate and the time left. Pure: the caller hands in the time, so it is tested without
// waiting. A short transfer shows nothing, so quick sends do not flicker.
#include <QString>

namespace zv {

class TransferProgress {
public:
    // What the view is to do after a report: nothing, show (or refresh) the line, or take
    // it away.
    enum class Change { None, Show, Hide };

    // Shown once one transfer has run this long, and then refreshed at most this often.
    static constexpr qint64 kShowAfterMs = 1000;
    static constexpr qint64 kRefreshMs = 200;

    // One report of the transfer layer: `done` of `total` bytes of `name` at `nowMs` (any
    // steady clock). A report of 0 done starts a new transfer.
    Change update(const QString& name, qint64 done, qint64 total, qint64 nowMs);
    // The blocking call ended, whether or not its transfer completed.
    Change finish();

    // "NAME  1.2 MB of 20.0 MB  3.4 MB/s  0:05 left"
    QString text() const;
    int percent() const;
    bool shown() const { return shown_; }

    static QString sizeText(qint64 bytes);
    static QString durationText(qint64 seconds);

private:
    QString name_;
    qint64 done_ = 0, total_ = 0;
    qint64 startMs_ = 0, lastShownMs_ = 0;
    qint64 sampleMs_ = 0, sampleDone_ = 0;  // the latest point the rate was taken at
    double bytesPerSecond_ = 0;
    bool running_ = false, shown_ = false;
};

}  // namespace zv
