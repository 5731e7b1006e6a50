#include "sftp/sftp_session.h"

#include <QCryptographicHash>
#include <QFile>
#include <algorithm>
#include <climits>
#include <csignal>
#include <mutex>

#include "sftp/known_hosts.h"

namespace zv {

namespace {

// Bytes in flight in one transfer: as many as the link holds for its round trip (at
// 100 MB/s), between 1 and 4 MiB. More than the link needs only queues up on the way and
// slows a fast link down.
constexpr qint64 kFewestBytesInFlight = 1024 * 1024, kMostBytesInFlight = 4 * 1024 * 1024;
constexpr qint64 kLinkBytesPerMs = 100 * 1000;
// A session unused for longer may have been dropped on the way (a router forgets quiet
// connections): a new one is cheaper than a time-out on the old one.
constexpr int kKeepSessionMs = 60000;
// A transfer may take longer than the operation deadline only while it keeps at least
// this rate.
constexpr qint64 kSlowestBytesPerSecond = 4 * 1024;

QString sftpWords(uint32_t code) {
    switch (code) {
        case wire::kEof:
            return QStringLiteral("End of file");
        case wire::kNoSuchFile:
            return QStringLiteral("No such file");
        case wire::kPermissionDenied:
            return QStringLiteral("Permission denied");
        case wire::kFailure:
            return QStringLiteral("The server reported a failure");
        case wire::kBadMessage:
            return QStringLiteral("The server did not understand the request");
        case wire::kNoConnection:
        case wire::kConnectionLost:
            return QStringLiteral("Connection lost");
        case wire::kOpUnsupported:
            return QStringLiteral("The server does not support this operation");
        case 9:
            return QStringLiteral("The server no longer knows the open file");
        case 10:
            return QStringLiteral("No such folder");
        case 11:
            return QStringLiteral("The file already exists");
        case 12:
            return QStringLiteral("The server's disk is write-protected");
        case 13:
            return QStringLiteral("The server has no disk in place");
        default:
            return QStringLiteral("SFTP error %1").arg(code);
    }
}

QString withStop(QString text) {
    if (!text.endsWith(u'.')) text += u'.';
    return text;
}

QString secondsText(int ms) {
    const double seconds = ms / 1000.0;
    return QStringLiteral("%1 %2").arg(seconds).arg(seconds == 1 ? QStringLiteral("second")
                                                                 : QStringLiteral("seconds"));
}

void ignoreBrokenPipes() {
    // Writing to a connection the server has closed must give an error, not end the
    // program.
#ifndef _WIN32  // Windows has no such signal: the write fails
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
#endif
}

// Fails with libssh's words when it refuses a setting.
Status setOptions(ssh_session s, const QString& host, int port, const QString& knownHostsFile) {
    const QByteArray hostBytes = host.toUtf8();
    const QByteArray known = QFile::encodeName(knownHostsFile);
    const unsigned int portValue = static_cast<unsigned int>(port);
    const int nodelay = 1;
    const bool processConfig = false;
    if (ssh_options_set(s, SSH_OPTIONS_HOST, hostBytes.constData()) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_PORT, &portValue) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_NODELAY, &nodelay) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_PROCESS_CONFIG, &processConfig) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_KNOWNHOSTS, known.constData()) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, known.constData()) != SSH_OK)
        return fail(QString::fromUtf8(ssh_get_error(s)));
    return {};
}

}  // namespace

QByteArray signOnDigest(const QString& user, const QString& password) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(user.toUtf8());
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(password.toUtf8());
    return hash.result();
}

SftpSession::SftpSession() { ignoreBrokenPipes(); }

SftpSession::~SftpSession() { drop(); }

SftpSession::Waiting::Waiting(SftpSession& session, qint64 bytes) : session_(session) {
    if (session.session_ && ssh_is_connected(session.session_.get()))
        session.watchdog_.arm(ssh_get_fd(session.session_.get()), session.idleTimeoutMs,
                              session.allowedMs(bytes));
}

SftpSession::Waiting::~Waiting() {
    if (session_.watchdog_.disarm()) {
        session_.timedOut_ = true;
        session_.overdueAfterMs_ = session_.watchdog_.overdueAfterMs();
    }
    session_.lastUsed_ = std::chrono::steady_clock::now();
}

