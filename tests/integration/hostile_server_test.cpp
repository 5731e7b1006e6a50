// Servers that lie or are not who they were: names that lead elsewhere, huge listings,
// a changed host key, weak algorithms only, listeners that are no SSH server at all.
// Nothing may be written outside the report folder, no password goes to a server that is
// not the known one, every refusal says why, and no claim or report is lost.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>

#include "support/station.h"

namespace zv::test {
namespace {

constexpr const char* kOpenFailure = "SFTP Open Failure. Wait 5 minutes and try once more.";

QStringList tree(const QString& folder) {  // every path under a folder
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) out << it.next().mid(folder.size());
    out.sort();
    return out;
}

// A loopback listener that says `greeting` to each caller, then keeps quiet.
void notSsh(Station& st, const QByteArray& greeting) {
    QProcess fake;
    fake.start("/usr/bin/python3", {"-c",
                                    "import socket,sys\ns=socket.create_server(('127.0.0.1',0))\n"
                                    "print(s.getsockname()[1],flush=True)\nk=[]\nwhile 1:\n"
                                    " k.append(s.accept()[0]);k[-1].sendall(sys.argv[1].encode())",
                                    QString::fromLatin1(greeting)});
    ASSERT_TRUE(fake.waitForReadyRead(20000));
    const ServerAccount a{"127.0.0.1", fake.readLine().trimmed().toInt(), "k9site", "Secret-Pass1",
                          st.base()};
    st.writeSetup(a);
    ASSERT_EQ(st.start(a), StartState::Complete);
    st.z().GetReports_Click();
    fake.kill();
    fake.waitForFinished(5000);
    EXPECT_EQ(st.messageHeads(),
              (QStringList{kOpenFailure, "Unable to Open the SFTP Server. Try once more."}));
}

using Srv = TestSftpServer;
using A = const ServerAccount;
struct Row {
    const char* name;
    void (*run)(Srv& server, A& account, Station& st);
};

const Row kRows[] = {
    {"NamesLeadingOutOfTheReportFolder",
     [](Srv& server, A& account, Station& st) {
         writeBytes(account.reportsDir() + "R1.TXT", "r1");
         server.extraEntries("reports", {"../x", "/etc/passwd", "a/b", "a\\b", "ctl\x01x",
                                         "line\nbreak", "..", "."});
         const QStringList before = tree(st.base());
         const QByteArray passwd = readBytes("/etc/passwd");
         st.z().GetReports_Click();
         QStringList added;
         for (const QString& path : tree(st.base()))
             if (!before.contains(path)) added << path;
         EXPECT_EQ(added, (QStringList{"rpt/R1.TXT", "zod/known_hosts"}));
         EXPECT_EQ(readBytes("/etc/passwd"), passwd);
         // "." and ".." are not files at all; each other name is refused in words.
         const QStringList skipped = st.view.status.filter("Skipped Report");
         EXPECT_EQ(skipped.size(), 6) << st.view.status;
         for (const QString& line : skipped)
             EXPECT_TRUE(line.contains("not a plain file name") && !line.contains('\n') &&
                         !line.contains(QChar(1)))
                 << line;
         EXPECT_FALSE(server.logText().contains("remove reports/.."));
     }},
    {"OverLongNames",
     [](Srv& server, A& account, Station& st) {
         // 250 bytes is a legal name here; 300 is not, whatever the server says.
         const QString longName = QString(246, 'r') + ".TXT";
         writeBytes(account.reportsDir() + longName, "long");
         server.extraEntries("reports", {QString(300, 'z')});
         st.z().GetReports_Click();
         expectNoReportLost(st, account, {{longName, "long"}});
         EXPECT_FALSE(QFileInfo::exists(account.reportsDir() + longName));
         const QStringList skipped = st.view.status.filter("Skipped Report");
         ASSERT_EQ(skipped.size(), 1);
         EXPECT_TRUE(skipped[0].contains("too long") && skipped[0].size() < 150) << skipped[0];
     }},
    {"TenThousandEntries",
     [](Srv& server, A&, Station& st) {
         QStringList waiting, hostile;
         for (int i = 0; i < 10000; ++i) {
             waiting << QStringLiteral("K9SITE%1.83P").arg(i, 5, 10, QLatin1Char('0'));
             hostile << QStringLiteral("../r%1").arg(i);
         }
         server.extraEntries("claims", waiting);
         server.extraEntries("reports", hostile);
         st.z().DeleteClaimFiles_Click();
         EXPECT_EQ(st.view.pickerLines.size(), 10000u);
         st.z().GetReports_Click();
         EXPECT_EQ(st.view.status.filter("Skipped Report").size(), 10000);
         EXPECT_TRUE(tree(st.reportFolder()).isEmpty());
     }},
    {"WaitingClaimWithAPathForANameIsNotDeleted",
     [](Srv& server, A& account, Station& st) {
         writeBytes(account.home + "/victim", "keep me");
         server.extraEntries("claims", {"../victim"});
         st.z().DeleteClaimFiles_Click();
         st.pick("../victim");
         EXPECT_EQ(readBytes(account.home + "/victim"), "keep me");
         EXPECT_EQ(st.messageHeads(), QStringList{"Unable to Delete File."});
         EXPECT_TRUE(st.allMessages().contains("not a plain file name"));
     }},
    {"LyingServerKeepsHalfAClaim",
     [](Srv& server, A& account, Station& st) {
         const QByteArray claim = patterned(200'000, 14);
         st.putClaim("x.clm", claim);
         server.shortWriteOn();
         st.z().SendClaims_Click();
         EXPECT_EQ(st.messageHeads().value(0), "File Upload Failure. Try once more.");
         EXPECT_TRUE(filesIn(account.claimsDir()).isEmpty()) << "the partial claim was left there";
         expectNoClaimLost(st, account, {claim});
     }},
    {"ShortReadsAndALinkInTheReportFolder",
     [](Srv& server, A& account, Station& st) {
         // Short replies are legal: the rest is asked for. The link is replaced, not followed.
         const QByteArray report = patterned(300'001, 9);
         writeBytes(account.reportsDir() + "S.TXT", report);
         writeBytes(st.base() + "outside.txt", "outside");
         ASSERT_TRUE(QFile::link(st.base() + "outside.txt", st.reportFolder() + "S.TXT"));
         server.shortReadOn();
         st.z().GetReports_Click();
         EXPECT_EQ(readBytes(st.base() + "outside.txt"), "outside");
         EXPECT_TRUE(readBytes(st.reportFolder() + "S.TXT") == report);
     }},
    {"FailedDownloadKeepsTheOlderCopyAndNoPart",
     [](Srv& server, A& account, Station& st) {
         writeBytes(account.reportsDir() + "R.TXT", patterned(300'000, 3));
         writeBytes(st.reportFolder() + "R.TXT", "old report");
         server.failOn("read");
         st.z().GetReports_Click();
         EXPECT_TRUE(filesIn(st.reportFolder()) ==
                     (QMap<QString, QByteArray>{{"R.TXT", "old report"}}));
     }},
    {"FileHiddenOnceClosedWasStillTaken",
     [](Srv& server, A& account, Station& st) {
         st.putClaim("x.clm", "claim");
         server.failOn("stat");
         st.z().SendClaims_Click();
         EXPECT_EQ(readBytes(account.claimsDir() + st.claimName(1)), "claim");
         EXPECT_EQ(st.seq(), "0001");
     }},
    {"ChangedHostKeyGetsNoPassword",
     [](Srv& server, A&, Station& st) {
         st.z().GetReports_Click();      // the first contact records the key
         ASSERT_TRUE(server.restart());  // same key: the program opens a new session
         st.z().DeleteClaimFiles_Click();
         ASSERT_EQ(st.messageHeads(), QStringList{"No Claim Files Found to Delete."});
         // The old server's connection must end for the new one to take its port.
         (void)st.z().Client().ConnectServer(QString(), 0);
         ASSERT_TRUE(server.changeHostKey());
         const qsizetype attempts = server.logText().count("auth user=");
         for (int run = 0; run < 2; ++run) {  // and it stays refused
             st.dialogs.clear();
             st.z().GetReports_Click();
             EXPECT_EQ(st.messageHeads().value(0), kOpenFailure);
             EXPECT_TRUE(st.allMessages().contains("password was not sent")) << st.allMessages();
         }
         EXPECT_EQ(server.logText().count("auth user="), attempts);
     }},
    {"WeakAlgorithmsOnly",
     [](Srv&, A&, Station& st) {
         TestSftpServer weak(TestSftpServer::Options{.weakAlgorithms = true});
         ASSERT_TRUE(weak.start());
         st.writeSetup(accountOf(weak));
         ASSERT_EQ(st.start(accountOf(weak)), StartState::Complete);
         st.z().GetReports_Click();
         EXPECT_EQ(st.messageHeads().value(0), kOpenFailure);
         EXPECT_FALSE(weak.logText().contains("auth user="));
     }},
    {"SilentListener", [](Srv&, A&, Station& st) { notSsh(st, ""); }},
    {"HttpListener", [](Srv&, A&, Station& st) { notSsh(st, "HTTP/1.1 400 Bad Request\r\n\r\n"); }},
    {"BannerOnlyListener", [](Srv&, A&, Station& st) { notSsh(st, "SSH-2.0-OpenSSH_9.2\r\n"); }},
};

class HostileServer : public StationTest, public ::testing::WithParamInterface<Row> {};

TEST_P(HostileServer, RefusedSafelyAndInWords) {
    GetParam().run(server, account, st);
    for (const QString& text : st.dialogs.texts())
        EXPECT_TRUE(!text.contains('\n') || text.section('\n', 1).size() > 10) << text;
    expectNoPassword(st, account.password);
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileServer, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zv::test
