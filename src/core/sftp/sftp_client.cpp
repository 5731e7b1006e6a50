#include "sftp/sftp_client.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <variant>

#include "app/text_file.h"
#include "sftp/idle_watchdog.h"
#include "sftp/ssh_handles.h"

namespace zv {

namespace {

constexpr int kPlainChunk = 32 * 1024;
// OpenSSH takes writes up to 262,119 bytes and drops the connection above; this is
// what it advertises in limits@openssh.com.
constexpr int kOpenSshChunk = 261120;
constexpr uint32_t kReadRequest = 32 * 1024;
constexpr int kReadsInFlight = 32;
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
    ssh::File file;
    QString path;
    qint64 sent = 0;
};
struct RemoteDir {
    ssh::Dir dir;
    QString path;
};

QString sftpWords(int code) {
    switch (code) {
        case SSH_FX_EOF:
            return QStringLiteral("End of file");
        case SSH_FX_NO_SUCH_FILE:
            return QStringLiteral("No such file");
        case SSH_FX_PERMISSION_DENIED:
            return QStringLiteral("Permission denied");
        case SSH_FX_FAILURE:
            return QStringLiteral("The server reported a failure");
        case SSH_FX_BAD_MESSAGE:
            return QStringLiteral("The server did not understand the request");
        case SSH_FX_NO_CONNECTION:
        case SSH_FX_CONNECTION_LOST:
            return QStringLiteral("Connection lost");
        case SSH_FX_OP_UNSUPPORTED:
            return QStringLiteral("The server does not support this operation");
        case SSH_FX_INVALID_HANDLE:
            return QStringLiteral("The server no longer knows the open file");
        case SSH_FX_NO_SUCH_PATH:
            return QStringLiteral("No such folder");
        case SSH_FX_FILE_ALREADY_EXISTS:
            return QStringLiteral("The file already exists");
        case SSH_FX_WRITE_PROTECT:
            return QStringLiteral("The server's disk is write-protected");
        case SSH_FX_NO_MEDIA:
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
    int chunk = kPlainChunk;
    bool timedOut = false;
    int overdueAfterMs = 0;  // the overall time that ended the session, 0 for the idle one
    // Sizes from the latest listing, by the path a fetch names them with: the size that
    // bounds a download when the open file's own is not given.
    std::map<QByteArray, qint64> listedSizes;
    int nextHandle = 1;
    Progress progress;

    void report(const QString& name, qint64 done, qint64 total) const {
        if (progress) progress(name, done, total);
    }

    IdleWatchdog watchdog;  // outlives the session whose socket it may shut down
    ssh::Session session;   // before sftp and the handles: destroyed after them
    ssh::Sftp sftp;
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

    // Words for the latest libssh failure.
    QString reason() const {
        if (timedOut || watchdog.fired()) return timeoutText();
        if (!session) return QStringLiteral("Not connected to the server");
        const QString lib = QString::fromUtf8(ssh_get_error(session.get()));
        if (!ssh_is_connected(session.get()))
            return lib.isEmpty() ? QStringLiteral("Connection lost")
                                 : QStringLiteral("Connection lost (%1)").arg(lib);
        if (sftp) {
            const int code = sftp_get_error(sftp.get());
            if (code != SSH_FX_OK) return sftpWords(code);
        }
        return lib.isEmpty() ? QStringLiteral("Unknown error") : lib;
    }

    int failWith(const QString& what) { return fail(what + QStringLiteral(": ") + reason()); }

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
        if (!sftp) {
            fail(QStringLiteral("The file transfer (SFTP) session is not started"));
            return false;
        }
        return true;
    }

    void dropSession() {
        {
            // Open handles are closed politely, but never waited on for long.
            Waiting waiting(*this);
            handles.clear();
            sftp.reset();
        }
        session.reset();
        timedOut = false;
        overdueAfterMs = 0;
        chunk = kPlainChunk;
        listedSizes.clear();
    }

    void setTimeout(int ms) {
        long seconds = ms / 1000;
        long micros = (ms % 1000) * 1000L;
        ssh_options_set(session.get(), SSH_OPTIONS_TIMEOUT, &seconds);
        ssh_options_set(session.get(), SSH_OPTIONS_TIMEOUT_USEC, &micros);
    }

    QString newHandle() { return QStringLiteral("h%1").arg(nextHandle++); }

    int checkHostKey(const QString& host, int port);
    int fetch(const QByteArray& rawRemotePath, SafeFile& part);
};

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
    d->dropSession();
    d->error.clear();
    d->firstContactFingerprint.clear();
    if (host.trimmed().isEmpty() || port <= 0 || port > 65535)
        return d->fail(
            QStringLiteral("No server address is set (host \"%1\", port %2)").arg(host).arg(port));
    if (d->knownHostsFile.isEmpty())
        return d->fail(QStringLiteral("No file is set to record the server's identity in"));
    if (const Status known = checkKnownHostsFile(d->knownHostsFile); !known)
        return d->fail(known.reason());

