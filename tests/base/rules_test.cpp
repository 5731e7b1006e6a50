// The ground floor's rules where a task test would not see the fault: the character set,
// masks and the folder search, the work root, the 12-hour clock, the one durable write,
// and a long transfer's progress line.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <numeric>

#include "base/durable_file.h"
#include "base/file_mask.h"
#include "base/readable_name.h"
#include "base/text_file.h"
#include "base/transfer_progress.h"
#include "base/workstation_rules.h"
#include "support/files.h"

using namespace zv;

TEST(Rules, Cp1252BothWaysWithOneQuestionMarkPerUnmappableCharacter) {
    EXPECT_EQ(fromCp1252("\x80\x93\x9F"), QStringLiteral("\u20AC\u201C\u0178"));
    // A C1 control has a printable place in the table, so it cannot be written as itself.
    EXPECT_EQ(toCp1252(QStringLiteral("\u20AC\u4E2D\U0001F600\u0080b")), "\x80???b");
    QByteArray all(256, 0);
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
}

TEST(Rules, ManyStarsStayFast) {
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(maskMatches("a" + QString(199, '*') + "b", QString(20000, 'a')));
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST(Rules, WorkRootAndTwelveHourClock) {
    // clang-format off
    const std::pair<QString, QString> roots[] = {
        {"/ZOD/bin", "/ZOD/bin/"}, {"/zodiac/", "/zodiac/"}, {"/home/zod", "/home/pat/zod/"}, {"/", "/home/pat/zod/"}};
    // clang-format on
    for (const auto& [current, root] : roots) EXPECT_EQ(posixWorkRoot(current, "/home/pat"), root);
    EXPECT_EQ(generalDateText(QDateTime(QDate(2026, 1, 5), QTime(17, 5, 8))),
              "01/05/2026 5:05:08 PM");
    EXPECT_EQ(generalDateText(QDateTime(QDate(2026, 1, 5), QTime(0, 0))), "01/05/2026 12:00:00 AM");
}

TEST(Rules, WindowsWorkstation) {
    // clang-format off
    const std::pair<QString, QString> roots[] = {
        {"C:/ZOD", "C:/ZOD/"}, {"c:\\zod\\bin", "C:/ZOD/BIN/"}, {"C:/zodiac/", "C:/ZODIAC/"},
        {"C:/Program Files/ZOD", "C:/zod/"}, {"C:/", "C:/zod/"}, {"d:/work", "D:/zod/"}};
    const std::tuple<int, int, const char*> tags[] = {{5, 1, "XP"}, {6, 1, "W7"}, {6, 2, "W8"}, {10, 0, "W8"}};
    const std::tuple<const char*, bool, const char*, const char*> drives[] = {
        {"W7", true, "ws2xp", "D:"}, {"W7", true, "ws2xp ", "C:"}, {"W8", true, "ws2xp", "C:"}, {"W7", false, "", "C:"}};
    // clang-format on
    for (const auto& [current, root] : roots) EXPECT_EQ(windowsWorkRoot(current), root) << current;
    for (const auto& [major, minor, tag] : tags) EXPECT_EQ(osVersionTag(major, minor), tag);
    for (const auto& [os, present, id, drive] : drives) {
        const ViewerCommands c = viewerCommands(os, present, id);
        EXPECT_EQ(c.explorer, drive + QStringLiteral("\\windows\\explorer.exe ")) << os << id;
        EXPECT_TRUE(c.notepad.startsWith(drive) && c.browser.startsWith(drive)) << os << id;
    }
}

TEST(Rules, NamesWindowsRefuses) {
    // clang-format off
    const std::pair<const char*, bool> names[] = {
        {"R1.TXT", false}, {"CONSOLE.TXT", false}, {"com10", false}, {"a.b.c", false},
        {"CON", true}, {"nul.txt", true}, {"Lpt9.835", true}, {"aux .x", true}, {"COM1", true},
        {"name.", true}, {"name ", true}, {"a:b", true}, {"a?b", true}, {"a\\b", true}, {"a\tb", true}, {"", true}};
    // clang-format on
    for (const auto& [name, refused] : names) EXPECT_EQ(windowsForbidsName(name), refused) << name;
}

TEST(LocalFiles, ReplacedWholeOrLeftAsTheyWereWithAReasonNamingThem) {
    QTemporaryDir dir;
    const QString file = dir.filePath("setup.prm");
    ASSERT_TRUE(writeFileSafely(file, QByteArray(1000, 'q')).ok());
    ASSERT_TRUE(writeFileSafely(file, "short").ok());
    EXPECT_EQ(test::readBytes(file), "short");
    // A folder in the way of the rename: the data were written, then the write fails.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("blocked/inside")));
    const Status blocked = writeFileSafely(dir.filePath("blocked"), "data");
    EXPECT_TRUE(!blocked.ok() && blocked.reason().contains("blocked"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"setup.prm"});
}

TEST(LocalFiles, FolderSearchListsOrdinaryFilesInNameOrderWithoutRegardToCase) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "QFile::link makes shortcuts on Windows, not links";
#endif
    QTemporaryDir dir;
    for (const char* name : {"b.83P", "A.83p", "c.txt", ".hidden.83P"})
        ASSERT_TRUE(writeFileSafely(dir.filePath(name), "").ok());
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.83P"));
    for (const auto& [target, link] : {std::pair{"folder.83P", "dirlink.83P"},
                                       {"c.txt", "filelink.83P"},
                                       {"missing", "broken.83P"}})
        ASSERT_TRUE(QFile::link(dir.filePath(target), dir.filePath(link)));
    EXPECT_EQ(findFiles(dir.path() + "/", "*.83p"),
              QStringList({"A.83p", "b.83P", "filelink.83P"}));
}

