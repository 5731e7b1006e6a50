// setup.prm read from sound and damaged bytes, written for its owner only, and the
// catalogue's Windows folders found under the work root.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "setup/catalogue.h"
#include "setup/setup_file.h"
#include "support/files.h"

using namespace zv;
using P = SetupParameters;
using enum SetupReadOutcome;

TEST(SetupFile, Reader) {
    // clang-format off
    const std::tuple<QByteArray, SetupReadOutcome, QString P::*, QString> rows[] = {
        {"SiteID  abc123\r\n", Complete, &P::SiteID, "abc123"},
        {"SiteID abc123\r\n", UnknownKey, &P::SiteID, ""},  // values start in column 9
        {"UserPath/claims\r\n", Complete, &P::UserPath, "/claims/"},
        {"RptPath \r\n", Complete, &P::RptPath, "/"},
        {"PassWord x y  \r\n", Complete, &P::PassWord, " x y"},
        {"FileType83p\rSiteID  one\nSiteID  two", Complete, &P::SiteID, "two"},
        {"UserFileA\r\nbogus\r\nPassWordnew\r\n", UnknownKey, &P::UserFile, "A"},
        {"PassWordold\r\n\r\nPassWordnew\r\n", UnknownKey, &P::PassWord, "old"},
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

TEST(SetupFile, WrittenWholeForItsOwnerOnlyAndAnUnreadableOneIsNamed) {
    QTemporaryDir dir;
    const QString setup = dir.filePath("setup.prm"), gone = dir.filePath("gone/setup.prm");
    test::writeBytes(setup, QByteArray(1000, 'q'));
    ASSERT_TRUE(writeSetupFile(setup, P{"", "", "", "", "k9", "", ""}).ok());
    const QFileInfo file(setup);
    EXPECT_EQ(file.size(), 364);
#ifndef _WIN32  // readable by its owner only: it holds a password (Windows: the folder's ACL)
    EXPECT_FALSE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther));
#endif
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"setup.prm"});
    P back;
    EXPECT_EQ(readSetupFile(dir.path(), back).outcome, Unreadable);
    EXPECT_TRUE(readSetupFile(gone, back).error.contains(QDir::toNativeSeparators(gone)));
}

TEST(Catalogue, WindowsFoldersAreFoundUnderTheRoot) {
    for (const auto& [windows, local] :
         {std::pair{"c:\\zodiac\\x", "/zodiac/x"}, {"m:\\med flex", "/med flex"}, {"d:", "/"}})
        EXPECT_EQ(localCatalogueFolder(windows, "/w/zod/"), local);
}
