// The guards before a claim file is numbered: each holds its file back untouched (bytes
// and time, no number, no copy) when the user answers Cancel, and OK lets it through.
#include <gtest/gtest.h>

#include <QCryptographicHash>

#include "claims/claim_guards.h"
#include "support/station.h"
#include "support/x12_samples.h"

namespace zv::test {
namespace {

// clang-format off
const Scenario kRows[] = {
    {"DamagedHeldBack", "83P|*.CLM", "p:a.clm=ISA~|k:practice/a.clm|hold", "S|ls:zod/claimsbu=|status:a.clm looks damaged, so it was not sent=1", "The claim file a.clm looks damaged: the interchange header (ISA) is cut short. Send it anyway?", "", "<missing>"},
    {"DamagedSentAnyway", "83P|*.CLM", "p:a.clm=ISA~", "S|ls:practice=", "looks damaged", "K9SITE0001.83P", "0001"},
    {"TestFileHeldBack", "83P|*.CLM", "x12:a.clm=000000777,T|k:practice/a.clm|hold", "S|status:a.clm is a test file=1", "a.clm is marked as a test file: ZOD will not send its claims to the payers. Send it anyway?", ""},
    {"TestFileSentAnyway", "83P|*.CLM", "x12:a.clm=000000777,T", "S", "is marked as a test file", "K9SITE0001.83P"},
    {"SameContentHeldBack", "ECS|*.CLM", "b:K9SITE0001.ECS=claim|s:0001|p:a.clm=claim|k:practice/a.clm|hold", "S|status:was sent before as K9SITE0001.ECS=1", "a.clm is the same claim file as K9SITE0001.ECS, sent on 01-05-2026 at 09:03:07. Sending it twice", "", "0001"},
    {"SameInterchangeHeldBack", "83P|*.CLM", "b:K9SITE0001.83P=@3000|s:0001|x12:a.clm=000003000,P|k:practice/a.clm|hold", "S", "the same claim file as K9SITE0001.83P", "", "0001"},
    {"SentBeforeSentAnyway", "ECS|*.CLM", "b:K9SITE0001.ECS=claim|s:0001|p:a.clm=claim", "S", "same claim file", "K9SITE0002.ECS", "0002"},
    {"BackupAboveTheNumberWasNeverSent", "ECS|*.CLM", "b:K9SITE0002.ECS=claim|s:0001|p:a.clm=claim", "S|quiet", nullptr, "K9SITE0003.ECS", "0003"},
    {"BackupWithAWorkingCopyWasNeverSent", "ECS|*.CLM", "b:K9SITE0001.ECS=claim|c:K9SITE0001.ECS=claim|s:0001|p:a.clm=claim", "S|quiet", nullptr, "K9SITE0002.ECS", "0002"},
    {"JoinedSourceHeldBack", "DEN|*.TXT", "p:a.txt=@3000|p:b.txt=ISA~|k:practice/b.txt|hold", "S|ls:practice=b.txt", "b.txt looks damaged", "K9SITE0001.DEN"},
    {"StillBeingWrittenHeldBack", "83P|*.CLM", "grow:a.clm", "S|quiet|ls:zod/claimsbu=|ls:practice=a.clm|status:a.clm is still being written=1", nullptr, ""},
    {"JustFinishedIsSent", "83P|*.CLM", "fresh:a.clm=@3000", "S|quiet", nullptr, "K9SITE0001.83P"},
    {"ConsoleAnswersCancel", "83P|*.CLM", "p:a.clm=ISA~|k:practice/a.clm", "cli:send|exit:0|err:looks damaged|out: 0 Claim Files Sent", nullptr, ""},
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
        {"a.clm"}, {dir.path() + "/", "83P", dir.path() + "/bu/", "", "K9", 0, history}, dialogs,
        [](const auto& work) { work(); });
    EXPECT_EQ(asked.join('|'), "hash SMILEDENTAL 000000905");
    EXPECT_EQ(dialogs.texts().join('|'),
              "a.clm is the same claim file as K90041.83P, sent on 12-05-2026 at 10:03:11. Sending "
              "it twice can get its claims denied as duplicates. Send it anyway?");
    EXPECT_TRUE(out.goOn.isEmpty() && out.heldBack.size() == 1);
}

}  // namespace
}  // namespace zv::test
