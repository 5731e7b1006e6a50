#include "sftp/sftp_client.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "support/station.h"

namespace zv {
namespace {

using test::readBytes;
using test::TestSftpServer;
using test::writeBytes;

QByteArray randomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (auto& b : bytes) b = static_cast<char>(gen.generate() & 0xff);
    return bytes;
}

QStringList names(const RemoteListing& listing) {
    QStringList out;
    for (int i = 0; i < listing.EntryCount(); ++i) out << listing.EntryAt(i).EntryName;
    return out;
}

// Client side of a test: a local folder and a client that records host keys in it.
struct Workstation {
    QTemporaryDir dir;
    SftpClient client;
    Workstation() { client.KnownHostsFile(dir.filePath(QStringLiteral("known_hosts"))); }
    QString path(const QString& name) const { return dir.filePath(name); }

    bool open(const TestSftpServer& server) {
        return client.ConnectServer(server.host(), server.port()) == 1 &&
               client.LoginWithPassword(server.user(), server.password()) == 1 &&
               client.StartSftp() == 1;
    }
    int upload(const QString& remote, const QString& local) {
        const QString h = client.OpenRemoteFile(remote, "writeOnly", "createTruncate");
        if (h.isEmpty()) return 0;
        const int sent = client.SendLocalFile(h, local);
        const int closed = client.CloseRemoteHandle(h);
        return sent == 1 ? closed : sent;
    }
    std::optional<RemoteListing> list(const QString& remoteDir) {
        const QString h = client.OpenRemoteDir(remoteDir);
        if (h.isEmpty()) return std::nullopt;
        auto listing = client.ReadRemoteDir(h);
        if (client.CloseRemoteHandle(h) != 1) return std::nullopt;
        return listing;
    }
};

class SftpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZV_START_TEST_SERVER(server);
        ASSERT_TRUE(ws.open(server)) << ws.client.ErrorDetail().toStdString();
    }
    TestSftpServer server;
    Workstation ws;
    SftpClient& client = ws.client;
};

TEST_F(SftpClientTest, SessionUsesPlainChunksAndRecordsTheHostKey) {
    EXPECT_EQ(client.uploadChunkSize(), 32 * 1024);
    EXPECT_TRUE(readBytes(ws.path("known_hosts"))
                    .contains(QStringLiteral("[127.0.0.1]:%1").arg(server.port()).toUtf8()));
    // Connecting again on the same instance starts a fresh, working session.
    ASSERT_TRUE(ws.open(server)) << client.ErrorDetail().toStdString();
    EXPECT_TRUE(ws.list("claims").has_value());
}

TEST_F(SftpClientTest, UploadsArriveByteExact) {
    for (const qsizetype size : {0, 1, 32 * 1024 + 1, 3 * 1024 * 1024 + 7}) {
        SCOPED_TRACE(size);
        const QByteArray data = randomBytes(size, static_cast<quint32>(size));
        writeBytes(ws.path("up"), data);
        ASSERT_EQ(ws.upload("claims/K90001.83P", ws.path("up")), 1)
            << client.ErrorDetail().toStdString();
        EXPECT_EQ(readBytes(server.claimsDir() + "/K90001.83P"), data);
    }
    // A server that hides or takes away a file once it is closed has still taken it.
    server.failOn("stat");
    EXPECT_EQ(ws.upload("claims/K90002.83P", ws.path("up")), 1)
        << client.ErrorDetail().toStdString();
}

TEST_F(SftpClientTest, UploadFailuresAreReported) {
    writeBytes(ws.path("up"), randomBytes(100000, 1));

    // A server that keeps less than it acknowledged is caught, in words.
    server.shortWriteOn("claims/LIE*");
    EXPECT_EQ(ws.upload("claims/LIE.83P", ws.path("up")), 0);
    EXPECT_TRUE(client.ErrorDetail().contains("bytes of the 100000 bytes sent"))
        << client.ErrorDetail().toStdString();

    const QString h = client.OpenRemoteFile("claims/A.83P", "writeOnly", "createTruncate");
    ASSERT_FALSE(h.isEmpty());
    EXPECT_EQ(client.SendLocalFile(h, ws.path("no-such-file")), 0);
    EXPECT_TRUE(client.ErrorDetail().contains("no-such-file"));
    server.failOn("write");
    EXPECT_EQ(client.SendLocalFile(h, ws.path("up")), 0);
    EXPECT_EQ(client.CloseRemoteHandle(h), 1) << "nothing was written, nothing is missing";

    EXPECT_EQ(client.CloseRemoteHandle(""), 0);
    EXPECT_EQ(client.CloseRemoteHandle(h), 0) << "already closed";
    EXPECT_EQ(client.SendLocalFile("h999", ws.path("up")), 0);
    EXPECT_TRUE(client.ErrorDetail().contains("h999"));
}

