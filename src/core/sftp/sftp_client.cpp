#include "sftp/sftp_client.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <deque>
#include <mutex>
#include <variant>

#include "base/durable_file.h"
#include "base/text_file.h"
#include "sftp/idle_watchdog.h"
#include "sftp/sftp_channel.h"
#include "sftp/ssh_handles.h"

namespace zv {

namespace {

// Requests in flight in one transfer, and the bytes they move at most: as many as the
// link holds for its round trip (at 100 MB/s), between 1 and 4 MiB. More than the link
// needs only queues up on the way and slows a fast link down.
constexpr int kMostInFlight = 64;
constexpr qint64 kFewestBytesInFlight = 1024 * 1024, kMostBytesInFlight = 4 * 1024 * 1024;
constexpr qint64 kLinkBytesPerMs = 100 * 1000;
// A session unused for longer may have been dropped on the way (a router forgets quiet
// connections): a new one is cheaper than a time-out on the old one.
constexpr int kKeepSessionMs = 60000;
// A transfer may take longer than the operation deadline only while it keeps at least
// this rate.
constexpr qint64 kSlowestBytesPerSecond = 4 * 1024;
// No real folder of claims or reports holds more; an endless listing would fill the
// memory.
constexpr qint64 kMostListed = 100'000;
// What one listed entry costs on the wire besides its names (lengths and attributes).
constexpr qint64 kEntryOverhead = 64;
// Free space a download leaves on the report folder's disk, for the rest of the system.
constexpr qint64 kDiskReserve = 1024 * 1024;

struct RemoteFile {
    QByteArray handle;
    QString path;
    qint64 sent = 0;
    uint32_t closeId = 0;  // a close already on its way
};
struct RemoteDir {
    QByteArray handle;
    QString path;
};

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

bool isBase64(const QByteArray& text, qsizetype decodedSize = -1) {
    const auto result =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    return result && !result.decoded.isEmpty() &&
           (decodedSize < 0 || result.decoded.size() == decodedSize);
}

// One host of a known-hosts line: a name or address (patterns allowed), "[name]:port",
// or a hashed "|1|salt|hash".
bool isKnownHost(const QByteArray& host) {
    if (host.startsWith("|1|")) {
        const QList<QByteArray> parts = host.split('|');
        return parts.size() == 4 && isBase64(parts[2], 20) && isBase64(parts[3], 20);
    }
    QByteArray name = host;
    if (host.startsWith('[')) {
        const qsizetype close = host.indexOf("]:");
        bool ok = false;
        const int port = close > 1 ? host.mid(close + 2).toInt(&ok) : 0;
        if (!ok || port <= 0 || port > 65535) return false;
        name = host.mid(1, close - 1);
    }
    static const QByteArray kAllowed = QByteArrayLiteral(".-_:*?!%");
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               kAllowed.contains(c);
    });
}

// "hosts keytype base64 [comment]", the key itself whole.
bool isKnownHostsLine(const QByteArray& line) {
    if (line.contains('\0')) return false;
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() < 3) return false;
    const QList<QByteArray> hosts = fields[0].split(',');
    if (!std::all_of(hosts.begin(), hosts.end(), isKnownHost)) return false;
    const enum ssh_keytypes_e type = ssh_key_type_from_name(fields[1].constData());
    if (type == SSH_KEYTYPE_UNKNOWN || !isBase64(fields[2])) return false;
    ssh_key raw = nullptr;
    const int rc = ssh_pki_import_pubkey_base64(fields[2].constData(), type, &raw);
    const ssh::Key key(raw);
    return rc == SSH_OK && key;
}

// libssh takes a known-hosts file it cannot parse for one without this server, and would
// then record whatever key the server shows: so the file is checked first. Only a missing
// or empty file means a first contact.
Status checkKnownHostsFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return {};
    const QString shown = QDir::toNativeSeparators(path);
    const Status damaged =
        fail(QStringLiteral("The file of known server keys %1 is damaged or cannot be read, so the "
                            "server cannot be checked; no password was sent. Restore %1 from your "
                            "backup, or delete it and ask ZOD for its key's fingerprint to compare "
                            "at the next connection")
                 .arg(shown));
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) return damaged;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return damaged;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith('#') && !isKnownHostsLine(trimmed))
            return damaged;
    }
    return {};
}

// "SHA256:..." of the key the server showed; empty when libssh cannot tell.
QString sha256Fingerprint(ssh_session session) {
    ssh_key raw = nullptr;
    if (ssh_get_server_publickey(session, &raw) != SSH_OK) return {};
    const ssh::Key key(raw);
    unsigned char* rawHash = nullptr;
    size_t length = 0;
    if (ssh_get_publickey_hash(key.get(), SSH_PUBLICKEY_HASH_SHA256, &rawHash, &length) != 0)
        return {};
    const ssh::Hash hash(rawHash);
    const ssh::Chars text(ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash.get(), length));
    return text ? QString::fromLatin1(text.get()) : QString();
}

void ignoreBrokenPipes() {
    // Writing to a connection the server has closed must give an error, not end the
    // program.
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

}  // namespace

