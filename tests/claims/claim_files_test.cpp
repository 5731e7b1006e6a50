// The local file work of a send (the join and its journal, whole copies, which files
// may be taken, the next free number, the sequence file and the 837 split), on real files
// and without a server.
#include "claims/claim_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>

#include "base/durable_file.h"
#include "base/text_file.h"
#include "claims/numbering.h"
#include "claims/segment_splitter.h"
#include "support/files.h"

namespace zv::test {
namespace {

struct JoinCase {
    const char* name;
    QMap<QString, QByteArray> before;  // the practice's folder, temp.xxx included
    QStringList journal;               // left by a cut run; empty: none
    QMap<QString, QByteArray> after;
};

class JoinAfterCut : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinAfterCut, EveryClaimEndsInTheJoinedFileOnce) {
    QTemporaryDir dir, work;
    const QString folder = dir.path() + u'/', journal = work.filePath("join.pending");
    for (auto it = GetParam().before.cbegin(); it != GetParam().before.cend(); ++it)
        writeBytes(folder + it.key(), it.value());
    if (!GetParam().journal.isEmpty()) writeBytes(journal, GetParam().journal.join('\n').toUtf8());
    QStringList found = GetParam().before.keys();
    found.removeAll(kJoinTarget);
    const Result<QString> joined = joinClaimFiles(folder, found, journal);
    ASSERT_TRUE(joined) << joined.reason().toStdString();
    EXPECT_EQ(*joined, "a.txt");
    EXPECT_EQ(filesIn(folder), GetParam().after);
    EXPECT_FALSE(QFile::exists(journal));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, JoinAfterCut, ::testing::Values(
    JoinCase{"InNameOrder", {{"a.txt", "A"}, {"b.txt", "B"}, {"c.txt", "C"}}, {}, {{"a.txt", "ABC"}}},
    JoinCase{"CutBeforeReplace", {{"a.txt", "A"}, {"b.txt", "B"}, {kJoinTarget, "A"}}, {"b.txt"}, {{"a.txt", "AB"}}},
    JoinCase{"CutAfterReplace", {{"a.txt", "AB"}, {"b.txt", "B"}}, {"b.txt"}, {{"a.txt", "AB"}}}), rowName);
// clang-format on

TEST(ClaimFiles, CopiesAreWholeAndOnlyPlainReadableFilesAreTaken) {
    QTemporaryDir dir;
    const QString from = dir.filePath("a.clm"), copy = dir.filePath("copy");
    writeBytes(from, QByteArray(200'000, 'c'));
    ASSERT_TRUE(copyWhole(from, copy));
    EXPECT_EQ(readBytes(copy), readBytes(from));
    EXPECT_FALSE(copyWhole(from, copy));  // never over an existing file
    ASSERT_TRUE(QFile::link(from, dir.filePath("link.clm")));
    EXPECT_TRUE(isPlainFile(from) && !isPlainFile(dir.filePath("link.clm")) &&
                !isPlainFile(dir.path()));
    const int fd =
        ::open(QFile::encodeName(dir.filePath("bad")) + "\xff.clm", O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(unreachableNames(dir.path(), "*.CLM").size(), 1);
}

TEST(LocalFiles, NextFreeNumberSkipsNumbersWithACopyInEitherFolder) {
    const struct {
        int last;
        QList<int> copies;  // alternately in the backup and the working folder
        int next;           // 0: used up
    } cases[] = {{5, {6, 7}, 8}, {9998, {9999}, 0}};
    for (const auto& c : cases) {
        QTemporaryDir backup, work;
        const QStringList folders{backup.path() + "/", work.path() + "/"};
        for (qsizetype i = 0; i < c.copies.size(); ++i)
            ASSERT_TRUE(
                writeFileSafely(folders[i % 2] + makeClaimName("k", c.copies[i], "X"), "").ok());
        const Result<int> next = nextFreeNumber(c.last, "k", "X", folders);
        EXPECT_EQ(next ? *next : 0, c.next) << "after " << c.last;
    }
}

TEST(LocalFiles, TemporaryUploadNamesStandForTheirClaim) {
    const QString token = newUploadToken();
    EXPECT_NE(token, newUploadToken());
    // clang-format off
    const std::pair<QString, QString> rows[] = {
        {uploadTempName("K90042.83P", token), "K90042.83P"},
        {".K90042.83P.part", "K90042.83P"},  // written by earlier versions, without a token
        {".K90042.83P", ""}, {"K90042.83P.x.part", ""}, {".part", ""}};
    // clang-format on
    for (const auto& [name, claim] : rows) EXPECT_EQ(claimNameOfTemp(name), claim) << name;
}

TEST(LocalFiles, OnlyTheProgramsOwnFoldersAreRefusedAsClaimFolder) {
    const std::pair<QString, bool> rows[] = {
        {"/w", true},       {"/w/claims", true},   {"/w/claimsbu/x", true}, {"/w/reports", true},
        {"/w/user", false}, {"/w/claimsx", false}, {"/practice", false},    {"/", false}};
    for (const auto& [folder, refused] : rows)
        EXPECT_EQ(isProgramsOwnFolder(folder, "/w"), refused) << folder;
}

TEST(LocalFiles, SequenceFileKeptAndSegmentsSplitWholeOrNotAtAll) {
    QTemporaryDir dir;
    const QString seq = dir.filePath("seqfile.fil"), in = dir.filePath("K9.83P");
    const QString gone = dir.filePath("gone/seqfile.fil");
    // Saving the setup again must not start the numbers afresh.
    ASSERT_TRUE(writeFileSafely(seq, "0044").ok());
    ASSERT_TRUE(createSequenceFileIfMissing(seq).ok() && readBytes(seq) == "0044");
    const QByteArray big(5 << 20, 'S');  // one segment far past any buffer, then a cut tail
    ASSERT_TRUE(writeFileSafely(in, "ST~" + big + "~SE").ok());
    const Status split = splitSegmentsFile(in, seq);
    ASSERT_TRUE(split.ok()) << split.reason().toStdString();
    EXPECT_FALSE(splitSegmentsFile(dir.path(), seq).ok() || splitSegmentsFile(in, gone).ok());
    EXPECT_TRUE(readBytes(seq) == "ST\r\n" + big + "\r\n");  // as it was after the failures
    SegmentSplitter failing([](const char*, qint64) { return false; });  // a full disk
    EXPECT_FALSE(failing.feed("A~", 2));
}

}  // namespace
}  // namespace zv::test
