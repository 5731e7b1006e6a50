// The main tasks end to end against OpenSSH's own sshd and against the asyncssh test
// server: the same table, the same results, byte for byte.
#include <gtest/gtest.h>

#include <QDir>

#include "support/station.h"

namespace zv::test {
namespace {

struct Row {
    const char* name;
    const char* fileType;
    const char* mask;
    void (*run)(Station& st, const ServerAccount& account);
};

const Row kRows[] = {
    {"SendNumbersEachClaim", "83P", "*.CLM",
     [](Station& st, const ServerAccount& account) {
         // Over 1 MB, so that OpenSSH gets several of its larger write requests.
         const QByteArray big = patterned(1'500'000, 1), small = patterned(700, 2);
         st.putClaim("a.clm", big);
         st.putClaim("B.CLM", small);
         st.putClaim("c.CLM", QByteArray());
         st.putClaim("notes.txt", "not a claim");
         writeBytes(st.seqFile(), "0041tail");  // bytes after record 1 belong to nobody here
         st.z().SendClaims_Click();
         const QString n42 = st.claimName(42), n43 = st.claimName(43), n44 = st.claimName(44);
         const auto server = filesIn(account.claimsDir());
         EXPECT_TRUE(server == (QMap<QString, QByteArray>{{n42, big}, {n43, small}, {n44, {}}}))
             << server.keys();
         EXPECT_EQ(st.seq(), "0044tail");
         EXPECT_TRUE(filesIn(st.workingDir()).isEmpty());
         EXPECT_TRUE(filesIn(st.backupDir()) == server);
         EXPECT_EQ(namesIn(st.practice()), QStringList{"notes.txt"});
         const QString connecting =
             "Connecting to ZOD SFTPServer/" + account.user.toUpper() + " Server";
         EXPECT_EQ(st.view.status,
                   (QStringList{"Wake up the SFTP Server", connecting, "Sending File " + n42,
                                ReadyLine, "Sending File " + n43, ReadyLine, "Sending File " + n44,
                                ReadyLine, " 3 Claim Files Sent", "Looking for Reports", connecting,
                                "No Reports Found to Download", ReadyLine}));
     }},
    {"JoinSendsADentalPackageAsOneClaim", "den", "*.*",
     [](Station& st, const ServerAccount& account) {
         // "*.*" also matches the join's own scratch file; it must never become a source.
         const QByteArray first = patterned(300'000, 3), second = patterned(5000, 4);
         st.putClaim("A.TXT", first);
         st.putClaim("b.txt", second);
         st.putClaim("temp.xxx", "left from a run that was cut off");
         st.z().SendClaims_Click();
         const auto server = filesIn(account.claimsDir());
         ASSERT_EQ(server.keys(), QStringList{st.claimName(1)});
         EXPECT_TRUE(server.first() == first + second);
         EXPECT_TRUE(filesIn(st.practice()).isEmpty()) << "sources or temp.xxx left behind";
         EXPECT_EQ(st.seq(), "0001");
     }},
    {"ResendPutsTheBackupBackUnderItsOwnNumber", "83P", "*.CLM",
     [](Station& st, const ServerAccount& account) {
         const QByteArray claim = patterned(40'000, 5);
         st.putClaim("x.clm", claim);
         st.z().SendClaims_Click();
         QFile::remove(account.claimsDir() + st.claimName(1));  // taken by the clearinghouse
         writeBytes(st.workingDir() + st.claimName(1), "stale working copy, longer than it");
         st.dialogs.answers = {true};
         st.z().ResendClaims_Click();
         st.pick(st.claimName(1));
         EXPECT_EQ(readBytes(account.claimsDir() + st.claimName(1)), claim);
         EXPECT_EQ(readBytes(st.workingDir() + st.claimName(1)), claim);
         EXPECT_TRUE(st.view.status.contains("Resending File " + st.claimName(1)));
         EXPECT_EQ(st.seq(), "0001");
         EXPECT_EQ(st.messageHeads(),
                   QStringList{"WARNING! Please check with ZOD before resending a file."});
     }},
    {"WaitingFilesAreListedAndOneWithABlankDeleted", "83P", "*.CLM",
     [](Station& st, const ServerAccount& account) {
         writeBytes(account.claimsDir() + "A.83P", QByteArray(1234, 'a'));
         writeBytes(account.claimsDir() + "B.83P", QByteArray());
         writeBytes(account.claimsDir() + "C D.83P", QByteArray(7, 'c'));
         st.putBackup("C D.83P", "c");
         QDir().mkdir(account.claimsDir() + "folder");
         st.z().DeleteClaimFiles_Click();
         QStringList lines = st.view.pickerTexts();
         lines.sort();  // the server's order is its own
         EXPECT_EQ(lines, (QStringList{"A.83P   1234", "B.83P   0", "C D.83P   7"}));
         st.pick("C D.83P");
         EXPECT_EQ(namesIn(account.claimsDir()), (QStringList{"A.83P", "B.83P"}));
         EXPECT_EQ(readBytes(st.backupDir() + "C D.83P"), "c") << "the backup is not the server's";
         EXPECT_TRUE(st.view.status.contains("File C D.83P Deleted."));
         QDir(account.claimsDir() + "folder").removeRecursively();
     }},
    {"ReportsComeHomeWholeAndLeaveTheServer", "83P", "*.CLM",
     [](Station& st, const ServerAccount& account) {
         const QMap<QString, QByteArray> reports{{"R1.TXT", patterned(3'000'000, 6)},
                                                 {"r2.277", patterned(32 * 1024 + 1, 7)},
                                                 {"R3", patterned(32 * 1024, 8)},
                                                 {"E", {}}};
         for (auto it = reports.cbegin(); it != reports.cend(); ++it)
             writeBytes(account.reportsDir() + it.key(), it.value());
         st.z().GetReports_Click();
         EXPECT_TRUE(filesIn(st.reportFolder()) == reports);
         EXPECT_TRUE(filesIn(account.reportsDir()).isEmpty());
         EXPECT_TRUE(st.view.status.contains(" 4 Reports Downloaded"));
         EXPECT_EQ(st.messageHeads(), QStringList{"Click OK to View Reports"});
         EXPECT_TRUE(st.launcher.opened.isEmpty());  // Cancel keeps the lines
     }},
    {"OnlyPlainReportFilesComeHome", "83P", "*.CLM",
     [](Station& st, const ServerAccount& account) {
         // Nothing a link points to is fetched or removed; folders stay.
         const QString rd = account.reportsDir();
         const QByteArray report = patterned(4000, 93), passwd = readBytes("/etc/passwd");
         writeBytes(rd + "R1.TXT", report);
         writeBytes(rd + "sub/inner.txt", "inner");
         QFile::link("/etc/passwd", rd + "passwd");
         QFile::link(rd + "R1.TXT", rd + "alias.txt");
         QFile::link("/nonexistent", rd + "broken");
         st.z().GetReports_Click();
         EXPECT_TRUE(filesIn(st.reportFolder()) == (QMap<QString, QByteArray>{{"R1.TXT", report}}));
         EXPECT_EQ(readBytes("/etc/passwd"), passwd);
         EXPECT_TRUE(QFileInfo(rd + "sub/inner.txt").exists() &&
                     QFileInfo(rd + "passwd").isSymLink());
         EXPECT_TRUE(st.view.status.contains(" 1 Reports Downloaded")) << st.view.status;
         QDir(rd + "sub").removeRecursively();
         for (const char* link : {"passwd", "alias.txt", "broken"}) QFile::remove(rd + link);
     }},
};

class Interop : public ServerTest,
                public ::testing::WithParamInterface<std::tuple<Row, ServerKind>> {
protected:
    ServerKind kind() const override { return std::get<1>(GetParam()); }
};

TEST_P(Interop, SameResultOnBothServers) {
    const Row& row = std::get<0>(GetParam());
    startStation(row.fileType, row.mask);
    row.run(st, account);
    EXPECT_FALSE(st.allMessages().contains('\n')) << "a failure was shown: " << st.allMessages();
    EXPECT_TRUE(st.view.isEnabled(Control::SendClaims) && st.view.isEnabled(Control::GetReports));
    expectNoPassword(st, account.password);
}

INSTANTIATE_TEST_SUITE_P(Rows, Interop,
                         ::testing::Combine(::testing::ValuesIn(kRows),
                                            ::testing::Values(ServerKind::Asyncssh,
                                                              ServerKind::OpenSsh)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == ServerKind::OpenSsh ? "_OpenSsh"
                                                                                    : "_Asyncssh");
                         });

}  // namespace
}  // namespace zv::test