struct SftpClient::Impl {
    int connectTimeoutMs = 5000;
    int idleTimeoutMs = 10000;
    int operationDeadlineMs = 60000;
    QString knownHostsFile;
    QString firstContactFingerprint;
    QString error;
    bool timedOut = false;
    int overdueAfterMs = 0;         // the overall time that ended the session, 0 for the idle one
    uint32_t lastCode = wire::kOk;  // the status of the latest refused request
    // Sizes from the latest listing, by the path a fetch names them with: they bound each
    // download, so that the open file's size need not be asked for again.
    std::map<QByteArray, qint64> listedSizes;
    int nextHandle = 1;
    Progress progress;
    // What the live session is to: a new opening to the same server and account keeps it.
    QString host;
    int port = 0;
    QByteArray signedOnAs;  // a digest of the user and password that signed on
    bool keeping = false;   // ConnectServer kept the session: sign-on and SFTP stand
    std::chrono::steady_clock::time_point lastUsed;

    void report(const QString& name, qint64 done, qint64 total) const {
        if (progress) progress(name, done, total);
    }

    IdleWatchdog watchdog;  // outlives the session whose socket it may shut down
    ssh::Session session;   // before the channel: destroyed after it
    std::unique_ptr<SftpChannel> channel;
    std::map<QString, std::variant<RemoteFile, RemoteDir>> handles;

    // The overall time for an operation that moves `bytes`: the operation deadline, or
    // more for a transfer that needs it at the slowest rate accepted.
    int allowedMs(qint64 bytes) const {
        const qint64 needed = bytes / kSlowestBytesPerSecond * 1000;
        return static_cast<int>(
            std::min<qint64>(INT_MAX, std::max<qint64>(operationDeadlineMs, needed)));
    }

    // Arms the watchdog for one operation that waits on the server.
    class Waiting {
    public:
        explicit Waiting(Impl& impl, qint64 bytes = 0) : impl_(impl) {
            if (impl.session && ssh_is_connected(impl.session.get()))
                impl.watchdog.arm(ssh_get_fd(impl.session.get()), impl.idleTimeoutMs,
                                  impl.allowedMs(bytes));
        }
        ~Waiting() {
            if (impl_.watchdog.disarm()) {
                impl_.timedOut = true;
                impl_.overdueAfterMs = impl_.watchdog.overdueAfterMs();
            }
            impl_.lastUsed = std::chrono::steady_clock::now();
        }
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;

    private:
        Impl& impl_;
    };

    int fail(const QString& text) {
        error = withStop(text);
        return 0;
    }

    QString timeoutText() const {
        if (const int overdue = timedOut ? overdueAfterMs : watchdog.overdueAfterMs())
            return QStringLiteral(
                       "The server answered too slowly: the operation did not end within %1; "
                       "the connection was closed")
                .arg(secondsText(overdue));
        return QStringLiteral("The server did not answer within %1; the connection was closed")
            .arg(secondsText(idleTimeoutMs));
    }

    // Words for the latest failure.
    QString reason() const {
        if (timedOut || watchdog.fired()) return timeoutText();
        if (!session) return QStringLiteral("Not connected to the server");
        if (channel && channel->broken()) return channel->problem();
        const QString lib = QString::fromUtf8(ssh_get_error(session.get()));
        if (!ssh_is_connected(session.get()))
            return lib.isEmpty() ? QStringLiteral("Connection lost")
                                 : QStringLiteral("Connection lost (%1)").arg(lib);
        if (lastCode != wire::kOk) return sftpWords(lastCode);
        return lib.isEmpty() ? QStringLiteral("Unknown error") : lib;
    }

    int failWith(const QString& what) { return fail(what + QStringLiteral(": ") + reason()); }

    // A reply the caller wanted as an OK status: false (with its code kept) otherwise.
    bool isOk(const Result<wire::Reply>& reply) {
        lastCode = !reply                         ? uint32_t(wire::kOk)
                   : reply->type == wire::kStatus ? reply->code
                                                  : uint32_t(wire::kBadMessage);
        return reply && reply->type == wire::kStatus && reply->code == wire::kOk;
    }

    // One request, its reply awaited; the quickest such round trip measures the link.
    Result<wire::Reply> call(wire::Type type, const std::function<QByteArray(uint32_t)>& build) {
        lastCode = wire::kOk;
        const uint32_t id = channel->nextId();
        const auto start = std::chrono::steady_clock::now();
        if (const Status sent = channel->send(id, type, build(id)); !sent)
            return Result<wire::Reply>::failure(sent.reason());
        Result<wire::Reply> reply = channel->wait(id);
        roundTrip = std::min(roundTrip, std::chrono::duration_cast<std::chrono::microseconds>(
                                            std::chrono::steady_clock::now() - start));
        return reply;
    }
    std::chrono::microseconds roundTrip = std::chrono::microseconds::max();
    qint64 bytesInFlight() const {
        const qint64 ms = std::min<qint64>(roundTrip.count() / 1000, 1000);  // none yet: far
        return std::clamp(ms * kLinkBytesPerMs, kFewestBytesInFlight, kMostBytesInFlight);
    }

    // Every file operation needs a live SFTP session; says why when there is none.
    bool ready() {
        if (!session) {
            fail(QStringLiteral("Not connected to the server"));
            return false;
        }
        if (timedOut) {
            fail(timeoutText());
            return false;
        }
        if (!channel) {
            fail(QStringLiteral("The file transfer (SFTP) session is not started"));
            return false;
        }
        return true;
    }