int SftpSession::allowedMs(qint64 bytes) const {
    const qint64 needed = bytes / kSlowestBytesPerSecond * 1000;
    return static_cast<int>(
        std::min<qint64>(INT_MAX, std::max<qint64>(operationDeadlineMs, needed)));
}

int SftpSession::fail(const QString& text) {
    error_ = withStop(text);
    return 0;
}

QString SftpSession::timeoutText() const {
    if (const int overdue = timedOut_ ? overdueAfterMs_ : watchdog_.overdueAfterMs())
        return QStringLiteral(
                   "The server answered too slowly: the operation did not end within %1; "
                   "the connection was closed")
            .arg(secondsText(overdue));
    return QStringLiteral("The server did not answer within %1; the connection was closed")
        .arg(secondsText(idleTimeoutMs));
}

QString SftpSession::reason() const {
    if (timedOut_ || watchdog_.fired()) return timeoutText();
    if (!session_) return QStringLiteral("Not connected to the server");
    if (channel_ && channel_->broken()) return channel_->problem();
    const QString lib = QString::fromUtf8(ssh_get_error(session_.get()));
    if (!ssh_is_connected(session_.get()))
        return lib.isEmpty() ? QStringLiteral("Connection lost")
                             : QStringLiteral("Connection lost (%1)").arg(lib);
    if (lastCode_ != wire::kOk) return sftpWords(lastCode_);
    return lib.isEmpty() ? QStringLiteral("Unknown error") : lib;
}

int SftpSession::failWith(const QString& what) {
    return fail(what + QStringLiteral(": ") + reason());
}

bool SftpSession::isOk(const Result<wire::Reply>& reply) {
    lastCode_ = !reply                         ? uint32_t(wire::kOk)
                : reply->type == wire::kStatus ? reply->code
                                               : uint32_t(wire::kBadMessage);
    return reply && reply->type == wire::kStatus && reply->code == wire::kOk;
}

Result<wire::Reply> SftpSession::call(wire::Type type,
                                      const std::function<QByteArray(uint32_t)>& build) {
    lastCode_ = wire::kOk;
    const uint32_t id = channel_->nextId();
    const auto start = std::chrono::steady_clock::now();
    if (const Status sent = channel_->send(id, type, build(id)); !sent)
        return Result<wire::Reply>::failure(sent.reason());
    Result<wire::Reply> reply = channel_->wait(id);
    roundTrip_ = std::min(roundTrip_, std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now() - start));
    return reply;
}

qint64 SftpSession::bytesInFlight() const {
    const qint64 ms = std::min<qint64>(roundTrip_.count() / 1000, 1000);  // none yet: far
    return std::clamp(ms * kLinkBytesPerMs, kFewestBytesInFlight, kMostBytesInFlight);
}

bool SftpSession::ready() {
    if (!session_) {
        fail(QStringLiteral("Not connected to the server"));
        return false;
    }
    if (timedOut_) {
        fail(timeoutText());
        return false;
    }
    if (!channel_) {
        fail(QStringLiteral("The file transfer (SFTP) session is not started"));
        return false;
    }
    return true;
}

bool SftpSession::keepable(const QString& toHost, int toPort) {
    if (!session_ || !channel_ || timedOut_ || toHost != host_ || toPort != port_ ||
        signedOnAs_.isEmpty() ||
        std::chrono::steady_clock::now() - lastUsed_ > std::chrono::milliseconds(kKeepSessionMs))
        return false;
    // The trust file still vouches for this server as it is now.
    if (!checkKnownHostsFile(knownHostsFile) ||
        ssh_session_is_known_server(session_.get()) != SSH_KNOWN_HOSTS_OK)
        return false;
    return channel_->quiet();
}

void SftpSession::drop() {
    {
        Waiting waiting(*this);
        channel_.reset();
    }
    session_.reset();
    timedOut_ = false;
    overdueAfterMs_ = 0;
    prefetch_.reset();
    roundTrip_ = std::chrono::microseconds::max();
    signedOnAs_.clear();
    keeping_ = false;
}

