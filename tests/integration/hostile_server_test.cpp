// Servers that lie or are not who they were: names that point elsewhere, huge listings,
// folders and links among the files, a changed host key, weak algorithms only. Nothing
// may be written outside the report folder, the password must not be sent to a server
// that is not the known one, and every refusal says why.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>

#include "support/station.h"

namespace zv::test {
namespace {

// Every path under a folder, for "nothing else was written" checks.
QStringList tree(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) out << it.next().mid(folder.size());
    out.sort();
    return out;
}

QByteArray passwdDigest() {
    return QCryptographicHash::hash(readBytes("/etc/passwd"), QCryptographicHash::Sha256);
}

using HostileServerTest = StationTest;

TEST_F(HostileServerTest, ReportNamesThatLeadOutOfTheReportFolderAreSkippedWithAReason) {
    const QByteArray report = patterned(2000, 91);
    writeBytes(account.reportsDir() + "R1.TXT", report);
    const QStringList hostile{"../x",     "/etc/passwd", "a/b", "a\\b",
                              "ctl\x01x", "line\nbreak", "..",  "."};
    server.extraEntries("reports", hostile);
    const QStringList before = tree(st.base());
    const QByteArray passwd = passwdDigest();

    st.z().GetReports_Click();

    EXPECT_EQ(readBytes(st.reportFolder() + "R1.TXT"), report);
    // Besides the report, only the program's own files in its work root are new.
    QStringList added;
    for (const QString& path : tree(st.base()))
        if (!before.contains(path)) added << path;
    EXPECT_EQ(added.join(' ').toStdString(), "rpt/R1.TXT zod/known_hosts");
    EXPECT_EQ(passwdDigest(), passwd);
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(st.base()).dir().filePath("x")));
    // "." and ".." are not files at all; each other name is refused in words.
    const QStringList skipped = st.view.status.filter("Skipped Report");
    EXPECT_EQ(skipped.size(), 6) << st.view.status.join('\n').toStdString();
    for (const QString& line : skipped) {
        EXPECT_TRUE(line.contains(QLatin1String("not a plain file name"))) << line.toStdString();
        EXPECT_FALSE(line.contains(QLatin1Char('\n')) || line.contains(QChar(1)))
            << "a control character reached the status list";
    }
    EXPECT_FALSE(server.logText().contains(QLatin1String("remove reports/..")));
    EXPECT_TRUE(st.view.status.contains("Downloading Report R1.TXT"));
}

TEST_F(HostileServerTest, NamesTooLongForTheDiskAreSkippedInWordsAndDoNotStopTheRun) {
    // 250 bytes is a legal name here; 300 is not, whatever the server says.
    const QString longName = QString(246, QLatin1Char('r')) + ".TXT";
    const QByteArray report = patterned(3000, 92);
    writeBytes(account.reportsDir() + longName, report);
    server.extraEntries("reports", {QString(300, QLatin1Char('z'))});

    st.z().GetReports_Click();

    EXPECT_EQ(readBytes(st.reportFolder() + longName), report);
    EXPECT_FALSE(QFileInfo::exists(account.reportsDir() + longName));
    EXPECT_EQ(st.messageHeads(), QStringList{"Click OK to View Reports"})
        << st.allMessages().toStdString();
    const QStringList skipped = st.view.status.filter("Skipped Report");
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_TRUE(skipped.first().contains(QLatin1String("too long")))
        << skipped.first().toStdString();
    EXPECT_LT(skipped.first().size(), 150);
    expectNoReportLost(st, account, {{longName, report}});
}

TEST_F(HostileServerTest, ALinkInTheReportFolderIsReplacedNotWrittenThrough) {
    const QByteArray report = patterned(3000, 94);
    writeBytes(account.reportsDir() + "R1.TXT", report);
    writeBytes(st.base() + "outside.txt", "outside");
    ASSERT_TRUE(QFile::link(st.base() + "outside.txt", st.reportFolder() + "R1.TXT"));

    st.z().GetReports_Click();

    EXPECT_EQ(readBytes(st.base() + "outside.txt"), "outside");
    EXPECT_FALSE(QFileInfo(st.reportFolder() + "R1.TXT").isSymLink());
    EXPECT_EQ(readBytes(st.reportFolder() + "R1.TXT"), report);
}