    // The session can serve a new opening to this server: alive, quiet (no reply due,
    // nothing unasked for waiting), used lately and its server still trusted.
    bool keepable(const QString& toHost, int toPort) {
        if (!session || !channel || timedOut || toHost != host || toPort != port ||
            signedOnAs.isEmpty() ||
            std::chrono::steady_clock::now() - lastUsed > std::chrono::milliseconds(kKeepSessionMs))
            return false;
        // The trust file still vouches for this server as it is now.
        if (!checkKnownHostsFile(knownHostsFile) ||
            ssh_session_is_known_server(session.get()) != SSH_KNOWN_HOSTS_OK)
            return false;
        return channel->quiet();
    }

    void dropSession() {
        {
            Waiting waiting(*this);
            handles.clear();
            channel.reset();
        }
        session.reset();
        timedOut = false;
        overdueAfterMs = 0;
        listedSizes.clear();
        prefetch.reset();
        roundTrip = std::chrono::microseconds::max();
        signedOnAs.clear();
        keeping = false;
    }

    void setTimeout(int ms) {
        long seconds = ms / 1000;
        long micros = (ms % 1000) * 1000L;
        ssh_options_set(session.get(), SSH_OPTIONS_TIMEOUT, &seconds);
        ssh_options_set(session.get(), SSH_OPTIONS_TIMEOUT_USEC, &micros);
    }

    QString newHandle() { return QStringLiteral("h%1").arg(nextHandle++); }

    // A file opened ahead for the next fetch (its request is on its way).
    struct Prefetch {
        QByteArray path;
        uint32_t id = 0;
    };
    std::optional<Prefetch> prefetch;
    // Any other request than the fetch it was for: the file opened ahead is closed again.
    void dropPrefetch() {
        if (!prefetch || !channel) return prefetch.reset();
        const Result<wire::Reply> opened = channel->wait(prefetch->id);
        prefetch.reset();
        if (opened && opened->type == wire::kHandle) channel->closeWithNext(opened->bytes);
    }

    int connect(const QString& toHost, int toPort);
    int checkHostKey(const QString& host, int port);
    int fetch(const QByteArray& rawRemotePath, SafeFile& part);
};

namespace {

QByteArray signOnDigest(const QString& user, const QString& password) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(user.toUtf8());
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(password.toUtf8());
    return hash.result();
}

}  // namespace

SftpClient::SftpClient() : d(std::make_unique<Impl>()) { ignoreBrokenPipes(); }

SftpClient::~SftpClient() { d->dropSession(); }

void SftpClient::ConnectTimeoutMs(int ms) { d->connectTimeoutMs = ms; }
void SftpClient::IdleTimeoutMs(int ms) { d->idleTimeoutMs = ms; }
void SftpClient::OperationDeadlineMs(int ms) { d->operationDeadlineMs = ms; }
void SftpClient::KnownHostsFile(const QString& path) { d->knownHostsFile = path; }
QString SftpClient::FirstContactFingerprint() const { return d->firstContactFingerprint; }
QString SftpClient::ErrorDetail() const { return d->error; }
void SftpClient::OnProgress(Progress progress) { d->progress = std::move(progress); }

int SftpClient::ConnectServer(const QString& host, int port) {
    d->error.clear();
    d->firstContactFingerprint.clear();
    if (d->prefetch) {
        Impl::Waiting waiting(*d);
        d->dropPrefetch();
    }
    // A live session to this server is kept: a run's tasks then share one connection.
    d->keeping = d->keepable(host.trimmed(), port);
    if (d->keeping) return 1;
    d->dropSession();
    return d->connect(host, port);
}