void SftpSession::setTimeout(int ms) {
    long seconds = ms / 1000;
    long micros = (ms % 1000) * 1000L;
    ssh_options_set(session_.get(), SSH_OPTIONS_TIMEOUT, &seconds);
    ssh_options_set(session_.get(), SSH_OPTIONS_TIMEOUT_USEC, &micros);
}

void SftpSession::dropAhead(const QByteArray& unlessFor) {
    if (prefetch_ && !unlessFor.isEmpty() && prefetch_->path == unlessFor) return;
    if (!prefetch_ || !channel_) return prefetch_.reset();
    const Result<wire::Reply> opened = channel_->wait(prefetch_->id);
    prefetch_.reset();
    if (opened && opened->type == wire::kHandle) channel_->closeWithNext(opened->bytes);
}

int SftpSession::connect(const QString& toHost, int toPort) {
    const QString host = toHost.trimmed();
    if (host.isEmpty() || toPort <= 0 || toPort > 65535)
        return fail(QStringLiteral("No server address is set (host \"%1\", port %2)")
                        .arg(toHost)
                        .arg(toPort));
    if (knownHostsFile.isEmpty())
        return fail(QStringLiteral("No file is set to record the server's identity in"));
    if (const Status known = checkKnownHostsFile(knownHostsFile); !known)
        return fail(known.reason());

    session_.reset(ssh_new());
    if (!session_) return fail(QStringLiteral("Out of memory starting a connection"));
    ssh_session s = session_.get();
    if (const Status set = setOptions(s, host, toPort, knownHostsFile); !set) {
        const int rc =
            fail(QStringLiteral("The connection settings were refused: %1").arg(set.reason()));
        session_.reset();
        return rc;
    }
    setTimeout(connectTimeoutMs);
    if (ssh_connect(s) != SSH_OK) {
        QString why = QString::fromUtf8(ssh_get_error(s));
        if (why.contains(QLatin1String("no match for method")))
            why = QStringLiteral(
                      "the server offers only security methods that are no longer "
                      "considered safe (%1)")
                      .arg(why);
        const int rc = fail(
            QStringLiteral("Could not connect to %1 port %2: %3").arg(host).arg(toPort).arg(why));
        session_.reset();
        return rc;
    }
    setTimeout(idleTimeoutMs);
    const Result<QString> key = checkHostKey(s, host, toPort, knownHostsFile);
    if (!key) {
        const int rc = fail(key.reason());
        session_.reset();
        return rc;
    }
    firstContactFingerprint = *key;
    host_ = host;
    port_ = toPort;
    lastUsed_ = std::chrono::steady_clock::now();
    return 1;
}

int SftpSession::signOn(const QString& user, const QString& password, const QByteArray& digest) {
    if (!session_) return fail(QStringLiteral("Not connected to the server"));
    const QByteArray userBytes = user.toUtf8();
    QByteArray passwordBytes = password.toUtf8();
    int rc = SSH_AUTH_ERROR;
    {
        Waiting waiting(*this);
        rc =
            ssh_userauth_password(session_.get(), userBytes.constData(), passwordBytes.constData());
    }
    passwordBytes.fill('\0');  // no copy of the password left lying in freed memory
    switch (rc) {
        case SSH_AUTH_SUCCESS:
            signedOnAs_ = digest;
            return 1;
        case SSH_AUTH_DENIED:
            return fail(
                QStringLiteral("The server refused the site ID \"%1\" or its password").arg(user));
        case SSH_AUTH_PARTIAL:
            return fail(
                QStringLiteral("The server asks for more than a password for the site ID \"%1\"")
                    .arg(user));
        default:
            return failWith(QStringLiteral("Signing on failed"));
    }
}

int SftpSession::startChannel() {
    channel_.reset();
    lastCode_ = wire::kOk;
    channel_ = std::make_unique<SftpChannel>(session_.get(), watchdog_);
    if (!channel_->start()) {
        const int rc = failWith(QStringLiteral("The file transfer (SFTP) service did not start"));
        channel_.reset();
        return rc;
    }
    return 1;
}

}  // namespace zv
