#include "support/test_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QUuid>

namespace zv::test {

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes,
              QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly, mode) && f.write(bytes) == bytes.size();
}

// The password's hash for /etc/shadow; openssl reads the password from its input, so that
// it shows in no process list. Empty when openssl fails.
QByteArray shadowHash(const QByteArray& password) {
    QProcess openssl;
    openssl.start("/usr/bin/openssl", {"passwd", "-6", "-stdin"});
    openssl.write(password + '\n'), openssl.closeWriteChannel(), openssl.waitForFinished(10000);
    return openssl.readAllStandardOutput().trimmed();
}

}  // namespace

void LoopbackServer::stop() {
    // 0 once it has ended; its group goes too (see launch()).
    if (process_ && process_->processId() > 0) ::kill(-pid_t(process_->processId()), SIGKILL);
    process_.reset();  // waits for it
}

void LoopbackServer::putRawName(const QByteArray& relativePath, const QByteArray& content) const {
    // Not through QFile(QString): the name would not keep its bytes.
    const QByteArray path = QFile::encodeName(home()) + '/' + relativePath;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, content.constData(), content.size()) != content.size())
        ADD_FAILURE() << "Cannot write " << path.toStdString();
    if (fd >= 0) ::close(fd);
}

bool LoopbackServer::launch(const QString& program, const QStringList& args,
                            const QByteArray& marker) {
    const bool keepPort = port_ != 0;
    const QString output = file("server.out");
    for (int attempt = 0; attempt < (keepPort ? 1 : 5); ++attempt) {
        stop();
        // Below the kernel's range for outgoing connections (from 32768): a client socket of
        // another test cannot take the port of a server that restarts on it.
        if (!keepPort) port_ = QRandomGenerator::global()->bounded(20000, 32000);
        process_ = std::make_unique<QProcess>();
        // Its own process group, so that stopping it ends all it started; and it dies with
        // the test, so that nothing is left listening when a test crashes.
        process_->setChildProcessModifier([] { ::setsid(), ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process_->setProcessChannelMode(QProcess::MergedChannels);
        process_->setStandardOutputFile(output);
        process_->start(program,
                        QStringList(args).replaceInStrings("{port}", QString::number(port_)));
        const QDeadlineTimer deadline(20000);
        while (process_->state() != QProcess::NotRunning && !deadline.hasExpired()) {
            if (readAll(output).contains(marker)) return true;
            process_->waitForFinished(20);
        }
    }
    ADD_FAILURE() << program.toStdString() << " did not start: " << readAll(output).data();
    return false;
}

QString TestSftpServer::unavailableReason() {
    static const bool ready =
        QProcess::execute("/usr/bin/python3", {"-W", "ignore", "-c", "import asyncssh"}) == 0;
    return ready ? QString() : QStringLiteral("/usr/bin/python3 with python3-asyncssh is missing");
}

bool TestSftpServer::start() {
    QStringList args = QStringList() << ZV_TEST_SERVER_SCRIPT << "--root" << home() << "--host-key"
                                     << file("host_key") << "--user" << user() << "--password"
                                     << password() << "--control" << file("control.json") << "--log"
                                     << file("server.log") << "--port={port}";
    return launch("/usr/bin/python3", weak_ ? args << "--weak-algorithms" : args, "PORT ");
}

QString TestSftpServer::logText() const { return QString::fromUtf8(readAll(file("server.log"))); }

void TestSftpServer::addRule(const QString& kind, QJsonObject rule) {
    rule.insert("id", nextRuleId_++);  // equal rules are counted apart
    set(kind, control_.value(kind).toArray() + rule);
}

void TestSftpServer::set(const QString& key, const QJsonValue& value) {
    control_.insert(key, value);
    QSaveFile f(file("control.json"));  // replaced in one step: the server reads it any time
    f.open(QIODevice::WriteOnly), f.write(QJsonDocument(control_).toJson());
    if (!f.commit()) ADD_FAILURE() << "Cannot write the test server's control file";
}

QString TestSshdServer::unavailableReason() {
    for (const char* tool :
         {"/usr/sbin/sshd", "/usr/bin/unshare", "/usr/bin/openssl", "/usr/bin/ssh-keygen"})
        if (::access(tool, X_OK) != 0)
            return tool + QStringLiteral(" is missing (openssh-server, util-linux, openssl)");
    return ::geteuid() == 0 ? QString() : QStringLiteral("sshd checks passwords only as root");
}

// The account lives only in copies of the machine's account files, which stand in for
// them inside sshd's mount namespace: nothing is added to the machine.
bool TestSshdServer::start() {
    // Made up for this server; QUuid takes it from the system's secure random source.
    password_ = QUuid::createUuid().toString(QUuid::Id128);
    const QByteArray hash = shadowHash(password_.toUtf8()), user = this->user().toUtf8(),
                     tables = readAll("/etc/passwd") + readAll("/etc/group");
    QByteArray id = "61000";  // one that no account or group of the machine has as uid or gid
    while (tables.contains(':' + id + ':')) id = QByteArray::number(id.toInt() + 1);
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    // The account's lines come first, so that they win over any of the same name (a
    // machine may have one from older set-ups).
    bool made =
        hash.startsWith("$6$") && ::chmod(QFile::encodeName(temp_.path()).constData(), 0711) == 0 &&
        writeAll(file("passwd"),
                 user + ":x:" + id + ':' + id + "::" + QFile::encodeName(home()) +
                     ":/usr/sbin/nologin\n" + readAll("/etc/passwd"),
                 open) &&
        writeAll(file("group"), user + ":x:" + id + ":\n" + readAll("/etc/group"), open) &&
        writeAll(file("shadow"), user + ':' + hash + ":::::::\n" + readAll("/etc/shadow")) &&
        writeAll(file("sshd_config"),
                 "ListenAddress 127.0.0.1\nUsePAM no\nAllowTcpForwarding no\nX11Forwarding no\n"
                 "Subsystem sftp internal-sftp\nForceCommand internal-sftp\nAllowUsers " +
                     user + "\nHostKey " + QFile::encodeName(file("host_key")) + '\n') &&
        (QFile::exists(file("host_key")) ||  // kept over a restart
         QProcess::execute("/usr/bin/ssh-keygen",
                           {"-q", "-t", "ed25519", "-N", "", "-f", file("host_key")}) == 0);
    for (const QString& dir : {home(), claimsDir(), reportsDir()})
        made = made && ::chown(QFile::encodeName(dir).constData(), id.toUInt(), id.toUInt()) == 0;
    if (!made)
        ADD_FAILURE() << "Cannot make the sshd test account in " << temp_.path().toStdString();
    // sshd is the first process of its own pid namespace, so that its connection processes
    // end with it.
    const QString script = QStringLiteral(
        "mount --bind \"$0/passwd\" /etc/passwd && mount --bind \"$0/shadow\" /etc/shadow && "
        "mount --bind \"$0/group\" /etc/group && mount -t tmpfs tmpfs /run && "
        "mkdir -m 755 /run/sshd && exec /usr/sbin/sshd -D -e -f \"$0/sshd_config\" -p {port}");
    return made &&
           launch("/usr/bin/unshare",
                  QString("--mount --propagation private --pid --fork --kill-child /bin/sh -c")
                          .split(' ')
                      << script << temp_.path(),
                  "Server listening on");
}

}  // namespace zv::test
