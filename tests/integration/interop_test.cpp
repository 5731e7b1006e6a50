// The main tasks end to end against OpenSSH's own sshd and against the asyncssh test
// server: same steps, same results, byte for byte.
#include <gtest/gtest.h>

#include <QDir>

#include "support/station.h"

namespace zv::test {
namespace {

class InteropTest : public ::testing::TestWithParam<ServerKind> {
protected:
    void SetUp() override {
        ZV_START_SERVER_OF_KIND(GetParam(), sshd, sftp, account);
        startWith("83P", "*.CLM");
    }
    void startWith(const QString& fileType, const QString& mask) {
        st.writeSetup(account, fileType, mask);
        ASSERT_EQ(st.start(account), StartState::Complete) << st.allMessages().toStdString();
    }

    TestSftpServer sftp;
    TestSshdServer sshd;
    ServerAccount account;
    Station st;
};

TEST_P(InteropTest, SendNumbersEachClaimAndTheServerHoldsItByteForByte) {
    // Over 1 MB, so that OpenSSH gets several of its larger write requests.
    const QByteArray big = patterned(1'500'000, 1);
    const QByteArray small = patterned(700, 2);
    st.putClaim("a.clm", big);
    st.putClaim("B.CLM", small);
    st.putClaim("c.CLM", QByteArray());
    st.putClaim("notes.txt", "not a claim");
    // Bytes after record 1 belong to nobody here and must survive.
    writeBytes(st.seqFile(), "0041tail");

    st.z().SendClaims_Click();

    EXPECT_TRUE(st.dialogs.shown.empty()) << st.allMessages().toStdString();
    const QString n42 = st.claimName(42), n43 = st.claimName(43), n44 = st.claimName(44);
    const auto server = filesIn(account.claimsDir());
    EXPECT_EQ(server.keys(), (QStringList{n42, n43, n44}));
    EXPECT_TRUE(server.value(n42) == big) << "the large claim arrived changed";
    EXPECT_EQ(server.value(n43), small);
    EXPECT_EQ(server.value(n44), QByteArray());
    EXPECT_EQ(st.seq(), "0044tail");
    EXPECT_TRUE(filesIn(st.workingDir()).isEmpty());
    EXPECT_EQ(filesIn(st.backupDir()), server);
    EXPECT_EQ(namesIn(st.practice()), QStringList{"notes.txt"});
    const QString connecting =
        QStringLiteral("Connecting to ZOD SFTPServer/%1 Server").arg(account.user.toUpper());
    EXPECT_EQ(st.view.status,
              (QStringList{"Wake up the SFTP Server", connecting, "Sending File " + n42, ReadyLine,
                           "Sending File " + n43, ReadyLine, "Sending File " + n44, ReadyLine,
                           " 3 Claim Files Sent", "Looking for Reports", connecting,
                           "No Reports Found to Download", ReadyLine}));
    EXPECT_EQ(st.view.pendingInputCount, 3);  // one chance per file
    EXPECT_TRUE(st.view.isEnabled(Control::SendClaims));
    EXPECT_EQ(st.logActivities().mid(1, 2), (QStringList{"SendClaims", "GetReports"}));
    // OpenSSH takes 261,120-byte writes; anything else gets the size every server takes.
    EXPECT_EQ(st.z().Client().uploadChunkSize(),
              GetParam() == ServerKind::OpenSsh ? 261120 : 32768);
}

TEST_P(InteropTest, JoinStepSendsTheFilesOfADentalPackageAsOneClaim) {
    // "*.*" also matches the join's own scratch file; it must never become a source.
    startWith("den", "*.*");
    const QByteArray first = patterned(300'000, 3), second = patterned(5000, 4);
    st.putClaim("A.TXT", first);
    st.putClaim("b.txt", second);
    st.putClaim("temp.xxx", "left from a run that was cut off");

    st.z().SendClaims_Click();

    EXPECT_TRUE(st.dialogs.shown.empty()) << st.allMessages().toStdString();
    const auto server = filesIn(account.claimsDir());
    ASSERT_EQ(server.keys(), QStringList{st.claimName(1)});
    EXPECT_TRUE(server.first() == first + second);
    EXPECT_TRUE(filesIn(st.practice()).isEmpty()) << "sources or temp.xxx left behind";
    EXPECT_TRUE(st.view.status.contains(" 1 Claim Files Sent"));
    EXPECT_EQ(st.seq(), "0001");
}

TEST_P(InteropTest, ResendPutsTheBackupBackOnTheServerUnderItsOwnNumber) {
    const QByteArray claim = patterned(40'000, 5);
    st.putClaim("x.clm", claim);
    st.z().SendClaims_Click();
    const QString name = st.claimName(1);
    ASSERT_EQ(readBytes(account.claimsDir() + name), claim);
    QFile::remove(account.claimsDir() + name);  // taken by the clearinghouse meanwhile
    st.dialogs.answers = {true};

    st.z().ResendClaims_Click();
    ASSERT_EQ(st.view.pickerLines.size(), 1u);
    st.z().Form5_List1_Click(st.view.pickerLines.front());

    EXPECT_EQ(readBytes(account.claimsDir() + name), claim);
    EXPECT_TRUE(st.view.status.contains(QStringLiteral("Resending File ") + name));
    EXPECT_EQ(st.seq(), "0001");
    EXPECT_FALSE(st.view.pickerVisible);
    EXPECT_EQ(st.messageHeads(),
              QStringList{"WARNING! Please check with ZOD before resending a file."});
}

TEST_P(InteropTest, WaitingFilesAreListedWithTheirSizesAndOneIsDeleted) {
    writeBytes(account.claimsDir() + "A.83P", QByteArray(1234, 'a'));
    writeBytes(account.claimsDir() + "B.83P", QByteArray());
    writeBytes(account.claimsDir() + "C D.83P", QByteArray(7, 'c'));
    QDir().mkdir(account.claimsDir() + "folder");

    st.z().DeleteClaimFiles_Click();

    ASSERT_TRUE(st.view.pickerVisible);
    EXPECT_EQ(st.view.pickerTexts().size(), 3) << st.view.pickerTexts().join('|').toStdString();
    EXPECT_TRUE(st.view.pickerTexts().contains("A.83P   1234"));
    EXPECT_TRUE(st.view.pickerTexts().contains("B.83P   0"));
    for (const PickerLine& line : st.view.pickerLines)
        if (line.name == QLatin1String("C D.83P")) st.z().Form5_List1_Click(line);

    EXPECT_EQ(filesIn(account.claimsDir()).keys(), (QStringList{"A.83P", "B.83P"}));
    EXPECT_TRUE(st.view.status.contains("File C D.83P Deleted."));
    EXPECT_TRUE(st.dialogs.shown.empty()) << st.allMessages().toStdString();
    QDir(account.claimsDir() + "folder").removeRecursively();
}

TEST_P(InteropTest, ReportsComeHomeWholeAndLeaveTheServer) {
    const QMap<QString, QByteArray> reports{{"R1.TXT", patterned(3'000'000, 6)},
                                            {"r2.277", patterned(900, 7)}};
    for (auto it = reports.cbegin(); it != reports.cend(); ++it)
        writeBytes(account.reportsDir() + it.key(), it.value());

    st.z().GetReports_Click();

    EXPECT_EQ(filesIn(st.reportFolder()), reports);
    EXPECT_TRUE(filesIn(account.reportsDir()).isEmpty());
    EXPECT_TRUE(st.view.status.contains("Downloading Report R1.TXT"));
    EXPECT_TRUE(st.view.status.contains(" 2 Reports Downloaded"));
    EXPECT_EQ(st.messageHeads(), QStringList{"Click OK to View Reports"});
    EXPECT_TRUE(st.launcher.opened.isEmpty());  // Cancel keeps the lines
}

INSTANTIATE_TEST_SUITE_P(Servers, InteropTest,
                         ::testing::Values(ServerKind::Asyncssh, ServerKind::OpenSsh),
                         serverKindName);

}  // namespace
}  // namespace zv::test
