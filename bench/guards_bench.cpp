// The guards' cost on one claim file: the file mapped, its SHA-256 taken and its
// envelope read, as the send does before numbering it. Both SHA-256 implementations
// at hand are timed so that the faster one can be chosen on evidence.
//   zv_bench_guards INPUT [qt|openssl]
#include <openssl/evp.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

#include "x12/x12.h"

namespace {

// A field of /proc/self/status in kB ("VmHWM", "RssAnon", ...).
long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ')[0].toLong();
    return -1;
}

QByteArray opensslSha256(QByteArrayView data) {
    unsigned char out[32];
    unsigned int size = 0;
    if (EVP_Digest(data.data(), size_t(data.size()), out, &size, EVP_sha256(), nullptr) != 1)
        return {};
    return QByteArray(reinterpret_cast<const char*>(out), int(size));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s INPUT [qt|openssl]\n", argv[0]);
        return 2;
    }
    const bool qt = argc > 2 && qstrcmp(argv[2], "qt") == 0;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) return 1;
    const qint64 size = file.size();
    uchar* mapped = file.map(0, size);
    if (!mapped) return 1;
    const QByteArrayView data(reinterpret_cast<const char*>(mapped), size);

    QElapsedTimer timer;
    timer.start();
    const QByteArray hash =
        qt ? QCryptographicHash::hash(data, QCryptographicHash::Sha256) : opensslSha256(data);
    const qint64 hashNs = timer.nsecsElapsed();
    const zv::Result<zv::x12::ClaimFileFacts> facts = zv::x12::readClaimFile(data);
    const qint64 totalNs = timer.nsecsElapsed();
    if (!facts) {
        std::fprintf(stderr, "not a sound claim file: %s\n", qPrintable(facts.reason()));
        return 1;
    }
    const double mb = double(size) / 1e6;
    std::printf("sha256=%s via %s, %d claims\n", hash.toHex().constData(), qt ? "qt" : "openssl",
                facts->claimCount);
    std::printf("hash_mb_per_s=%.1f read_mb_per_s=%.1f both_mb_per_s=%.1f\n",
                mb / (double(hashNs) / 1e9), mb / (double(totalNs - hashNs) / 1e9),
                mb / (double(totalNs) / 1e9));
    std::printf("peak_rss_kb=%ld rss_file_kb=%ld rss_anon_kb=%ld\n", statusKb("VmHWM"),
                statusKb("RssFile"), statusKb("RssAnon"));
    return 0;
}