TEST(TransferProgress, ShownOnlyWhenLongRefreshedCalmlyAndAlwaysTakenAway) {
    using C = TransferProgress::Change;
    struct Row {
        const char* name;  // null: the blocking call ended
        qint64 ms, done, total;
        C change;
        const char* text;  // the line then, when shown
    };
    const qint64 mb = 1 << 20;
    // clang-format off
    const Row rows[] = {
        {"reports/r.txt", 0, 0, 10 * mb, C::None, nullptr},
        {"reports/r.txt", 600, mb, 10 * mb, C::None, nullptr},  // not a second yet
        {"reports/r.txt", 1000, 2 * mb, 10 * mb, C::Show, "r.txt  2.0 MB of 10.0 MB  1.7 MB/s  0:05 left"},
        {"reports/r.txt", 1100, 3 * mb, 10 * mb, C::None, nullptr},  // too soon after
        {"reports/r.txt", 1300, 3 * mb, 10 * mb, C::Show, "r.txt  3.0 MB of 10.0 MB  2.4 MB/s  0:03 left"},
        {"reports/r.txt", 1400, 10 * mb, 10 * mb, C::Hide, nullptr},
        {"claims/a\x01" "b", 2000, 0, 100, C::None, nullptr},  // fails half-way
        {"claims/a\x01" "b", 3500, 50, 100, C::Show, "a?b  50 B of 100 B  33 B/s  0:02 left"},
        {nullptr, 3600, 0, 0, C::Hide, nullptr},
        {"claims/.d.part", 5000, 0, 5 * mb, C::None, nullptr},  // an upload's name
        {"claims/.d.part", 7000, mb, 5 * mb, C::Show, "d  1.0 MB of 5.0 MB  512.0 KB/s  0:08 left"},
        {"claims/e", 7100, 0, 100, C::Hide, nullptr},  // d never told its end
    };
    // clang-format on
    TransferProgress p;
    for (const Row& r : rows) {
        EXPECT_EQ(r.name ? p.update(r.name, r.done, r.total, r.ms) : p.finish(), r.change) << r.ms;
        EXPECT_TRUE(!r.text || p.text() == r.text) << r.ms << ": " << p.text().toStdString();
    }
    EXPECT_EQ(TransferProgress::sizeText(5 * mb << 10) + TransferProgress::durationText(3605),
              "5.0 GB1:00:05");
}
