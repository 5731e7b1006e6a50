// The rules that need no files: character set and lines, masks, the work root, date
// texts, submission numbers, picker lines, the software catalogue; and every kept fuzz
// input replayed through the fuzz targets' own checks.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>

#include "../../fuzz/fuzz_checks.h"
#include "app/workstation_rules.h"
#include "claims/picker_lines.h"
#include "setup/catalogue.h"

using namespace zv;

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

TEST(Rules, Cp1252OneQuestionMarkPerUnmappableCharacterAndLines) {
    EXPECT_EQ(fromCp1252("\x80\x93\x9F\xE9"), QStringLiteral("\u20AC\u201C\u0178\u00E9"));
    // A C1 control has a printable place in the table, so it cannot be written as itself.
    EXPECT_EQ(toCp1252(QStringLiteral("\u20AC\u4E2D\U0001F600\u0080b")), "\x80???b");
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(char(b));
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
    EXPECT_EQ(splitLines("a\r\nb\rc\nd\r\n\r\n"), QList<QByteArray>({"a", "b", "c", "d", ""}));
    EXPECT_EQ(splitLines("\n\r"), QList<QByteArray>({"", ""}));
}

TEST(Rules, MasksIgnoreCaseAndManyStarsStayFast) {
    // clang-format off
    const std::tuple<QString, QString, bool> rows[] = {
        {"*.83p", "K90001.83P", true},      {"*.83p", "K90001.83PX", false},
        {"k9????.83?", "K9001.83D", false}, {"*a*b*c", "xxaxxbxxbxxcd", false},
        {"?", "", false},                   {"*.*", "README", true},
        {"[ab].x", "a.x", false},           {"\u00C9*", "\u00E9t\u00E9", true}};
    // clang-format on
    for (const auto& [mask, name, matches] : rows)
        EXPECT_EQ(maskMatches(mask, name), matches)
            << mask.toStdString() << " " << name.toStdString();
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(maskMatches("a" + QString(199, '*') + "b", QString(20000, 'a')));
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST(Rules, WorkRootDatesAndNumbers) {
    // clang-format off
    const std::pair<const char*, const char*> roots[] = {
        {"/ZOD/bin", "/ZOD/bin/"}, {"/zodiac/", "/zodiac/"}, {"/home/zod", "/home/pat/zod/"}, {"/", "/home/pat/zod/"}};
    const std::pair<QByteArray, int> records[] = {
        {"4 2 ", 42}, {"9999", 9999}, {"00123456", 12}, {"-001", 0}, {QByteArray("\0" "12", 3), 0}};
    // clang-format on
    for (const auto& [current, root] : roots)
        EXPECT_EQ(posixWorkRoot(current, "/home/pat"), root) << current;
    for (const auto& [record, number] : records)
        EXPECT_EQ(parseSequenceRecord(record), number) << record.toStdString();
    EXPECT_EQ(makeClaimName("k9", 42, "83p"), "K90042.83P");
    const QDateTime evening(QDate(2026, 12, 5), QTime(17, 25, 38));
    EXPECT_EQ(dateAndTimeText(evening), "12-05-2026 at 17:25:38");
    EXPECT_EQ(generalDateText(evening), "12/05/2026 5:25:38 PM");
    EXPECT_EQ(generalDateText(QDateTime(QDate(2026, 1, 5), QTime(0, 0))), "01/05/2026 12:00:00 AM");
}

TEST(Rules, PickerLinesAndPlainNames) {
    const QString date = "01/05/2026 9:03:07 AM";
    EXPECT_EQ(resendPickerText("k90042.83p", date), "K90042.83P  01/05/2026  9:03:07 AM");
    EXPECT_EQ(viewPickerText("K90001.83P", date), "K90001.83P   01/05/2026  9:03:07 AM");
    EXPECT_EQ(resendPickerText("a", "1/5"), "A  1///  ");  // a short date gives no garbage
    EXPECT_EQ(deletePickerText("a b", -5), "a b  -5");
    EXPECT_EQ(deletePickerText("c", 5000000000LL), "c   5000000000");
    for (const QString bad : {"", ".", "..", "../x", "a/b", "a\\b", "a\nb", "a\x7f"})
        EXPECT_FALSE(isPlainFileName(bad)) << bad.toStdString();
    EXPECT_FALSE(isPlainFileName(QChar(0)));
    EXPECT_TRUE(isPlainFileName("A B.83P") && isPlainFileName("..."));
}

TEST(Rules, CatalogueDefaultsChoiceAndLocalFolders) {
    EXPECT_EQ(catalogueDefaults("Dental 2000").fileName, "eclaim.*");
    EXPECT_EQ(catalogueDefaults("SoftDent").fileType, "TXT");             // the catch-all
    EXPECT_FALSE(catalogueChoice(-1, "") || catalogueChoice(0, "DBMS"));  // 0: the dental heading
    EXPECT_FALSE(catalogueChoice(11, kMedicalHeading + " "));
    EXPECT_TRUE(catalogueChoice(1, "DBMS") && catalogueChoice(5, kDentalHeading));
    // clang-format off
    const std::pair<const char*, const char*> folders[] = {
        {"c:\\ZOD\\user", "/w/zod/user"}, {"c:\\zod", "/w/zod/"}, {"c:\\zodiac\\x", "/zodiac/x"},
        {"m:\\med flex", "/med flex"},    {"d:", "/"}};
    // clang-format on
    for (const auto& [windows, local] : folders)
        EXPECT_EQ(localCatalogueFolder(windows, "/w/zod/"), local) << windows;
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
                << target << "/" << name.toStdString();
        }
    }
}
