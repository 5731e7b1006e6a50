#include "support/test_server.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QUuid>

namespace zv::test {

static QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

LoopbackServer::LoopbackServer(const QString& user, const QString& password)
    : user_(user), password_(password) {
    for (const QString& dir : {file("home/claims"), file("home/reports")}) QDir().mkpath(dir);
}

void LoopbackServer::stop() {
    // 0 once it has ended; its group goes too (see launch()).
    if (process_ && process_->processId() > 0) ::kill(-pid_t(process_->processId()), SIGKILL);
    process_.reset();  // waits for it
}

bool LoopbackServer::launch(const QString& program, const QStringList& args,
                            const QByteArray& marker, const QByteArray& input) {
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
        process_->setChildProcessModifier([] {
            ::setsid();
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        });
        process_->setProcessChannelMode(QProcess::MergedChannels);
        process_->setStandardOutputFile(output);
        process_->start(program,
                        QStringList(args).replaceInStrings("{port}", QString::number(port_)));
        process_->write(input);
        process_->closeWriteChannel();
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
    return launch("/usr/bin/python3",
                  {ZV_SOURCE_DIR "/tests/server/sftp_server.py", temp_.path(), user(), password(),
                   "{port}", weak_ ? "weak" : "current"},
                  "PORT ");
}

QString TestSftpServer::logText() const { return QString::fromUtf8(readAll(file("server.log"))); }

void TestSftpServer::addRule(const QString& kind, const QString& op, const QString& glob,
                             QJsonObject rule) {
    rule.insert("op", op);
    rule.insert("path", glob);
    set(kind, control_.value(kind).toArray() + rule);
}

void TestSftpServer::set(const QString& key, const QJsonValue& value) {
    control_ = key.isEmpty() ? QJsonObject() : control_;
    if (!key.isEmpty()) control_.insert(key, value);
    QSaveFile f(file("control.json"));  // replaced in one step: the server reads it any time
    if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(control_).toJson()) < 0 ||
        !f.commit())
        ADD_FAILURE() << "Cannot write the test server's control file";
}

QString TestSshdServer::unavailableReason() {
    for (const char* tool :
         {"/usr/sbin/sshd", "/usr/bin/unshare", "/usr/bin/openssl", "/usr/bin/ssh-keygen"})
        if (::access(tool, X_OK) != 0)
            return tool + QStringLiteral(" is missing (openssh-server, util-linux, openssl)");
    return ::geteuid() == 0 ? QString() : QStringLiteral("sshd checks passwords only as root");
}

bool TestSshdServer::start() {
    // Made up for this server; QUuid takes it from the system's secure random source.
    password_ = QUuid::createUuid().toString(QUuid::Id128);
    return launch("/bin/sh",
                  {ZV_SOURCE_DIR "/tests/server/sshd_server.sh", temp_.path(), user(), "{port}"},
                  "Server listening on", password_.toUtf8() + '\n');
}

}  // namespace zv::test
