// The claim ledger's cost with full sync on the disk it runs on: per claim file (numbered,
// upload started, confirmed: three commits) and per report recorded (one commit); matching
// is measured by zv_bench_answers.
//   zv_bench_ledger [FOLDER] [COUNT]   (default: a new folder under the current one, 200)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "ledger/ledger.h"

namespace {

struct Figures {
    double mean, p95, worst;
};

Figures figures(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double m : ms) sum += m;
    return {sum / double(ms.size()), ms[ms.size() * 95 / 100], ms.back()};
}

void print(const char* what, const Figures& f) {
    std::printf("%-34s mean %6.2f ms   p95 %6.2f ms   worst %6.2f ms   %s\n", what, f.mean, f.p95,
                f.worst, f.mean < 5.0 ? "(under 5 ms)" : "(OVER 5 ms)");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Under the current folder by default: /tmp may be a RAM disk, which syncs for free.
    QTemporaryDir dir(
        QDir(argc > 1 ? argv[1] : QDir::currentPath()).filePath("zv-ledger-bench-XXXXXX"));
    const int count = argc > 2 ? std::max(20, atoi(argv[2])) : 200;
    auto opened = zv::Ledger::open(dir.filePath("ledger.db"));
    if (!opened) {
        std::fprintf(stderr, "ledger: %s\n", qPrintable(opened.reason()));
        return 1;
    }
    zv::Ledger& ledger = *opened->ledger;
    zv::x12::ClaimFileFacts facts;
    facts.sender = "SMILEDENTAL";
    facts.usage = "P";
    facts.groupNumbers = {"41"};
    facts.transactionNumbers = {"0001", "0002"};
    facts.claimCount = 12;
    facts.totalChargeCents = 123456;
    for (int i = 0; i < 12; ++i) facts.patientControlNumbers << QStringLiteral("PCN-%1").arg(i);

    std::vector<double> claims, reports;
    QElapsedTimer t;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("K9%1.83P").arg(i, 4, 10, QLatin1Char('0'));
        facts.interchangeNumber = QStringLiteral("%1").arg(i, 9, 10, QLatin1Char('0'));
        const QString sha = QString(64, QLatin1Char('a' + i % 6));
        t.start();
        const bool ok = ledger.numbered({name, i, 18000, sha, {"a.clm"}, facts, {}}) &&
                        ledger.uploadStarted(name, "sftp.zod.invalid", false, 18000, sha) &&
                        ledger.confirmed(name);
        claims.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!ok) return std::fprintf(stderr, "a claim was not recorded\n"), 1;
    }
    for (int i = 0; i < count; ++i) {
        t.start();
        const auto id = ledger.report({QStringLiteral("R%1.999").arg(i), 900, QString::number(i),
                                       "999", "group 41: accepted"});
        reports.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!id.ok() || !*id) return std::fprintf(stderr, "a report was not recorded\n"), 1;
    }
    std::printf("ledger in %s, %d claim files and %d reports, WAL, synchronous=FULL\n",
                qPrintable(dir.path()), count, count);
    print("per claim file (3 commits)", figures(claims));
    std::vector<double> perChange;
    for (double c : claims) perChange.push_back(c / 3);
    print("per state change (1 commit)", figures(perChange));
    print("per report (recorded)", figures(reports));
    return 0;
}
