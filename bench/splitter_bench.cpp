// Splits one claim file as the viewer does and reports the time taken, the throughput
// and the process's peak memory.
//   zv_bench_splitter INPUT OUTPUT
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "claims/segment_splitter.h"

namespace {

// Peak resident set size in kB, as the kernel counts it.
long peakRssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT\n", argv[0]);
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    QElapsedTimer timer;
    timer.start();
    if (const zv::Status split = zv::splitSegmentsFile(input, output); !split) {
        std::fprintf(stderr, "%s\n", split.reason().toLocal8Bit().constData());
        return 1;
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double mb = static_cast<double>(QFileInfo(input).size()) / 1e6;
    std::printf("seconds=%.3f mb_per_s=%.1f peak_rss_kb=%ld\n", seconds, mb / seconds, peakRssKb());
    return 0;
}
