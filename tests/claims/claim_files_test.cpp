// The local file work of a send, on real files and without a server.
#include "claims/claim_files.h"

#include <fcntl.h>
#include <unistd.h>

#include "claims/numbering.h"
#include "support/station.h"

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

INSTANTIATE_TEST_SUITE_P(
    Cases, JoinAfterCut,
    ::testing::Values(JoinCase{"InNameOrder",
                               {{"a.txt", "A"}, {"b.txt", "B"}, {"c.txt", "C"}},
                               {},
                               {{"a.txt", "ABC"}}},
                      JoinCase{"CutBeforeReplace",
                               {{"a.txt", "A"}, {"b.txt", "B"}, {kJoinTarget, "A"}},
                               {"b.txt"},
                               {{"a.txt", "AB"}}},
                      JoinCase{"CutAfterReplace",
                               {{"a.txt", "AB"}, {"b.txt", "B"}},
                               {"b.txt"},
                               {{"a.txt", "AB"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClaimFiles, NextFreeNumberSkipsNumbersWithCopiesAndStopsAt9999) {
    const struct {
        int last;
        QList<int> copies;  // alternately in the backup and the working folder
        int next;           // 0: used up
    } cases[] = {{0, {}, 1}, {5, {6, 7}, 8}, {9998, {}, 9999}, {9998, {9999}, 0}, {9999, {}, 0}};
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QStringList folders{dir.filePath("bu/"), dir.filePath("claims/")};
        for (qsizetype i = 0; i < c.copies.size(); ++i)
            writeBytes(folders[i % 2] + makeClaimName("k9", c.copies[i], "83P"), "x");
        const Result<int> next = nextFreeNumber(c.last, "k9", "83P", folders);
        EXPECT_EQ(next ? *next : 0, c.next) << "after " << c.last;
    }
}

TEST(ClaimFiles, CopyIsWholeOrNotThereAndUnreadableNamesAreTold) {
    QTemporaryDir dir;
    const QString from = dir.filePath("a.clm");
    writeBytes(from, QByteArray(200'000, 'c'));
    ASSERT_TRUE(copyWhole(from, dir.filePath("copy")));
    EXPECT_EQ(readBytes(dir.filePath("copy")), readBytes(from));
    EXPECT_FALSE(copyWhole(from, dir.filePath("copy")));  // never over an existing file

    const int fd =
        ::open(QFile::encodeName(dir.filePath("bad")) + "\xff.clm", O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(unreachableNames(dir.path(), "*.CLM").size(), 1);
}

}  // namespace
}  // namespace zv::test
