// The logic without a window, where a task test would not see the fault: character set,
// masks, work root, the 12-hour clock, catalogue folders, the setup file's reader on sound
// and damaged input, safe replacement, the sequence file's creation, the next free claim
// number past copies a cut send left, the folder search and the 837 split; every kept
// fuzz input replayed through the fuzz targets' own checks (they also hold the setup
// writer, the sequence record and the mask rules against second implementations);
// start-up's end states as the user meets them, the log after Exit, the web site, and the
// command line's usage errors.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <numeric>

#include "../../fuzz/fuzz_checks.h"
#include "base/durable_file.h"
#include "base/transfer_progress.h"
#include "base/workstation_rules.h"
#include "claims/claim_files.h"
#include "claims/numbering.h"
#include "console/command_line.h"
#include "setup/catalogue.h"
#include "support/recorders.h"
#include "zuduvor_config.h"

using namespace zv;
using P = SetupParameters;
using enum SetupReadOutcome;
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
static QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : "<missing>";
}

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

TEST(Rules, WorkRootTwelveHourClockAndCatalogueFolders) {
    // clang-format off
    const std::pair<QString, QString> roots[] = {
        {"/ZOD/bin", "/ZOD/bin/"}, {"/zodiac/", "/zodiac/"}, {"/home/zod", "/home/pat/zod/"}, {"/", "/home/pat/zod/"}};
    // clang-format on
    for (const auto& [current, root] : roots) EXPECT_EQ(posixWorkRoot(current, "/home/pat"), root);
    EXPECT_EQ(generalDateText(QDateTime(QDate(2026, 1, 5), QTime(17, 5, 8))),
              "01/05/2026 5:05:08 PM");
    EXPECT_EQ(generalDateText(QDateTime(QDate(2026, 1, 5), QTime(0, 0))), "01/05/2026 12:00:00 AM");
    for (const auto& [windows, local] :
         {std::pair{"c:\\zodiac\\x", "/zodiac/x"}, {"m:\\med flex", "/med flex"}, {"d:", "/"}})
        EXPECT_EQ(localCatalogueFolder(windows, "/w/zod/"), local);
}

TEST(Rules, EveryKeptFuzzInputPassesItsTargetsCheck) {
    // clang-format off
    const std::pair<const char*, QString (*)(const QByteArray&)> targets[] = {
        {"fuzz_setup_reader", fuzz::checkSetupBytes}, {"fuzz_sequence_parse", fuzz::checkSequenceRecord},
        {"fuzz_mask", fuzz::checkMask},               {"fuzz_splitter", fuzz::checkSplitter},
        {"fuzz_x12_reader", fuzz::checkX12},
        {"fuzz_sftp_reply", fuzz::checkSftpReply}};
    // clang-format on
    for (const auto& [target, check] : targets) {
        const QDir dir(ZV_SOURCE_DIR "/fuzz/corpus/" + QString(target));
        ASSERT_FALSE(dir.isEmpty()) << target;
        for (const QString& name : dir.entryList(QDir::Files))
            EXPECT_EQ(check(contents(dir.filePath(name))), "") << name.toStdString();
    }
}

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

TEST(LocalFiles, ReplacedWholeOrLeftAsTheyWereWithAReasonNamingThem) {
    QTemporaryDir dir;
    const QString setup = dir.filePath("setup.prm"), seq = dir.filePath("seqfile.fil");
    const QString gone = dir.filePath("gone/seqfile.fil"), in = dir.filePath("K9.83P");
    ASSERT_TRUE(writeFileSafely(setup, QByteArray(1000, 'q')).ok());
    ASSERT_TRUE(writeSetupFile(setup, P{"", "", "", "", "k9", "", ""}).ok());
    const QFileInfo file(setup);  // readable by its owner only: it holds a password
    EXPECT_TRUE(file.size() == 364 &&
                !(file.permissions() & (QFile::ReadGroup | QFile::ReadOther)));
    P back;
    EXPECT_EQ(readSetupFile(dir.path(), back).outcome, Unreadable);
    EXPECT_TRUE(readSetupFile(gone, back).error.contains(gone));
    // A folder in the way of the rename: the data were written, then the write fails.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("blocked/inside")));
    const Status blocked = writeFileSafely(dir.filePath("blocked"), "data");
    EXPECT_TRUE(!blocked.ok() && blocked.reason().contains("blocked"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"setup.prm"});
    // Saving the setup again must not start the numbers afresh.
    ASSERT_TRUE(writeFileSafely(seq, "0044").ok());
    ASSERT_TRUE(createSequenceFileIfMissing(seq).ok() && contents(seq) == "0044");
    const QByteArray big(5 << 20, 'S');  // one segment far past any buffer, then a cut tail
    ASSERT_TRUE(writeFileSafely(in, "ST~" + big + "~SE").ok());
    const Status split = splitSegmentsFile(in, seq);
    ASSERT_TRUE(split.ok()) << split.reason().toStdString();
    EXPECT_FALSE(splitSegmentsFile(dir.path(), seq).ok() || splitSegmentsFile(in, gone).ok());
    EXPECT_TRUE(contents(seq) == "ST\r\n" + big + "\r\n");  // as it was after the failures
    SegmentSplitter failing([](const char*, qint64) { return false; });  // a full disk
    EXPECT_FALSE(failing.feed("A~", 2));
}

