#include "support/test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QThread>
#include <ctime>
#include <random>

namespace zv::test {

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kSshd = QStringLiteral("/usr/sbin/sshd");

// Its own process group, so stopping it also ends anything it started.
std::unique_ptr<QProcess> newGroupProcess() {
    auto process = std::make_unique<QProcess>();
    process->setChildProcessModifier([] { ::setsid(); });
    return process;
}

void endProcess(std::unique_ptr<QProcess>& process) {
    if (!process) return;
    if (process->state() != QProcess::NotRunning) {
        const qint64 pid = process->processId();
        if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
        process->kill();
        process->waitForFinished(5000);
    }
    process.reset();
}

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A free port below the kernel's range for outgoing connections (from 32768), so that
// a client socket of another test running at the same time cannot take the port of a
// server that restarts on it.
int freeLoopbackPort() {
    static std::mt19937 pick(static_cast<unsigned>(::getpid()) * 7919u +
                             static_cast<unsigned>(::time(nullptr)));
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int port = 20000 + static_cast<int>(pick() % 12000);
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) return 0;
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port));
        const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        if (free) return port;
    }
    return 0;
}

bool acceptsConnections(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

void emptyFolder(const QString& path) {
    QDir dir(path);
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (info.isDir() && !info.isSymLink())
            QDir(info.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(info.absoluteFilePath());
    }
}

}  // namespace

TestSftpServer::TestSftpServer() : TestSftpServer(Options{}) {}

TestSftpServer::TestSftpServer(Options options) : options_(std::move(options)) {
    root_ = temp_.path() + QStringLiteral("/home");
    QDir().mkpath(root_);
}

TestSftpServer::~TestSftpServer() { stop(); }

QString TestSftpServer::unavailableReason() {
    if (!QFileInfo(kPython).isExecutable())
        return QStringLiteral("%1 is missing: the test SFTP server cannot run").arg(kPython);
    if (!QFileInfo::exists(QStringLiteral(ZV_TEST_SERVER_SCRIPT)))
        return QStringLiteral("the test server script is missing");
    static const QString asyncssh = [] {
        QProcess probe;
        probe.start(kPython, {QStringLiteral("-c"), QStringLiteral("import asyncssh")});
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            return QStringLiteral(
                "python3-asyncssh is not installed: the test SFTP server "
                "cannot run");
        return QString();
    }();
    return asyncssh;
}

bool TestSftpServer::start() {
    stop();
    writeControl();
    if (port_ == 0) port_ = freeLoopbackPort();
    process_ = newGroupProcess();
    process_->setStandardErrorFile(temp_.path() + QStringLiteral("/server.err"), QIODevice::Append);
    QStringList args{QStringLiteral(ZV_TEST_SERVER_SCRIPT),
                     QStringLiteral("--root"),
                     root_,
                     QStringLiteral("--host-key"),
                     temp_.path() + QStringLiteral("/host_key"),
                     QStringLiteral("--user"),
                     options_.user,
                     QStringLiteral("--password"),
                     options_.password,
                     QStringLiteral("--port"),
                     QString::number(port_),
                     QStringLiteral("--control"),
                     temp_.path() + QStringLiteral("/control.json"),
                     QStringLiteral("--log"),
                     temp_.path() + QStringLiteral("/server.log")};
    if (options_.weakAlgorithms) args << QStringLiteral("--weak-algorithms");
    process_->start(kPython, args);
    QDeadlineTimer deadline(20000);
    QByteArray out;
    while (!deadline.hasExpired()) {
        if (process_->canReadLine() || process_->waitForReadyRead(100)) {
            out += process_->readAll();
            const int at = out.indexOf("PORT ");
            if (at >= 0 && out.indexOf('\n', at) > at) {
                port_ = out.mid(at + 5, out.indexOf('\n', at) - at - 5).trimmed().toInt();
                return port_ > 0;
            }
        }
        if (process_->state() == QProcess::NotRunning) break;
    }
    ADD_FAILURE() << "The test SFTP server did not start: "
                  << readAll(temp_.path() + QStringLiteral("/server.err")).toStdString();
    endProcess(process_);
    return false;
}

void TestSftpServer::stop() { endProcess(process_); }

bool TestSftpServer::restart() {
    stop();
    return start();
}

bool TestSftpServer::changeHostKey() {
    stop();
    QFile::remove(temp_.path() + QStringLiteral("/host_key"));
    QFile::remove(temp_.path() + QStringLiteral("/host_key.rsa"));
    return start();
}

QString TestSftpServer::logText() const {
    return readAll(temp_.path() + QStringLiteral("/server.log"));
}

void TestSftpServer::addRule(const QString& kind, QJsonObject rule) {
    rule.insert(QStringLiteral("id"), nextRuleId_++);
    QJsonArray rules = control_.value(kind).toArray();
    rules.append(rule);
    control_.insert(kind, rules);
    writeControl();
}