    d->session.reset(ssh_new());
    if (!d->session) return d->fail(QStringLiteral("Out of memory starting a connection"));
    ssh_session s = d->session.get();
    const QByteArray hostBytes = host.trimmed().toUtf8();
    const QByteArray known = QFile::encodeName(d->knownHostsFile);
    const unsigned int portValue = static_cast<unsigned int>(port);
    const int nodelay = 1;
    const bool processConfig = false;
    if (ssh_options_set(s, SSH_OPTIONS_HOST, hostBytes.constData()) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_PORT, &portValue) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_NODELAY, &nodelay) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_PROCESS_CONFIG, &processConfig) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_KNOWNHOSTS, known.constData()) != SSH_OK ||
        ssh_options_set(s, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, known.constData()) != SSH_OK) {
        const int rc = d->fail(QStringLiteral("The connection settings were refused: %1")
                                   .arg(QString::fromUtf8(ssh_get_error(s))));
        d->session.reset();
        return rc;
    }
    d->setTimeout(d->connectTimeoutMs);

    if (ssh_connect(s) != SSH_OK) {
        QString why = QString::fromUtf8(ssh_get_error(s));
        if (why.contains(QLatin1String("no match for method")))
            why = QStringLiteral(
                      "the server offers only security methods that are no longer "
                      "considered safe (%1)")
                      .arg(why);
        const int rc = d->fail(QStringLiteral("Could not connect to %1 port %2: %3")
                                   .arg(host.trimmed())
                                   .arg(port)
                                   .arg(why));
        d->session.reset();
        return rc;
    }
    d->setTimeout(d->idleTimeoutMs);
    if (d->checkHostKey(host.trimmed(), port) != 1) {
        d->session.reset();
        return 0;
    }
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
    d->handles.clear();
    d->sftp.reset();
    ssh::Sftp sftp(sftp_new(d->session.get()));
    if (!sftp)
        return d->failWith(
            QStringLiteral("The server did not start its file transfer (SFTP) "
                           "service"));
    if (sftp_init(sftp.get()) != SSH_OK) {
        d->sftp = std::move(sftp);  // so the reason can read its error code
        const int rc =
            d->failWith(QStringLiteral("The file transfer (SFTP) service did not start"));
        d->sftp.reset();
        return rc;
    }
    d->chunk = sftp_extension_supported(sftp.get(), "limits@openssh.com", "1") ? kOpenSshChunk
                                                                               : kPlainChunk;
    d->sftp = std::move(sftp);
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
    ssh::File file;
    {
        Impl::Waiting waiting(*d);
        file.reset(sftp_open(d->sftp.get(), remotePath.toUtf8().constData(),
                             O_WRONLY | O_CREAT | O_TRUNC, 0644));
    }
    if (!file) {
        d->failWith(QStringLiteral("Could not open %1 on the server").arg(remotePath));
        return {};
    }
    const QString handle = d->newHandle();
    d->handles.emplace(handle, RemoteFile{std::move(file), remotePath, 0});
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

    QFile local(localPath);
    if (!local.open(QIODevice::ReadOnly))
        return d->fail(QStringLiteral("Cannot read the local file %1: %2")
                           .arg(QDir::toNativeSeparators(localPath), local.errorString()));
    QByteArray buffer(d->chunk, Qt::Uninitialized);
    Impl::Waiting waiting(*d, local.size());
    const qint64 total = local.size();
    d->report(remote.path, 0, total);
    for (;;) {
        const qint64 n = local.read(buffer.data(), buffer.size());
        if (n < 0)
            return d->fail(QStringLiteral("Reading the local file %1 failed: %2")
                               .arg(QDir::toNativeSeparators(localPath), local.errorString()));
        if (n == 0) break;
        const ssize_t written =
            sftp_write(remote.file.get(), buffer.constData(), static_cast<size_t>(n));
        if (written != n) {
            if (written >= 0) remote.sent += written;
            return d->failWith(QStringLiteral("Writing %1 on the server failed after %2 bytes")
                                   .arg(remote.path)
                                   .arg(remote.sent));
        }
        remote.sent += n;
        d->watchdog.kick();
        d->report(remote.path, remote.sent, total);
    }
    // A server may acknowledge writes it does not keep: its own count of the open file
    // decides, so a short copy is a failed send, not a claim that looks sent.
    ssh::Attributes attrs(sftp_fstat(remote.file.get()));
    if (attrs && (attrs->flags & SSH_FILEXFER_ATTR_SIZE) &&
        static_cast<qint64>(attrs->size) != remote.sent)
        return d->fail(QStringLiteral("The server holds %1 bytes of the %2 bytes sent for %3")
                           .arg(attrs->size)
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
    if (auto* dir = std::get_if<RemoteDir>(&entry)) {
        if (sftp_closedir(dir->dir.release()) != SSH_NO_ERROR)
            return d->failWith(
                QStringLiteral("Closing the server folder %1 failed").arg(dir->path));
        return 1;
    }
    auto& file = std::get<RemoteFile>(entry);
    if (sftp_close(file.file.release()) != SSH_NO_ERROR)
        return d->failWith(QStringLiteral("The server did not close %1").arg(file.path));
    // A server may acknowledge writes it does not keep: its own count of the bytes is the
    // proof. Some servers take an uploaded file away at once or forbid looking at it;
    // every write and the close were acknowledged, so only a count that differs fails.
    ssh::Attributes attrs(sftp_stat(d->sftp.get(), file.path.toUtf8().constData()));
    if (attrs && (attrs->flags & SSH_FILEXFER_ATTR_SIZE) &&
        static_cast<qint64>(attrs->size) != file.sent)
        return d->fail(QStringLiteral("The server holds %1 bytes of the %2 bytes sent for %3")
                           .arg(attrs->size)
                           .arg(file.sent)
                           .arg(file.path));
    return 1;
}

