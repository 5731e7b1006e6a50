// The claim checker's speed on one big 837P, side by side with the envelope check the
// guards run today (readClaimFile), in the same run and on the same mapped file.
//   zv_bench_checker [SIZE_MB (default 50)] [both|checker] [FILE (default: a temporary file)]
// The file is generated sound (the checker must find nothing), written, then mapped.
// "checker" runs the checker alone, for its own memory: the envelope check keeps every
// claim's control number, so its memory grows with the file.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "x12/claim_check.h"
#include "x12/x12.h"

namespace {

long statusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ')[0].toLong();
    return -1;
}

// Transactions of 400 claims, each a subscriber who is the patient, two service lines.
void writeClaims(QFile& out, qint64 target) {
    out.write(
        "ISA*00*          *00*          *ZZ*MAPLECLINIC    *ZZ*ZOD            *260510*0930*^*"
        "00501*000000101*0*P*:~\nGS*HC*MAPLECLINIC*ZOD*20260510*0930*7*X*005010X222A1~\n");
    qint64 written = 200;
    int tx = 0;
    std::string block;
    while (written < target) {
        block.clear();
        int segments = 0;
        const auto add = [&](const std::string& s) {
            block += s + "~\n";
            ++segments;
        };
        char number[16];
        std::snprintf(number, sizeof number, "%04d", ++tx);
        add(std::string("ST*837*") + number + "*005010X222A1");
        add("BHT*0019*00*B" + std::to_string(tx) + "*20260510*0930*CH");
        add("NM1*41*2*MAPLE FAMILY CLINIC*****46*MAPLE01");
        add("PER*IC*FRONT DESK*TE*5555550100");
        add("NM1*40*2*ZOD CLEARINGHOUSE*****46*ZOD");
        add("HL*1**20*1");
        add("NM1*85*2*MAPLE FAMILY CLINIC*****XX*1234567893");
        add("N3*100 ELM STREET");
        add("N4*SPRINGFIELD*IL*627041234");
        add("REF*EI*371234567");
        for (int i = 0; i < 400; ++i) {
            const std::string c = std::to_string(50 + i % 900);
            add("HL*" + std::to_string(i + 2) + "*1*22*0");
            add("SBR*P*18*GRP100******CI");
            add("NM1*IL*1*DOE*JANE****MI*W" + std::to_string(100000000 + i));
            add("N3*" + std::to_string(100 + i) + " OAK AVENUE");
            add("N4*SPRINGFIELD*IL*62704");
            add("DMG*D8*19800101*F");
            add("NM1*PR*2*ACME HEALTH*****PI*ACME1");
            add("CLM*T" + std::to_string(tx) + "C" + std::to_string(i) + "*" + c +
                ".50***11:B:1*Y*A*Y*Y");
            add("HI*ABK:J449*ABF:I10");
            add("NM1*82*1*SMITH*ANNA****XX*1245319599");
            add("LX*1");
            add("SV1*HC:99213*" + c + "*UN*1***1:2");
            add("DTP*472*D8*20260505");
            add("LX*2");
            add("SV1*HC:36415*.50*UN*1***1");
            add("DTP*472*D8*20260505");
        }
        add(std::string("SE*") + std::to_string(segments + 1) + "*" + number);
        out.write(block.data(), qint64(block.size()));
        out.flush();  // QFile would otherwise hold all of it in its buffer
        written += qint64(block.size());
    }
    out.write(("GE*" + std::to_string(tx) + "*7~\nIEA*1*000000101~\n").c_str());
}

// The thread's CPU time: on a machine shared with other work, wall time measures the
// neighbours as much as the code.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 sizeMb = argc > 1 ? std::atoll(argv[1]) : 50;
    const bool both = argc <= 2 || qstrcmp(argv[2], "checker") != 0;
    QTemporaryFile temporary;
    QFile named(argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString());
    QFile& file = argc > 3 ? named : static_cast<QFile&>(temporary);
    if (argc > 3 ? !named.open(QIODevice::ReadWrite | QIODevice::Truncate) : !temporary.open()) {
        std::fprintf(stderr, "cannot write the claim file\n");
        return 1;
    }
    writeClaims(file, sizeMb * 1000 * 1000);
    file.flush();
    const qint64 size = file.size();
    // Mapped read-only, as the guards map a claim file.
    QFile input(file.fileName());
    if (!input.open(QIODevice::ReadOnly)) return 1;
    const uchar* mapped = input.map(0, size);
    if (!mapped) return 1;
    const char* bytes = reinterpret_cast<const char*>(mapped);
    const double mb = double(size) / 1e6;

    // Best of three of each, interleaved, so that both see the same machine.
    double envelopeS = 1e9, checkerS = 1e9, envelopeCpu = 1e9, checkerCpu = 1e9;
    zv::x12::check::CheckReport report;
    int claims = 0;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        double cpu = cpuSeconds();
        if (both) {
            const zv::Result<zv::x12::ClaimFileFacts> facts =
                zv::x12::readClaimFile(QByteArrayView(bytes, size));
            envelopeS = std::min(envelopeS, double(t.nsecsElapsed()) / 1e9);
            envelopeCpu = std::min(envelopeCpu, cpuSeconds() - cpu);
            if (!facts) {
                std::fprintf(stderr, "envelope check failed: %s\n", qPrintable(facts.reason()));
                return 1;
            }
            claims = facts->claimCount;
        }
        t.restart();
        cpu = cpuSeconds();
        report = zv::x12::check::checkClaimFile(std::string_view(bytes, std::size_t(size)),
                                                {{2026, 5, 12}});
        checkerS = std::min(checkerS, double(t.nsecsElapsed()) / 1e9);
        checkerCpu = std::min(checkerCpu, cpuSeconds() - cpu);
    }
    std::printf(
        "input: %lld bytes, %d claims, %lld segments; checker: %lld errors, %lld warnings\n",
        static_cast<long long>(size), both ? claims : int(report.claims),
        static_cast<long long>(report.segments), static_cast<long long>(report.errors),
        static_cast<long long>(report.warnings));
    if (!report.findings.empty())
        std::printf("first finding: %s\n", zv::x12::check::findingLine(report.findings[0]).c_str());
    if (both) {
        std::printf("wall: envelope_mb_per_s=%.1f checker_mb_per_s=%.1f checker_vs_envelope=%.2f\n",
                    mb / envelopeS, mb / checkerS, envelopeS / checkerS);
        std::printf("cpu:  envelope_mb_per_s=%.1f checker_mb_per_s=%.1f checker_vs_envelope=%.2f\n",
                    mb / envelopeCpu, mb / checkerCpu, envelopeCpu / checkerCpu);
    } else {
        std::printf("wall: checker_mb_per_s=%.1f\ncpu:  checker_mb_per_s=%.1f\n", mb / checkerS,
                    mb / checkerCpu);
    }
    std::printf("peak_rss_kb=%ld rss_file_kb=%ld rss_anon_kb=%ld\n", statusKb("VmHWM"),
                statusKb("RssFile"), statusKb("RssAnon"));
    return report.errors == 0 ? 0 : 1;
}