int SftpClient::Impl::connect(const QString& toHost, int toPort) {
    if (toHost.trimmed().isEmpty() || toPort <= 0 || toPort > 65535)
        return fail(QStringLiteral("No server address is set (host \"%1\", port %2)")
                        .arg(toHost)
                        .arg(toPort));
    if (knownHostsFile.isEmpty())
        return fail(QStringLiteral("No file is set to record the server's identity in"));
    if (const Status known = checkKnownHostsFile(knownHostsFile); !known)
        return fail(known.reason());

    session.reset(ssh_new());
    if (!session) return fail(QStringLiteral("Out of memory starting a connection"));
    ssh_session s = session.get();
    const QByteArray hostBytes = toHost.trimmed().toUtf8();
    const QByteArray known = QFile::encodeName(knownHostsFile);
    const unsigned int portValue = static_cast<unsigned int>(toPort);
    const int nodelay = 1;
    const bool processConfig = false;
    if (ssh_options_set(s, SSH_OPTIONS_HOST, hostBytes.constData()) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_PORT, &portValue) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_NODELAY, &nodelay) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_PROCESS_CONFIG, &processConfig) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_KNOWNHOSTS, known.constData()) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, known.constData()) != SSH_OK) {
        const int rc = fail(QStringLiteral("The connection settings were refused: %1")
                                .arg(QString::fromUtf8(ssh_get_error(s))));
        session.reset();
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
        const int rc = fail(QStringLiteral("Could not connect to %1 port %2: %3")
                                .arg(toHost.trimmed())
                                .arg(toPort)
                                .arg(why));
        session.reset();
        return rc;
    }
    setTimeout(idleTimeoutMs);
    if (checkHostKey(toHost.trimmed(), toPort) != 1) {
        session.reset();
        return 0;
    }
    host = toHost.trimmed();
    port = toPort;
    lastUsed = std::chrono::steady_clock::now();
    return 1;
}
int SftpClient::Impl::checkHostKey(const QString& host, int port) {
    ssh_session s = session.get();
    const enum ssh_known_hosts_e state = ssh_session_is_known_server(s);
    switch (state) {
        case SSH_KNOWN_HOSTS_OK:
            return 1;
        case SSH_KNOWN_HOSTS_UNKNOWN:
        case SSH_KNOWN_HOSTS_NOT_FOUND:
            // First contact: remember this server's key, so that a later change shows.
            if (ssh_session_update_known_hosts(s) != SSH_OK)
                return fail(QStringLiteral("Could not record the identity of %1 port %2 in %3: "
                                           "%4. The password was not sent")
                                .arg(host)
                                .arg(port)
                                .arg(QDir::toNativeSeparators(knownHostsFile),
                                     QString::fromUtf8(ssh_get_error(s))));
            firstContactFingerprint = sha256Fingerprint(s);
            return 1;
        case SSH_KNOWN_HOSTS_CHANGED:
        case SSH_KNOWN_HOSTS_OTHER:
            return fail(QStringLiteral(
                "The server's identity has changed since the last connection (its host key "
                "is different). The password was not sent. Call ZOD"));
        case SSH_KNOWN_HOSTS_ERROR:
            return fail(QStringLiteral("Could not check the server's identity: %1. The "
                                       "password was not sent")
                            .arg(QString::fromUtf8(ssh_get_error(s))));
    }
    return fail(
        QStringLiteral("Could not check the server's identity. The password was not "
                       "sent"));
}

int SftpClient::LoginWithPassword(const QString& user, const QString& password) {
    d->error.clear();
    const QByteArray digest = signOnDigest(user, password);
    if (d->keeping) {
        if (digest == d->signedOnAs) return 1;
        // Another account: a connection signs on once, so it starts afresh.
        const QString host = d->host;
        const int port = d->port;
        d->dropSession();
        if (d->connect(host, port) != 1) return 0;
    }
    if (!d->session) return d->fail(QStringLiteral("Not connected to the server"));
    const QByteArray userBytes = user.toUtf8();
    QByteArray passwordBytes = password.toUtf8();
    int rc = SSH_AUTH_ERROR;
    {
        Impl::Waiting waiting(*d);
        rc = ssh_userauth_password(d->session.get(), userBytes.constData(),
                                   passwordBytes.constData());
    }
    passwordBytes.fill('\0');  // no copy of the password left lying in freed memory
    switch (rc) {
        case SSH_AUTH_SUCCESS:
            d->signedOnAs = digest;
            return 1;
        case SSH_AUTH_DENIED:
            return d->fail(
                QStringLiteral("The server refused the site ID \"%1\" or its password").arg(user));
        case SSH_AUTH_PARTIAL:
            return d->fail(
                QStringLiteral("The server asks for more than a password for the site ID \"%1\"")
                    .arg(user));
        default:
            return d->failWith(QStringLiteral("Signing on failed"));
    }
}

int SftpClient::StartSftp() {
    d->error.clear();
    if (!d->session) return d->fail(QStringLiteral("Not connected to the server"));
    Impl::Waiting waiting(*d);
    d->dropPrefetch();
    if (std::exchange(d->keeping, false) && d->channel && d->channel->quiet()) {
        // Handles left open by an earlier task are closed on the way; their answers
        // are not waited for.
        for (const auto& [name, entry] : d->handles) {
            const auto* file = std::get_if<RemoteFile>(&entry);
            if (file && file->closeId) continue;
            const QByteArray& handle = file ? file->handle : std::get<RemoteDir>(entry).handle;
            const uint32_t id = d->channel->nextId();
            if (d->channel->send(id, wire::kClose, wire::withHandle(wire::kClose, id, handle)))
                d->channel->discard(id);
        }
        d->handles.clear();
        return 1;
    }
    d->handles.clear();
    d->channel.reset();
    d->lastCode = wire::kOk;
    d->channel = std::make_unique<SftpChannel>(d->session.get(), d->watchdog);
    if (!d->channel->start()) {
        const int rc =
            d->failWith(QStringLiteral("The file transfer (SFTP) service did not start"));
        d->channel.reset();
        return rc;
    }
    return 1;
}

QString SftpClient::OpenRemoteFile(const QString& remotePath, const QString& access,
                                   const QString& disposition) {
    d->error.clear();
    if (access != QLatin1String("writeOnly") || disposition != QLatin1String("createTruncate")) {
        d->fail(QStringLiteral("Unsupported way to open %1 (%2, %3)")
                    .arg(remotePath, access, disposition));
        return {};
    }
    if (!d->ready()) return {};
    Result<wire::Reply> reply = Result<wire::Reply>::failure({});
    {
        Impl::Waiting waiting(*d);
        d->dropPrefetch();
        const QByteArray path = remotePath.toUtf8();
        reply = d->call(wire::kOpen, [&](uint32_t id) {
            return wire::open(id, path, wire::kOpenWrite | wire::kOpenCreate | wire::kOpenTruncate,
                              0644);
        });
    }
    if (!reply || reply->type != wire::kHandle) {
        (void)d->isOk(reply);
        d->failWith(QStringLiteral("Could not open %1 on the server").arg(remotePath));
        return {};
    }
    const QString handle = d->newHandle();
    d->handles.emplace(handle, RemoteFile{reply->bytes, remotePath});
    return handle;
}

