#include "app/file_mask.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

namespace zv {
namespace {

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

TEST(FileMask, WildCardsWithoutRegardToCase) {
    EXPECT_TRUE(maskMatches(QStringLiteral("eclaims.*"), QStringLiteral("ECLAIMS.TXT")));
    EXPECT_TRUE(maskMatches(QStringLiteral("*.83p"), QStringLiteral("K90001.83P")));
    EXPECT_FALSE(maskMatches(QStringLiteral("*.83p"), QStringLiteral("K90001.83PX")));
    EXPECT_TRUE(maskMatches(QStringLiteral("k9????.83?"), QStringLiteral("K90001.83D")));
    EXPECT_FALSE(maskMatches(QStringLiteral("k9????.83?"), QStringLiteral("K9001.83D")));
    EXPECT_TRUE(maskMatches(QStringLiteral("*a*b*c"), QStringLiteral("xxaxxbxxbxxc")));
    EXPECT_FALSE(maskMatches(QStringLiteral("*a*b*c"), QStringLiteral("xxaxxbxxbxxcd")));
    EXPECT_TRUE(maskMatches(QStringLiteral("**"), QString()));
    EXPECT_FALSE(maskMatches(QStringLiteral("?"), QString()));
    EXPECT_TRUE(maskMatches(QStringLiteral("\u00C9*"), QStringLiteral("\u00E9t\u00E9")));
}

TEST(FileMask, StarDotStarMatchesEveryNameAndOddCharactersAreLiteral) {
    EXPECT_TRUE(maskMatches(QStringLiteral("*.*"), QStringLiteral("README")));
    EXPECT_TRUE(maskMatches(QStringLiteral("*.*"), QStringLiteral("a.b.c")));
    EXPECT_FALSE(maskMatches(QStringLiteral("*.txt"), QStringLiteral("README")));
    EXPECT_TRUE(maskMatches(QStringLiteral("[ab]{1}+\\.x"), QStringLiteral("[AB]{1}+\\.X")));
    EXPECT_FALSE(maskMatches(QStringLiteral("[ab].x"), QStringLiteral("a.x")));
}

TEST(FileMask, ManyStarsStayFast) {
    const QString mask =
        QString(200, QLatin1Char('*')).replace(1, 1, QLatin1Char('a')) + QStringLiteral("b");
    const QString name(20000, QLatin1Char('a'));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(maskMatches(QStringLiteral("*a*a*a*a*a*a*a*a*a*a*b"), name));
    EXPECT_FALSE(maskMatches(mask, name));
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST(FileMask, FindFilesListsOrdinaryFilesInNameOrder) {
    QTemporaryDir dir;
    const QString d = dir.path() + QLatin1Char('/');
    touch(d + QStringLiteral("b.83P"));
    touch(d + QStringLiteral("A.83p"));
    touch(d + QStringLiteral("c.txt"));
    touch(d + QStringLiteral(".hidden.83P"));
    ASSERT_TRUE(QDir().mkdir(d + QStringLiteral("folder.83P")));
    ASSERT_EQ(
        ::symlink("folder.83P", QFile::encodeName(d + QStringLiteral("dirlink.83P")).constData()),
        0);
    ASSERT_EQ(::symlink("c.txt", QFile::encodeName(d + QStringLiteral("filelink.83P")).constData()),
              0);
    ASSERT_EQ(::symlink("missing", QFile::encodeName(d + QStringLiteral("broken.83P")).constData()),
              0);

    EXPECT_EQ(findFiles(d, QStringLiteral("*.83p")),
              (QStringList{QStringLiteral("A.83p"), QStringLiteral("b.83P"),
                           QStringLiteral("filelink.83P")}));
    EXPECT_EQ(findFiles(d, QStringLiteral("*.*")).size(), 4);
    EXPECT_TRUE(findFiles(d + QStringLiteral("nothing/"), QStringLiteral("*.*")).isEmpty());
}

}  // namespace
}  // namespace zv
