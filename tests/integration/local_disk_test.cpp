// The workstation's own disk full or not writable while claims are copied and joined and
// reports are downloaded: a clear message, and every claim and report still somewhere
// whole. Full disks are small tmpfs mounts, unwritable folders read-only bind mounts
// (the tests run as root, whom file modes do not stop).
#include <gtest/gtest.h>

#include "support/station.h"

namespace zv::test {
namespace {

class LocalDiskTest : public ServerTest {
protected:
    void expectOneMessage(const QString& head, const QStringList& words) {
        ASSERT_FALSE(st.dialogs.shown.empty()) << "nothing was shown";
        const QString text = st.dialogs.texts().first();
        EXPECT_TRUE(text.startsWith(head)) << text.toStdString();
        for (const QString& w : words) EXPECT_TRUE(text.contains(w)) << text.toStdString();
    }
    void putReports(const QMap<QString, QByteArray>& reports) {
        for (auto it = reports.cbegin(); it != reports.cend(); ++it)
            writeBytes(account.reportsDir() + it.key(), it.value());
    }

    ScopedMount mounts;
};

// A send whose copies cannot be made, or whose practice file cannot be removed, stops
// before the claim is numbered: sent while it stays there, the next run sends it again.
struct SendCase {
    const char* name;
    QString (Station::*folder)() const;
    bool full;  // a small tmpfs from the start; else made read-only once the claim is there
    qsizetype size;
    QStringList words;
};

class CopyFailure : public LocalDiskTest, public ::testing::WithParamInterface<SendCase> {};

TEST_P(CopyFailure, StopsBeforeThePracticeFileIsTouched) {
    const SendCase& c = GetParam();
    if (c.full) ZV_MOUNT_OR_SKIP(mounts.tmpfs((st.*c.folder)(), "256k"));
    startStation();
    const QByteArray claim = patterned(c.size, 81);
    st.putClaim("a.clm", claim);
    if (!c.full) ZV_MOUNT_OR_SKIP(mounts.readOnly((st.*c.folder)()));

    st.z().SendClaims_Click();

    expectOneMessage("The claim file ", c.words);
    EXPECT_EQ(readBytes(st.practice() + "a.clm"), claim);
    EXPECT_TRUE(filesIn(st.backupDir()).isEmpty()) << "a half-made backup blocks its number";
    EXPECT_TRUE(filesIn(st.workingDir()).isEmpty());
    EXPECT_TRUE(filesIn(account.claimsDir()).isEmpty());
    EXPECT_TRUE(st.view.isEnabled(Control::SendClaims));
}

INSTANTIATE_TEST_SUITE_P(
    Folders, CopyFailure,
    ::testing::Values(
        // Room for the backup but not for the working copy as well.
        SendCase{"FullWorkRoot",
                 &Station::workRoot,
                 true,
                 180'000,
                 {"could not be copied", "still in your claim folder"}},
        SendCase{"ReadOnlyBackups", &Station::backupDir, false, 5000, {"could not be copied"}},
        SendCase{"ReadOnlyPractice",
                 &Station::practice,
                 false,
                 5000,
                 {"could not be removed from your claim folder"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LocalDiskTest, WorkRootWithNoRoomAtAllIsNotTakenForAnotherProgram) {
    ZV_MOUNT_OR_SKIP(mounts.tmpfs(st.workRoot(), "256k"));
    startStation();
    const QByteArray claim = patterned(5000, 80);
    st.putClaim("a.clm", claim);
    {
        QFile filler(st.workRoot() + "filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
        }
    }

    st.z().SendClaims_Click();

    ASSERT_FALSE(st.dialogs.shown.empty());
    EXPECT_FALSE(st.dialogs.texts().first().contains(QLatin1String("another ZUDUVOR program")))
        << st.allMessages().toStdString();
    EXPECT_EQ(readBytes(st.practice() + "a.clm"), claim);
    EXPECT_TRUE(filesIn(st.backupDir()).isEmpty());
}

TEST_F(LocalDiskTest, FullPracticeFolderWhileJoiningDeletesNothing) {
    ZV_MOUNT_OR_SKIP(mounts.tmpfs(st.practice(), "256k"));
    startStation("DEN", "*.TXT");
    const QList<QByteArray> claims{patterned(100'000, 82), patterned(100'000, 83)};
    st.putClaim("a.txt", claims[0]);
    st.putClaim("b.txt", claims[1]);

    st.z().SendClaims_Click();

    expectOneMessage("The claim files in ", {"could not be joined", "no file was deleted"});
    EXPECT_EQ(filesIn(st.practice()),
              (QMap<QString, QByteArray>{{"a.txt", claims[0]}, {"b.txt", claims[1]}}))
        << "a source changed or temp.xxx was left behind";
    EXPECT_TRUE(filesIn(st.backupDir()).isEmpty());
    expectNoClaimLost(st, account, claims);
}

TEST_F(LocalDiskTest, FullReportFolderKeepsTheReportOnTheServerAndNoPartOnDisk) {
    ZV_MOUNT_OR_SKIP(mounts.tmpfs(st.reportFolder(), "256k"));
    startStation();
    const QMap<QString, QByteArray> reports{{"R1.TXT", patterned(100'000, 84)},
                                            {"R2.TXT", patterned(300'000, 85)}};
    putReports(reports);

    st.z().GetReports_Click();

    expectOneMessage("Report Download Failure-Try Once More.\n", {});
    EXPECT_EQ(readBytes(st.reportFolder() + "R1.TXT"), reports.first());
    EXPECT_EQ(readBytes(account.reportsDir() + "R2.TXT"), reports.last());
    expectNoReportLost(st, account, reports);
}

TEST_F(LocalDiskTest, ReadOnlyReportFolderSaysWhyAndKeepsTheReport) {
    ZV_MOUNT_OR_SKIP(mounts.readOnly(st.reportFolder()));
    startStation();
    const QMap<QString, QByteArray> reports{{"R1.TXT", patterned(5000, 86)}};
    putReports(reports);

    st.z().GetReports_Click();

    expectOneMessage("Report Download Failure-Try Once More.\n", {st.reportFolder().chopped(1)});
    expectNoReportLost(st, account, reports);
    EXPECT_TRUE(QFileInfo::exists(account.reportsDir() + "R1.TXT"));
}

TEST_F(LocalDiskTest, SequenceFileThatCannotBeWrittenStopsBeforeNumbering) {
    startStation();
    writeBytes(st.seqFile(), "0007");
    ASSERT_EQ(QProcess::execute("chattr", {"+i", st.seqFile()}), 0) << "chattr is not usable here";
    const QByteArray claim = patterned(5000, 88);
    st.putClaim("a.clm", claim);

    st.z().SendClaims_Click();
    QProcess::execute("chattr", {"-i", st.seqFile()});

    expectOneMessage("The submission number could not be read", {"seqfile.fil"});
    EXPECT_EQ(readBytes(st.practice() + "a.clm"), claim);
    EXPECT_TRUE(filesIn(st.backupDir()).isEmpty());
    EXPECT_EQ(st.seq(), "0007");
}

}  // namespace
}  // namespace zv::test
