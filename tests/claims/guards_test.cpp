// The guards before a claim file is numbered: each holds its file back untouched (bytes
// and time, no number, no copy) when the user answers Cancel, and OK lets it through.
#include <gtest/gtest.h>

#include <QCryptographicHash>

#include "claims/claim_guards.h"
#include "support/steps.h"
#include "support/x12_samples.h"

namespace zv::test {
namespace {

void freshClaim(ServerTest& t, QString name, QByteArray bytes) {  // changed now
    writeBytes(t.practice() + name, bytes);
    t.claims << bytes;
}
void growing(ServerTest& t, QString name) {  // written on by a billing program meanwhile
    writeBytes(t.practice() + name, "ISA~");
    QProcess& writer = t.process();
    writer.start("/bin/sh",
                 {"-c", "while :; do echo NTE~ >>\"$0\"; sleep 0.3; done", t.practice() + name});
    ASSERT_TRUE(writer.waitForStarted());
}

// A sound claim whose dates of service are older than a year: warnings, no error.
QByteArray oldService() {
    QByteArray file = patterned(3000, 3000);
    const QByteArray served = QDate::currentDate().addMonths(-1).toString("yyyyMMdd").toLatin1();
    const QByteArray old = QDate::currentDate().addYears(-2).toString("yyyyMMdd").toLatin1();
    return file.replace("D8*" + served, "D8*" + old);
}

void holdBack(ServerTest& t) { t.dialogs.guardAnswers.push_back(false); }  // the next guard
void nothingShown(ServerTest& t) { EXPECT_TRUE(t.dialogs.shown.empty()) << t.allMessages(); }

// clang-format off
const Scenario kRows[] = {
    {.name = "DamagedHeldBack", .steps = {{claim, "a.clm", "ISA~"}, {kept, "practice/a.clm"}, holdBack, SendClaims, {folderHolds, "zod/claimsbu", ""}, {statusLines, "a.clm looks damaged, so it was not sent", 1}}, .told = "The claim file a.clm looks damaged: the interchange header (ISA) is cut short. Send it anyway?", .seq = "<missing>"},
    {.name = "DamagedSentAnyway", .steps = {{claim, "a.clm", "ISA~"}, SendClaims, {folderHolds, "practice", ""}}, .told = "looks damaged", .server = "K9SITE0001.83P", .seq = "0001"},
    {.name = "TestFileHeldBack", .steps = {{claim, "a.clm", claimFile("000000777", 'T')}, {kept, "practice/a.clm"}, holdBack, SendClaims, {statusLines, "a.clm is a test file", 1}}, .told = "a.clm is marked as a test file: ZOD will not send its claims to the payers. Send it anyway?"},
    {.name = "TestFileSentAnyway", .steps = {{claim, "a.clm", claimFile("000000777", 'T')}, SendClaims}, .told = "is marked as a test file", .server = "K9SITE0001.83P"},
    {.name = "SameContentHeldBack", .type = "ECS", .steps = {{backup, "K9SITE0001.ECS", "claim"}, {seqFile, "0001"}, {claim, "a.clm", "claim"}, {kept, "practice/a.clm"}, holdBack, SendClaims, {statusLines, "was sent before as K9SITE0001.ECS", 1}}, .told = "a.clm is the same claim file as K9SITE0001.ECS, sent on 01-05-2026 at 09:03:07. Sending it twice", .seq = "0001"},
    {.name = "SameInterchangeHeldBack", .steps = {{backup, "K9SITE0001.83P", sized(3000)}, {seqFile, "0001"}, {claim, "a.clm", patterned(3001, 3000)}, {kept, "practice/a.clm"}, holdBack, SendClaims}, .told = "the same claim file as K9SITE0001.83P", .seq = "0001"},
    {.name = "SentBeforeSentAnyway", .type = "ECS", .steps = {{backup, "K9SITE0001.ECS", "claim"}, {seqFile, "0001"}, {claim, "a.clm", "claim"}, SendClaims}, .told = "same claim file", .server = "K9SITE0002.ECS", .seq = "0002"},
    {.name = "BackupAboveTheNumberWasNeverSent", .type = "ECS", .steps = {{backup, "K9SITE0002.ECS", "claim"}, {seqFile, "0001"}, {claim, "a.clm", "claim"}, SendClaims, nothingShown}, .server = "K9SITE0003.ECS", .seq = "0003"},
    {.name = "BackupWithAWorkingCopyWasNeverSent", .type = "ECS", .steps = {{backup, "K9SITE0001.ECS", "claim"}, {put, "zod/claims/K9SITE0001.ECS", "claim"}, {seqFile, "0001"}, {claim, "a.clm", "claim"}, SendClaims, nothingShown}, .server = "K9SITE0002.ECS", .seq = "0002"},
    {.name = "JoinedSourceHeldBack", .type = "DEN", .mask = "*.TXT", .steps = {{claim, "a.txt", sized(3000)}, {claim, "b.txt", "ISA~"}, {kept, "practice/b.txt"}, holdBack, SendClaims, {folderHolds, "practice", "b.txt"}}, .told = "b.txt looks damaged", .server = "K9SITE0001.DEN"},
    {.name = "StillBeingWrittenHeldBack", .steps = {{growing, "a.clm"}, SendClaims, nothingShown, {folderHolds, "zod/claimsbu", ""}, {folderHolds, "practice", "a.clm"}, {statusLines, "a.clm is still being written", 1}}},
    {.name = "JustFinishedIsSent", .steps = {{freshClaim, "a.clm", sized(3000)}, SendClaims, nothingShown}, .server = "K9SITE0001.83P"},
    // What ZOD would reject asks, with the full list in the work root's checks folder.
    {.name = "WouldBeRejectedHeldBack", .steps = {{claim, "a.clm", claimFile()}, {kept, "practice/a.clm"}, holdBack, SendClaims, {statusLines, "a.clm would be rejected by ZOD and was not sent; the problems are in checks/a.clm.txt", 1}, {folderHolds, "zod/checks", "a.clm.txt"}, {folderHolds, "zod/claimsbu", ""}}, .told = "The list is in checks/a.clm.txt. Send it anyway?", .seq = "<missing>"},
    {.name = "WouldBeRejectedSentAnyway", .steps = {{claim, "a.clm", claimFile()}, SendClaims, {folderHolds, "zod/checks", "a.clm.txt"}}, .told = "a.clm would be rejected by ZOD: ", .server = "K9SITE0001.83P"},
    {.name = "WarningsGoToTheStatusList", .steps = {{claim, "a.clm", oldService()}, SendClaims, nothingShown, {statusLines, "a.clm: 33 warnings that ZOD would not reject, listed in checks/a.clm.txt", 1}}, .server = "K9SITE0001.83P"},
    {.name = "ACleanFileTakesItsOldListAway", .steps = {{put, "zod/checks/a.clm.txt", "old"}, {claim, "a.clm", sized(3000)}, SendClaims, nothingShown, {folderHolds, "zod/checks", ""}}, .server = "K9SITE0001.83P"},
    {.name = "ConsoleAnswersCancel", .steps = {{claim, "a.clm", "ISA~"}, {kept, "practice/a.clm"}, {cli, "send"}, {exitIs, 0}, {errHas, "looks damaged"}, {outHas, " 0 Claim Files Sent"}}},
};
// clang-format on

ZV_SCENARIO_ROWS(Guards, HoldBackUntouchedOrLetThrough, kRows);

TEST(GuardsHistory, TheHistoryIsAskedByContentAndInterchange) {
    QTemporaryDir dir;
    putAged(dir.filePath("a.clm"), claimFile());
    QStringList asked;
    const FindPriorSend history = [&](const QByteArray& sha, const QString& s, const QString& n) {
        const bool same = sha == QCryptographicHash::hash(claimFile(), QCryptographicHash::Sha256);
        asked << (same ? "hash " : "wrong hash ") + s + " " + n;
        return PriorSend{"K90041.83P", QDateTime(QDate(2026, 12, 5), QTime(10, 3, 11))};
    };
    RecordingDialogs dialogs;
    dialogs.guardAnswers = {false};
    const GuardOutcome out = guardClaimFiles(
        {"a.clm"}, {dir.path() + "/", "83P", dir.path() + "/bu/", "", "K9", 0, history, {}},
        dialogs, [](const auto& work) { work(); });
    EXPECT_EQ(asked.join('|'), "hash SMILEDENTAL 000000905");
    EXPECT_EQ(dialogs.texts().join('|'),
              "a.clm is the same claim file as K90041.83P, sent on 12-05-2026 at 10:03:11. Sending "
              "it twice can get its claims denied as duplicates. Send it anyway?");
    EXPECT_TRUE(out.goOn.isEmpty() && out.heldBack.size() == 1);
}

}  // namespace
}  // namespace zv::test
