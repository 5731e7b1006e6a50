// The program run without a window, as a scheduled task or a script runs it: status
// lines on standard output, messages on standard error, and the exit status.
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

using Console = StationTest;

TEST_F(Console, SendPrintsEachStatusLineAndSucceeds) {
    st.putClaim("a.clm", "ISA~");
    const ConsoleRun r = st.runConsole({"send"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.split('\n'),
              (QStringList{ReadyLine, "Wake up the SFTP Server!", "Wake up the SFTP Server",
                           "Connecting to ZOD SFTPServer/K9SITE Server",
                           "Sending File K9SITE0001.83P", ReadyLine, " 1 Claim Files Sent",
                           "Looking for Reports", "Connecting to ZOD SFTPServer/K9SITE Server",
                           "No Reports Found to Download", ReadyLine, ""}));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readBytes(account.claimsDir() + "K9SITE0001.83P"), "ISA~");
    EXPECT_EQ(st.seq(), "0001");

    st.putClaim("b.clm", "ISA~");
    server.failOn("open", "claims/*");
    const ConsoleRun failed = st.runConsole({"send"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.startsWith("Upload File not Found.\n")) << failed.err.toStdString();
    EXPECT_FALSE(failed.out.contains("Upload File not Found"));
}

TEST_F(Console, ReportQuestionIsAnsweredCancelUnlessYes) {
    writeBytes(account.reportsDir() + "R1", "r");
    const ConsoleRun r = st.runConsole({"get-reports"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("Downloading Report R1\n 1 Reports Downloaded\n"));
    EXPECT_TRUE(r.err.contains("Click OK to View Reports"));
    EXPECT_FALSE(r.out.contains(st.reportFolder() + "\n"));

    writeBytes(account.reportsDir() + "R2", "r");
    const ConsoleRun yes = st.runConsole({"get-reports", "--yes"});
    EXPECT_TRUE(yes.out.contains(st.reportFolder() + "\n")) << yes.out.toStdString();
}

TEST_F(Console, ListingsAndDeleteByName) {
    writeBytes(account.claimsDir() + "A.83P", "abc");
    writeBytes(account.claimsDir() + "B.83P", "b");
    st.putBackup("K9SITE0001.83P", "");
    const ConsoleRun waiting = st.runConsole({"list-waiting"});
    EXPECT_EQ(waiting.exitCode, 0);
    EXPECT_TRUE(waiting.out.contains("\nA.83P   3\n")) << waiting.out.toStdString();
    const ConsoleRun backups = st.runConsole({"list-backups"});
    EXPECT_EQ(backups.exitCode, 0);
    EXPECT_TRUE(backups.out.contains("\nK9SITE0001.83P   ")) << backups.out.toStdString();

    const ConsoleRun r = st.runConsole({"delete", "A.83P"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("File A.83P Deleted.\n"));
    EXPECT_EQ(namesIn(account.claimsDir()), QStringList{"B.83P"});
    const ConsoleRun missing = st.runConsole({"delete", "A.83P"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("A.83P")) << missing.err.toStdString();
    EXPECT_EQ(namesIn(account.claimsDir()), QStringList{"B.83P"});
}

TEST_F(Console, ResendNeedsYesAndViewWritesClaimText) {
    st.putBackup("K9SITE0001.83P", "AB~CD~");
    const ConsoleRun no = st.runConsole({"resend", "K9SITE0001.83P"});
    EXPECT_TRUE(no.err.contains("WARNING! Please check with ZOD before resending a file."));
    EXPECT_TRUE(namesIn(account.claimsDir()).isEmpty());
    const ConsoleRun yes = st.runConsole({"resend", "K9SITE0001.83P", "--yes"});
    EXPECT_EQ(yes.exitCode, 0) << yes.err.toStdString();
    EXPECT_TRUE(yes.out.contains("Resending File K9SITE0001.83P\n"));
    EXPECT_EQ(readBytes(account.claimsDir() + "K9SITE0001.83P"), "AB~CD~");

    const ConsoleRun view = st.runConsole({"view", "K9SITE0001.83P"});
    EXPECT_EQ(view.exitCode, 0) << view.err.toStdString();
    EXPECT_TRUE(view.out.contains(st.claimText() + "\n")) << view.out.toStdString();
    EXPECT_EQ(readBytes(st.claimText()), "AB\r\nCD\r\n");
}

TEST_F(Console, UsageErrorsAndHelp) {
    const ConsoleRun bad = st.runConsole({"sendd"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_FALSE(bad.err.isEmpty());
    const ConsoleRun help = st.runConsole({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"send", "get-reports", "list-waiting", "delete", "list-backups",
                             "resend", "view", "--yes"})
        EXPECT_TRUE(help.out.contains(word)) << word;
}

}  // namespace
}  // namespace zv::test
