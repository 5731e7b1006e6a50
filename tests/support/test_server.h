#pragma once
// Real SFTP servers for the tests, each on a free loopback port with its own temporary
// home holding claims/ and reports/. Remote paths are relative to the home ("claims/x").
//
// TestSftpServer runs tests/server/sftp_server.py (asyncssh) as user "k9site" with
// password "Secret-Pass1". Its faults are switched on and off while it runs through a
// JSON control file that the server reads at every operation. Each kind holds RULEs
// {"op": OP, "path": GLOB}; GLOB (fnmatch) sees the path as the client sent it:
// "claims/x" from the program, "/claims/x" from OpenSSH's sftp.
//
//   failOn        the operation answers with an SFTP failure
//   dropOn        the SSH connection is cut at the operation, before doing it (or after
//                 it: the reply is lost)
//   delayOn       the answer waits so many seconds
//   shortWriteOn  writes keep half the data but report success
//   shortReadOn   reads answer with half of what was asked (a legal reply), or with at
//                 most N bytes
//   cutWriteAt    a write that reaches byte X of the file stores the bytes before X, then
//                 the connection is cut (requests already in flight change nothing)
//   cutReadAt     a read at byte X of the file or beyond cuts the connection
//   reorder       each status or data reply goes after the reply that follows it
//   endlessRead   reads never reach the end of the file: each gets all it asks for
//                 ("EEE..."), while stat still gives the real size
//   listTwice     entries whose "folder/name" matches are listed twice
//   endlessListing a listing of that folder never ends: each readdir brings 100 new names
//   trickle       on every connection, once the server has sent N bytes, it sends one
//                 byte every S seconds (switching it off lets the rest go)
//   refuseSftp    the session that SFTP runs in is refused
//   extraEntries  names listed in a folder as 10-byte regular files that do not exist
//   fakeRename    a rename answers success but leaves the file under its old name
//   listedSize    files whose "folder/name" matches are listed with that size
// OP = open write close read stat remove rename opendir readdir.
//
// The server's log (logText()) has a line per password attempt, with the password it
// received ("auth user=... password=... accepted|refused"), and a line per SFTP operation
// ("<op> <path> ok|failed-by-switch|delayed Ns|dropped-before|dropped-after|cut-at X|
// after-drop"; bytes of a name that are not UTF-8 as \xNN). An operation that fails on its
// own gets no line.
//
// TestSshdServer runs OpenSSH's sshd as a child of the test, on 127.0.0.1 with its own
// configuration and host key, inside a private mount namespace in which copies of
// /etc/passwd, /etc/shadow and /etc/group hold the account "zvtest" (a fresh uid and a
// password made up for this server). The account exists nowhere else; its home is a
// temporary folder. Needs root, sshd, unshare and openssl.
//
// Both skip the test when they cannot run here:
//   TestSftpServer server;
//   ZV_START_TEST_SERVER(server);
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

namespace zv::test {

// Where and as whom the program signs on; a test may change it (another port, password).
struct ServerAccount {
    QString host;
    int port = 0;
    QString user, password, home;
    QString claimsDir() const { return home + QStringLiteral("/claims/"); }
    QString reportsDir() const { return home + QStringLiteral("/reports/"); }
};

// What both servers share: the temporary folder with the home in it, the port, the process.
class LoopbackServer {
public:
    LoopbackServer(const QString& user, const QString& password);
    ~LoopbackServer() { stop(); }

    void stop();
    int port() const { return port_; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString user() const { return user_; }
    QString password() const { return password_; }
    QString home() const { return file("home"); }
    ServerAccount account() const { return {host(), port(), user(), password(), home()}; }

protected:
    // Runs `program` with `args` ("{port}" in them replaced by the port) and `input` on its
    // standard input, and waits until
    // `marker` shows in its output; a port taken meanwhile means another try on another
    // one, unless the server had a port already (a restart keeps it). False with a test
    // failure otherwise.
    bool launch(const QString& program, const QStringList& args, const QByteArray& marker,
                const QByteArray& input = {});
    QString file(const QString& name) const { return temp_.path() + QLatin1Char('/') + name; }

    QTemporaryDir temp_;
    int port_ = 0;
    QString user_, password_;
    std::unique_ptr<QProcess> process_;
};

class TestSftpServer : public LoopbackServer {
public:
    struct Options {
        bool weakAlgorithms;  // only methods that current clients refuse
    };
    explicit TestSftpServer(Options options = {})
        : LoopbackServer("k9site", "Secret-Pass1"), weak_(options.weakAlgorithms) {}

    // Empty when the server can run here, else why not (the test then skips).
    static QString unavailableReason();
    bool start();
    // Stops and starts again on the same port and folder, with the same host key.
    bool restart() { return start(); }
    // Same port and folder, but a new host key: the server looks like an impostor.
    bool changeHostKey() { return QFile::remove(file("host_key")) && start(); }
    QString logText() const;

    void failOn(const QString& op, const QString& glob = "*") { addRule("fail", op, glob); }
    void dropOn(const QString& op, const QString& glob = "*", bool after = false) {
        addRule("drop", op, glob, {{"when", after ? "after" : "before"}});
    }
    void delayOn(const QString& op, const QString& glob, double seconds) {
        addRule("delay", op, glob, {{"seconds", seconds}});
    }
    void shortWriteOn(const QString& glob = "*") { addRule("short_write", "write", glob); }
    void shortReadOn(const QString& glob = "*", int atMostBytes = 0) {
        addRule("short_read", "read", glob, {{"bytes", atMostBytes}});
    }
    void cutWriteAt(const QString& glob, qint64 at) {
        addRule("cut_write", "write", glob, {{"offset", at}});
    }
    void cutReadAt(const QString& glob, qint64 at) {
        addRule("cut_read", "read", glob, {{"offset", at}});
    }
    void reorder() { set("reorder", true); }
    void endlessRead(const QString& glob) { addRule("endless_read", "read", glob); }
    void listTwice(const QString& glob) { addRule("list_twice", "opendir", glob); }
    void endlessListing(const QString& dir) { addRule("endless_listing", "readdir", dir); }
    void trickle(double secondsPerByte, qint64 afterBytes = 0) {
        set("trickle", QJsonObject{{"seconds", secondsPerByte}, {"after", afterBytes}});
    }
    void refuseSftp(bool refuse) { set("refuse_sftp", refuse); }
    void extraEntries(const QString& dir, const QStringList& names) {
        addRule("extra_entries", "opendir", dir, {{"names", QJsonArray::fromStringList(names)}});
    }
    void fakeRename(const QString& glob) { addRule("fake_rename", "rename", glob); }
    void listedSize(const QString& glob, qint64 size) {
        addRule("listed_size", "opendir", glob, {{"size", size}});
    }
    void clearFaults() { set({}, {}); }

private:
    void addRule(const QString& kind, const QString& op, const QString& glob,
                 QJsonObject rule = {});
    // Sets one switch; an empty key clears them all.
    void set(const QString& key, const QJsonValue& value);

    bool weak_;
    QJsonObject control_;
};

class TestSshdServer : public LoopbackServer {
public:
    TestSshdServer() : LoopbackServer("zvtest", {}) {}  // the password is made at start
    static QString unavailableReason();
    bool start();
};

}  // namespace zv::test

// Starts a TestSftpServer or TestSshdServer, skipping the test when it cannot run here.
#define ZV_START_TEST_SERVER(server)                                          \
    do {                                                                      \
        if (const QString why = (server).unavailableReason(); !why.isEmpty()) \
            GTEST_SKIP() << why.toStdString();                                \
        ASSERT_TRUE((server).start());                                        \
    } while (0)
