#include "app/workstation_rules.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

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