TEST_F(HostileServerTest, TenThousandEntriesAreHandledInReasonableTime) {
    QStringList waiting, hostile;
    for (int i = 0; i < 10000; ++i) {
        waiting << QStringLiteral("K9SITE%1.83P").arg(i, 5, 10, QLatin1Char('0'));
        hostile << QStringLiteral("../r%1").arg(i);
    }
    server.extraEntries("claims", waiting);
    server.extraEntries("reports", hostile);

    QElapsedTimer clock;
    clock.start();
    st.z().DeleteClaimFiles_Click();
    EXPECT_EQ(st.view.pickerLines.size(), 10000u);
    st.z().GetReports_Click();
    EXPECT_LT(clock.elapsed(), 120000);

    EXPECT_EQ(st.view.status.filter("Skipped Report").size(), 10000);
    EXPECT_TRUE(st.view.status.contains(" 10000 Reports Downloaded"));
    EXPECT_TRUE(tree(st.reportFolder()).isEmpty());
}

TEST_F(HostileServerTest, AWaitingClaimWithAPathForANameIsNotDeleted) {
    writeBytes(account.home + "/victim", "keep me");
    server.extraEntries("claims", {"../victim"});

    st.z().DeleteClaimFiles_Click();
    ASSERT_EQ(st.view.pickerLines.size(), 1u);
    st.z().Form5_List1_Click(st.view.pickerLines.front());

    EXPECT_EQ(readBytes(account.home + "/victim"), "keep me");
    ASSERT_EQ(st.dialogs.texts().size(), 1);
    EXPECT_TRUE(st.dialogs.texts().first().startsWith(QLatin1String("Unable to Delete File.\n")));
    EXPECT_TRUE(st.dialogs.texts().first().contains(QLatin1String("not a plain file name")));
}

TEST_F(HostileServerTest, AChangedHostKeyGetsNoPassword) {
    st.z().GetReports_Click();  // the first contact records the key
    ASSERT_TRUE(server.restart());
    st.z().GetReports_Click();  // a restart keeps the key
    ASSERT_TRUE(st.dialogs.shown.empty()) << st.allMessages().toStdString();
    // The program never hangs up by itself; the old server's connection must end for
    // the new one to take its port.
    (void)st.z().Client().ConnectServer(QString(), 0);
    ASSERT_TRUE(server.changeHostKey());
    const qsizetype attemptsBefore = server.logText().count(QLatin1String("auth user="));

    for (int run = 0; run < 2; ++run) {  // and it stays refused
        st.dialogs.clear();
        st.z().GetReports_Click();
        ASSERT_EQ(st.messageHeads().value(0),
                  "SFTP Open Failure. Wait 5 minutes and try once more.");
        EXPECT_TRUE(st.dialogs.texts().first().contains(QLatin1String("password was not sent")))
            << st.allMessages().toStdString();
    }
    EXPECT_EQ(server.logText().count(QLatin1String("auth user=")), attemptsBefore)
        << "the password went to a server with another host key";
}

TEST(WeakServerTest, OnlyWeakAlgorithmsAreRefusedWithAMessageAndNoPassword) {
    TestSftpServer::Options options;
    options.weakAlgorithms = true;
    TestSftpServer server(options);
    ZV_START_TEST_SERVER(server);
    Station st;
    const ServerAccount account = accountOf(server);
    st.writeSetup(account);
    ASSERT_EQ(st.start(account), StartState::Complete);

    st.z().GetReports_Click();

    ASSERT_EQ(st.messageHeads().value(0), "SFTP Open Failure. Wait 5 minutes and try once more.");
    EXPECT_GT(st.dialogs.texts().first().section(QLatin1Char('\n'), 1).size(), 10);
    EXPECT_FALSE(server.logText().contains(QLatin1String("auth user=")));
}

