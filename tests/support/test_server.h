#pragma once
// Real SFTP servers for the tests, each in its own temporary folder.
//
// TestSftpServer runs tests/server/sftp_server.py (asyncssh) as user "k9site" with
// password "Secret-Pass1". Its home is a temporary folder holding claims/ and reports/;
// remote paths are relative to it ("claims/x"). Faults are switched on and off while it
// runs through a JSON control file that the server reads at every operation:
//
//   {"fail":  [RULE...],      the operation answers with an SFTP failure
//    "drop":  [RULE...],      the SSH connection is cut at the operation, before doing it
//                             (or after it with "when": "after": the reply is lost)
//    "delay": [RULE...],      the answer waits "seconds": S
//    "short_write": [RULE...] writes keep half the data but report success
//    "short_read": [RULE...]  reads answer with half of what was asked (a legal reply)
//    "refuse_sftp": bool      the SFTP subsystem is refused
//    "extra_entries": {"reports": [NAME...], "claims": [...]}
//                             listed as 10-byte regular files that do not exist}
//   RULE = {"op": OP, "path": GLOB (fnmatch, default "*"), "times": N (default: always)}
//   OP = open write close read stat remove rename opendir (= listdir) readdir
//
// The server's log (logText()) has a line per password attempt, with the password it
// received ("auth user=... password=... accepted|refused"), and a line per SFTP operation
// ("<op> <path> ok|error ...|failed-by-switch|dropped-before|...").
//
// TestSshdServer runs OpenSSH's sshd on a free loopback port, logging in as the system
// account made by scripts/setup-sshd-test-account ("zvtest" / "Zv-Test-Pass1", home
// /home/zvtest). Its claims/ and reports/ are emptied at start.
//
// Both skip the test when their program is missing:
//   TestSftpServer server;
//   ZV_START_TEST_SERVER(server);
#include <gtest/gtest.h>

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace zv::test {

class TestSftpServer {
public:
    struct Options {
        QString user = QStringLiteral("k9site");
        QString password = QStringLiteral("Secret-Pass1");
        bool weakAlgorithms = false;
    };
    TestSftpServer();
    explicit TestSftpServer(Options options);
    ~TestSftpServer();
    TestSftpServer(const TestSftpServer&) = delete;
    TestSftpServer& operator=(const TestSftpServer&) = delete;

    // Empty when the server can run here, else why not (the test then skips).
    static QString unavailableReason();
    // Starts and waits until it listens; false (with a test failure added) otherwise.
    bool start();
    void stop();
    // Stops and starts again on the same port and folder, with the same host key.
    bool restart();
    // Same port and folder, but a new host key: the server looks like an impostor.
    bool changeHostKey();

    int port() const { return port_; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString user() const { return options_.user; }
    QString password() const { return options_.password; }
    QString home() const { return root_; }
    QString claimsDir() const { return root_ + QStringLiteral("/claims"); }
    QString reportsDir() const { return root_ + QStringLiteral("/reports"); }
    QString logText() const;

    void failOn(const QString& op, const QString& glob = QStringLiteral("*"), int times = -1);
    void dropOn(const QString& op, const QString& glob = QStringLiteral("*"), bool after = false);
    void delayOn(const QString& op, const QString& glob, double seconds);
    void shortWriteOn(const QString& glob = QStringLiteral("*"));
    void shortReadOn(const QString& glob = QStringLiteral("*"));
    void refuseSftp(bool refuse);
    void extraEntries(const QString& dir, const QStringList& names);
    void clearFaults();

private:
    void addRule(const QString& kind, QJsonObject rule);
    void writeControl();

    Options options_;
    QTemporaryDir temp_;
    QString root_;
    int port_ = 0;
    int nextRuleId_ = 1;
    QJsonObject control_;
    std::unique_ptr<QProcess> process_;
};

class TestSshdServer {
public:
    TestSshdServer();
    ~TestSshdServer();
    TestSshdServer(const TestSshdServer&) = delete;
    TestSshdServer& operator=(const TestSshdServer&) = delete;

    static QString unavailableReason();
    bool start();
    void stop();

    int port() const { return port_; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString user() const { return QStringLiteral("zvtest"); }
    QString password() const { return QStringLiteral("Zv-Test-Pass1"); }
    QString home() const { return QStringLiteral("/home/zvtest"); }
    QString claimsDir() const { return home() + QStringLiteral("/claims"); }
    QString reportsDir() const { return home() + QStringLiteral("/reports"); }

private:
    QTemporaryDir temp_;
    int port_ = 0;
    std::unique_ptr<QProcess> process_;
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