TEST_F(SftpClientTest, DownloadsArriveByteExact) {
    for (const qsizetype size : {0, 1, 32 * 1024, 32 * 1024 + 1, 1536 * 1024 + 3}) {
        SCOPED_TRACE(size);
        const QByteArray data = randomBytes(size, static_cast<quint32>(size) + 7);
        writeBytes(server.reportsDir() + "/R.TXT", data);
        ASSERT_EQ(client.FetchRemoteFile("reports/R.TXT", ws.path("R.TXT")), 1)
            << client.ErrorDetail().toStdString();
        EXPECT_EQ(readBytes(ws.path("R.TXT")), data);
    }
    // Replies shorter than asked are legal; the rest is asked for, not skipped.
    server.shortReadOn();
    const QByteArray data = randomBytes(300001, 9);
    writeBytes(server.reportsDir() + "/S.TXT", data);
    ASSERT_EQ(client.FetchRemoteFile("reports/S.TXT", ws.path("S.TXT")), 1)
        << client.ErrorDetail().toStdString();
    EXPECT_EQ(readBytes(ws.path("S.TXT")), data);
}

TEST_F(SftpClientTest, FailedDownloadLeavesNoPartAndTheOldFileIntact) {
    writeBytes(server.reportsDir() + "/R.TXT", randomBytes(300000, 3));
    writeBytes(ws.path("R.TXT"), "old report");
    server.failOn("read", "*", 1);
    EXPECT_EQ(client.FetchRemoteFile("reports/R.TXT", ws.path("R.TXT")), 0);
    EXPECT_EQ(client.FetchRemoteFile("reports/MISSING.TXT", ws.path("MISSING.TXT")), 0);
    EXPECT_TRUE(client.ErrorDetail().contains("No such file"))
        << client.ErrorDetail().toStdString();
    EXPECT_EQ(client.FetchRemoteFile("reports/R.TXT", ws.path("no-folder/R.TXT")), 0);

    server.dropOn("read");
    EXPECT_EQ(client.FetchRemoteFile("reports/R.TXT", ws.path("R.TXT")), 0);
    EXPECT_EQ(readBytes(ws.path("R.TXT")), "old report");
    EXPECT_EQ(QDir(ws.dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({"R.TXT", "known_hosts"}));
}

TEST_F(SftpClientTest, ListingHoldsOnlyRegularFilesInServerOrder) {
    writeBytes(server.reportsDir() + "/B.TXT", "12345");
    writeBytes(server.reportsDir() + "/A.TXT", "");
    QDir(server.reportsDir()).mkdir("SUB");
    QFile::link(server.reportsDir() + "/A.TXT", server.reportsDir() + "/LINK.TXT");
    server.extraEntries("reports", {"GHOST.TXT"});

    const auto listing = ws.list("reports");
    ASSERT_TRUE(listing.has_value()) << client.ErrorDetail().toStdString();
    EXPECT_EQ(names(*listing), QStringList({"A.TXT", "B.TXT", "GHOST.TXT"}));
    EXPECT_EQ(listing->EntryAt(1).EntrySize, 5);
    EXPECT_EQ(listing->EntryAt(2).EntrySize, 10);
    // A listed name that is not really there cannot be fetched.
    EXPECT_EQ(client.FetchRemoteFile("reports/GHOST.TXT", ws.path("GHOST.TXT")), 0);
    EXPECT_FALSE(QFile::exists(ws.path("GHOST.TXT")));

    EXPECT_EQ(ws.list("claims")->EntryCount(), 0);
    EXPECT_TRUE(client.OpenRemoteDir("nowhere").isEmpty());
    server.failOn("readdir");
    const QString h = client.OpenRemoteDir("reports");
    ASSERT_FALSE(h.isEmpty());
    EXPECT_FALSE(client.ReadRemoteDir(h).has_value());
    EXPECT_FALSE(client.ErrorDetail().isEmpty());
}

TEST_F(SftpClientTest, DeletesOnlyWhatIsThere) {
    writeBytes(server.claimsDir() + "/A.83P", "x");
    EXPECT_EQ(client.DeleteRemoteFile("claims/A.83P"), 1);
    EXPECT_FALSE(QFile::exists(server.claimsDir() + "/A.83P"));
    EXPECT_EQ(client.DeleteRemoteFile("claims/A.83P"), 0);
    EXPECT_TRUE(client.ErrorDetail().contains("No such file"))
        << client.ErrorDetail().toStdString();
}

TEST_F(SftpClientTest, StalledServerEndsEachCallWithATimeOut) {
    client.IdleTimeoutMs(1000);
    writeBytes(ws.path("up"), randomBytes(100000, 5));
    writeBytes(server.reportsDir() + "/R.TXT", randomBytes(100000, 6));
    const auto stalls = [&](const char* op, const std::function<bool()>& call) {
        SCOPED_TRACE(op);
        ASSERT_TRUE(ws.open(server)) << client.ErrorDetail().toStdString();
        server.clearFaults();
        server.delayOn(op, "*", 30);
        QElapsedTimer timer;
        timer.start();
        EXPECT_TRUE(call());
        EXPECT_LT(timer.elapsed(), 20000);
        EXPECT_TRUE(client.ErrorDetail().contains("did not answer within 1 second;"))
            << client.ErrorDetail().toStdString();
        // The session is gone: later calls fail at once with the same words.
        timer.restart();
        EXPECT_TRUE(client.OpenRemoteDir("claims").isEmpty());
        EXPECT_LT(timer.elapsed(), 900);
        server.clearFaults();
    };
    stalls("write", [&] { return ws.upload("claims/A.83P", ws.path("up")) == 0; });
    stalls("readdir", [&] { return !ws.list("reports").has_value(); });
    stalls("remove", [&] { return client.DeleteRemoteFile("reports/R.TXT") == 0; });
}

TEST_F(SftpClientTest, DroppedConnectionMakesLaterCallsFailAtOnce) {
    writeBytes(server.claimsDir() + "/A.83P", "x");
    server.dropOn("remove", "*", /*after=*/true);
    EXPECT_EQ(client.DeleteRemoteFile("claims/A.83P"), 0);
    EXPECT_FALSE(QFile::exists(server.claimsDir() + "/A.83P")) << "removed, answer lost";
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(client.OpenRemoteDir("claims").isEmpty());
    EXPECT_TRUE(client.ErrorDetail().contains("Connection lost"))
        << client.ErrorDetail().toStdString();
    EXPECT_LT(timer.elapsed(), 900);
}

class SftpSessionTest : public ::testing::Test {
protected:
    void SetUp() override { ZV_START_TEST_SERVER(server); }
    TestSftpServer server;
    Workstation ws;
    SftpClient& client = ws.client;
};

TEST_F(SftpSessionTest, MissingOrClosedServerFailsFast) {
    EXPECT_EQ(client.ConnectServer("", 0), 0);
    EXPECT_TRUE(client.ErrorDetail().contains("No server address"))
        << client.ErrorDetail().toStdString();
    EXPECT_EQ(client.StartSftp(), 0);
    EXPECT_TRUE(client.OpenRemoteFile("claims/A", "writeOnly", "createTruncate").isEmpty());

    server.stop();
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(client.ConnectServer(server.host(), server.port()), 0);
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(client.ErrorDetail().isEmpty());
}

TEST_F(SftpSessionTest, WrongPasswordIsRefusedAndNotRepeated) {
    ASSERT_EQ(client.ConnectServer(server.host(), server.port()), 1);
    EXPECT_EQ(client.LoginWithPassword(server.user(), "Wrong-Pass9"), 0);
    EXPECT_TRUE(client.ErrorDetail().contains("refused")) << client.ErrorDetail().toStdString();
    EXPECT_FALSE(client.ErrorDetail().contains("Wrong-Pass9"));
    EXPECT_EQ(client.StartSftp(), 0);
}

}  // namespace
}  // namespace zv
