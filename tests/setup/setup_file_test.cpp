// The files the program keeps locally: the setup file's exact bytes and its reader on
// sound and damaged input, safe replacement, the sequence file, the folder search and
// the 837 split.
#include "setup/setup_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/file_mask.h"
#include "app/text_file.h"
#include "claims/numbering.h"
#include "claims/segment_splitter.h"

using namespace zv;
using P = SetupParameters;
using enum SetupReadOutcome;
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
static QByteArray line(const QByteArray& text) { return text.leftJustified(50, ' ') + "\r\n"; }
static QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : "<missing>";
}

TEST(SetupFile, WriterGivesSevenWholeLinesWithItsCaseRules) {
    const P p{"/Claims/", "EClaims.*", "den", "Dentrix", "ABC1", "Secret9", "/Rpt/"};
    EXPECT_EQ(formatSetupFile(p), line("UserPath/Claims/") + line("UserFileEClaims.*") +
                                      line("FileTypeDEN") + line("SoftTypeDENTRIX") +
                                      line("SiteID  abc1") + line("PassWordsecret9") +
                                      line("RptPath /Rpt/"));
    // Values are cut at 42, lose trailing blanks and can never start a line of their own.
    const P odd{"", QString(60, 'x'), "", "\U0001F600dtx", "a\r\nRptPath /etc", "pw   ", ""};
    EXPECT_EQ(formatSetupFile(odd), line("UserPath") + line("UserFile" + QByteArray(42, 'x')) +
                                        line("FileType") + line("SoftType?DTX") +
                                        line("SiteID  a??rptpath /etc") + line("PassWordpw") +
                                        line("RptPath "));
}

TEST(SetupFile, Reader) {
    // clang-format off
    const std::tuple<QByteArray, SetupReadOutcome, QString P::*, QString> rows[] = {
        {"SiteID  abc123\r\n", Complete, &P::SiteID, "abc123"},
        {"SiteID abc123\r\n", UnknownKey, &P::SiteID, ""},  // values start in column 9
        {"siteid  abc123\r\n", UnknownKey, &P::SiteID, ""},
        {"SiteID\r\n", UnknownKey, &P::SiteID, ""},
        {"UserPath/claims\r\nRptPath \r\n", Complete, &P::UserPath, "/claims/"},
        {"UserPath/claims\r\nRptPath \r\n", Complete, &P::RptPath, "/"},
        {"PassWord x y  \r\n", Complete, &P::PassWord, " x y"},
        {"FileType83p\rSiteID  one\nSiteID  two\r\n", Complete, &P::SiteID, "two"},
        {"FileType83p\rUserFile*.txt", Complete, &P::FileType, "83p"},
        {"UserFileA\r\nbogus\r\nPassWordnew\r\n", UnknownKey, &P::UserFile, "A"},
        {"PassWordold\r\n\r\nPassWordnew\r\n", UnknownKey, &P::PassWord, "old"},
        {"UserFile" + QByteArray(1 << 20, 'z') + "\r\n", Complete, &P::UserFile, QString(42, 'z')},
        {QByteArray("PassWord\0\xff\x80", 11), Complete, &P::PassWord, QString(QChar(0)) + "\u00FF\u20AC"}};
    // clang-format on
    for (const auto& [bytes, outcome, field, value] : rows) {
        P p;
        QString shown;
        EXPECT_EQ(parseSetupBytes(bytes, p, [&](const QString& s) { shown = s; }).outcome, outcome);
        EXPECT_EQ(p.*field, value) << bytes.left(60).toStdString();
        EXPECT_EQ(shown, p.SiteID.toUpper());  // what the main window shows
    }
}