int SftpClient::SendLocalFile(const QString& handle, const QString& localPath) {
    d->error.clear();
    if (!d->ready()) return 0;
    const auto it = d->handles.find(handle);
    if (handle.isEmpty() || it == d->handles.end() ||
        !std::holds_alternative<RemoteFile>(it->second))
        return d->fail(QStringLiteral("\"%1\" is not an open server file").arg(handle));
    RemoteFile& remote = std::get<RemoteFile>(it->second);
    if (remote.closeId)
        return d->fail(QStringLiteral("%1 on the server is already being closed").arg(remote.path));

    QFile local(localPath);
    if (!local.open(QIODevice::ReadOnly))
        return d->fail(QStringLiteral("Cannot read the local file %1: %2")
                           .arg(QDir::toNativeSeparators(localPath), local.errorString()));
    const qint64 total = local.size();
    Impl::Waiting waiting(*d, total);
    d->dropPrefetch();
    SftpChannel& ch = *d->channel;
    const uint32_t chunk = ch.writeLength();
    // The file is read in behind room for each write's header, so that the request goes
    // out from one buffer without a copy.
    const qsizetype room = wire::writeHeader(0, remote.handle, 0, 0).size();
    QByteArray buffer(room + static_cast<qsizetype>(chunk), Qt::Uninitialized);
    struct Write {
        uint32_t id, length;
    };
    std::deque<Write> writes;
    const qint64 flight = d->bytesInFlight();
    qint64 offset = 0, inFlight = 0;
    uint32_t fstatId = 0;
    // Whatever ends the upload early leaves no answer behind for the next request.
    const auto abandon = [&](int rc) {
        for (const Write& w : writes) ch.discard(w.id);
        if (fstatId) ch.discard(fstatId);
        return rc;
    };
    d->lastCode = wire::kOk;
    d->report(remote.path, 0, total);
    // The writes, then the size check and the close, all without waiting: the server
    // handles one file's requests in order, so the size it gives is after every write.
    while (!fstatId || !writes.empty()) {
        while (!fstatId && writes.size() < kMostInFlight && inFlight + chunk <= flight) {
            const qint64 n = local.read(buffer.data() + room, chunk);
            if (n < 0)
                return abandon(
                    d->fail(QStringLiteral("Reading the local file %1 failed: %2")
                                .arg(QDir::toNativeSeparators(localPath), local.errorString())));
            const uint32_t id = ch.nextId();
            if (n == 0) {
                fstatId = id;
                remote.closeId = ch.nextId();
                if (!ch.send(fstatId, wire::kFstat,
                             wire::withHandle(wire::kFstat, fstatId, remote.handle)) ||
                    !ch.send(remote.closeId, wire::kClose,
                             wire::withHandle(wire::kClose, remote.closeId, remote.handle)))
                    return abandon(
                        d->failWith(QStringLiteral("Writing %1 on the server failed after %2 bytes")
                                        .arg(remote.path)
                                        .arg(remote.sent)));
                break;
            }
            const QByteArray header =
                wire::writeHeader(id, remote.handle, uint64_t(offset), uint32_t(n));
            std::memcpy(buffer.data(), header.constData(), size_t(room));
            if (!ch.send(id, wire::kWrite, QByteArrayView(buffer.constData(), room + n)))
                return abandon(
                    d->failWith(QStringLiteral("Writing %1 on the server failed after %2 bytes")
                                    .arg(remote.path)
                                    .arg(remote.sent)));
            writes.push_back({id, uint32_t(n)});
            offset += n;
            inFlight += n;
        }
        if (writes.empty()) break;
        const Write head = writes.front();
        writes.pop_front();
        if (!d->isOk(ch.wait(head.id)))
            return abandon(
                d->failWith(QStringLiteral("Writing %1 on the server failed after %2 bytes")
                                .arg(remote.path)
                                .arg(remote.sent)));
        remote.sent += head.length;
        inFlight -= head.length;
        d->report(remote.path, remote.sent, total);
    }
    // A server may acknowledge writes it does not keep: its own count of the open file
    // decides, so a short copy is a failed send, not a claim that looks sent. A server
    // that will not tell is not held to it.
    const Result<wire::Reply> attrs = ch.wait(std::exchange(fstatId, 0));
    if (!attrs)
        return d->failWith(
            QStringLiteral("Checking the size of %1 on the server failed").arg(remote.path));
    if (attrs->type == wire::kAttrs && attrs->attrs.hasSize() &&
        static_cast<qint64>(attrs->attrs.size) != remote.sent)
        return d->fail(QStringLiteral("The server holds %1 bytes of the %2 bytes sent for %3")
                           .arg(attrs->attrs.size)
                           .arg(remote.sent)
                           .arg(remote.path));
    return 1;
}