QString SftpClient::OpenRemoteDir(const QString& remoteDir) {
    d->error.clear();
    if (!d->ready()) return {};
    ssh::Dir dir;
    {
        Impl::Waiting waiting(*d);
        dir.reset(sftp_opendir(d->sftp.get(), remoteDir.toUtf8().constData()));
    }
    if (!dir) {
        d->failWith(QStringLiteral("Could not open the server folder %1").arg(remoteDir));
        return {};
    }
    const QString handle = d->newHandle();
    d->handles.emplace(handle, RemoteDir{std::move(dir), remoteDir});
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
    qint64 listed = 0, listedBytes = 0;
    for (;;) {
        ssh::Attributes attrs(sftp_readdir(d->sftp.get(), dir.dir.get()));
        if (!attrs) break;
        d->watchdog.kick();
        if (++listed > kMostListed) {
            d->listedSizes.clear();
            d->fail(QStringLiteral("The server listed more than %1 files in %2; the list was "
                                   "not read. Call ZOD")
                        .arg(QLocale(QLocale::English).toString(kMostListed), dir.path));
            return std::nullopt;
        }
        // A long listing is a transfer too: it gets the time its size needs.
        listedBytes += kEntryOverhead + (attrs->name ? qstrlen(attrs->name) : 0) +
                       (attrs->longname ? qstrlen(attrs->longname) : 0);
        d->watchdog.allow(d->allowedMs(listedBytes));
        // Only regular files are reports or claims; ".", "..", folders and links are not.
        if (attrs->type != SSH_FILEXFER_TYPE_REGULAR || !attrs->name) continue;
        const QByteArray raw(attrs->name);
        if (raw == "." || raw == "..") continue;
        entries.push_back({QString::fromUtf8(raw), static_cast<qint64>(attrs->size), raw});
        if (attrs->flags & SSH_FILEXFER_ATTR_SIZE)
            d->listedSizes[dir.path.toUtf8() + '/' + raw] = static_cast<qint64>(attrs->size);
    }
    if (!sftp_dir_eof(dir.dir.get())) {
        d->failWith(QStringLiteral("Reading the server folder %1 failed").arg(dir.path));
        return std::nullopt;
    }
    return RemoteListing(std::move(entries));
}

int SftpClient::FetchRemoteFile(const QByteArray& remotePath, SafeFile& local) {
    d->error.clear();
    if (!d->ready()) return 0;
    Impl::Waiting waiting(*d);
    return d->fetch(remotePath, local);
}

