#include "app/text_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace zv {
namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList allEntries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(Cp1252, MapsTheHighTableBothWaysAndUnmappableToQuestionMark) {
    EXPECT_EQ(toCp1252(QStringLiteral("\u20AC\u201C\u0178\u00E9A")), QByteArray("\x80\x93\x9F\xE9"
                                                                                "A"));
    EXPECT_EQ(fromCp1252("\x80\x93\x9F\xE9"), QStringLiteral("\u20AC\u201C\u0178\u00E9"));
    // One question mark per character, also for characters outside the basic plane.
    EXPECT_EQ(toCp1252(QStringLiteral("a\u4E2D\U0001F600b")), QByteArray("a??b"));
    // A C1 control with a printable place in the table cannot be written as itself.
    EXPECT_EQ(toCp1252(QString(QChar(0x80))), QByteArray("?"));
}

TEST(Cp1252, EveryByteSurvivesAReadAndAWrite) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
    const QString text = fromCp1252(all);
    EXPECT_EQ(text.size(), 256);
    EXPECT_EQ(toCp1252(text), all);
}

TEST(SplitLines, AcceptsCrLfCrAndLfWithoutAnEmptyLastLine) {
    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (QList<QByteArray>{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n"), (QList<QByteArray>{"a"}));
    EXPECT_EQ(splitLines("a\r\n\r\n"), (QList<QByteArray>{"a", ""}));
    EXPECT_EQ(splitLines("\n\r"), (QList<QByteArray>{"", ""}));  // LF then a lone CR
    EXPECT_TRUE(splitLines("").isEmpty());
}

TEST(SafeFile, ReplacesTheFileWholeWithTheRightMode) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.txt"));
    ASSERT_TRUE(writeFileSafely(path, "first version, longer"));
    const Status written = writeFileSafely(path, "second", SafeFile::Access::OwnerOnly);
    ASSERT_TRUE(written) << written.reason().toStdString();
    EXPECT_EQ(readAll(path), QByteArray("second"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(allEntries(dir.path()), QStringList{QStringLiteral("data.txt")});

    // Other files honour the umask: never more open than it allows.
    const mode_t old = ::umask(077);
    const Status strict = writeFileSafely(dir.filePath(QStringLiteral("report.txt")), "r");
    ::umask(old);
    ASSERT_TRUE(strict);
    ASSERT_EQ(
        ::stat(QFile::encodeName(dir.filePath(QStringLiteral("report.txt"))).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(SafeFile, FailureLeavesTheOldFileAndNoLeftovers) {
    QTemporaryDir dir;
    // A folder in the way of the rename: the write fails after the data were written.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    ASSERT_TRUE(QDir().mkpath(blocked + QStringLiteral("/inside")));
    const Status failed = writeFileSafely(blocked, "data");
    EXPECT_FALSE(failed);
    EXPECT_TRUE(failed.reason().contains(QStringLiteral("blocked")))
        << failed.reason().toStdString();
    EXPECT_EQ(allEntries(dir.path()), QStringList{QStringLiteral("blocked")});
    const Status missing = writeFileSafely(dir.filePath(QStringLiteral("no/such/file")), "x");
    EXPECT_FALSE(missing);
    EXPECT_FALSE(missing.reason().isEmpty());
}

TEST(SafeFile, IsRemovedWhenNotCommittedAndCutWhenTruncated) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    ASSERT_TRUE(writeFileSafely(path, "keep me"));
    {
        SafeFile f(path);
        ASSERT_TRUE(f.open());
        ASSERT_TRUE(f.write("abandoned", 9));
    }
    EXPECT_EQ(readAll(path), QByteArray("keep me"));
    EXPECT_EQ(allEntries(dir.path()), QStringList{QStringLiteral("out.txt")});

    SafeFile f(path);
    ASSERT_TRUE(f.open());
    const QByteArray big(200 * 1024, 'b');  // bigger than the write buffer
    ASSERT_TRUE(f.write("head", 4));
    ASSERT_TRUE(f.write(big.constData(), big.size()));
    ASSERT_TRUE(f.write("tail", 4));
    ASSERT_TRUE(f.truncate(4 + big.size()));
    ASSERT_TRUE(f.writeAt(0, "HE", 2));  // a piece that arrives out of order
    ASSERT_TRUE(f.commit());
    EXPECT_EQ(readAll(path), "HEad" + big);
}

}  // namespace
}  // namespace zv