int SftpClient::CloseRemoteHandle(const QString& handle) {
    d->error.clear();
    if (handle.isEmpty()) return d->fail(QStringLiteral("No handle was given to close"));
    const auto it = d->handles.find(handle);
    if (it == d->handles.end())
        return d->fail(QStringLiteral("\"%1\" is not an open server file or folder").arg(handle));
    auto entry = std::move(it->second);
    d->handles.erase(it);
    if (!d->ready()) return 0;

    Impl::Waiting waiting(*d);
    d->dropPrefetch();
    if (auto* dir = std::get_if<RemoteDir>(&entry)) {
        if (!d->isOk(d->call(wire::kClose, [&](uint32_t id) {
                return wire::withHandle(wire::kClose, id, dir->handle);
            })))
            return d->failWith(
                QStringLiteral("Closing the server folder %1 failed").arg(dir->path));
        return 1;
    }
    auto& file = std::get<RemoteFile>(entry);
    // An upload sent its close with its last write; its answer is here or on the way.
    const bool ok = file.closeId ? d->isOk(d->channel->wait(file.closeId))
                                 : d->isOk(d->call(wire::kClose, [&](uint32_t id) {
                                       return wire::withHandle(wire::kClose, id, file.handle);
                                   }));
    if (!ok) return d->failWith(QStringLiteral("The server did not close %1").arg(file.path));
    return 1;
}

QString SftpClient::OpenRemoteDir(const QString& remoteDir) {
    d->error.clear();
    if (!d->ready()) return {};
    Result<wire::Reply> reply = Result<wire::Reply>::failure({});
    {
        Impl::Waiting waiting(*d);
        d->dropPrefetch();
        const QByteArray path = remoteDir.toUtf8();
        reply = d->call(wire::kOpendir,
                        [&](uint32_t id) { return wire::withPath(wire::kOpendir, id, path); });
    }
    if (!reply || reply->type != wire::kHandle) {
        (void)d->isOk(reply);
        d->failWith(QStringLiteral("Could not open the server folder %1").arg(remoteDir));
        return {};
    }
    const QString handle = d->newHandle();
    d->handles.emplace(handle, RemoteDir{reply->bytes, remoteDir});
    return handle;
}

std::optional<RemoteListing> SftpClient::ReadRemoteDir(const QString& handle) {
    d->error.clear();
    if (!d->ready()) return std::nullopt;
    const auto it = d->handles.find(handle);
    if (handle.isEmpty() || it == d->handles.end() ||
        !std::holds_alternative<RemoteDir>(it->second)) {
        d->fail(QStringLiteral("\"%1\" is not an open server folder").arg(handle));
        return std::nullopt;
    }
    RemoteDir& dir = std::get<RemoteDir>(it->second);
    std::vector<RemoteEntry> entries;
    d->listedSizes.clear();
    Impl::Waiting waiting(*d);
    d->dropPrefetch();
    SftpChannel& ch = *d->channel;
    // Two requests in flight: the one that finds the end is already on its way when the
    // last names come (a request after the end only finds the end again).
    std::deque<uint32_t> asked;
    const auto ask = [&] {
        const uint32_t id = ch.nextId();
        if (!ch.send(id, wire::kReaddir, wire::withHandle(wire::kReaddir, id, dir.handle)))
            return false;
        asked.push_back(id);
        return true;
    };
    const auto failed = [&](const QString& text, bool withReason) {
        for (const uint32_t id : asked) ch.discard(id);
        d->listedSizes.clear();
        withReason ? d->failWith(text) : d->fail(text);
        return std::nullopt;
    };
    const QString readFailed = QStringLiteral("Reading the server folder %1 failed").arg(dir.path);
    if (!ask() || !ask()) return failed(readFailed, true);
    qint64 listed = 0, listedBytes = 0;
    d->lastCode = wire::kOk;
    for (;;) {
        const Result<wire::Reply> reply = ch.wait(asked.front());
        asked.pop_front();
        if (!reply || reply->type == wire::kStatus) {
            if (reply && reply->code == wire::kEof) break;
            (void)d->isOk(reply);
            return failed(readFailed, true);
        }
        d->watchdog.kick();
        for (const wire::NameEntry& e : reply->names) {
            if (++listed > kMostListed)
                return failed(QStringLiteral("The server listed more than %1 files in %2; the "
                                             "list was not read. Call ZOD")
                                  .arg(QLocale(QLocale::English).toString(kMostListed), dir.path),
                              false);
            // A long listing is a transfer too: it gets the time its size needs.
            listedBytes += kEntryOverhead + e.name.size() + e.longName.size();
            // Only regular files are reports or claims; ".", "..", folders and links are not.
            if (!e.attrs.isRegular() || e.name.isEmpty() || e.name == "." || e.name == "..")
                continue;
            entries.push_back(
                {QString::fromUtf8(e.name), static_cast<qint64>(e.attrs.size), e.name});
            if (e.attrs.hasSize())
                d->listedSizes[dir.path.toUtf8() + '/' + e.name] =
                    static_cast<qint64>(e.attrs.size);
        }
        d->watchdog.allow(d->allowedMs(listedBytes));
        if (!ask()) return failed(readFailed, true);
    }
    for (const uint32_t id : asked) ch.discard(id);
    return RemoteListing(std::move(entries));
}

