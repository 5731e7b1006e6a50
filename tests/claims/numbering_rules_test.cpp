#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "claims/numbering.h"
#include "support/station.h"

namespace zv {
namespace {

using test::readBytes;
using test::writeBytes;

TEST(Numbering, LeadingNumberParseOfTheFirstFourBytes) {
    EXPECT_EQ(parseSequenceRecord("0042"), 42);
    EXPECT_EQ(parseSequenceRecord("  42"), 42);
    EXPECT_EQ(parseSequenceRecord("4 2 "), 42);
    EXPECT_EQ(parseSequenceRecord("12ab"), 12);
    EXPECT_EQ(parseSequenceRecord("9999"), 9999);
    EXPECT_EQ(parseSequenceRecord("00123456"), 12);  // bytes past record 1 are not read
    EXPECT_EQ(parseSequenceRecord("abcd"), 0);
    EXPECT_EQ(parseSequenceRecord("-001"), 0);
    EXPECT_EQ(parseSequenceRecord(""), 0);
    EXPECT_EQ(parseSequenceRecord(QByteArray("\0"
                                             "12",
                                             3)),
              0);
}

TEST(Numbering, NumberTextAndClaimName) {
    EXPECT_EQ(submissionNumberText(1), QStringLiteral("0001"));
    EXPECT_EQ(submissionNumberText(42), QStringLiteral("0042"));
    EXPECT_EQ(submissionNumberText(9999), QStringLiteral("9999"));
    EXPECT_EQ(makeClaimName(QStringLiteral("k9"), 42, QStringLiteral("83p")),
              QStringLiteral("K90042.83P"));
}

TEST(Numbering, SequenceFileKeepsBytesPastRecordOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seqfile.fil"));
    writeBytes(path, "0041 trailing data");
    const Result<int> number = readSequenceFile(path);
    ASSERT_TRUE(number) << number.reason().toStdString();
    EXPECT_EQ(*number, 41);
    ASSERT_TRUE(writeSequenceFile(path, 44));
    EXPECT_EQ(readBytes(path), QByteArray("0044 trailing data"));

    writeBytes(path, "7");
    ASSERT_TRUE(writeSequenceFile(path, 8));
    EXPECT_EQ(readBytes(path), QByteArray("0008"));
}

TEST(Numbering, MissingSequenceFileIsCreatedEmptyAndCountsAsZero) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seqfile.fil"));
    const Result<int> number = readSequenceFile(path);
    ASSERT_TRUE(number);
    EXPECT_EQ(*number, 0);
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFile(path).size(), 0);
}

TEST(Numbering, CreateIfMissingNeverTouchesAnExistingFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seqfile.fil"));
    ASSERT_TRUE(createSequenceFileIfMissing(path));
    EXPECT_EQ(readBytes(path), QByteArray("0000"));
    writeBytes(path, "0077");
    ASSERT_TRUE(createSequenceFileIfMissing(path));
    EXPECT_EQ(readBytes(path), QByteArray("0077"));
}

TEST(Numbering, FailuresNameTheFileAndTouchNothing) {
    QTemporaryDir dir;
    const QString inMissingFolder = dir.filePath(QStringLiteral("gone/seqfile.fil"));
    const Result<int> number = readSequenceFile(inMissingFolder);
    EXPECT_FALSE(number);
    EXPECT_TRUE(number.reason().contains(inMissingFolder)) << number.reason().toStdString();
    EXPECT_TRUE(writeSequenceFile(inMissingFolder, 1).reason().contains(inMissingFolder));
    EXPECT_FALSE(createSequenceFileIfMissing(inMissingFolder).reason().isEmpty());

    // A number that does not fit four digits is refused, not cut.
    const QString path = dir.filePath(QStringLiteral("seqfile.fil"));
    writeBytes(path, "9999");
    EXPECT_FALSE(writeSequenceFile(path, kLastSubmissionNumber + 1).reason().isEmpty());
    EXPECT_EQ(readBytes(path), QByteArray("9999"));
}

}  // namespace
}  // namespace zv
