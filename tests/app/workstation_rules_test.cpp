#include "app/workstation_rules.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

TEST(WorkstationRules, WindowsWorkRoot) {
    EXPECT_EQ(windowsWorkRoot(QStringLiteral("C:\\ZOD")), QStringLiteral("C:\\ZOD\\"));
    EXPECT_EQ(windowsWorkRoot(QStringLiteral("c:\\zod\\bin")), QStringLiteral("C:\\ZOD\\BIN\\"));
    EXPECT_EQ(windowsWorkRoot(QStringLiteral("C:\\ZUDUVOR")), QStringLiteral("C:\\ZUDUVOR\\"));
    EXPECT_EQ(windowsWorkRoot(QStringLiteral("C:\\Program Files\\ZOD")),
              QStringLiteral("C:\\zod\\"));
    EXPECT_EQ(windowsWorkRoot(QStringLiteral("C:\\")), QStringLiteral("C:\\zod\\"));
    EXPECT_EQ(windowsWorkRoot(QStringLiteral("d:\\zodiac")), QStringLiteral("D:\\ZODIAC\\"));
}

TEST(WorkstationRules, PosixWorkRoot) {
    const QString home = QStringLiteral("/home/frontdesk");
    EXPECT_EQ(posixWorkRoot(QStringLiteral("/zod"), home), QStringLiteral("/zod/"));
    EXPECT_EQ(posixWorkRoot(QStringLiteral("/ZOD/bin"), home), QStringLiteral("/ZOD/bin/"));
    EXPECT_EQ(posixWorkRoot(QStringLiteral("/Zodiac/x/"), home), QStringLiteral("/Zodiac/x/"));
    // Only the first component counts.
    EXPECT_EQ(posixWorkRoot(QStringLiteral("/home/zod"), home),
              QStringLiteral("/home/frontdesk/zod/"));
    EXPECT_EQ(posixWorkRoot(QStringLiteral("/"), home + QStringLiteral("/")),
              QStringLiteral("/home/frontdesk/zod/"));
}

TEST(WorkstationRules, VerOutputLastMatchingLineDecides) {
    EXPECT_EQ(parseVerOutput(""), QStringLiteral("W8"));
    EXPECT_EQ(parseVerOutput("\r\nMicrosoft Windows [Version 6.1.7601]\r\n"), QStringLiteral("W7"));
    EXPECT_EQ(parseVerOutput("\r\nMicrosoft Windows XP [Version 5.1.2600]\r\n"),
              QStringLiteral("XP"));
    EXPECT_EQ(parseVerOutput("Microsoft Windows XP\r\nMicrosoft Windows [Version 10]\r\n   \r\n"),
              QStringLiteral("W7"));
    EXPECT_EQ(parseVerOutput("Microsoft Windows [V\nsomething else\n"), QStringLiteral("W7"));
    EXPECT_EQ(parseVerOutput("microsoft windows xp\n"), QStringLiteral("W8"));
}

TEST(WorkstationRules, SysIdAndViewerCommands) {
    EXPECT_EQ(sysIdFromMarker("WS2XP\r\nsecond line\r\n"), QStringLiteral("ws2xp"));
    EXPECT_EQ(sysIdFromMarker("ws2xp \r\n"), QStringLiteral("ws2xp "));
    EXPECT_EQ(sysIdFromMarker(""), QString());

    const ViewerCommands d =
        windowsViewerCommands(QStringLiteral("W7"), true, QStringLiteral("ws2xp"));
    EXPECT_EQ(d.explorer, QStringLiteral("D:\\windows\\explorer.exe "));
    EXPECT_EQ(d.browser, QStringLiteral("D:\\Program Files\\Internet Explorer\\iexplore.exe "));
    EXPECT_EQ(d.notepad, QStringLiteral("D:\\Windows\\notepad.exe "));

    const ViewerCommands c =
        windowsViewerCommands(QStringLiteral("W7"), true, QStringLiteral("ws2xp "));
    EXPECT_EQ(c.explorer, QStringLiteral("C:\\windows\\explorer.exe "));
    EXPECT_EQ(c.browser, QStringLiteral("C:\\Program Files\\Internet Explorer\\iexplore.exe "));
    EXPECT_EQ(c.notepad, QStringLiteral("C:\\Windows\\notepad.exe "));
    EXPECT_EQ(windowsViewerCommands(QStringLiteral("W7"), false, QStringLiteral("ws2xp")).notepad,
              c.notepad);
    EXPECT_EQ(windowsViewerCommands(QStringLiteral("XP"), true, QStringLiteral("ws2xp")).notepad,
              c.notepad);
}

TEST(WorkstationRules, DateAndTimeTexts) {
    const QDateTime morning(QDate(2026, 1, 5), QTime(9, 3, 7));
    const QDateTime evening(QDate(2026, 12, 5), QTime(17, 25, 38));
    EXPECT_EQ(dateAndTimeText(evening), QStringLiteral("12-05-2026 at 17:25:38"));
    EXPECT_EQ(timeText(morning), QStringLiteral("09:03:07"));
    EXPECT_EQ(generalDateText(morning), QStringLiteral("01/05/2026 9:03:07 AM"));
    EXPECT_EQ(generalDateText(evening), QStringLiteral("12/05/2026 5:25:38 PM"));
    EXPECT_EQ(generalDateText(QDateTime(QDate(2026, 1, 5), QTime(0, 0, 0))),
              QStringLiteral("01/05/2026 12:00:00 AM"));
}

}  // namespace
}  // namespace zv
