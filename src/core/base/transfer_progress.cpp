#include "base/transfer_progress.h"

#include <algorithm>
#include <cmath>

namespace zv {

namespace {

// The rate is taken over steps of at least this long and smoothed, so that one slow or
// fast answer does not make the time left jump about.
constexpr qint64 kRateStepMs = 500;
constexpr double kNewWeight = 0.3;

}  // namespace

TransferProgress::Change TransferProgress::update(const QString& name, qint64 done, qint64 total,
                                                  qint64 nowMs) {
    Change change = Change::None;
    if (!running_ || done == 0 || name != name_) {
        if (shown_) change = Change::Hide;  // a transfer that never told its end
        shown_ = false;
        running_ = true;
        name_ = name;
        startMs_ = sampleMs_ = nowMs;
        sampleDone_ = 0;
        bytesPerSecond_ = 0;
    }
    done_ = done;
    total_ = total;
    if (const qint64 step = nowMs - sampleMs_; step >= kRateStepMs) {
        const double rate = double(done - sampleDone_) * 1000.0 / double(step);
        bytesPerSecond_ =
            sampleMs_ == startMs_ ? rate : (1 - kNewWeight) * bytesPerSecond_ + kNewWeight * rate;
        sampleMs_ = nowMs;
        sampleDone_ = done;
    } else if (sampleMs_ == startMs_ && nowMs > startMs_) {
        bytesPerSecond_ = double(done) * 1000.0 / double(nowMs - startMs_);
    }

    if (done >= total) {
        running_ = false;
        if (!shown_) return change;
        shown_ = false;
        return Change::Hide;
    }
    if (nowMs - startMs_ < kShowAfterMs) return change;
    if (shown_ && nowMs - lastShownMs_ < kRefreshMs) return Change::None;
    shown_ = true;
    lastShownMs_ = nowMs;
    return Change::Show;
}

TransferProgress::Change TransferProgress::finish() {
    running_ = false;
    if (!shown_) return Change::None;
    shown_ = false;
    return Change::Hide;
}

QString TransferProgress::sizeText(qint64 bytes) {
    if (bytes < 1024) return QString::number(bytes) + QStringLiteral(" B");
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1024.0;
    int unit = 0;
    for (; value >= 1024.0 && unit < 3; ++unit) value /= 1024.0;
    return QString::number(value, 'f', 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString TransferProgress::durationText(qint64 seconds) {
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const QString ss = QStringLiteral("%1").arg(s, 2, 10, QLatin1Char('0'));
    if (h == 0) return QStringLiteral("%1:%2").arg(m).arg(ss);
    return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(ss);
}

QString TransferProgress::text() const {
    // Only the file's own name, with control characters a server may send made visible.
    QString name = name_.section(QLatin1Char('/'), -1);
    // An upload runs under a hidden temporary name (".NAME.part"); the user knows NAME.
    if (name.size() > 6 && name.startsWith(QLatin1Char('.')) &&
        name.endsWith(QLatin1String(".part")))
        name = name.mid(1, name.size() - 6);
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QChar(u'?');
    const qint64 rate = std::llround(bytesPerSecond_);
    const QString left =
        rate > 0 ? durationText((total_ - done_ + rate - 1) / rate) + QStringLiteral(" left")
                 : QStringLiteral("stalled");
    return name + QStringLiteral("  ") + sizeText(done_) + QStringLiteral(" of ") +
           sizeText(total_) + QStringLiteral("  ") + sizeText(rate) + QStringLiteral("/s  ") + left;
}

int TransferProgress::percent() const {
    if (total_ <= 0) return 100;
    return static_cast<int>(std::clamp<qint64>(done_ * 100 / total_, 0, 100));
}

}  // namespace zv
