#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "claims/segment_splitter.h"
#include "support/station.h"

namespace zv {
namespace {

using test::readBytes;
using test::writeBytes;

// The rule in its plainest form: every "~"-ended segment becomes a CR LF line.
QByteArray reference(const QByteArray& input) {
    QByteArray out;
    const QList<QByteArray> parts = input.split('~');
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) out += parts[i] + "\r\n";
    return out;
}

class SplitFile : public ::testing::Test {
protected:
    QByteArray split(const QByteArray& input) {
        writeBytes(in, input);
        const Status split = splitSegmentsFile(in, out);
        EXPECT_TRUE(split) << split.reason().toStdString();
        return readBytes(out);
    }
    QTemporaryDir dir;
    QString in = dir.filePath(QStringLiteral("K90001.83P"));
    QString out = dir.filePath(QStringLiteral("claim.txt"));
};

TEST_F(SplitFile, OneLinePerSegmentAndNothingAfterTheLastTilde) {
    EXPECT_EQ(split("AB~CD~EF~\r\n"), QByteArray("AB\r\nCD\r\nEF\r\n"));
    EXPECT_EQ(split("AB~CD"), QByteArray("AB\r\n"));
    EXPECT_EQ(split("~~X~"), QByteArray("\r\n\r\nX\r\n"));
    EXPECT_EQ(split("no segment end at all"), QByteArray());
    EXPECT_EQ(split(""), QByteArray());
    EXPECT_EQ(split("A\r\nB~C\nD~"), QByteArray("A\r\nB\r\nC\nD\r\n"));
    // The output is replaced, never appended to, and no temporary file stays behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(SplitFile, SegmentsAcrossPieceBoundariesAndAFiveMegabyteSegment) {
    QByteArray input;
    for (int i = 0; i < 3000; ++i)
        input += "CLM*" + QByteArray::number(i) + "*" + QByteArray(i % 1500, 'x') + "~";
    input += "tail without end";
    EXPECT_EQ(split(input), reference(input));

    const QByteArray big = "ST*837~" + QByteArray(5 * 1024 * 1024, 'S') + "~SE*2~";
    EXPECT_EQ(split(big), reference(big));
}

TEST_F(SplitFile, FailureLeavesTheOutputAsItWas) {
    writeBytes(out, "earlier view");
    const Status gone = splitSegmentsFile(dir.filePath(QStringLiteral("gone.83P")), out);
    EXPECT_TRUE(gone.reason().contains(QStringLiteral("gone.83P"))) << gone.reason().toStdString();
    EXPECT_EQ(readBytes(out), QByteArray("earlier view"));

    writeBytes(in, "A~");
    const QString unwritable = dir.filePath(QStringLiteral("missing/claim.txt"));
    EXPECT_FALSE(splitSegmentsFile(in, unwritable).reason().isEmpty());

    // A folder cannot be read as a claim.
    EXPECT_FALSE(splitSegmentsFile(dir.path(), out));
    EXPECT_EQ(readBytes(out), QByteArray("earlier view"));
}

TEST(SegmentSplitter, PiecesOfAnySizeGiveTheSameOutput) {
    auto* rng = QRandomGenerator::global();
    for (int round = 0; round < 200; ++round) {
        QByteArray input;
        const int len = rng->bounded(300);
        for (int i = 0; i < len; ++i) input.append("ab~\r\n"[rng->bounded(5)]);
        QByteArray got;
        SegmentSplitter splitter([&](const char* d, qint64 n) {
            got.append(d, n);
            return true;
        });
        for (qsizetype pos = 0; pos < input.size();) {
            const qsizetype n = std::min<qsizetype>(rng->bounded(1, 20), input.size() - pos);
            ASSERT_TRUE(splitter.feed(input.constData() + pos, n));
            pos += n;
        }
        EXPECT_EQ(got.left(splitter.committedBytes()), reference(input)) << input.toStdString();
    }
}

TEST(SegmentSplitter, AFailingSinkStopsTheFeed) {
    SegmentSplitter splitter([](const char*, qint64) { return false; });
    EXPECT_FALSE(splitter.feed("A~", 2));
    EXPECT_EQ(splitter.committedBytes(), 0);
}

}  // namespace
}  // namespace zv
