// The workstation's own disk full or not writable, and damaged or odd local input
// (setup.prm, seqfile.fil, claim files and masks). Each gets the described behaviour or a
// clear message, never a crash, and every claim and report stays somewhere whole. Full
// disks are small tmpfs mounts, unwritable folders read-only bind mounts (the tests run
// as root, whom file modes do not stop).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>

#include "support/station.h"

namespace zv::test {
namespace {

class LocalInput;
struct Row {
    const char* name;
    void (*run)(LocalInput& t, Station& st, const ServerAccount& account);
    QStringList told;  // words of the first message; empty = no message
};

class LocalInput : public ServerTest, public ::testing::WithParamInterface<Row> {
public:
    void start(const QString& type = "83P", const QString& mask = "*.CLM") {
        startStation(type, mask);
    }
    using ServerTest::mounts;
};

void send(Station& st, const QByteArray& claim, bool put = true) {
    if (put) st.putClaim("a.clm", claim);
    st.z().SendClaims_Click();
    EXPECT_EQ(readBytes(st.practice() + "a.clm"), claim) << "the claim left the practice folder";
    EXPECT_TRUE(filesIn(st.backupDir()).isEmpty()) << "a half-made backup blocks its number";
}
void setup(Station& st, const ServerAccount& account, const QByteArray& bytes, bool complete) {
    // Tasks can still be clicked after a failed start-up: a claim folder that was never
    // read must not turn into the current folder.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(st.base()));
    writeBytes(st.base() + "bystander.clm", "not a claim");
    writeBytes(st.workRoot() + "setup.prm", bytes);
    EXPECT_EQ(st.start(account) == StartState::Complete, complete) << st.allMessages();
    st.z().SendClaims_Click();
    st.z().ResendClaims_Click();
    QDir::setCurrent(cwd);
    EXPECT_TRUE(complete || !st.dialogs.shown.empty());
    EXPECT_EQ(readBytes(st.base() + "bystander.clm"), "not a claim");
}
QByteArray goodSetup(const Station& st) {
    return setupLine("UserPath", st.practice()) + setupLine("UserFile", "*.*") +
           setupLine("FileType", "83P") + setupLine("SoftType", "TEST") +
           setupLine("SiteID  ", "k9site") + setupLine("PassWord", "Secret-Pass1") +
           setupLine("RptPath ", st.reportFolder());
}
// seqfile.fil is read by its leading number and only its first four bytes change.
void seq(LocalInput& t, Station& st, const ServerAccount& account, const QByteArray& before,
         int number, const QByteArray& after) {
    t.start();
    writeBytes(st.seqFile(), before);
    st.putClaim("a.clm", "claim");
    st.z().SendClaims_Click();
    EXPECT_EQ(readBytes(account.claimsDir() + st.claimName(number)), "claim");
    EXPECT_EQ(st.seq(), after);
}
// A mask matches only files of the practice folder.
void mask(LocalInput& t, Station& st, const ServerAccount& account, const char* mask,
          const QStringList& taken) {
    t.start("83P", mask);
    for (const char* name : {"a.clm", "[x].clm", "b c.txt"}) st.putClaim(name, name);
    writeBytes(st.base() + "outside.clm", "outside");
    writeBytes(st.practice() + "sub/inner.clm", "inner");
    st.z().SendClaims_Click();
    QStringList sent;
    for (const QByteArray& bytes : filesIn(account.claimsDir())) sent << QString::fromLatin1(bytes);
    sent.sort();
    EXPECT_EQ(sent, taken);
    EXPECT_EQ(readBytes(st.base() + "outside.clm"), "outside");
    EXPECT_EQ(readBytes(st.practice() + "sub/inner.clm"), "inner");
}

using L = LocalInput;
using A = const ServerAccount;
const Row kRows[] = {
    {"FullWorkRoot",
     [](L& t, Station& st, A&) {
         ZV_MOUNT_OR_SKIP(t.mounts.tmpfs(st.workRoot(), "256k"));
         t.start();
         send(st, patterned(180'000, 81));
     },
     {"The claim file ", "could not be copied", "still in your claim folder"}},
    {"ReadOnlyBackups",
     [](L& t, Station& st, A&) {
         t.start();
         ZV_MOUNT_OR_SKIP(t.mounts.readOnly(st.backupDir()));
         send(st, "claim");
     },
     {"The claim file ", "could not be copied"}},
    {"ReadOnlyPractice",
     [](L& t, Station& st, A&) {
         t.start();
         st.putClaim("a.clm", "claim");
         ZV_MOUNT_OR_SKIP(t.mounts.readOnly(st.practice()));
         send(st, "claim", false);
     },
     {"The claim file ", "could not be removed from your claim folder"}},
    {"WorkRootWithNoRoomAtAll",
     [](L& t, Station& st, A&) {
         ZV_MOUNT_OR_SKIP(t.mounts.tmpfs(st.workRoot(), "256k"));
         t.start();
         QFile filler(st.workRoot() + "filler");
         ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
         while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
         }
         send(st, "claim");
         EXPECT_FALSE(st.allMessages().contains("another ZUDUVOR program"));
     },
     {""}},
    {"FullPracticeFolderWhileJoining",
     [](L& t, Station& st, A&) {
         ZV_MOUNT_OR_SKIP(t.mounts.tmpfs(st.practice(), "256k"));
         t.start("DEN", "*.TXT");
         const QMap<QString, QByteArray> claims{{"a.txt", patterned(100'000, 82)},
                                                {"b.txt", patterned(100'000, 83)}};
         for (auto it = claims.cbegin(); it != claims.cend(); ++it) st.putClaim(it.key(), *it);
         st.z().SendClaims_Click();
         EXPECT_TRUE(filesIn(st.practice()) == claims) << "a source changed or temp.xxx was left";
         EXPECT_TRUE(filesIn(st.backupDir()).isEmpty());
     },
     {"The claim files in ", "could not be joined", "no file was deleted"}},
    {"FullReportFolder",
     [](L& t, Station& st, A& account) {
         ZV_MOUNT_OR_SKIP(t.mounts.tmpfs(st.reportFolder(), "256k"));
         t.start();
         const QMap<QString, QByteArray> reports{{"R1.TXT", patterned(100'000, 84)},
                                                 {"R2.TXT", patterned(300'000, 85)}};
         for (auto it = reports.cbegin(); it != reports.cend(); ++it)
             writeBytes(account.reportsDir() + it.key(), *it);
         st.z().GetReports_Click();
         EXPECT_TRUE(filesIn(st.reportFolder()).contains("R1.TXT"));
         expectNoReportLost(st, account, reports);
     },
     {"Report Download Failure-Try Once More.\n"}},
    {"ReadOnlyReportFolder",
     [](L& t, Station& st, A& account) {
         ZV_MOUNT_OR_SKIP(t.mounts.readOnly(st.reportFolder()));
         t.start();
         writeBytes(account.reportsDir() + "R1.TXT", "report");
         st.z().GetReports_Click();
         EXPECT_EQ(readBytes(account.reportsDir() + "R1.TXT"), "report");
     },
     {"Report Download Failure-Try Once More.\n", "/rpt"}},
    {"ImmutableSequenceFile",
     [](L& t, Station& st, A&) {
         t.start();
         writeBytes(st.seqFile(), "0007");
         ASSERT_EQ(QProcess::execute("chattr", {"+i", st.seqFile()}), 0);
         send(st, "claim");
         QProcess::execute("chattr", {"-i", st.seqFile()});
         EXPECT_EQ(st.seq(), "0007");
     },
     {"The submission number could not be read", "seqfile.fil"}},
    {"LastNumberUsedUp",
     [](L& t, Station& st, A& account) {
         t.start();
         writeBytes(st.seqFile(), "9999");
         send(st, "claim");
         EXPECT_TRUE(filesIn(account.claimsDir()).isEmpty());
         EXPECT_EQ(st.seq(), "9999");
     },
     {"9999", "Call ZOD"}},
    // clang-format off
    {"SetupShortLines", [](L&, Station& st, A& a) { setup(st, a, "User\r\nFile\r\n", false); }, {""}},
    {"SetupBinaryBytes", [](L&, Station& st, A& a) { setup(st, a, patterned(4096, 7), false); }, {""}},
    {"SetupOneMegabyteLine", [](L&, Station& st, A& a) { setup(st, a, "UserPath" + QByteArray(1 << 20, 'x') + "\r\n" + goodSetup(st).mid(52), true); }, {""}},
    {"SetupNoLineEnds", [](L&, Station& st, A& a) { setup(st, a, goodSetup(st).replace("\r\n", ""), false); }, {""}},
    {"SetupLineFeedsOnly", [](L&, Station& st, A& a) { setup(st, a, goodSetup(st).replace("\r\n", "\n"), true); }, {""}},
    {"SetupKeysInOtherCase", [](L&, Station& st, A& a) { setup(st, a, goodSetup(st).toUpper(), false); }, {""}},
    {"SetupNulBytesInValues", [](L&, Station& st, A& a) { setup(st, a, goodSetup(st).replace("Secret", QByteArray("Se\0ret", 6)), true); }, {""}},
    {"SetupUserPathMissing", [](L&, Station& st, A& a) { setup(st, a, goodSetup(st).mid(52), false); }, {""}},
    {"LowerCaseTypeAndNoSeqFile", [](L& t, Station& st, A& a) { t.start("83p"); st.putClaim("a.clm", "c"); st.z().SendClaims_Click(); EXPECT_EQ(namesIn(a.claimsDir()), QStringList{"K9SITE0001.83P"}); }, {}},
    {"SeqLetters", [](L& t, Station& st, A& a) { seq(t, st, a, "abcd", 1, "0001"); }, {}},
    {"SeqLong", [](L& t, Station& st, A& a) { seq(t, st, a, "12345678", 1235, "12355678"); }, {}},
    {"SeqBlanks", [](L& t, Station& st, A& a) { seq(t, st, a, " 4 1", 42, "0042"); }, {}},
    {"SeqShort", [](L& t, Station& st, A& a) { seq(t, st, a, "7", 8, "0008"); }, {}},
    {"SeqNul", [](L& t, Station& st, A& a) { seq(t, st, a, QByteArray(4, '\0'), 1, "0001"); }, {}},
    {"MaskParentFolder", [](L& t, Station& st, A& a) { mask(t, st, a, "../*.clm", {}); }, {}},
    {"MaskSubFolder", [](L& t, Station& st, A& a) { mask(t, st, a, "sub/*.clm", {}); }, {}},
    {"MaskAbsolutePath", [](L& t, Station& st, A& a) { mask(t, st, a, "/etc/*", {}); }, {}},
    {"MaskBrackets", [](L& t, Station& st, A& a) { mask(t, st, a, "[x].clm", {"[x].clm"}); }, {}},
    {"MaskBlank", [](L& t, Station& st, A& a) { mask(t, st, a, "b c.*", {"b c.txt"}); }, {}},
    {"MaskQuestionMarks", [](L& t, Station& st, A& a) { mask(t, st, a, "?????", {"a.clm"}); }, {}},
    {"MaskManyStars", [](L& t, Station& st, A& a) { mask(t, st, a, "*a*****************************.*****m", {"a.clm"}); }, {}},
    // clang-format on
    {"HugeClaimIsSentWhole",
     [](L& t, Station& st, A& account) {
         t.start();
         QFile f(st.practice() + "big.clm");
         ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("ISA~") == 4 && f.resize(50 << 20));
         f.close();  // the rest is a hole: zeros
         const QByteArray claim = readBytes(f.fileName());
         st.z().SendClaims_Click();
         EXPECT_TRUE(readBytes(account.claimsDir() + st.claimName(1)) == claim);
     },
     {}},
    {"ClaimVanishingBeforeItsTurnTakesNoNumber",
     [](L& t, Station& st, A& account) {
         t.start();
         st.putClaim("a.clm", "a");
         st.putClaim("b.clm", "b");
         // While the first is sent, the billing software takes the second back.
         st.view.onPendingInput = [&] { QFile::remove(st.practice() + "b.clm"); };
         st.z().SendClaims_Click();
         EXPECT_EQ(namesIn(account.claimsDir()), QStringList{st.claimName(1)});
         EXPECT_EQ(st.seq(), "0001");
     },
     {}},
    {"ClaimNamesNotUtf8",
     [](L& t, Station& st, A& account) {
         t.start();
         // Names as another program may leave them: sent, or named in a message.
         const QByteArray dir = QFile::encodeName(st.practice());
         for (const char* name : {"line\nbreak.clm", " lead.clm", "bad\xff\xfe.clm"}) {
             FILE* f = ::fopen(dir + name, "wb");
             ASSERT_TRUE(f && ::fputs(name, f) >= 0 && ::fclose(f) == 0);
         }
         st.z().SendClaims_Click();
         EXPECT_EQ(filesIn(account.claimsDir()).size(), 2);
         EXPECT_EQ(::unlink(dir + "bad\xff\xfe.clm"), 0) << "the unreadable claim was not kept";
     },
     {"cannot read"}},
};

TEST_P(LocalInput, ToldInWordsAndNothingLost) {
    GetParam().run(*this, st, account);
    if (IsSkipped()) return;
    const QString first = st.dialogs.texts().value(0);
    EXPECT_EQ(first.isEmpty(), GetParam().told.isEmpty()) << st.allMessages();
    for (const QString& words : GetParam().told) EXPECT_TRUE(first.contains(words)) << first;
    EXPECT_LT(first.size(), 600) << "unreadable message";
    EXPECT_TRUE(st.view.isEnabled(Control::SendClaims));
    expectNoPassword(st, account.password);
}

INSTANTIATE_TEST_SUITE_P(Rows, LocalInput, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zv::test