namespace {

constexpr qint64 kRoomCheckStep = 1024 * 1024;

// The read pipeline of a download: up to kReadsInFlight requests in flight, each answer
// written where it belongs. It takes no byte beyond the size the server gave: a server
// that keeps sending must not fill the disk.
class ReadPipeline {
public:
    ReadPipeline(sftp_file file, SafeFile& part, qint64 size, const QString& remotePath,
                 const QString& localFolder, IdleWatchdog& watchdog,
                 std::function<void(qint64 received)> advanced)
        : file_(file),
          part_(part),
          size_(size),
          remotePath_(remotePath),
          localFolder_(localFolder),
          watchdog_(watchdog),
          advanced_(std::move(advanced)),
          buffer_(static_cast<int>(kReadRequest), Qt::Uninitialized) {}

    // Reads to the end of the file; false when something failed (see problem()).
    bool run() {
        while (problem_.isEmpty()) {
            if (received_ >= nextRoomCheck_) {
                checkRoom();
                nextRoomCheck_ = received_ + kRoomCheckStep;
                if (!problem_.isEmpty()) break;
            }
            while (wantMore()) {
                // Up to the size, then one byte at it: an answer there means the file is
                // longer than the server said.
                const uint32_t length =
                    nextOffset_ < size_
                        ? static_cast<uint32_t>(std::min<qint64>(kReadRequest, size_ - nextOffset_))
                        : 1;
                ask(nextOffset_, length);
                nextOffset_ += length;
            }
            if (inFlight_.empty() || !problem_.isEmpty()) break;
            collectOldest();
        }
        if (problem_.isEmpty()) return true;
        // Collect the answers still due, so they do not stay in libssh's queue.
        for (const Request& r : inFlight_)
            sftp_async_read(file_, buffer_.data(), r.length, static_cast<uint32_t>(r.id));
        return false;
    }
    const QString& problem() const { return problem_; }
    bool localProblem() const { return localProblem_; }
    qint64 received() const { return received_; }
    qint64 end() const { return end_; }

private:
    struct Request {
        int id;
        qint64 offset;
        uint32_t length;
    };

    // libssh moves the file offset on short answers and remembers an end of file for
    // the whole file, so each request and each collection sets the offset itself.
    void ask(qint64 offset, uint32_t length) {
        const int id = sftp_seek64(file_, static_cast<uint64_t>(offset)) < 0
                           ? -1
                           : sftp_async_read_begin(file_, length);
        if (id < 0)
            problem_ = QStringLiteral("Could not ask for %1").arg(remotePath_);
        else
            inFlight_.push_back({id, offset, length});
    }

    bool wantMore() const {
        // The request at the end confirms it, in the same round trip.
        return !atEnd_ && problem_.isEmpty() &&
               static_cast<int>(inFlight_.size()) < kReadsInFlight && nextOffset_ <= size_;
    }

    // Stops while the report folder's disk still has room for the rest of the system.
    void checkRoom() {
        struct statvfs disk {};
        if (::statvfs(QFile::encodeName(localFolder_).constData(), &disk) != 0)
            return;  // unknown: a write that finds the disk full still says so
        const qint64 free = static_cast<qint64>(disk.f_bavail) * static_cast<qint64>(disk.f_frsize);
        if (free >= kDiskReserve && free >= 2 * (size_ - received_)) return;
        problem_ = QStringLiteral(
                       "The disk of the report folder %1 is nearly full (%2 MB free), so %3 "
                       "was not fetched. Make room on that disk, then try once more")
                       .arg(QDir::toNativeSeparators(localFolder_))
                       .arg(free / (1024 * 1024))
                       .arg(remotePath_);
        localProblem_ = true;
    }

    // Answers are collected oldest first: libssh 0.10's sftp_async_read waits for a new
    // packet before looking at those it already queued, so waiting on a request whose
    // answer came in while another was awaited never returns. A server answers in order,
    // so the oldest request's answer is always the next to come.
    void collectOldest() {
        const Request head = inFlight_.front();
        inFlight_.pop_front();
        sftp_seek64(file_, static_cast<uint64_t>(head.offset));
        const int n =
            sftp_async_read(file_, buffer_.data(), head.length, static_cast<uint32_t>(head.id));
        watchdog_.kick();
        if (n < 0) {
            problem_ = QStringLiteral("Downloading %1 failed").arg(remotePath_);
        } else if (n == 0) {
            atEnd_ = true;
        } else if (head.offset >= size_) {
            problem_ = QStringLiteral(
                           "%1 on the server is longer than the %2 bytes the server gave as its "
                           "size (it may still be growing); it was not saved and stays on the "
                           "server for the next run")
                           .arg(remotePath_)
                           .arg(size_);
            localProblem_ = true;
        } else if (const Status s = part_.writeAt(head.offset, buffer_.constData(), n); !s) {
            problem_ = s.reason();
            localProblem_ = true;
        } else {
            received_ += n;
            end_ = std::max(end_, head.offset + n);
            advanced_(received_);
            // A short answer is legal; the rest of the range is asked for again.
            if (static_cast<uint32_t>(n) < head.length)
                ask(head.offset + n, head.length - static_cast<uint32_t>(n));
        }
    }