int SftpClient::FetchRemoteFile(const QByteArray& remotePath, SafeFile& local) {
    d->error.clear();
    if (!d->ready()) return 0;
    Impl::Waiting waiting(*d);
    if (d->prefetch && d->prefetch->path != remotePath) d->dropPrefetch();
    return d->fetch(remotePath, local);
}

namespace {

constexpr qint64 kRoomCheckStep = 1024 * 1024;

// Empty while the report folder's disk still has room for the rest of the download and
// for the rest of the system; else why the download stops.
QString roomProblem(const QString& folder, qint64 left, const QString& remotePath) {
    struct statvfs disk {};
    if (::statvfs(QFile::encodeName(folder).constData(), &disk) != 0)
        return {};  // unknown: a write that finds the disk full still says so
    const qint64 free = static_cast<qint64>(disk.f_bavail) * static_cast<qint64>(disk.f_frsize);
    if (free >= kDiskReserve && free >= 2 * left) return {};
    return QStringLiteral(
               "The disk of the report folder %1 is nearly full (%2 MB free), so %3 was not "
               "fetched. Make room on that disk, then try once more")
        .arg(QDir::toNativeSeparators(folder))
        .arg(free / (1024 * 1024))
        .arg(remotePath);
}

}  // namespace

int SftpClient::Impl::fetch(const QByteArray& rawRemotePath, SafeFile& part) {
    const QString remotePath = readableName(rawRemotePath);
    SftpChannel& ch = *channel;
    lastCode = wire::kOk;
    // Opened ahead when the previous file's removal carried the request.
    const std::optional<Prefetch> ahead = std::exchange(prefetch, std::nullopt);
    const Result<wire::Reply> opened =
        ahead ? ch.wait(ahead->id) : call(wire::kOpen, [&](uint32_t id) {
            return wire::open(id, rawRemotePath, wire::kOpenRead, 0);
        });
    if (!opened || opened->type != wire::kHandle) {
        (void)isOk(opened);
        return failWith(QStringLiteral("Could not open %1 on the server").arg(remotePath));
    }
    const QByteArray& handle = opened->bytes;

    // The size from the listing bounds the download; only a file listed without one is
    // asked for it first.
    qint64 size = -1;
    if (const auto listed = listedSizes.find(rawRemotePath); listed != listedSizes.end())
        size = listed->second;
    if (size < 0) {
        const Result<wire::Reply> attrs = call(
            wire::kFstat, [&](uint32_t id) { return wire::withHandle(wire::kFstat, id, handle); });
        if (attrs && attrs->type == wire::kAttrs && attrs->attrs.hasSize())
            size = static_cast<qint64>(attrs->attrs.size);
        if (size < 0) {
            (void)isOk(attrs);
            ch.closeWithNext(handle);
            return attrs && attrs->type == wire::kAttrs
                       ? fail(QStringLiteral("The server did not give the size of %1, so it "
                                             "was not fetched. Call ZOD")
                                  .arg(remotePath))
                       : failWith(QStringLiteral("Could not learn the size of %1 on the server")
                                      .arg(remotePath));
        }
    }
    watchdog.allow(allowedMs(size));
    // A failed download leaves nothing behind: the caller names the file only when whole.
    if (const Status opened = part.open(); !opened) {
        ch.closeWithNext(handle);
        return fail(opened.reason());
    }
    report(remotePath, 0, size);

    const uint32_t chunk = ch.readLength();
    const QString folder = QFileInfo(part.path()).absolutePath();
    std::deque<std::pair<qint64, qint64>> todo;  // ranges still to fetch: offset, length
    if (size > 0) todo.push_back({0, size});
    struct Read {
        uint32_t id;
        qint64 offset;
        uint32_t length;
    };
    std::deque<Read> reads;
    const qint64 flight = bytesInFlight();
    qint64 received = 0, inFlight = 0, nextRoomCheck = 0;
    uint32_t eofId = 0, fstatId = 0;
    QString problem;
    bool withReason = true;
    const QString failed = QStringLiteral("Downloading %1 failed").arg(remotePath);
    const auto ask = [&](uint32_t id, wire::Type type, const QByteArray& packet) {
        if (problem.isEmpty() && !ch.send(id, type, packet)) problem = failed;
    };
    // The reads, then the end-of-file check and the open file's size, in one flight.
    // Short answers are legal: the rest is asked for again.
    while (problem.isEmpty()) {
        while (!todo.empty() && reads.size() < kMostInFlight && inFlight + chunk <= flight &&
               problem.isEmpty()) {
            auto& [offset, length] = todo.front();
            const uint32_t n = static_cast<uint32_t>(std::min<qint64>(chunk, length));
            const uint32_t id = ch.nextId();
            ask(id, wire::kRead, wire::read(id, handle, uint64_t(offset), n));
            reads.push_back({id, offset, n});
            inFlight += n;
            offset += n;
            if ((length -= n) == 0) todo.pop_front();
        }
        if (!eofId && todo.empty()) {
            // One byte at the size: an answer there means the file is longer than the
            // server said.
            eofId = ch.nextId();
            ask(eofId, wire::kRead, wire::read(eofId, handle, uint64_t(size), 1));
            fstatId = ch.nextId();
            ask(fstatId, wire::kFstat, wire::withHandle(wire::kFstat, fstatId, handle));
        }
        if (reads.empty() || !problem.isEmpty()) break;
        if (received >= nextRoomCheck) {
            nextRoomCheck = received + kRoomCheckStep;
            if (!(problem = roomProblem(folder, size - received, remotePath)).isEmpty()) {
                withReason = false;
                break;
            }
        }
        const Read head = reads.front();
        reads.pop_front();
        inFlight -= head.length;
        const Result<wire::Reply> reply = ch.wait(head.id);
        if (reply && reply->type == wire::kData && !reply->bytes.isEmpty() &&
            reply->bytes.size() <= head.length) {
            const qint64 n = reply->bytes.size();
            if (const Status s = part.writeAt(head.offset, reply->bytes.constData(), n); !s) {
                problem = s.reason();
                withReason = false;
                break;
            }
            received += n;
            report(remotePath, received, size);
            if (n < head.length) todo.push_back({head.offset + n, head.length - n});
        } else if (reply && reply->type == wire::kStatus && reply->code == wire::kEof) {
            problem = QStringLiteral("The server sent %1 bytes of the %2 bytes of %3")
                          .arg(received)
                          .arg(size)
                          .arg(remotePath);
            withReason = false;
        } else if (reply && reply->type == wire::kData) {
            problem = QStringLiteral(
                          "The server sent a malformed answer for %1 (%2 bytes where "
                          "at most %3 were asked for)")
                          .arg(remotePath)
                          .arg(reply->bytes.size())
                          .arg(head.length);
            withReason = false;
        } else {
            (void)isOk(reply);
            problem = failed;
        }
    }
    if (problem.isEmpty()) {
        const Result<wire::Reply> end = ch.wait(std::exchange(eofId, 0));
        if (end && end->type == wire::kData) {
            problem = QStringLiteral(
                          "%1 on the server is longer than the %2 bytes the server gave as its "
                          "size (it may still be growing); it was not saved and stays on the "
                          "server for the next run")
                          .arg(remotePath)
                          .arg(size);
            withReason = false;
        } else if (!end || end->code != wire::kEof) {
            (void)isOk(end);
            problem = failed;
        }
    }
    if (problem.isEmpty()) {
        const Result<wire::Reply> attrs = ch.wait(std::exchange(fstatId, 0));
        if (!attrs || attrs->type != wire::kAttrs) {
            (void)isOk(attrs);
            problem =
                QStringLiteral("Could not learn the size of %1 on the server").arg(remotePath);
        }
    }
    for (const Read& r : reads) ch.discard(r.id);
    for (const uint32_t id : {eofId, fstatId})
        if (id) ch.discard(id);
    // The close travels with the next request (the report's removal): everything was
    // read and checked, so its answer changes nothing.
    ch.closeWithNext(handle);
    if (!problem.isEmpty()) return withReason ? failWith(problem) : fail(problem);
    if (received != size)
        return fail(QStringLiteral("The server sent %1 bytes of the %2 bytes of %3")
                        .arg(received)
                        .arg(size)
                        .arg(remotePath));
    return 1;
}

