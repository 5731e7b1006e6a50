#include <gtest/gtest.h>

#include "claims/picker_lines.h"

namespace zv {
namespace {

TEST(PickerLines, ResendAndViewDateColumns) {
    const QString date = QStringLiteral("01/05/2026 9:03:07 AM");
    EXPECT_EQ(resendPickerText(QStringLiteral("k90042.83p"), date),
              QStringLiteral("K90042.83P  01/05/2026  9:03:07 AM"));
    EXPECT_EQ(viewPickerText(QStringLiteral("K90001.83P"), date),
              QStringLiteral("K90001.83P   01/05/2026  9:03:07 AM"));
    // Other layouts take the same positions; a short text gives no garbage.
    EXPECT_EQ(resendPickerText(QStringLiteral("a"), QStringLiteral("2026-01-05 09:03")),
              QStringLiteral("A  20/6-/1-05  09:03"));
    EXPECT_EQ(resendPickerText(QStringLiteral("a"), QStringLiteral("1/5")),
              QStringLiteral("A  1///  "));
    EXPECT_EQ(viewPickerText(QStringLiteral("a"), QString()), QStringLiteral("A    "));
}

TEST(PickerLines, DeleteLineHasASignPlace) {
    EXPECT_EQ(deletePickerText(QStringLiteral("A.83P"), 1234), QStringLiteral("A.83P   1234"));
    EXPECT_EQ(deletePickerText(QStringLiteral("a b.83p"), 0), QStringLiteral("a b.83p   0"));
    EXPECT_EQ(deletePickerText(QStringLiteral("x"), -5), QStringLiteral("x  -5"));
    EXPECT_EQ(deletePickerText(QStringLiteral("big"), 5000000000LL),
              QStringLiteral("big   5000000000"));
}

TEST(PickerLines, PlainFileNames) {
    EXPECT_TRUE(isPlainFileName(QStringLiteral("K90001.83P")));
    EXPECT_TRUE(isPlainFileName(QStringLiteral("A B.83P")));
    EXPECT_TRUE(isPlainFileName(QStringLiteral("...")));
    for (const QString& bad :
         {QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral("../x"),
          QStringLiteral("/etc/passwd"), QStringLiteral("a/b"), QStringLiteral("a\\b"),
          QStringLiteral("a\nb"), QStringLiteral("a\tb"), QStringLiteral("a\x7f"),
          QString(QChar(0)) + QStringLiteral("x")}) {
        EXPECT_FALSE(isPlainFileName(bad)) << bad.toStdString();
    }
}

}  // namespace
}  // namespace zv
