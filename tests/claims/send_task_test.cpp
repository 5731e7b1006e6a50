// Sending claims against the real test server: what the user sees (status lines,
// messages, log) and what ends up on disk and on the server.
#include <gtest/gtest.h>

#include <QLockFile>

#include "support/scenario.h"

namespace zv::test {
namespace {

using SendTask = ScenarioTest;

const QString kConnecting = QStringLiteral("Connecting to ZOD SFTPServer/K9SITE Server");

TEST_F(SendTask, NoClaimFileStillFetchesReportsAndLeavesTheNumberAlone) {
    s->putReport("R1.TXT", "report one");
    s->z->SendClaims_Click();
    EXPECT_EQ(s->view.status,
              (QStringList{"No Claim File Found at " + s->practiceDir(), "Looking for Reports",
                           kConnecting, "Downloading Report R1.TXT", " 1 Reports Downloaded"}));
    EXPECT_EQ(s->dialogs.texts(), QStringList{"Click OK to View Reports"});
    EXPECT_EQ(s->seqfile(), "<missing>");
    EXPECT_EQ(Scenario::bytesOf(s->reportDir() + "R1.TXT"), "report one");
    EXPECT_TRUE(s->view.isEnabled(Control::SendClaims));
    EXPECT_EQ(s->logActivities(),
              (QStringList{"Start DADEDIRUred", "SendClaims", "GetReports",
                           "GetReports-Call OpenSFTPServer", "GetReports-Call OpenSFTPServer"}));
}

TEST_F(SendTask, MissingSequenceFileAndLowerCaseTypeGiveNumberOneInUpperCase) {
    rebuild({.fileType = "83p"});
    s->dropClaim("claim.txt", "ISA*00~");
    s->z->SendClaims_Click();
    EXPECT_EQ(s->serverFiles("claims"), QStringList{"K9SITE0001.83P"});
    EXPECT_EQ(s->seqfile(), "0001");
    EXPECT_TRUE(s->dialogs.shown.empty()) << s->dialogs.texts().join(" | ").toStdString();
}

TEST_F(SendTask, ThreeFilesAreNumberedInNameOrderSentWholeAndCleanedUp) {
    // Bytes after record 1 belong to nobody here and must survive.
    s->writeSeqfile("0041tail");
    const QByteArray a("ISA~A\r\n\0\xff", 9), b("ISA~B"), c(70000, 'c');  // c: several writes
    s->dropClaim("c.txt", c);
    s->dropClaim("a.txt", a);
    s->dropClaim("b.txt", b);
    s->dropClaim("notes.doc", "not a claim");

    s->z->SendClaims_Click();

    EXPECT_EQ(s->view.status,
              (QStringList{"Wake up the SFTP Server", kConnecting, "Sending File K9SITE0042.83P",
                           ReadyLine, "Sending File K9SITE0043.83P", ReadyLine,
                           "Sending File K9SITE0044.83P", ReadyLine, " 3 Claim Files Sent",
                           "Looking for Reports", kConnecting, "No Reports Found to Download",
                           ReadyLine}));
    EXPECT_TRUE(s->dialogs.shown.empty()) << s->dialogs.texts().join(" | ").toStdString();
    EXPECT_EQ(s->seqfile(), "0044tail");
    EXPECT_EQ(s->serverBytes("claims/K9SITE0042.83P"), a);
    EXPECT_EQ(s->serverBytes("claims/K9SITE0043.83P"), b);
    EXPECT_EQ(s->serverBytes("claims/K9SITE0044.83P"), c);
    EXPECT_EQ(Scenario::localFiles(s->practiceDir()), QStringList{"notes.doc"});
    EXPECT_EQ(Scenario::localFiles(s->claimsDir()), QStringList{});
    EXPECT_EQ(Scenario::localFiles(s->backupDir()),
              (QStringList{"K9SITE0042.83P", "K9SITE0043.83P", "K9SITE0044.83P"}));
    EXPECT_EQ(Scenario::bytesOf(s->backupDir() + "K9SITE0044.83P"), c);
    EXPECT_EQ(s->view.pendingInputCount, 3);  // one chance per file
    EXPECT_TRUE(s->view.isEnabled(Control::SendClaims));
    EXPECT_EQ(s->logActivities().mid(1, 2), (QStringList{"SendClaims", "GetReports"}));
}

TEST_F(SendTask, JoinTypeSendsOneFileHoldingAllInNameOrder) {
    // "*.*" also matches the join's own scratch file; it must never become a source.
    rebuild({.userFile = "*.*", .fileType = "den"});
    s->dropClaim("b.dat", "BBBB\r\n");
    s->dropClaim("a.dat", QByteArray("AA\0A", 4));
    s->dropClaim("temp.xxx", "left from a run that was cut off");
    s->z->SendClaims_Click();

    EXPECT_EQ(s->serverFiles("claims"), QStringList{"K9SITE0001.DEN"});
    EXPECT_EQ(s->serverBytes("claims/K9SITE0001.DEN"), QByteArray("AA\0ABBBB\r\n", 10));
    EXPECT_EQ(Scenario::localFiles(s->practiceDir()), QStringList{});
    EXPECT_TRUE(s->view.status.contains(" 1 Claim Files Sent"));
    EXPECT_EQ(s->seqfile(), "0001");
    EXPECT_TRUE(s->dialogs.shown.empty()) << s->dialogs.texts().join(" | ").toStdString();
}

TEST_F(SendTask, RefusedOpenEndsTheRunAndKeepsBothCopies) {
    s->writeSeqfile("0007");
    s->dropClaim("a.txt", "ISA~");
    s->dropClaim("b.txt", "ISA~B");
    server.failOn("open", "claims/*");
    s->z->SendClaims_Click();

    ASSERT_EQ(s->dialogs.shown.size(), 1u);
    EXPECT_TRUE(failureShown(s->dialogs, "Upload File not Found."));
    EXPECT_EQ(s->view.status.mid(2), (QStringList{"Sending File K9SITE0008.83P", ReadyLine}));
    EXPECT_EQ(s->logActivities().last(), "K9SITE0008.83P Upload File not Found");
    EXPECT_TRUE(s->view.isEnabled(Control::SendClaims));
    EXPECT_EQ(s->seqfile(), "0007");
    EXPECT_EQ(Scenario::bytesOf(s->claimsDir() + "K9SITE0008.83P"), "ISA~");
    EXPECT_EQ(Scenario::bytesOf(s->backupDir() + "K9SITE0008.83P"), "ISA~");
    EXPECT_EQ(Scenario::localFiles(s->practiceDir()), QStringList{"b.txt"});
}

TEST_F(SendTask, RefusedWriteEndsTheRunAndLeavesNoPartFileOnTheServer) {
    s->dropClaim("a.txt", "ISA~");
    s->m.PickerCallback = true;
    server.failOn("write", "claims/*");
    s->z->SendClaims_Click();

    ASSERT_EQ(s->dialogs.shown.size(), 1u);
    EXPECT_TRUE(failureShown(s->dialogs, "File Upload Failure. Try once more."));
    EXPECT_EQ(s->logActivities().last(), "K9SITE0001.83P Upload Failure");
    EXPECT_FALSE(s->m.PickerCallback);
    EXPECT_FALSE(s->view.status.contains("Looking for Reports"));
    EXPECT_TRUE(s->view.isEnabled(Control::SendClaims));
    EXPECT_EQ(s->serverFiles("claims"), QStringList{});
    EXPECT_NE(s->seqfile(), "0001");
    EXPECT_TRUE(QFileInfo::exists(s->claimsDir() + "K9SITE0001.83P"));
}

TEST_F(SendTask, RefusedCloseStopsTheLoopButStillFetchesReports) {
    s->dropClaim("a.txt", "ISA~A");
    s->dropClaim("b.txt", "ISA~B");
    s->putReport("R1", "r");
    server.failOn("close", "claims/*");
    s->z->SendClaims_Click();

    EXPECT_TRUE(failureShown(s->dialogs, "Upload File Close Error. Call ZOD."));
    EXPECT_EQ(s->logActivities().at(2), "K9SITE0001.83P Upload File Close Error");
    const QStringList& st = s->view.status;
    ASSERT_GE(st.size(), 6);
    EXPECT_EQ(st.mid(2, 4), (QStringList{"Sending File K9SITE0001.83P", ReadyLine,
                                         " 0 Claim Files Sent", "Looking for Reports"}));
    EXPECT_TRUE(st.contains("Downloading Report R1"));
    EXPECT_EQ(s->serverFiles("claims"), QStringList{});  // not counted, so not left there
    EXPECT_NE(s->seqfile(), "0001");
    EXPECT_TRUE(QFileInfo::exists(s->claimsDir() + "K9SITE0001.83P"));
    EXPECT_EQ(Scenario::localFiles(s->practiceDir()), QStringList{"b.txt"});
    EXPECT_TRUE(s->view.isEnabled(Control::SendClaims));
}

TEST_F(SendTask, FailureOnSecondOfThreeKeepsItsCopiesAndItsNumberIsNeverReused) {
    s->dropClaim("a.txt", "first");
    s->dropClaim("b.txt", "second");
    s->dropClaim("c.txt", "third");
    server.failOn("write", "claims/K9SITE0002.83P");
    s->z->SendClaims_Click();

    EXPECT_TRUE(failureShown(s->dialogs, "File Upload Failure. Try once more."));
    EXPECT_EQ(s->seqfile(), "0001");
    EXPECT_EQ(s->serverFiles("claims"), QStringList{"K9SITE0001.83P"});
    EXPECT_EQ(Scenario::bytesOf(s->claimsDir() + "K9SITE0002.83P"), "second");
    EXPECT_EQ(Scenario::bytesOf(s->backupDir() + "K9SITE0002.83P"), "second");
    EXPECT_EQ(Scenario::localFiles(s->practiceDir()), QStringList{"c.txt"});

    // The next run must not take 0002 again: that would replace the only copies of
    // the claim that failed.
    server.clearFaults();
    s->dialogs.clear();
    s->z->SendClaims_Click();
    EXPECT_TRUE(s->dialogs.texts().filter("Failure").isEmpty());
    EXPECT_EQ(s->serverFiles("claims"), (QStringList{"K9SITE0001.83P", "K9SITE0003.83P"}));
    EXPECT_EQ(s->serverBytes("claims/K9SITE0003.83P"), "third");
    EXPECT_EQ(s->seqfile(), "0003");
    EXPECT_EQ(Scenario::bytesOf(s->backupDir() + "K9SITE0002.83P"), "second");
    EXPECT_EQ(Scenario::bytesOf(s->claimsDir() + "K9SITE0002.83P"), "second");
}

TEST_F(SendTask, LastNumberReachedStopsWithoutTouchingTheClaim) {
    s->writeSeqfile("9999");
    s->dropClaim("a.txt", "ISA~");
    s->z->SendClaims_Click();

    ASSERT_FALSE(s->dialogs.shown.empty());
    const QString text = s->dialogs.shown.front().text;
    EXPECT_TRUE(text.contains("9999") && text.contains("Call ZOD")) << text.toStdString();
    EXPECT_EQ(Scenario::bytesOf(s->practiceDir() + "a.txt"), "ISA~");
    EXPECT_EQ(s->seqfile(), "9999");
    EXPECT_EQ(Scenario::localFiles(s->backupDir()), QStringList{});
    EXPECT_EQ(Scenario::localFiles(s->claimsDir()), QStringList{});
    EXPECT_EQ(s->serverFiles("claims"), QStringList{});
    EXPECT_TRUE(s->view.isEnabled(Control::SendClaims));
}

TEST_F(SendTask, LeftOverResendModeDoesNotTurnSendIntoAResend) {
    s->m.PickerMode.ResendMode = true;
    s->m.ClaimName = "K9SITE0005.83P";
    s->dropClaim("a.txt", "new claim");
    s->z->SendClaims_Click();
    EXPECT_EQ(s->serverFiles("claims"), QStringList{"K9SITE0001.83P"});
    EXPECT_EQ(s->serverBytes("claims/K9SITE0001.83P"), "new claim");
    EXPECT_TRUE(s->view.status.contains("Sending File K9SITE0001.83P"));
    EXPECT_FALSE(s->m.PickerMode.ResendMode);
}

TEST_F(SendTask, ServerThatKeepsHalfTheDataIsNotCountedAsSent) {
    s->dropClaim("a.txt", QByteArray(5000, 'x'));
    server.shortWriteOn("claims/*");
    s->z->SendClaims_Click();

    EXPECT_EQ(s->dialogs.texts().filter("\n").size(), 1)
        << s->dialogs.texts().join(" | ").toStdString();
    EXPECT_FALSE(s->view.status.contains(" 1 Claim Files Sent"));
    EXPECT_NE(s->seqfile(), "0001");
    EXPECT_EQ(Scenario::bytesOf(s->claimsDir() + "K9SITE0001.83P"), QByteArray(5000, 'x'));
    // A truncated claim must not wait on the server to be processed.
    EXPECT_EQ(s->serverFiles("claims"), QStringList{});
}

TEST_F(SendTask, AnotherProgramSendingFromTheSameWorkRootIsWaitedFor) {
    QLockFile other(s->workRoot() + "send.lock");
    ASSERT_TRUE(other.tryLock(0));
    s->dropClaim("a.txt", "ISA~");
    s->z->SendClaims_Click();

    ASSERT_EQ(s->dialogs.shown.size(), 1u);
    EXPECT_TRUE(s->dialogs.shown[0].text.contains("another ZUDUVOR program"))
        << s->dialogs.shown[0].text.toStdString();
    EXPECT_EQ(Scenario::localFiles(s->practiceDir()), QStringList{"a.txt"});
    EXPECT_EQ(s->seqfile(), "<missing>");
    EXPECT_EQ(s->serverFiles("claims"), QStringList{});
    EXPECT_TRUE(s->view.isEnabled(Control::SendClaims));
}

}  // namespace
}  // namespace zv::test
