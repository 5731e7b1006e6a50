// The program run without a window, as a scheduled task or a script runs it: status lines
// on standard output, messages on standard error, the exit status, and never the password;
// a long transfer's progress line only on a terminal; and the command line's usage errors.
#include <gtest/gtest.h>

#include "console/command_line.h"
#include "console/report_schedule.h"
#include "support/steps.h"
#include "support/x12_samples.h"

namespace zv::test {
namespace {

// `zuduvor check` on files in the practice folder ("--" words pass as they are).
void check(ServerTest& t, QString words) {
    QStringList args{"check"};
    for (const QString& w : words.split(' ')) args << (w.startsWith("--") ? w : t.practice() + w);
    t.console = t.runConsole(args);
}

// clang-format off
const Scenario kRows[] = {
    {.name = "Send", .steps = {{claim, "a.clm", sized(1000)}, {cli, "send"}, {exitIs, 0}, {outHas, "Sending File K9SITE0001.83P\n"}}, .server = "K9SITE0001.83P"},
    {.name = "SendFailing", .steps = {{claim, "a.clm", sized(1000)}, {refuse, "open", "claims/*"}, {cli, "send"}, {exitIs, 1}, {errHas, "Upload File not Found.\n"}}},
    {.name = "ReportsAnswerCancel", .steps = {{report, "R1", "r"}, {cli, "get-reports"}, {exitIs, 0}, {outHas, "Downloading Report R1\n 1 Reports Downloaded\n"}, {errHas, "Click OK to View Reports"}}, .reports = "R1=r"},
    {.name = "ReportsYesOpensTheFolder", .steps = {{report, "R1", "r"}, {cli, "get-reports --yes"}, {exitIs, 0}, {outHas, "/rpt/\n"}}, .reports = "R1=r"},
    {.name = "ListWaiting", .steps = {{waiting, "A.83P", "abc"}, {cli, "list-waiting"}, {exitIs, 0}, {outHas, "\nA.83P   3\n"}}, .server = "A.83P"},
    {.name = "ListBackups", .steps = {{backup, "K9SITE0001.83P", "AB~CD~"}, {cli, "list-backups"}, {exitIs, 0}, {outHas, "\nK9SITE0001.83P   "}}},
    {.name = "DeleteByName", .steps = {{waiting, "A.83P", "abc"}, {cli, "delete A.83P"}, {exitIs, 0}, {outHas, "File A.83P Deleted.\n"}}},
    {.name = "DeleteMissing", .steps = {{cli, "delete A.83P"}, {exitIs, 1}, {errHas, "A.83P"}}},
    {.name = "ResendNeedsYes", .steps = {{backup, "K9SITE0001.83P", "AB~CD~"}, {cli, "resend K9SITE0001.83P"}, {exitIs, 0}, {errHas, "WARNING! Please check with ZOD before resending a file."}}},
    {.name = "ResendWithYes", .steps = {{backup, "K9SITE0001.83P", "AB~CD~"}, {cli, "resend K9SITE0001.83P --yes"}, {exitIs, 0}, {outHas, "Resending File K9SITE0001.83P\n"}}, .server = "K9SITE0001.83P=AB~CD~"},
    {.name = "ViewWritesClaimText", .steps = {{backup, "K9SITE0001.83P", "AB~CD~"}, {cli, "view K9SITE0001.83P"}, {exitIs, 0}, {outHas, "/zod/claim.txt\n"}}, .text = "AB\r\nCD\r\n"},
    {.name = "ProgressNeverInAPipe", .steps = {{report, "R1", sized(98304)}, {slow, "read", "reports/*"}, {cli, "get-reports"}, {exitIs, 0}, {errLacks, "\r"}, {errLacks, " left"}}, .reports = "R1"},
    {.name = "CheckClean", .steps = {{claim, "a.clm", sized(3000)}, {check, "a.clm"}, {exitIs, 0}, {outHas, "Result: no problems found.\n"}}},
    {.name = "CheckRejectedAmongClean", .steps = {{claim, "a.clm", sized(3000)}, {claim, "b.clm", claimFile()}, {check, "a.clm b.clm"}, {exitIs, 1}, {outHas, "ZOD would reject this file"}, {outHas, "no problems found"}}},
    {.name = "CheckJson", .steps = {{claim, "a.clm", sized(3000)}, {check, "a.clm missing.clm --json"}, {exitIs, 1}, {outHas, "[{\"file\":"}, {outHas, "\"unreadable\":"}, {errHas, "missing.clm"}}},
    {.name = "CheckWithoutFiles", .steps = {{cli, "check"}, {exitIs, 2}, {errHas, "check needs the name of a claim file"}}},
    {.name = "UsageError", .steps = {{cli, "sendd"}, {exitIs, 2}, {errHas, "sendd"}}},
};
// clang-format on

ZV_SCENARIO_ROWS(Console, ExitStatusAndBothStreams, kRows);

TEST(CommandLine, UsageErrorsAreCaught) {
    for (const QString bad : {"delete", "--sftp-port 70000", "--work-root", "send x",
                              "send --claims", "--attention", "schedule", "schedule maybe"})
        EXPECT_NE(parseCommandLine(("zuduvor " + bad).split(' '), {}).error, "") << bad;
    EXPECT_NE(parseCommandLine({"zuduvor"}, {"ZUDUVOR_SFTP_PORT=0"}).error, "");
    const QStringList arguments{"zuduvor", "--sftp-port", "2201"};  // arguments win
    EXPECT_EQ(parseCommandLine(arguments, {"ZUDUVOR_SFTP_PORT=2200"}).start.sftpPort, 2201);
}

// The task runs the program on the work root that was current, whatever its path holds.
TEST(CommandLine, ScheduledPickupRunsOnThisWorkRoot) {
    const QString xml = reportTaskXml("C:/Program Files/zuduvor/zuduvor.exe", "C:/R&D <zod>/");
    EXPECT_TRUE(xml.contains("<Command>C:\\Program Files\\zuduvor\\zuduvor.exe</Command>"));
    EXPECT_TRUE(xml.contains(
        "<Arguments>get-reports --work-root &quot;C:\\R&amp;D &lt;zod&gt;&quot;</Arguments>"));
    EXPECT_TRUE(xml.contains("<StartWhenAvailable>true</StartWhenAvailable>"));
    EXPECT_EQ(parseCommandLine({"zuduvor", "schedule", "off"}, {}).error, "");
}

}  // namespace
}  // namespace zv::test
