#pragma once
// Real SFTP servers for the tests, each on a free loopback port with its own temporary
// home holding claims/ and reports/. Remote paths are relative to the home ("claims/x").
//
// TestSftpServer runs tests/server/sftp_server.py (asyncssh) as user "k9site" with
// password "Secret-Pass1". Its faults are switched on and off while it runs through a
// JSON control file that the server reads at every operation:
//
//   {"fail":  [RULE...],      the operation answers with an SFTP failure
//    "drop":  [RULE...],      the SSH connection is cut at the operation, before doing it
//                             (or after it with "when": "after": the reply is lost)
//    "delay": [RULE...],      the answer waits "seconds": S
//    "short_write": [RULE...] writes keep half the data but report success
//    "short_read": [RULE...]  reads answer with half of what was asked (a legal reply)
//    "cut_write": [RULE...]   a write that reaches byte "offset": X of the file stores the
//                             bytes before X, then the connection is cut (requests
//                             already in flight on it change nothing any more)
//    "endless_read": [RULE...] reads never reach the end of the file: each gets all it
//                             asks for ("EEE..."), while stat still gives the real size
//    "list_twice": [RULE...]  entries whose "folder/name" matches are listed twice
//    "endless_listing": [RULE...] a listing of a matching folder ("reports") never
//                             ends: each readdir brings 100 new names (endless-N.txt)
//    "trickle": {"seconds": S, "after": N}  on every connection, once the server has
//                             sent N bytes, it sends one byte every S seconds (a
//                             relay in the server; switching it off lets the rest go)
//    "refuse_sftp": bool      the SFTP subsystem is refused
//    "extra_entries": {"reports": [NAME...], "claims": [...]}
//                             listed as 10-byte regular files that do not exist}
//   RULE = {"op": OP, "path": GLOB (fnmatch, default "*"), "times": N (-1, the default:
//           always)}
//   OP = open write close read stat remove rename opendir (= listdir) readdir
//   GLOB sees the path as the client sent it: "claims/x" from the program, "/claims/x"
//   from OpenSSH's sftp.
//
// putRawName() puts a file whose name is raw bytes (not UTF-8, say) into either server's
// home: the asyncssh server lists it, opens and removes it by those exact bytes.
//
// The server's log (logText()) has a line per password attempt, with the password it
// received ("auth user=... password=... accepted|refused"), and a line per SFTP operation
// ("<op> <path> ok|error ...|failed-by-switch|dropped-before|cut-at X|..."; bytes of a
// name that are not UTF-8 as \xNN).
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

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

namespace zv::test {

// What both servers share: the temporary folder with the home in it, the port, the process.
class LoopbackServer {
public:
    LoopbackServer(QString user, QString password) : user_(user), password_(password) {
        QDir().mkpath(claimsDir()), QDir().mkpath(reportsDir());
    }
    ~LoopbackServer() { stop(); }

    void stop();
    int port() const { return port_; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString user() const { return user_; }
    QString password() const { return password_; }
    QString home() const { return file("home"); }
    QString claimsDir() const { return file("home/claims"); }
    QString reportsDir() const { return file("home/reports"); }
    // Puts a file whose name is exactly these bytes (not UTF-8, say) under the home.
    void putRawName(const QByteArray& relativePath, const QByteArray& content) const;

protected:
    // Runs `program` with `args` ("{port}" in them replaced by the port) and waits until
    // `marker` shows in its output; a port taken meanwhile means another try on another
    // one, unless the server had a port already (a restart keeps it). False with a test
    // failure otherwise.
    bool launch(const QString& program, const QStringList& args, const QByteArray& marker);
    QString file(const QString& name) const { return temp_.path() + QLatin1Char('/') + name; }

    QTemporaryDir temp_;
    int port_ = 0;
    QString user_, password_;
    std::unique_ptr<QProcess> process_;
};

class TestSftpServer : public LoopbackServer {
public:
    struct Options {
        QString user = "k9site", password = "Secret-Pass1";
        bool weakAlgorithms = false;
    };
    TestSftpServer() : TestSftpServer(Options{}) {}
    explicit TestSftpServer(const Options& options)
        : LoopbackServer(options.user, options.password), weak_(options.weakAlgorithms) {}

    // Empty when the server can run here, else why not (the test then skips).
    static QString unavailableReason();
    bool start();
    // Stops and starts again on the same port and folder, with the same host key.
    bool restart() { return start(); }
    // Same port and folder, but a new host key: the server looks like an impostor.
    bool changeHostKey() {
        stop();
        for (const char* key : {"host_key", "host_key.rsa"}) QFile::remove(file(key));
        return start();
    }
    QString logText() const;

    void failOn(const QString& op, const QString& glob = QStringLiteral("*"), int times = -1) {
        addRule("fail", {{"op", op}, {"path", glob}, {"times", times}});
    }
    void dropOn(const QString& op, const QString& glob = QStringLiteral("*"), bool after = false) {
        addRule("drop", {{"op", op}, {"path", glob}, {"when", after ? "after" : "before"}});
    }
    void delayOn(const QString& op, const QString& glob, double seconds) {
        addRule("delay", {{"op", op}, {"path", glob}, {"seconds", seconds}});
    }
    void shortWriteOn(const QString& glob = "*") { addRule("short_write", {{"path", glob}}); }
    void shortReadOn(const QString& glob = "*") { addRule("short_read", {{"path", glob}}); }
    void endlessRead(const QString& glob) { addRule("endless_read", {{"path", glob}}); }
    void listTwice(const QString& glob) { addRule("list_twice", {{"path", glob}}); }
    void endlessListing(const QString& dir) { addRule("endless_listing", {{"path", dir}}); }
    void cutWriteAt(const QString& glob, qint64 at) {
        addRule("cut_write", {{"path", glob}, {"offset", at}});
    }
    void trickle(double secondsPerByte, qint64 afterBytes = 0) {
        set("trickle", QJsonObject{{"seconds", secondsPerByte}, {"after", afterBytes}});
    }
    void refuseSftp(bool refuse) { set("refuse_sftp", refuse); }
    void extraEntries(const QString& dir, const QStringList& names) {
        QJsonObject extra = control_.value("extra_entries").toObject();
        extra.insert(dir, QJsonArray::fromStringList(names));
        set("extra_entries", extra);
    }
    void clearFaults() { control_ = {}, set("fail", QJsonArray()); }

private:
    void addRule(const QString& kind, QJsonObject rule);
    void set(const QString& key, const QJsonValue& value);

    bool weak_;
    int nextRuleId_ = 1;
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
#define ZV_START_TEST_SERVER(server)                                                            \
    do {                                                                                        \
        if (const QString why = std::remove_reference_t<decltype(server)>::unavailableReason(); \
            !why.isEmpty())                                                                     \
            GTEST_SKIP() << why.toStdString();                                                  \
        ASSERT_TRUE((server).start());                                                          \
    } while (0)
