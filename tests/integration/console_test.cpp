// The program run without a window, as a scheduled task or a script runs it: status lines
// on standard output, messages on standard error, the exit status, and never the password.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

struct Row {
    const char* name;
    const char* arrange;  // a scenario's files
    QStringList command;
    int exitCode;
    const char* out;           // a part of standard output
    const char* err;           // a part of standard error
    const char* serverClaims;  // the names on the server afterwards, blank-separated
};

// clang-format off
const Row kRows[] = {
    {"Send", "p:a.clm=ISA~", {"send"}, 0, "Sending File K9SITE0001.83P\n", "", "K9SITE0001.83P"},
    {"SendFailing", "p:a.clm=ISA~|fail:open=claims/*", {"send"}, 1, "", "Upload File not Found.\n", ""},
    {"ReportsAnswerCancel", "r:R1=r", {"get-reports"}, 0, "Downloading Report R1\n 1 Reports Downloaded\n", "Click OK to View Reports", ""},
    {"ReportsYesOpensTheFolder", "r:R1=r", {"get-reports", "--yes"}, 0, "/rpt/\n", "", ""},
    {"ListWaiting", "w:A.83P=abc|b:K9SITE0001.83P=AB~CD~", {"list-waiting"}, 0, "\nA.83P   3\n", "", "A.83P"},
    {"ListBackups", "w:A.83P=abc|b:K9SITE0001.83P=AB~CD~", {"list-backups"}, 0, "\nK9SITE0001.83P   ", "", "A.83P"},
    {"DeleteByName", "w:A.83P=abc|b:K9SITE0001.83P=AB~CD~", {"delete", "A.83P"}, 0, "File A.83P Deleted.\n", "", ""},
    {"DeleteMissing", "", {"delete", "A.83P"}, 1, "", "A.83P", ""},
    {"ResendNeedsYes", "w:A.83P=abc|b:K9SITE0001.83P=AB~CD~", {"resend", "K9SITE0001.83P"}, 0, "", "WARNING! Please check with ZOD before resending a file.", "A.83P"},
    {"ResendWithYes", "w:A.83P=abc|b:K9SITE0001.83P=AB~CD~", {"resend", "K9SITE0001.83P", "--yes"}, 0, "Resending File K9SITE0001.83P\n", "", "A.83P K9SITE0001.83P"},
    {"ViewWritesClaimText", "w:A.83P=abc|b:K9SITE0001.83P=AB~CD~", {"view", "K9SITE0001.83P"}, 0, "/zod/claim.txt\n", "", "A.83P"},
    {"UsageError", "", {"sendd"}, 2, "", "sendd", ""},
};
// clang-format on

class Console : public ServerTest, public ::testing::WithParamInterface<Row> {};

TEST_P(Console, ExitStatusAndBothStreams) {
    startStation();
    const Row& row = GetParam();
    clicks(row.arrange);
    const ConsoleRun run = runConsole(row.command);
    EXPECT_FALSE(run.crashed);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
    EXPECT_TRUE(run.out.contains(row.out)) << run.out;
    EXPECT_TRUE(run.err.contains(row.err)) << run.err;
    EXPECT_TRUE(*row.err || run.err.isEmpty() || row.exitCode == 0) << run.err;
    EXPECT_FALSE(row.exitCode == 1 && run.out.contains(run.err.section('\n', 0, 0)))
        << "a message went to standard output";
    EXPECT_EQ(namesIn(account.claimsDir()).join(' '), row.serverClaims);
    expectNoPassword(run.out + run.err);
}

INSTANTIATE_TEST_SUITE_P(Rows, Console, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zv::test