void TestSftpServer::failOn(const QString& op, const QString& glob, int times) {
    QJsonObject rule{{QStringLiteral("op"), op}, {QStringLiteral("path"), glob}};
    if (times >= 0) rule.insert(QStringLiteral("times"), times);
    addRule(QStringLiteral("fail"), rule);
}

void TestSftpServer::dropOn(const QString& op, const QString& glob, bool after) {
    addRule(QStringLiteral("drop"),
            {{QStringLiteral("op"), op},
             {QStringLiteral("path"), glob},
             {QStringLiteral("when"), after ? QStringLiteral("after") : QStringLiteral("before")}});
}

void TestSftpServer::delayOn(const QString& op, const QString& glob, double seconds) {
    addRule(QStringLiteral("delay"), {{QStringLiteral("op"), op},
                                      {QStringLiteral("path"), glob},
                                      {QStringLiteral("seconds"), seconds}});
}

void TestSftpServer::shortWriteOn(const QString& glob) {
    addRule(QStringLiteral("short_write"), {{QStringLiteral("path"), glob}});
}

void TestSftpServer::shortReadOn(const QString& glob) {
    addRule(QStringLiteral("short_read"), {{QStringLiteral("path"), glob}});
}

void TestSftpServer::refuseSftp(bool refuse) {
    control_.insert(QStringLiteral("refuse_sftp"), refuse);
    writeControl();
}

void TestSftpServer::extraEntries(const QString& dir, const QStringList& names) {
    QJsonObject extra = control_.value(QStringLiteral("extra_entries")).toObject();
    extra.insert(dir, QJsonArray::fromStringList(names));
    control_.insert(QStringLiteral("extra_entries"), extra);
    writeControl();
}

void TestSftpServer::clearFaults() {
    control_ = {};
    writeControl();
}

void TestSftpServer::writeControl() {
    // Replaced in one step: the server may read it at any moment.
    QSaveFile file(temp_.path() + QStringLiteral("/control.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(control_).toJson()) < 0 ||
        !file.commit())
        ADD_FAILURE() << "Cannot write the test server's control file";
}

TestSshdServer::TestSshdServer() = default;

TestSshdServer::~TestSshdServer() { stop(); }

QString TestSshdServer::unavailableReason() {
    if (!QFileInfo(kSshd).isExecutable())
        return QStringLiteral("OpenSSH's sshd is not installed (package openssh-server)");
    if (::geteuid() != 0) return QStringLiteral("sshd can only check passwords when run as root");
    if (!::getpwnam("zvtest") || !QFileInfo(QStringLiteral("/home/zvtest/reports")).isDir())
        return QStringLiteral(
            "the account zvtest is missing: run scripts/setup-sshd-test-account "
            "as root");
    return {};
}

bool TestSshdServer::start() {
    stop();
    QDir().mkpath(QStringLiteral("/run/sshd"));
    const QString key = temp_.path() + QStringLiteral("/host_ed25519");
    if (!QFileInfo::exists(key) &&
        QProcess::execute(QStringLiteral("/usr/bin/ssh-keygen"),
                          {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                           QStringLiteral("-N"), QString(), QStringLiteral("-f"), key}) != 0) {
        ADD_FAILURE() << "ssh-keygen could not make a host key";
        return false;
    }
    emptyFolder(claimsDir());
    emptyFolder(reportsDir());

    const QString config = temp_.path() + QStringLiteral("/sshd_config");
    {
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly)) {
            ADD_FAILURE() << "Cannot write " << config.toStdString();
            return false;
        }
        f.write(QStringLiteral("ListenAddress 127.0.0.1\n"
                               "HostKey %1\n"
                               "PidFile none\n"
                               "UsePAM no\n"
                               "PasswordAuthentication yes\n"
                               "KbdInteractiveAuthentication no\n"
                               "PubkeyAuthentication no\n"
                               "PermitRootLogin no\n"
                               "AllowUsers zvtest\n"
                               "StrictModes no\n"
                               "Subsystem sftp internal-sftp\n"
                               "ForceCommand internal-sftp\n")
                    .arg(key)
                    .toUtf8());
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = freeLoopbackPort();
        process_ = newGroupProcess();
        process_->setStandardErrorFile(temp_.path() + QStringLiteral("/sshd.err"));
        process_->start(kSshd, {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                                config, QStringLiteral("-p"), QString::number(port_)});
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && process_->state() != QProcess::NotRunning) {
            if (acceptsConnections(port_)) return true;
            QThread::msleep(20);
        }
        endProcess(process_);  // most likely the port was taken meanwhile: another one
    }
    ADD_FAILURE() << "sshd did not start: "
                  << readAll(temp_.path() + QStringLiteral("/sshd.err")).toStdString();
    return false;
}

void TestSshdServer::stop() { endProcess(process_); }

}  // namespace zv::test
