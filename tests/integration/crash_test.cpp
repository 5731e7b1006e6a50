// The program killed outright in the middle of a send (as by a power cut), then started
// again and run again; and a second program on the same work root during a send. Each
// ends with every claim sent once or waiting whole for a resend, and no number given to
// two different claims.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QThread>

#include "support/station.h"

namespace zv::test {
namespace {

class CrashFixture : public ServerTest {
protected:
    // Waits until the server's log shows `text` (the program is then held there).
    bool waitForServerLog(const QString& text, int ms = 20000) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            if (server.logText().contains(text)) return true;
            QThread::msleep(20);
        }
        return false;
    }
    void expectCleanRun(const ConsoleRun& run) {
        EXPECT_FALSE(run.crashed);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    }
};

struct KillCase {
    const char* step;
    bool join;  // a dental package: two files joined into one claim
};

class KillAtStep : public CrashFixture, public ::testing::WithParamInterface<KillCase> {};

TEST_P(KillAtStep, StartedAgainNothingIsLostOrSentTwice) {
    const bool join = GetParam().join;
    writeSetup(join ? "DEN" : "83P", join ? "*.TXT" : "*.CLM");
    const QList<QByteArray> claims{patterned(150'000, 51), patterned(20'000, 52)};
    putClaim(join ? "a.txt" : "a.clm", claims[0]);
    putClaim(join ? "b.txt" : "b.clm", claims[1]);

    consoleProgram = QStringLiteral(ZV_CRASH_DRIVER);
    const ConsoleRun killed = runConsole({"--kill-at", GetParam().step, "send"});
    ASSERT_TRUE(killed.crashed) << "the program did not reach " << GetParam().step << ": "
                                << killed.err.toStdString();
    expectNoClaimLost(claims);

    consoleProgram = QStringLiteral(ZV_ZUDUVOR_BINARY);
    expectCleanRun(runConsole({"send"}));
    expectNoClaimLost(claims);
    // Whatever did not go by itself waits for a resend: nothing is left in the practice
    // folder, and each claim is on the server or in claims/.
    EXPECT_TRUE(filesIn(practice()).isEmpty())
        << filesIn(practice()).keys().join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, KillAtStep,
    ::testing::Values(KillCase{"after-backup", false}, KillCase{"after-working-copy", false},
                      KillCase{"after-delete", false}, KillCase{"after-upload", false},
                      KillCase{"after-number", false}, KillCase{"join-before-replace", true},
                      KillCase{"join-after-replace", true}, KillCase{"after-upload", true}),
    [](const auto& info) {
        std::string name = info.param.step;
        for (char& c : name)
            if (c == '-') c = '_';
        return name + (info.param.join ? "_joined" : "");
    });

// Killed while the server holds back its answer to one operation of the upload.
class KillDuringServerOp : public CrashFixture,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(KillDuringServerOp, StartedAgainNothingIsLostOrSentTwice) {
    writeSetup();
    const QList<QByteArray> claims{patterned(400'000, 61), patterned(900, 62)};
    putClaim("a.clm", claims[0]);
    putClaim("b.clm", claims[1]);
    server.delayOn(QLatin1String(GetParam()), "claims/*", 30);

    auto first = startConsole({"send"});
    ASSERT_TRUE(waitForServerLog(QLatin1String(GetParam()) + " claims/"))
        << "the send never reached the server's " << GetParam();
    first->kill();
    ASSERT_TRUE(first->waitForFinished(10000));
    server.clearFaults();

    expectCleanRun(runConsole({"send"}));
    expectNoClaimLost(claims);
}

INSTANTIATE_TEST_SUITE_P(Ops, KillDuringServerOp, ::testing::Values("open", "write", "close"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(CrashFixture, ASecondProgramOnTheSameWorkRootIsToldAndTakesNoNumber) {
    writeSetup();
    const QList<QByteArray> claims{patterned(50'000, 71), patterned(60'000, 72)};
    putClaim("a.clm", claims[0]);
    server.delayOn("write", "claims/*", 4);

    auto first = startConsole({"send"});
    ASSERT_TRUE(waitForServerLog("write claims/"));
    putClaim("b.clm", claims[1]);
    const ConsoleRun second = runConsole({"send"});

    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.err.contains(QLatin1String("another ZUDUVOR program")))
        << second.err.toStdString();
    EXPECT_EQ(filesIn(backupDir()).keys(), QStringList{claimName(1)})
        << "the second program numbered a claim";
    EXPECT_EQ(readBytes(practice() + "b.clm"), claims[1]);

    ASSERT_TRUE(first->waitForFinished(30000));
    EXPECT_EQ(first->exitCode(), 0) << first->readAllStandardError().toStdString();
    EXPECT_EQ(readBytes(account.claimsDir() + claimName(1)), claims[0]);

    // Once the first has finished, a send goes ahead as usual.
    server.clearFaults();
    expectCleanRun(runConsole({"send"}));
    EXPECT_EQ(readBytes(account.claimsDir() + claimName(2)), claims[1]);
    EXPECT_EQ(seq(), "0002");
    expectNoClaimLost(claims);
}

TEST_F(CrashFixture, KilledWhileDownloadingAReportLosesNothingAndLeavesNothing) {
    writeSetup();
    const QMap<QString, QByteArray> reports{{"R1.TXT", patterned(300'000, 81)},
                                            {"R2.TXT", patterned(300'000, 82)}};
    for (auto it = reports.cbegin(); it != reports.cend(); ++it)
        writeBytes(account.reportsDir() + it.key(), it.value());
    // Held after part of R2 has come: its first read answers, a later one stalls.
    server.delayOn("read", "reports/R2.TXT", 30);

    auto first = startConsole({"get-reports"});
    ASSERT_TRUE(waitForServerLog("read reports/R2.TXT delayed"));
    first->kill();
    ASSERT_TRUE(first->waitForFinished(10000));
    server.clearFaults();
    EXPECT_EQ(readBytes(account.reportsDir() + "R2.TXT"), reports.last());

    expectCleanRun(runConsole({"get-reports"}));
    EXPECT_EQ(filesIn(reportFolder()), reports) << "a part file was left behind";
    EXPECT_TRUE(filesIn(account.reportsDir()).isEmpty());
}

}  // namespace
}  // namespace zv::test