TEST(LocalFiles, ReplacedWholeOrLeftAsTheyWereWithAReasonNamingThem) {
    QTemporaryDir dir;
    const QString setup = dir.filePath("setup.prm"), gone = dir.filePath("gone/seqfile.fil");
    QString error;
    ASSERT_TRUE(writeFileAtomically(setup, QByteArray(1000, 'q'), false, &error));
    ASSERT_TRUE(writeSetupFile(setup, P{"", "", "", "", "k9", "", ""}, &error));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(setup).constData(), &st), 0);
    EXPECT_TRUE((st.st_mode & 0777) == 0600 && st.st_size == 364);  // owner only: a password
    P back;
    EXPECT_TRUE(readSetupFile(setup, back).outcome == Complete && back.SiteID == "k9");
    EXPECT_EQ(readSetupFile(dir.path(), back).outcome, Unreadable);
    EXPECT_FALSE(writeSetupFile(dir.filePath("gone/setup.prm"), back, &error));
    EXPECT_TRUE(error.contains("gone/setup.prm") && readSetupFile(gone, back).error.contains(gone));
    // A folder in the way of the rename: the data were written, then the write fails.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("blocked/inside")));
    EXPECT_FALSE(writeFileAtomically(dir.filePath("blocked"), "data", false, &error));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"setup.prm"});

    const QString seq = dir.filePath("seqfile.fil");
    int number = -1;
    ASSERT_TRUE(readSequenceFile(seq, &number, &error) && number == 0);  // missing counts as 0
    ASSERT_TRUE(writeFileAtomically(seq, "0041 more", false, &error));
    ASSERT_TRUE(readSequenceFile(seq, &number, &error) && number == 41);
    ASSERT_TRUE(writeSequenceFile(seq, 44, &error) && createSequenceFileIfMissing(seq, &error));
    EXPECT_FALSE(writeSequenceFile(seq, kLastSubmissionNumber + 1, &error));
    EXPECT_EQ(contents(seq), "0044 more");
    EXPECT_FALSE(readSequenceFile(gone, &number, &error) || writeSequenceFile(gone, 1, &error));
    EXPECT_TRUE(error.contains(gone)) << error.toStdString();
}

TEST(LocalFiles, FolderSearchListsOrdinaryFilesInNameOrder) {
    QTemporaryDir dir;
    for (const char* name : {"b.83P", "A.83p", "c.txt", ".hidden.83P"})
        ASSERT_TRUE(writeFileAtomically(dir.filePath(name), "", false, nullptr));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.83P"));
    for (const auto& [target, link] : {std::pair{"folder.83P", "dirlink.83P"},
                                       {"c.txt", "filelink.83P"},
                                       {"missing", "broken.83P"}})
        ASSERT_EQ(::symlink(target, QFile::encodeName(dir.filePath(link)).constData()), 0);
    EXPECT_EQ(findFiles(dir.path() + "/", "*.83p"),
              QStringList({"A.83p", "b.83P", "filelink.83P"}));
}

TEST(LocalFiles, SplitOfAnyLengthOrLeftAsItWas) {
    QTemporaryDir dir;
    const QString in = dir.filePath("K90001.83P"), out = dir.filePath("claim.txt");
    QByteArray many, lines;
    for (int i = 0; i < 3000; ++i) many += QByteArray(i % 1500, 'x') + "~";
    const QByteArray big(5 << 20, 'S');  // one segment far past any buffer
    for (const auto& [input, expected] :
         {std::pair{many + "tail", QByteArray(many).replace("~", "\r\n")},
          {"ST~" + big + "~SE", "ST\r\n" + big + "\r\n"}}) {
        QString error;
        ASSERT_TRUE(writeFileAtomically(in, input, false, &error));
        ASSERT_TRUE(splitSegmentsFile(in, out, &error)) << error.toStdString();
        EXPECT_TRUE(contents(out) == expected);
    }
    QString error;
    EXPECT_FALSE(splitSegmentsFile(dir.filePath("gone.83P"), out, &error));
    EXPECT_TRUE(error.contains("gone.83P")) << error.toStdString();
    EXPECT_FALSE(splitSegmentsFile(dir.path(), out, &error));  // a folder is no claim
    EXPECT_FALSE(splitSegmentsFile(in, dir.filePath("missing/claim.txt"), &error));
    EXPECT_TRUE(contents(out) == "ST\r\n" + big + "\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}
