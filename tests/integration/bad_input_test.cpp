// Damaged or odd local input: setup files, sequence files, claim files and masks. Each
// gets the described behaviour or a clear message, never a crash, and never a claim
// taken from anywhere but the practice folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QRandomGenerator>

#include "support/station.h"

namespace zv::test {
namespace {

struct SetupCase {
    const char* name;
    QByteArray (*bytes)(const Station&);
    bool complete;  // start-up finds every value
};

QByteArray goodSetup(const Station& st) {
    return setupLine("UserPath", st.practice()) + setupLine("UserFile", "*.*") +
           setupLine("FileType", "83P") + setupLine("SoftType", "TEST") +
           setupLine("SiteID  ", "k9site") + setupLine("PassWord", "Secret-Pass1") +
           setupLine("RptPath ", st.reportFolder());
}

const SetupCase kSetups[] = {
    {"ShortLines", [](const Station&) { return QByteArray("User\r\nFile\r\n"); }, false},
    {"BinaryBytes",
     [](const Station&) {
         QByteArray b(4096, Qt::Uninitialized);
         QRandomGenerator gen(7);
         for (char& c : b) c = static_cast<char>(gen.generate());
         return b;
     },
     false},
    {"OneMegabyteLine",
     [](const Station& st) {
         return QByteArray("UserPath") + QByteArray(1 << 20, 'x') + "\r\n" + goodSetup(st).mid(52);
     },
     true},
    {"NoLineEnds", [](const Station& st) { return goodSetup(st).replace("\r\n", ""); }, false},
    {"LineFeedsOnly", [](const Station& st) { return goodSetup(st).replace("\r\n", "\n"); }, true},
    {"KeysInOtherCase", [](const Station& st) { return goodSetup(st).toUpper(); }, false},
    {"NulBytesInValues",
     [](const Station& st) { return goodSetup(st).replace("Secret", QByteArray("Se\0ret", 6)); },
     true},
    {"UserPathMissing", [](const Station& st) { return goodSetup(st).mid(52); }, false},
};

class DamagedSetup : public ServerTest, public ::testing::WithParamInterface<SetupCase> {};

TEST_P(DamagedSetup, StartUpSaysWhatIsWrongAndNoTaskTouchesAnotherFolder) {
    // Tasks can still be clicked after a failed start-up: a claim folder that was never
    // read must not turn into the current folder.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(st.base()));
    writeBytes(st.base() + "bystander.txt", "not a claim");
    writeBytes(st.workRoot() + "setup.prm", GetParam().bytes(st));

    const StartState state = st.start(account);
    st.z().SendClaims_Click();
    st.z().ResendClaims_Click();
    QDir::setCurrent(cwd);

    EXPECT_EQ(state == StartState::Complete, GetParam().complete) << st.allMessages().toStdString();
    if (!GetParam().complete) {
        EXPECT_FALSE(st.dialogs.shown.empty());
    }
    for (const QString& text : st.dialogs.texts())
        EXPECT_LT(text.size(), 600) << "unreadable message";
    EXPECT_EQ(readBytes(st.base() + "bystander.txt"), "not a claim");
    EXPECT_TRUE(filesIn(st.backupDir()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedSetup, ::testing::ValuesIn(kSetups),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- seqfile.fil ----

struct SeqCase {
    QByteArray before;
    int number;  // given to the claim
    QByteArray after;
};

class OddSequenceFile : public ServerTest, public ::testing::WithParamInterface<SeqCase> {};

TEST_P(OddSequenceFile, IsReadByItsLeadingNumberAndOnlyItsFirstFourBytesChange) {
    startStation();
    writeBytes(st.seqFile(), GetParam().before);
    const QByteArray claim = patterned(900, 101);
    st.putClaim("a.clm", claim);

    st.z().SendClaims_Click();

    EXPECT_EQ(readBytes(account.claimsDir() + st.claimName(GetParam().number)), claim)
        << st.allMessages().toStdString();
    EXPECT_EQ(st.seq(), GetParam().after);
    expectNoClaimLost(st, account, {claim});
}

INSTANTIATE_TEST_SUITE_P(Files, OddSequenceFile,
                         ::testing::Values(SeqCase{"abcd", 1, "0001"},
                                           SeqCase{"12345678", 1235, "12355678"},
                                           SeqCase{" 4 1", 42, "0042"}, SeqCase{"7", 8, "0008"},
                                           SeqCase{QByteArray("\0\0\0\0", 4), 1, "0001"}));

TEST_F(ServerTest, TheLastNumberStopsTheSendAndTouchesNoClaim) {
    startStation();
    writeBytes(st.seqFile(), "9999");
    const QByteArray claim = patterned(900, 102);
    st.putClaim("a.clm", claim);

    st.z().SendClaims_Click();

    ASSERT_FALSE(st.dialogs.shown.empty());
    EXPECT_TRUE(st.dialogs.texts().first().contains(QLatin1String("9999")));
    EXPECT_TRUE(st.dialogs.texts().first().contains(QLatin1String("Call ZOD")));
    EXPECT_EQ(readBytes(st.practice() + "a.clm"), claim);
    EXPECT_TRUE(filesIn(st.backupDir()).isEmpty());
    EXPECT_TRUE(filesIn(st.workingDir()).isEmpty());
    EXPECT_TRUE(filesIn(account.claimsDir()).isEmpty());
    EXPECT_EQ(st.seq(), "9999");
    EXPECT_TRUE(st.view.isEnabled(Control::SendClaims));
}

// ---- claim files ----

TEST_F(ServerTest, AHugeClaimIsSentWhole) {
    startStation();
    const QString path = st.practice() + "big.clm";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.write(patterned(4096, 103)) == 4096);
        ASSERT_TRUE(f.resize(50 * 1024 * 1024));  // the rest is a hole: zeros
        ASSERT_TRUE(f.seek(f.size() - 5) && f.write("~END~") == 5);
    }
    const QByteArray claim = readBytes(path);

    st.z().SendClaims_Click();

    EXPECT_TRUE(st.dialogs.shown.empty()) << st.allMessages().toStdString();
    const QByteArray sent = readBytes(account.claimsDir() + st.claimName(1));
    EXPECT_EQ(sent.size(), claim.size());
    EXPECT_TRUE(sent == claim);
    EXPECT_EQ(st.seq(), "0001");
}

TEST_F(ServerTest, AClaimThatVanishesBeforeItsTurnIsSkippedAndTakesNoNumber) {
    startStation();
    const QList<QByteArray> claims{patterned(2000, 104), patterned(2000, 105)};
    st.putClaim("a.clm", claims[0]);
    st.putClaim("b.clm", claims[1]);
    // While the first is being sent, the billing software takes the second back.
    st.view.onPendingInput = [&] { QFile::remove(st.practice() + "b.clm"); };

    st.z().SendClaims_Click();

    EXPECT_TRUE(st.dialogs.shown.empty()) << st.allMessages().toStdString();
    EXPECT_EQ(filesIn(account.claimsDir()).keys(), QStringList{st.claimName(1)});
    EXPECT_EQ(filesIn(st.backupDir()).keys(), QStringList{st.claimName(1)});
    EXPECT_TRUE(st.view.status.contains(" 1 Claim Files Sent"));
    EXPECT_EQ(st.seq(), "0001");
}

TEST_F(ServerTest, ClaimFilesWithOddNamesAreSentOrNamedInAMessage) {
    startStation();
    const QList<QByteArray> claims{patterned(700, 106), patterned(700, 107), patterned(700, 108)};
    // Names as another program may leave them: a line break, a leading blank, and bytes
    // that are not UTF-8.
    const QList<QByteArray> names{"line\nbreak.clm", " lead.clm", "bad\xff\xfe.clm"};
    for (int i = 0; i < names.size(); ++i) {
        const QByteArray path = QFile::encodeName(st.practice()) + names[i];
        FILE* f = ::fopen(path.constData(), "wb");
        ASSERT_NE(f, nullptr) << path.constData();
        ASSERT_EQ(::fwrite(claims[i].constData(), 1, claims[i].size(), f),
                  size_t(claims[i].size()));
        ::fclose(f);
    }

    st.z().SendClaims_Click();

    // Each claim is on the server, or still in the practice folder and the user was told.
    const QString told = st.allMessages();
    qsizetype left = 0;
    for (int i = 0; i < names.size(); ++i) {
        const QByteArray path = QFile::encodeName(st.practice()) + names[i];
        if (::access(path.constData(), F_OK) == 0) ++left;
    }
    EXPECT_TRUE(left == 0 || told.contains(QLatin1String("cannot read")))
        << left << " claim file(s) stayed in the practice folder without a word";
    EXPECT_EQ(filesIn(account.claimsDir()).size(), names.size() - left);
    // Neither Qt nor the checks below can reach a name that is not UTF-8.
    EXPECT_EQ(::unlink((QFile::encodeName(st.practice()) + names.last()).constData()), 0);
    expectNoClaimLost(st, account, claims.mid(0, 2));
}

// ---- masks ----

struct MaskCase {
    const char* name;
    const char* mask;
    QStringList taken;  // practice files that are sent
};

class OddMask : public ServerTest, public ::testing::WithParamInterface<MaskCase> {};

TEST_P(OddMask, MatchesOnlyFilesOfThePracticeFolder) {
    startStation("83P", QString::fromUtf8(GetParam().mask));
    for (const char* name : {"a.clm", "[x].clm", "b c.txt"})
        st.putClaim(QLatin1String(name), patterned(100, qHash(QByteArray(name))));
    writeBytes(st.base() + "outside.clm", "outside");
    QDir().mkpath(st.practice() + "sub");
    writeBytes(st.practice() + "sub/inner.clm", "inner");

    st.z().SendClaims_Click();

    QStringList left = filesIn(st.practice()).keys();
    QStringList taken;
    for (const char* name : {"a.clm", "[x].clm", "b c.txt"})
        if (!left.contains(QLatin1String(name))) taken << QLatin1String(name);
    EXPECT_EQ(taken, GetParam().taken) << st.allMessages().toStdString();
    EXPECT_EQ(filesIn(account.claimsDir()).size(), GetParam().taken.size());
    EXPECT_EQ(readBytes(st.base() + "outside.clm"), "outside");
    EXPECT_EQ(readBytes(st.practice() + "sub/inner.clm"), "inner");
}

INSTANTIATE_TEST_SUITE_P(
    Masks, OddMask,
    ::testing::Values(
        MaskCase{"ParentFolder", "../*.clm", {}}, MaskCase{"SubFolder", "sub/*.clm", {}},
        MaskCase{"AbsolutePath", "/etc/*", {}}, MaskCase{"Brackets", "[x].clm", {"[x].clm"}},
        MaskCase{"Blank", "b c.*", {"b c.txt"}}, MaskCase{"OnlyQuestionMarks", "?????", {"a.clm"}},
        MaskCase{"ManyStars", "*a*******************************.*****m", {"a.clm"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zv::test