TEST(LocalFiles, NextFreeNumberSkipsNumbersWithACopyInEitherFolder) {
    const struct {
        int last;
        QList<int> copies;  // alternately in the backup and the working folder
        int next;           // 0: used up
    } cases[] = {{5, {6, 7}, 8}, {9998, {9999}, 0}};
    for (const auto& c : cases) {
        QTemporaryDir backup, work;
        const QStringList folders{backup.path() + "/", work.path() + "/"};
        for (qsizetype i = 0; i < c.copies.size(); ++i)
            ASSERT_TRUE(
                writeFileSafely(folders[i % 2] + makeClaimName("k", c.copies[i], "X"), "").ok());
        const Result<int> next = nextFreeNumber(c.last, "k", "X", folders);
        EXPECT_EQ(next ? *next : 0, c.next) << "after " << c.last;
    }
}

TEST(LocalFiles, FolderSearchListsOrdinaryFilesInNameOrderWithoutRegardToCase) {
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

struct Workstation {
    QTemporaryDir tmp;
    QString root = tmp.path() + "/zod/";
    bool made = QDir().mkpath(root);
    Module1 m;
    test::RecordingView view;
    test::RecordingDialogs dialogs;
    test::RecordingLauncher launcher;
    Zuduvor z{m, view, view, dialogs, launcher};
    QByteArray log() { return contents(root + "ZUDUVOR.LOG"); }
};

TEST(StartStates, EachSetupStateHasItsMessageAndTheLogStartsAfreshOrNotAtAll) {
    const QByteArray full = formatSetupFile({"/c/", "*.txt", "83P", "DOCUTRAC", "k9", "pw", "/r/"});
    // clang-format off
    const std::tuple<QByteArray, StartState, QString> rows[] = {
        {{}, StartState::NoSetupFile, "Setup File not Found. Please do the Setup."},
        {"", StartState::NoSetupFile, "Setup File not Found. Please do the Setup."},
        {"UserFile*.txt\r\nsiteid  x\r\nFileType83P\r\n", StartState::UnknownKey, "Unknown Setup Parameter. Please Redo the Setup."},
        {"UserFile*.txt\r\nSiteID  x\r\n", StartState::MissingValue, "User Claim File not found, Setup Required."},
        {full, StartState::Complete, ""}};
    // clang-format on
    for (const auto& [setup, state, message] : rows) {
        Workstation s;
        EXPECT_TRUE(writeFileSafely(s.root + "ZUDUVOR.LOG", "earlier\r\n").ok());
        EXPECT_TRUE(setup.isNull() || writeFileSafely(s.root + "setup.prm", setup).ok());
        EXPECT_EQ(s.z.Form_Load({s.root, "127.0.0.1", 2222, "", ""}), state);
        EXPECT_EQ(s.dialogs.texts().join(""), message);
        EXPECT_EQ(s.view.status, QStringList{ReadyLine});
        EXPECT_EQ(s.view.siteIdText, s.m.Setup.SiteID.toUpper());
        const QByteArray log = s.log();
        const bool logged = state == StartState::MissingValue || state == StartState::Complete;
        EXPECT_EQ(log.startsWith("Start DADEDIRUred on ") && log.count("\r\n") == 1, logged)
            << log.toStdString();
        // A task still finishing after Exit must not reopen (and so empty) the log.
        s.z.Command1_Click();
        s.z.WriteLogLine();
        EXPECT_EQ(s.log(), log);
    }
}

TEST(MainLogic, TheWebSiteOpensOrSaysWhyNot) {
    Workstation s;
    s.z.ZODWebSite_Click();
    s.launcher.succeed = false;
    s.z.ZODWebSite_Click();
    s.launcher.exists = false;
    s.z.ZODWebSite_Click();
    EXPECT_EQ(s.launcher.opened, QStringList{config::kWebSite});
    const QString shown = s.dialogs.texts().join("|");
    EXPECT_TRUE(shown.contains(").\nthe opener could not be started\n")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("|Path to Internet Explorer not Found"));
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

TEST(CommandLine, UsageErrorsAreCaught) {
    for (const QString bad : {"delete", "--sftp-port 70000", "--work-root", "send x"})
        EXPECT_NE(parseCommandLine(("zuduvor " + bad).split(' '), {}).error, "")
            << bad.toStdString();
    EXPECT_NE(parseCommandLine({"zuduvor"}, {"ZUDUVOR_SFTP_PORT=0"}).error, "");
    const QStringList arguments{"zuduvor", "--sftp-port", "2201"};  // arguments win
    EXPECT_EQ(parseCommandLine(arguments, {"ZUDUVOR_SFTP_PORT=2200"}).start.sftpPort, 2201);
}
