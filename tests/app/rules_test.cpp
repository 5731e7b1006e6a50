// The rules that need no files, and every kept fuzz input replayed through the fuzz
// targets' own checks (setup reader and writer, sequence record, masks, 837 split).
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <numeric>

#include "../../fuzz/fuzz_checks.h"
#include "app/workstation_rules.h"
#include "claims/picker_lines.h"
#include "setup/catalogue.h"

using namespace zv;
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

TEST(Rules, Cp1252BothWaysWithOneQuestionMarkPerUnmappableCharacter) {
    EXPECT_EQ(fromCp1252("\x80\x93\x9F"), QStringLiteral("\u20AC\u201C\u0178"));
    // A C1 control has a printable place in the table, so it cannot be written as itself.
    EXPECT_EQ(toCp1252(QStringLiteral("\u20AC\u4E2D\U0001F600\u0080b")), "\x80???b");
    QByteArray all(256, 0);
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
}

TEST(Rules, MasksIgnoreCaseAndManyStarsStayFast) {
    // clang-format off
    const std::tuple<QString, QString, bool> rows[] = {
        {"*.83p", "K90001.83P", true}, {"*.83p", "K90001.83PX", false}, {"k9????.83?", "K9001.83D", false},
        {"*.*", "README", true},       {"[ab].x", "a.x", false},        {"\u00C9*", "\u00E9t\u00E9", true}};
    // clang-format on
    for (const auto& [mask, name, matches] : rows)
        EXPECT_EQ(maskMatches(mask, name), matches) << mask.toStdString();
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(maskMatches("a" + QString(199, '*') + "b", QString(20000, 'a')));
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST(Rules, WorkRootNumbersAndTexts) {
    // clang-format off
    const std::pair<QString, QString> roots[] = {
        {"/ZOD/bin", "/ZOD/bin/"}, {"/zodiac/", "/zodiac/"}, {"/home/zod", "/home/pat/zod/"}, {"/", "/home/pat/zod/"}};
    const std::pair<QByteArray, int> records[] = {
        {"4 2 ", 42}, {"9999", 9999}, {"00123456", 12}, {"-001", 0}, {QByteArray("\0" "12", 3), 0}};
    // clang-format on
    for (const auto& [current, root] : roots) EXPECT_EQ(posixWorkRoot(current, "/home/pat"), root);
    for (const auto& [record, number] : records) EXPECT_EQ(parseSequenceRecord(record), number);
    EXPECT_EQ(makeClaimName("k9", 42, "83p"), "K90042.83P");
    const QDateTime evening(QDate(2026, 12, 5), QTime(17, 25, 38));
    EXPECT_EQ(dateAndTimeText(evening), "12-05-2026 at 17:25:38");
    EXPECT_EQ(generalDateText(evening), "12/05/2026 5:25:38 PM");
    EXPECT_EQ(generalDateText(QDateTime(QDate(2026, 1, 5), QTime(0, 0))), "01/05/2026 12:00:00 AM");
    const QString date = "01/05/2026 9:03:07 AM";
    EXPECT_EQ(resendPickerText("k90042.83p", date), "K90042.83P  01/05/2026  9:03:07 AM");
    EXPECT_EQ(viewPickerText("K90001.83P", date), "K90001.83P   01/05/2026  9:03:07 AM");
    EXPECT_EQ(resendPickerText("a", "1/5"), "A  1///  ");  // a short date gives no garbage
    EXPECT_EQ(deletePickerText("a b", -5) + deletePickerText("c", 5000000000),
              "a b  -5c   5000000000");
}

TEST(Rules, PlainFileNamesAndTheCatalogue) {
    for (const QString& bad :
         QStringList{"", ".", "..", "../x", "a/b", "a\\b", "a\nb", "a\x7f", QChar(0)})
        EXPECT_FALSE(isPlainFileName(bad)) << bad.toStdString();
    EXPECT_TRUE(isPlainFileName("A B.83P") && isPlainFileName("..."));
    EXPECT_EQ(catalogueDefaults("SoftDent").fileType, "TXT");  // the catch-all
    EXPECT_FALSE(catalogueChoice(-1, "") || catalogueChoice(11, kMedicalHeading + " "));
    EXPECT_TRUE(catalogueChoice(5, kDentalHeading));  // only the first entry is that heading
    for (const auto& [windows, local] :
         {std::pair{"c:\\zodiac\\x", "/zodiac/x"}, {"m:\\med flex", "/med flex"}, {"d:", "/"}})
        EXPECT_EQ(localCatalogueFolder(windows, "/w/zod/"), local);
}

TEST(Rules, EveryKeptFuzzInputPassesItsTargetsCheck) {
    // clang-format off
    const std::pair<const char*, QString (*)(const QByteArray&)> targets[] = {
        {"fuzz_setup_reader", fuzz::checkSetupBytes}, {"fuzz_sequence_parse", fuzz::checkSequenceRecord},
        {"fuzz_mask", fuzz::checkMask},               {"fuzz_splitter", fuzz::checkSplitter}};
    // clang-format on
    for (const auto& [target, check] : targets) {
        const QDir dir(ZV_SOURCE_DIR "/fuzz/corpus/" + QString(target));
        ASSERT_FALSE(dir.isEmpty()) << target;
        for (const QString& name : dir.entryList(QDir::Files)) {
            QFile f(dir.filePath(name));
            EXPECT_EQ(f.open(QIODevice::ReadOnly) ? check(f.readAll()) : "unreadable", "")
                << name.toStdString();
        }
    }
}