int SftpClient::DeleteRemoteFile(const QByteArray& remotePath, const QByteArray& thenFetch) {
    d->error.clear();
    if (!d->ready()) return 0;
    Impl::Waiting waiting(*d);
    d->dropPrefetch();
    SftpChannel& ch = *d->channel;
    const uint32_t id = ch.nextId();
    d->lastCode = wire::kOk;
    Status sent = ch.send(id, wire::kRemove, wire::withPath(wire::kRemove, id, remotePath));
    if (sent && !thenFetch.isEmpty()) {
        const uint32_t openId = ch.nextId();
        sent = ch.send(openId, wire::kOpen, wire::open(openId, thenFetch, wire::kOpenRead, 0));
        if (sent) d->prefetch = Impl::Prefetch{thenFetch, openId};
    }
    if (!d->isOk(sent ? ch.wait(id) : Result<wire::Reply>::failure(sent.reason())))
        return d->failWith(
            QStringLiteral("Could not delete %1 on the server").arg(readableName(remotePath)));
    return 1;
}

int SftpClient::RenameRemoteFile(const QString& from, const QString& to) {
    d->error.clear();
    if (!d->ready()) return 0;
    Impl::Waiting waiting(*d);
    d->dropPrefetch();
    const QByteArray fromBytes = from.toUtf8(), toBytes = to.toUtf8();
    if (!d->isOk(d->call(wire::kRename,
                         [&](uint32_t id) { return wire::rename(id, fromBytes, toBytes); })))
        return d->failWith(QStringLiteral("Could not rename %1 to %2 on the server").arg(from, to));
    return 1;
}

int SftpClient::RemoveRemoteFileIfPresent(const QString& remotePath) {
    if (DeleteRemoteFile(remotePath) == 1) return 1;
    // A file that is already gone is what was asked for.
    const bool gone = d->channel && d->channel->alive() && d->lastCode == wire::kNoSuchFile;
    if (gone) d->error.clear();
    return gone ? 1 : 0;
}

}  // namespace zv