    sftp_file file_;
    SafeFile& part_;
    const qint64 size_;
    const QString& remotePath_;
    const QString localFolder_;
    IdleWatchdog& watchdog_;
    std::function<void(qint64)> advanced_;
    QByteArray buffer_;
    std::deque<Request> inFlight_;
    qint64 nextOffset_ = 0;
    qint64 received_ = 0;  // bytes written, each range once
    qint64 end_ = 0;       // end of the furthest range written
    qint64 nextRoomCheck_ = 0;
    bool atEnd_ = false;
    QString problem_;
    bool localProblem_ = false;
};

}  // namespace

int SftpClient::Impl::fetch(const QByteArray& rawRemotePath, SafeFile& part) {
    const QString remotePath = readableName(rawRemotePath);
    ssh::File file(sftp_open(sftp.get(), rawRemotePath.constData(), O_RDONLY, 0));
    if (!file) return failWith(QStringLiteral("Could not open %1 on the server").arg(remotePath));
    ssh::Attributes attrs(sftp_fstat(file.get()));
    if (!attrs)
        return failWith(
            QStringLiteral("Could not learn the size of %1 on the server").arg(remotePath));
    // The open file's size bounds the download, else the one listed for it.
    qint64 size = attrs->flags & SSH_FILEXFER_ATTR_SIZE ? static_cast<qint64>(attrs->size) : -1;
    if (const auto listed = listedSizes.find(rawRemotePath);
        size < 0 && listed != listedSizes.end())
        size = listed->second;
    if (size < 0)
        return fail(QStringLiteral("The server did not give the size of %1, so it was not "
                                   "fetched. Call ZOD")
                        .arg(remotePath));
    watchdog.allow(allowedMs(size));

    // A failed download leaves nothing behind: the caller names the file only when whole.
    if (const Status opened = part.open(); !opened) return fail(opened.reason());
    report(remotePath, 0, size);
    ReadPipeline pipeline(file.get(), part, size, remotePath, QFileInfo(part.path()).absolutePath(),
                          watchdog, [&](qint64 received) { report(remotePath, received, size); });
    if (!pipeline.run())
        return pipeline.localProblem() ? fail(pipeline.problem()) : failWith(pipeline.problem());
    file.reset();
    // The ranges written never overlap, so as many bytes as the furthest end means no
    // hole was left.
    const qint64 received = pipeline.received();
    if (received != pipeline.end() || received != size)
        return fail(QStringLiteral("The server sent %1 bytes of the %2 bytes of %3")
                        .arg(received)
                        .arg(size)
                        .arg(remotePath));
    return 1;
}

int SftpClient::DeleteRemoteFile(const QByteArray& remotePath) {
    d->error.clear();
    if (!d->ready()) return 0;
    Impl::Waiting waiting(*d);
    if (sftp_unlink(d->sftp.get(), remotePath.constData()) != SSH_OK)
        return d->failWith(
            QStringLiteral("Could not delete %1 on the server").arg(readableName(remotePath)));
    return 1;
}

int SftpClient::RenameRemoteFile(const QString& from, const QString& to) {
    d->error.clear();
    if (!d->ready()) return 0;
    Impl::Waiting waiting(*d);
    if (sftp_rename(d->sftp.get(), from.toUtf8().constData(), to.toUtf8().constData()) != SSH_OK)
        return d->failWith(QStringLiteral("Could not rename %1 to %2 on the server").arg(from, to));
    return 1;
}

int SftpClient::RemoveRemoteFileIfPresent(const QString& remotePath) {
    if (DeleteRemoteFile(remotePath) == 1) return 1;
    // A file that is already gone is what was asked for.
    const bool gone = d->sftp && ssh_is_connected(d->session.get()) &&
                      sftp_get_error(d->sftp.get()) == SSH_FX_NO_SUCH_FILE;
    if (gone) d->error.clear();
    return gone ? 1 : 0;
}

}  // namespace zv
