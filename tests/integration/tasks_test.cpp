// The tasks behind the buttons and the picker where a wrong state would send, delete or
// show the wrong file; and the workstation's own disk and input going wrong (a full or
// read-only folder, a damaged setup.prm or seqfile.fil, odd masks and claim names). Each
// gets the described behaviour or a clear message, and every claim stays somewhere whole.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>

#include "support/station.h"

namespace zv::test {
namespace {

// clang-format off
const Scenario kRows[] = {
    // seqfile.fil is read by its leading number and only its first four bytes change.
    {"LowerCaseTypeAndNoSeqFile", "83p|*.CLM", "mix", "S", nullptr, "K9SITE0001.83P|K9SITE0002.83P", "0002"},
    {"SeqLetters", "83P|a.*", "mix|s:abcd", "S", nullptr, "K9SITE0001.83P=a.clm", "0001"},
    {"SeqLong", "83P|a.*", "mix|s:12345678", "S", nullptr, "K9SITE1235.83P=a.clm", "12355678"},
    {"SeqBlanks", "83P|a.*", "mix|s: 4 1", "S", nullptr, "K9SITE0042.83P=a.clm", "0042"},
    {"SeqShort", "83P|a.*", "mix|s:7", "S", nullptr, "K9SITE0008.83P=a.clm", "0008"},
    {"SeqNul", "83P|a.*", "mix|s:%00%00%00%00", "S", nullptr, "K9SITE0001.83P=a.clm", "0001"},
    // A mask matches only files of the practice folder.
    {"MaskParentFolder", "83P|../*.clm", "mix", "S", nullptr, "", "<missing>"},
    {"MaskSubFolder", "83P|sub/*.clm", "mix", "S", nullptr, "", "<missing>"},
    {"MaskAbsolutePath", "83P|/etc/*", "mix", "S", nullptr, "", "<missing>"},
    {"MaskBrackets", "83P|[x].clm", "mix", "S", nullptr, "K9SITE0001.83P=[x].clm", "0001"},
    {"MaskBlank", "83P|b c.*", "mix", "S", nullptr, "K9SITE0001.83P=b c.txt", "0001"},
    {"MaskQuestionMarks", "83P|?????", "mix", "S", nullptr, "K9SITE0001.83P=a.clm", "0001"},
    {"MaskManyStars", "83P|*a*****************************.*****m", "mix", "S", nullptr, "K9SITE0001.83P=a.clm", "0001"},
    // Names as another program may leave them.
    {"LineBreakInAName", "83P|*.CLM", "p:line\nbreak.clm=ISA~", "S|ls:practice=", nullptr, "K9SITE0001.83P=ISA~", "0001"},
    {"LeadingBlankInAName", "83P|*.CLM", "p: lead.clm=ISA~", "S|ls:practice=", nullptr, "K9SITE0001.83P=ISA~", "0001"},
    {"HugeClaimIsSentWhole", "83P|*.CLM", "z:big.clm", "S", nullptr, "K9SITE0001.83P", "0001"},
    // While the first is sent, the billing software takes the second back.
    {"ClaimVanishingBeforeItsTurnTakesNoNumber", "83P|*.CLM", "p:a.clm=a|p:b.clm=b", "i:-:practice/b.clm|S", nullptr, "K9SITE0001.83P=a", "0001"},
    // The workstation's disk: full folders are small tmpfs mounts, unwritable ones
    // read-only bind mounts (root ignores file modes). The claim stays in the practice
    // folder and its number unused; no half-made backup blocks it.
    {"FullWorkRoot", "83P|*.CLM|T:zod", "p:a.clm=@180000|s:0007", "S|ls:zod/claimsbu=", "still in your claim folder", "", "0007"},
    {"ReadOnlyBackups", "83P|*.CLM", "p:a.clm=claim|s:0007|RO:zod/claimsbu", "S|ls:zod/claimsbu=", "could not be copied", "", "0007"},
    {"ReadOnlyPractice", "83P|*.CLM", "p:a.clm=claim|s:0007|RO:practice", "S|ls:zod/claimsbu=", "could not be removed from your claim folder", "", "0007"},
    {"WorkRootWithNoRoomAtAll", "83P|*.CLM|T:zod", "p:a.clm=claim|s:0007|F:zod/filler", "S|ls:zod/claimsbu=", "", "", "0007"},
    {"ImmutableSequenceFile", "83P|*.CLM", "p:a.clm=claim|s:0007|I:zod/seqfile.fil", "S|ls:zod/claimsbu=", "seqfile.fil", "", "0007"},
    {"LastNumberUsedUp", "83P|*.CLM", "p:a.clm=claim|s:9999", "S|ls:zod/claimsbu=", "Call ZOD", "", "9999"},
    {"FullPracticeFolderWhileJoining", "DEN|*.TXT|T:practice", "p:a.txt=@100000|p:b.txt=@100001", "S|ls:zod/claimsbu=|ls:practice=a.txt,b.txt", "no file was deleted", ""},
    {"FullReportFolder", "83P|*.CLM|T:rpt", "r:R1.TXT=@100000|r:R2.TXT=@300000", "G", "Report Download Failure-Try Once More.\n", "", nullptr, "R1.TXT"},
    {"ReadOnlyReportFolder", "83P|*.CLM", "r:R1.TXT=report|RO:rpt", "G", "Report Download Failure-Try Once More.\n", ""},
    // Modes and clicks that must not act on the wrong file.
    {"NoClaimFileStillFetchesReportsAndLeavesTheNumber", "83P|*.CLM", "r:R1.TXT=one", "ok|S", nullptr, "", "<missing>", "R1.TXT=one", nullptr, "rpt/"},
    {"ResendOfAnotherTypeFindsNothing", "83P|*.CLM", "b:K9SITE0003.DEN=3", "R|h|ok|R", "No Files Found to Resend", ""},
    {"ResendSendsOnlyThePickedBackup", "83P|*.CLM", "b:K9SITE0001.83P=one|b:K9SITE0002.83P=two|b:K9SITE0003.DEN=3|p:a.clm=new|r:R1.TXT=r", "ok|R|#K9SITE0001.83P  01/05/2026  9:03:07 AM,K9SITE0002.83P  01/05/2026  9:03:07 AM|@K9SITE0001.83P", nullptr, "K9SITE0001.83P=one"},
    {"BackupGoneSinceTheListingIsNamedAndNothingSent", "83P|*.CLM", "b:K9SITE0002.83P=gone", "ok|R|-:zod/claimsbu/K9SITE0002.83P|@K9SITE0002.83P|ls:zod/claims=", "K9SITE0002.83P", ""},
    // The resend's upload gives the window one chance for input; Send stays usable.
    {"SendClickedDuringAResendSpoilsNeitherFile", "83P|*.CLM", "b:K9SITE0001.83P=resent|s:0001|p:a.clm=new", "ok|R|i:S|@K9SITE0001.83P", nullptr, "K9SITE0001.83P=resent|K9SITE0002.83P=new", "0002"},
    {"DeleteReopensALostSession", "83P|*.CLM", "w:A.83P=a", "D|D|!|D|#A.83P   1|@A.83P|0m", nullptr, ""},
    {"PickerLineWithoutABlankNamesNoFile", "83P|*.CLM", "w:NOBLANK.83P=x|b:K9SITE0001.83P=AB~", "D|q:NOBLANK.83P|X|ok|R|q:K9SITE0001.83P|X|V|q:K9SITE0001.83P", "", "NOBLANK.83P=x"},
    {"ExitThenDeleteDeletesAndResendsNothing", "83P|*.CLM", "b:K9SITE0001.83P=backup~|w:K9SITE0001.83P=waiting", "ok|R|X|D|@K9SITE0001.83P", nullptr, ""},
    {"ExitThenViewOnlyViews", "83P|*.CLM", "b:K9SITE0001.83P=backup~|w:K9SITE0001.83P=waiting", "D|X|V|@K9SITE0001.83P", nullptr, "K9SITE0001.83P=waiting", nullptr, "", "backup\r\n", "zod/claim.txt"},
    {"SendHidesThePicker", "83P|*.CLM", "w:A.83P=a", "D|S|h", nullptr, "A.83P=a"},
    {"View837SplitsSegmentsIntoLines", "83P|*.CLM", "b:K9SITE0001.83P=AB~CD~EF~%0D%0A", "V|@K9SITE0001.83P|h|0m", nullptr, "", nullptr, "", "AB\r\nCD\r\nEF\r\n", "zod/claim.txt"},
    {"View837KeepsEmptySegments", "83P|*.CLM", "b:K9SITE0002.83D=~~X~", "V|@K9SITE0002.83D|h|0m", nullptr, "", nullptr, "", "\r\n\r\nX\r\n", "zod/claim.txt"},
    {"ViewOfOtherTypesOpensTheBackupAsItIs", "83P|*.CLM", "t:earlier|b:K9SITE0003.ECP=AB~CD~", "V|@K9SITE0003.ECP|h|0m", nullptr, "", nullptr, "", "earlier", "zod/claimsbu/K9SITE0003.ECP"},
    // Folders and hidden files are no reports.
    {"ViewOfEmptyFoldersNamesThem", "83P|*.CLM", "l:.hidden=|k:rpt/sub/x=x", "V|v", "/rpt/", "", nullptr, ".hidden="},
    {"ViewOfAVanishedBackupNamesIt", "83P|*.CLM", "t:earlier|b:K9SITE0001.83P=AB~", "V|-:zod/claimsbu/K9SITE0001.83P|@K9SITE0001.83P", "K9SITE0001.83P", "", nullptr, "", "earlier"},
    {"ViewOfAVanishedOtherTypeNamesIt", "83P|*.CLM", "b:K9SITE0002.ECP=AB~", "V|-:zod/claimsbu/K9SITE0002.ECP|@K9SITE0002.ECP", "K9SITE0002.ECP", ""},
    {"ViewWithAFailedOpenerSaysWhich", "83P|*.CLM", "b:K9SITE0003.83P=AB~", "o|V|@K9SITE0003.83P", "claim.txt", ""},
    {"ViewReportsWithAFailedOpenerSaysWhich", "83P|*.CLM", "l:R1=", "o|v", "/rpt/", "", nullptr, "R1="},
};
// clang-format on

ZV_SCENARIO_ROWS(Tasks, EndsInTheRightState, kRows);

// A damaged setup.prm: start-up says so or goes on, and tasks clicked after a failed
// start-up must not take the current folder for the claim folder.
struct Setup {
    const char* name;
    QByteArray (*damage)(QByteArray good);
    bool complete;
};
// clang-format off
const Setup kSetups[] = {
    {"ShortLines", [](QByteArray) -> QByteArray { return "User\r\nFile\r\n"; }, false},
    {"BinaryBytes", [](QByteArray) { return patterned(4096, 7); }, false},
    {"OneMegabyteLine", [](QByteArray s) { return "UserPath" + QByteArray(1 << 20, 'x') + "\r\n" + s.mid(52); }, true},
    {"NoLineEnds", [](QByteArray s) { return s.replace("\r\n", ""); }, false},
    {"LineFeedsOnly", [](QByteArray s) { return s.replace("\r\n", "\n"); }, true},
    {"KeysInOtherCase", [](QByteArray s) { return s.toUpper(); }, false},
    {"NulBytesInValues", [](QByteArray s) { return s.replace("Secret", QByteArray("Se\0ret", 6)); }, true},
    {"UserPathMissing", [](QByteArray s) { return s.mid(52); }, false},
};
// clang-format on

class Setups : public ServerTest, public ::testing::WithParamInterface<Setup> {};

TEST_P(Setups, StartUpSaysSoAndNoStrayClaimIsSent) {
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(base()));
    writeBytes(base() + "bystander.clm", "not a claim");
    writeBytes(workRoot() + "setup.prm", GetParam().damage(setupBytes("83P", "*.*")));
    EXPECT_EQ(start() == StartState::Complete, GetParam().complete) << allMessages();
    z().SendClaims_Click();
    z().ResendClaims_Click();
    QDir::setCurrent(cwd);
    EXPECT_TRUE(GetParam().complete || !dialogs.shown.empty());
    EXPECT_EQ(readBytes(base() + "bystander.clm"), "not a claim");
}

INSTANTIATE_TEST_SUITE_P(Rows, Setups, ::testing::ValuesIn(kSetups),
                         [](const auto& info) { return std::string(info.param.name); });

// A name that is no UTF-8, as another program may leave it: named in a message and kept.
using OddName = ServerTest;

TEST_F(OddName, NotUtf8IsNamedAndKept) {
    startStation();
    const QByteArray file = QFile::encodeName(practice()) + "bad\xff\xfe.clm";
    FILE* f = ::fopen(file, "wb");
    ASSERT_TRUE(f && ::fputs("ISA~", f) >= 0 && ::fclose(f) == 0);
    z().SendClaims_Click();
    EXPECT_TRUE(filesIn(account.claimsDir()).isEmpty());
    EXPECT_TRUE(allMessages().contains("cannot read")) << allMessages();
    EXPECT_EQ(::unlink(file), 0) << "the claim was not kept";
}

}  // namespace
}  // namespace zv::test
