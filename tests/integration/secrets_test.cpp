// The password never shows: not in the activity log, not in a message, not in the
// status list, not in the console mode's output, whatever fails on the way.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

const QString kPassword = "Zq-Secret-4711";
const QString kWrongPassword = "Wr0ng-Guess-93";

class SecretsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSftpServer::Options options;
        options.password = kPassword;
        server = std::make_unique<TestSftpServer>(options);
        ZV_START_TEST_SERVER(*server);
        account = accountOf(*server);
    }
    // Every place the user or an administrator could read.
    static void expectNoPassword(const QString& where, const QString& text) {
        for (const QString& secret : {kPassword, kWrongPassword})
            EXPECT_FALSE(text.contains(secret, Qt::CaseInsensitive))
                << "the password shows in " << where.toStdString() << ":\n"
                << text.toStdString();
    }

    std::unique_ptr<TestSftpServer> server;
    ServerAccount account;
    Station st;
};

TEST_F(SecretsTest, NoFailureShowsOrLogsThePassword) {
    st.writeSetup(account);
    ASSERT_EQ(st.start(account), StartState::Complete);
    st.z().Client().IdleTimeoutMs(1500);
    writeBytes(account.reportsDir() + "R.TXT", "report");
    const auto sendOne = [&](int seed) {
        st.putClaim(QStringLiteral("c%1.clm").arg(seed), patterned(50'000, seed));
        st.z().SendClaims_Click();
    };

    sendOne(1);  // all well
    server->failOn("open", "claims/*");
    sendOne(2);
    server->clearFaults();
    server->dropOn("write", "claims/*");
    sendOne(3);
    server->clearFaults();
    server->delayOn("read", "reports/*", 5);
    writeBytes(account.reportsDir() + "R2.TXT", "report");
    st.z().GetReports_Click();
    server->clearFaults();
    server->refuseSftp(true);
    st.z().GetReports_Click();
    server->refuseSftp(false);
    st.m.Setup.PassWord = kWrongPassword;  // as if typed wrong in the setup window
    st.z().GetReports_Click();
    st.z().DeleteClaimFiles_Click();

    EXPECT_GE(st.dialogs.shown.size(), 6u) << "the failures did not all happen";
    expectNoPassword("a message", st.allMessages());
    expectNoPassword("the status list", st.view.status.join('\n'));
    expectNoPassword("ZUDUVOR.LOG", QString::fromLatin1(readBytes(st.workRoot() + "ZUDUVOR.LOG")));
    EXPECT_TRUE(server->logText().contains(QStringLiteral("password=") + kWrongPassword))
        << "the wrong password was never tried, so this proved nothing";
}

TEST_F(SecretsTest, TheConsoleModeNeverPrintsIt) {
    st.writeSetup(account);
    st.putClaim("a.clm", patterned(20'000, 7));
    writeBytes(account.reportsDir() + "R.TXT", "report");
    server->failOn("write", "claims/*");
    server->failOn("read", "reports/*");
    server->failOn("remove");

    QString all;
    const QList<QStringList> commands{
        {"send"},
        {"get-reports"},
        {"list-waiting"},
        {"delete", "NOPE.83P"},
        {"resend", st.claimName(1), "--yes"},
        {"--help"},
    };
    for (const QStringList& command : commands) {
        const ConsoleRun run = st.runConsole(command);
        EXPECT_FALSE(run.crashed);
        all += run.out + run.err;
    }
    // And with a password the server refuses.
    st.writeSetup({account.host, account.port, account.user, kWrongPassword, account.home});
    const ConsoleRun refused = st.runConsole({"get-reports"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QLatin1String("SFTP Authentications Error. Call ZOD.")))
        << refused.err.toStdString();
    all += refused.out + refused.err;

    expectNoPassword("the console's output", all);
    expectNoPassword("ZUDUVOR.LOG", QString::fromLatin1(readBytes(st.workRoot() + "ZUDUVOR.LOG")));
}

}  // namespace
}  // namespace zv::test