// A loopback listener that is no SSH server: it says the greeting to each caller, then
// keeps quiet with the connection open.
struct FakeServer {
    QProcess process;
    int port = 0;
    explicit FakeServer(const QByteArray& greeting) {
        process.start("/usr/bin/python3", {"-c", QStringLiteral(R"(
import socket, sys
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(4)
print(s.getsockname()[1], flush=True)
kept = []
while True:
    c, _ = s.accept()
    kept.append(c)
    c.sendall(sys.argv[1].encode("latin-1"))
)"),
                                           QString::fromLatin1(greeting)});
        if (process.waitForReadyRead(20000)) port = process.readLine().trimmed().toInt();
    }
    ~FakeServer() {
        process.kill();
        process.waitForFinished(5000);
    }
};

class NotAnSshServer : public ::testing::TestWithParam<const char*> {};

TEST_P(NotAnSshServer, TheConnectionAttemptEndsWithAMessageInBoundedTime) {
    FakeServer fake{QByteArray(GetParam())};
    ASSERT_GT(fake.port, 0);
    Station st;
    const ServerAccount account{"127.0.0.1", fake.port, "k9site", "Secret-Pass1", st.base()};
    st.writeSetup(account);
    ASSERT_EQ(st.start(account), StartState::Complete);

    QElapsedTimer clock;
    clock.start();
    st.z().GetReports_Click();

    EXPECT_LT(clock.elapsed(), 60000);
    EXPECT_EQ(st.messageHeads(),
              (QStringList{"SFTP Open Failure. Wait 5 minutes and try once more.",
                           "Unable to Open the SFTP Server. Try once more."}));
    EXPECT_GT(st.dialogs.texts().first().section(QLatin1Char('\n'), 1).size(), 10)
        << st.allMessages().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Servers, NotAnSshServer,
                         ::testing::Values("", "HTTP/1.1 400 Bad Request\r\n\r\n",
                                           "SSH-2.0-OpenSSH_9.2\r\n"),
                         [](const auto& info) {
                             const std::string g = info.param;
                             return g.empty()     ? std::string("Silent")
                                    : g[0] == 'H' ? std::string("Http")
                                                  : std::string("BannerOnly");
                         });

// Folders and links among the reports, on both servers: only the plain files come home,
// and nothing a link points to is fetched or removed.
class LinksAndFolders : public ::testing::TestWithParam<ServerKind> {
protected:
    TestSftpServer sftp;
    TestSshdServer sshd;
};

TEST_P(LinksAndFolders, OnlyPlainFilesComeHome) {
    ServerAccount account;
    ZV_START_SERVER_OF_KIND(GetParam(), sshd, sftp, account);
    Station st;
    st.writeSetup(account);
    ASSERT_EQ(st.start(account), StartState::Complete);
    const QString rd = account.reportsDir();
    const QByteArray report = patterned(4000, 93);
    writeBytes(rd + "R1.TXT", report);
    QDir().mkpath(rd + "sub");
    writeBytes(rd + "sub/inner.txt", "inner");
    QFile::link("/etc/passwd", rd + "passwd");
    QFile::link(rd + "R1.TXT", rd + "alias.txt");
    QFile::link("/nonexistent", rd + "broken");
    const QByteArray passwd = passwdDigest();

    st.z().GetReports_Click();

    EXPECT_EQ(tree(st.reportFolder()), QStringList{"R1.TXT"});
    EXPECT_EQ(readBytes(st.reportFolder() + "R1.TXT"), report);
    EXPECT_EQ(passwdDigest(), passwd);
    EXPECT_TRUE(QFileInfo(rd + "sub/inner.txt").exists());
    EXPECT_TRUE(QFileInfo(rd + "passwd").isSymLink());
    EXPECT_TRUE(QFileInfo(rd + "broken").isSymLink());
    EXPECT_TRUE(st.view.status.contains(" 1 Reports Downloaded"))
        << st.view.status.join('\n').toStdString();
    QDir(rd + "sub").removeRecursively();
    for (const char* link : {"passwd", "alias.txt", "broken"})
        QFile::remove(rd + QLatin1String(link));
}

INSTANTIATE_TEST_SUITE_P(Servers, LinksAndFolders,
                         ::testing::Values(ServerKind::Asyncssh, ServerKind::OpenSsh),
                         serverKindName);

}  // namespace
}  // namespace zv::test
