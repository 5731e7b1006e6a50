#include "setup/setup_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/text_file.h"

namespace zv {
namespace {

QByteArray line(const QByteArray& text) { return text.leftJustified(50, ' ') + "\r\n"; }

SetupParameters sampleSetup() {
    SetupParameters p;
    p.UserPath = QStringLiteral("/home/Practice/Claims/");
    p.UserFile = QStringLiteral("EClaims.*");
    p.FileType = QStringLiteral("den");
    p.SoftType = QStringLiteral("Dentrix");
    p.SiteID = QStringLiteral("ABC123");
    p.PassWord = QStringLiteral("Secret9");
    p.RptPath = QStringLiteral("/home/Practice/Reports/");
    return p;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(SetupFile, WrittenFileIsByteExactWithTheWritersCaseRules) {
    const QByteArray bytes = formatSetupFile(sampleSetup());
    ASSERT_EQ(bytes.size(), 364);
    const QByteArray expected = line("UserPath/home/Practice/Claims/") + line("UserFileEClaims.*") +
                                line("FileTypeDEN") + line("SoftTypeDENTRIX") +
                                line("SiteID  abc123") + line("PassWordsecret9") +
                                line("RptPath /home/Practice/Reports/");
    EXPECT_EQ(bytes, expected);
}

TEST(SetupFile, WriterCutsLongValuesAt42AndBlankValuesStayBlank) {
    SetupParameters p;
    p.UserFile = QString(60, QLatin1Char('x'));
    p.PassWord = QStringLiteral("pw   ");  // trailing blanks are not part of the value
    const QByteArray bytes = formatSetupFile(p);
    ASSERT_EQ(bytes.size(), 364);
    const QList<QByteArray> lines = splitLines(bytes);
    ASSERT_EQ(lines.size(), 7);
    for (const QByteArray& l : lines) EXPECT_EQ(l.size(), 50);
    EXPECT_EQ(lines[0], QByteArray("UserPath").leftJustified(50, ' '));
    EXPECT_EQ(lines[1], "UserFile" + QByteArray(42, 'x'));
    EXPECT_EQ(lines[5], QByteArray("PassWordpw").leftJustified(50, ' '));
}

TEST(SetupFile, WriterKeepsLinesWholeWhateverTheValueHolds) {
    SetupParameters p;
    p.SiteID = QStringLiteral("abc\r\nRptPath /etc");           // must not become a line of its own
    p.UserFile = QStringLiteral("\U0001F600\U0001F600claims");  // outside Windows-1252
    const QByteArray bytes = formatSetupFile(p);
    ASSERT_EQ(bytes.size(), 364);
    SetupParameters back;
    EXPECT_EQ(parseSetupBytes(bytes, back).outcome, SetupReadOutcome::Complete);
    EXPECT_EQ(back.SiteID, QStringLiteral("abc??rptpath /etc"));
    EXPECT_EQ(back.UserFile, QStringLiteral("??claims"));
    EXPECT_EQ(back.RptPath, QStringLiteral("/"));
}

TEST(SetupFile, WhatTheWriterWritesReadsBackToTheSameValues) {
    const SetupParameters p = sampleSetup();
    SetupParameters back;
    QString shownSite;
    const SetupReadResult r =
        parseSetupBytes(formatSetupFile(p), back, [&](const QString& s) { shownSite = s; });
    EXPECT_EQ(r.outcome, SetupReadOutcome::Complete);
    EXPECT_EQ(back.UserPath, p.UserPath);
    EXPECT_EQ(back.UserFile, p.UserFile);
    EXPECT_EQ(back.FileType, QStringLiteral("DEN"));
    EXPECT_EQ(back.SoftType, QStringLiteral("DENTRIX"));
    EXPECT_EQ(back.SiteID, QStringLiteral("abc123"));
    EXPECT_EQ(back.PassWord, QStringLiteral("secret9"));
    EXPECT_EQ(back.RptPath, p.RptPath);  // the report folder keeps its case
    EXPECT_EQ(shownSite, QStringLiteral("ABC123"));
}

TEST(SetupFile, ReaderTakesKeysWithCaseAndValuesFromColumnNine) {
    SetupParameters p;
    QStringList shown;
    auto onSite = [&](const QString& s) { shown << s; };
    EXPECT_EQ(parseSetupBytes("SiteID  abc123\r\n", p, onSite).outcome, SetupReadOutcome::Complete);
    EXPECT_EQ(p.SiteID, QStringLiteral("abc123"));
    EXPECT_EQ(shown, QStringList{QStringLiteral("ABC123")});

    SetupParameters q;
    EXPECT_EQ(parseSetupBytes("SiteID abc123\r\n", q).outcome, SetupReadOutcome::UnknownKey);
    EXPECT_EQ(parseSetupBytes("siteid  abc123\r\n", q).outcome, SetupReadOutcome::UnknownKey);
    EXPECT_TRUE(q.SiteID.isEmpty());
}

TEST(SetupFile, ReaderAppliesTheFolderRuleAndKeepsLeadingBlanks) {
    SetupParameters p;
    ASSERT_EQ(parseSetupBytes("UserPath/claims\r\nRptPath /r/\r\nPassWord x y  \r\n", p).outcome,
              SetupReadOutcome::Complete);
    EXPECT_EQ(p.UserPath, QStringLiteral("/claims/"));
    EXPECT_EQ(p.RptPath, QStringLiteral("/r/"));
    EXPECT_EQ(p.PassWord, QStringLiteral(" x y"));

    SetupParameters empty;
    ASSERT_EQ(parseSetupBytes("UserPath\r\nRptPath \r\n", empty).outcome,
              SetupReadOutcome::Complete);
    EXPECT_EQ(empty.UserPath, QStringLiteral("/"));
    EXPECT_EQ(empty.RptPath, QStringLiteral("/"));
}

TEST(SetupFile, UnknownLineStopsTheReadingAndKeepsWhatCameBefore) {
    SetupParameters p;
    p.PassWord = QStringLiteral("old");
    const QByteArray bytes = formatSetupFile(sampleSetup()) + "\r\n" + "PassWordnew\r\n";
    EXPECT_EQ(parseSetupBytes(bytes, p).outcome, SetupReadOutcome::UnknownKey);
    EXPECT_EQ(p.SiteID, QStringLiteral("abc123"));
    EXPECT_EQ(p.PassWord, QStringLiteral("secret9"));  // the line after the stop is not read

    // A file that ends with an empty line stops there, after every value was set.
    SetupParameters q;
    EXPECT_EQ(parseSetupBytes(formatSetupFile(sampleSetup()) + "\r\n", q).outcome,
              SetupReadOutcome::UnknownKey);
    EXPECT_EQ(q.RptPath, QStringLiteral("/home/Practice/Reports/"));

    SetupParameters r;
    EXPECT_EQ(parseSetupBytes("SiteID\r\n", r).outcome, SetupReadOutcome::UnknownKey);
}

TEST(SetupFile, ReaderAcceptsAnyLineEndAndLaterLinesWin) {
    SetupParameters p;
    ASSERT_EQ(parseSetupBytes("FileType83p\rSiteID  one\nSiteID  two\r\nUserFile*.txt", p).outcome,
              SetupReadOutcome::Complete);
    EXPECT_EQ(p.FileType, QStringLiteral("83p"));  // the reader changes no case
    EXPECT_EQ(p.SiteID, QStringLiteral("two"));
    EXPECT_EQ(p.UserFile, QStringLiteral("*.txt"));
}

TEST(SetupFile, DamagedFilesAreReadWithinTheLineBuffer) {
    SetupParameters p;
    QByteArray huge = "UserFile" + QByteArray(1024 * 1024, 'z') + "\r\n";
    EXPECT_EQ(parseSetupBytes(huge, p).outcome, SetupReadOutcome::Complete);
    EXPECT_EQ(p.UserFile, QString(42, QLatin1Char('z')));

    QByteArray binary("PassWord\0\x01\xff\x80\x81", 13);
    EXPECT_EQ(parseSetupBytes(binary, p).outcome, SetupReadOutcome::Complete);
    EXPECT_EQ(p.PassWord.size(), 5);
    EXPECT_EQ(p.PassWord[3], QChar(0x20AC));  // Windows-1252's euro sign
}

TEST(SetupFile, FileOnDiskIsReplacedWholeAndReadableByItsOwnerOnly) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("setup.prm"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(1000, 'q'));
    }
    const Status written = writeSetupFile(path, sampleSetup());
    ASSERT_TRUE(written) << written.reason().toStdString();
    EXPECT_EQ(readAll(path), formatSetupFile(sampleSetup()));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("setup.prm")});  // no temporary file left over

    SetupParameters back;
    EXPECT_EQ(readSetupFile(path, back).outcome, SetupReadOutcome::Complete);
    EXPECT_EQ(back.SiteID, QStringLiteral("abc123"));
}

TEST(SetupFile, FailuresSayWhichFile) {
    QTemporaryDir dir;
    const QString missingFolder = dir.filePath(QStringLiteral("nowhere/setup.prm"));
    const Status written = writeSetupFile(missingFolder, sampleSetup());
    EXPECT_FALSE(written);
    EXPECT_TRUE(written.reason().contains(missingFolder)) << written.reason().toStdString();

    SetupParameters p;
    const SetupReadResult r = readSetupFile(missingFolder, p);
    EXPECT_EQ(r.outcome, SetupReadOutcome::Unreadable);
    EXPECT_TRUE(r.error.contains(missingFolder)) << r.error.toStdString();

    // A folder where the file should be cannot be read either.
    EXPECT_EQ(readSetupFile(dir.path(), p).outcome, SetupReadOutcome::Unreadable);
}

}  // namespace
}  // namespace zv
