#include "sftp/sftp_client.h"

#include <QDir>
#include <QFile>

#include "base/readable_name.h"
#include "sftp/remote_handles.h"
#include "sftp/sftp_session.h"
#include "sftp/transfers.h"

namespace zv {

struct SftpClient::Impl {
    SftpSession session;
    RemoteHandles handles;
    Progress progress;

    // What the session stood for goes with it.
    void dropSession() {
        handles.clear();
        session.drop();
    }

    // An open request: the server's handle, or none with `failed` and why as the error.
    std::optional<QByteArray> open(SftpOperation& op, wire::Type type,
                                   const std::function<QByteArray(uint32_t)>& build,
                                   const QString& failed) {
        if (!op.ready()) return std::nullopt;
        op.begin();
        const Result<wire::Reply> reply = session.call(type, build);
        op.end();
        if (!reply || reply->type != wire::kHandle) {
            (void)session.isOk(reply);
            session.failWith(failed);
            return std::nullopt;
        }
        return reply->bytes;
    }
};

SftpClient::SftpClient() : d(std::make_unique<Impl>()) {}

SftpClient::~SftpClient() = default;

void SftpClient::ConnectTimeoutMs(int ms) { d->session.connectTimeoutMs = ms; }
void SftpClient::IdleTimeoutMs(int ms) { d->session.idleTimeoutMs = ms; }
void SftpClient::OperationDeadlineMs(int ms) { d->session.operationDeadlineMs = ms; }
void SftpClient::KnownHostsFile(const QString& path) { d->session.knownHostsFile = path; }
QString SftpClient::FirstContactFingerprint() const { return d->session.firstContactFingerprint; }
QString SftpClient::ErrorDetail() const { return d->session.error(); }
bool SftpClient::SessionUsable() const { return d->session.usable(); }
void SftpClient::OnProgress(Progress progress) { d->progress = std::move(progress); }

int SftpClient::ConnectServer(const QString& host, int port) {
    SftpOperation op(d->session);
    d->session.firstContactFingerprint.clear();
    if (d->session.hasAhead()) {  // a file opened for a fetch that will not come
        op.begin();
        op.end();
    }
    // A live session to this server is kept: a run's tasks then share one connection.
    d->session.keep(d->session.keepable(host.trimmed(), port));
    if (d->session.keeping()) return 1;
    d->dropSession();
    return d->session.connect(host, port);
}

int SftpClient::LoginWithPassword(const QString& user, const QString& password) {
    SftpOperation op(d->session);
    const QByteArray digest = signOnDigest(user, password);
    if (d->session.keeping()) {
        if (d->session.signedOnAs(digest)) return 1;
        // Another account: a connection signs on once, so it starts afresh.
        const QString host = d->session.host();
        const int port = d->session.port();
        d->dropSession();
        if (d->session.connect(host, port) != 1) return 0;
    }
    return d->session.signOn(user, password, digest);
}

int SftpClient::StartSftp() {
    SftpOperation op(d->session);
    if (!d->session.connected())
        return d->session.fail(QStringLiteral("Not connected to the server"));
    op.begin();
    if (d->session.takeKept()) {
        // Handles left open by an earlier task are closed on the way; their answers are
        // not waited for.
        d->handles.closeAll(d->session.channel());
        return 1;
    }
    d->handles.clear();
    return d->session.startChannel();
}

QString SftpClient::OpenRemoteFile(const QString& remotePath, const QString& access,
                                   const QString& disposition) {
    SftpOperation op(d->session);
    if (access != QLatin1String("writeOnly") || disposition != QLatin1String("createTruncate")) {
        d->session.fail(QStringLiteral("Unsupported way to open %1 (%2, %3)")
                            .arg(remotePath, access, disposition));
        return {};
    }
    const QByteArray path = remotePath.toUtf8();
    const std::optional<QByteArray> opened = d->open(
        op, wire::kOpen,
        [&](uint32_t id) {
            return wire::open(id, path, wire::kOpenWrite | wire::kOpenCreate | wire::kOpenTruncate,
                              0644);
        },
        QStringLiteral("Could not open %1 on the server").arg(remotePath));
    return opened ? d->handles.add(RemoteFile{*opened, remotePath}) : QString();
}

int SftpClient::SendLocalFile(const QString& handle, const QString& localPath) {
    SftpOperation op(d->session);
    if (!op.ready()) return 0;
    RemoteFile* remote = d->handles.file(handle);
    if (!remote)
        return d->session.fail(QStringLiteral("\"%1\" is not an open server file").arg(handle));
    if (remote->closeId)
        return d->session.fail(
            QStringLiteral("%1 on the server is already being closed").arg(remote->path));
    QFile local(localPath);
    if (!local.open(QIODevice::ReadOnly))
        return d->session.fail(QStringLiteral("Cannot read the local file %1: %2")
                                   .arg(QDir::toNativeSeparators(localPath), local.errorString()));
    op.begin(local.size());
    return upload(d->session, *remote, local, d->progress);
}

int SftpClient::CloseRemoteHandle(const QString& handle) {
    SftpOperation op(d->session);
    if (handle.isEmpty()) return d->session.fail(QStringLiteral("No handle was given to close"));
    const std::optional<RemoteHandle> entry = d->handles.take(handle);
    if (!entry)
        return d->session.fail(
            QStringLiteral("\"%1\" is not an open server file or folder").arg(handle));
    if (!op.start()) return 0;
    return closeRemote(d->session, *entry);
}

QString SftpClient::OpenRemoteDir(const QString& remoteDir) {
    SftpOperation op(d->session);
    const QByteArray path = remoteDir.toUtf8();
    const std::optional<QByteArray> opened = d->open(
        op, wire::kOpendir, [&](uint32_t id) { return wire::withPath(wire::kOpendir, id, path); },
        QStringLiteral("Could not open the server folder %1").arg(remoteDir));
    return opened ? d->handles.add(RemoteDir{*opened, remoteDir}) : QString();
}

std::optional<RemoteListing> SftpClient::ReadRemoteDir(const QString& handle) {
    SftpOperation op(d->session);
    if (!op.ready()) return std::nullopt;
    const RemoteDir* dir = d->handles.dir(handle);
    if (!dir) {
        d->session.fail(QStringLiteral("\"%1\" is not an open server folder").arg(handle));
        return std::nullopt;
    }
    op.begin();
    return readListing(d->session, *dir);
}

int SftpClient::FetchRemoteFile(const QByteArray& remotePath, DownloadSink& sink) {
    SftpOperation op(d->session);
    if (!op.ready()) return 0;
    op.begin(0, remotePath);
    return download(d->session, remotePath, sink, d->progress);
}

int SftpClient::DeleteRemoteFile(const QByteArray& remotePath, const QByteArray& thenFetch) {
    SftpOperation op(d->session);
    if (!op.start()) return 0;
    SftpChannel& ch = d->session.channel();
    const uint32_t id = ch.nextId();
    d->session.forgetCode();
    Status sent = ch.send(id, wire::kRemove, wire::withPath(wire::kRemove, id, remotePath));
    if (sent && !thenFetch.isEmpty()) {
        const uint32_t openId = ch.nextId();
        sent = ch.send(openId, wire::kOpen, wire::open(openId, thenFetch, wire::kOpenRead, 0));
        if (sent) d->session.openedAhead({thenFetch, openId});
    }
    if (!d->session.isOk(sent ? ch.wait(id) : Result<wire::Reply>::failure(sent.reason())))
        return d->session.failWith(
            QStringLiteral("Could not delete %1 on the server").arg(readableName(remotePath)));
    return 1;
}

int SftpClient::RenameRemoteFile(const QString& from, const QString& to) {
    SftpOperation op(d->session);
    if (!op.start()) return 0;
    const QByteArray fromBytes = from.toUtf8(), toBytes = to.toUtf8();
    if (!d->session.isOk(d->session.call(
            wire::kRename, [&](uint32_t id) { return wire::rename(id, fromBytes, toBytes); })))
        return d->session.failWith(
            QStringLiteral("Could not rename %1 to %2 on the server").arg(from, to));
    return 1;
}

std::optional<qint64> SftpClient::RemoteFileSize(const QString& remotePath) {
    SftpOperation op(d->session);
    if (!op.start()) return std::nullopt;
    d->session.forgetCode();
    const QByteArray path = remotePath.toUtf8();
    const Result<wire::Reply> attrs = d->session.call(
        wire::kStat, [&](uint32_t id) { return wire::withPath(wire::kStat, id, path); });
    if (attrs && attrs->type == wire::kAttrs && attrs->attrs.hasSize())
        return static_cast<qint64>(attrs->attrs.size);
    if (attrs && attrs->type == wire::kStatus && attrs->code == wire::kNoSuchFile) return -1;
    (void)d->session.isOk(attrs);
    d->session.failWith(
        QStringLiteral("Could not learn the size of %1 on the server").arg(remotePath));
    return std::nullopt;
}

int SftpClient::RemoveRemoteFileIfPresent(const QString& remotePath) {
    if (DeleteRemoteFile(remotePath) == 1) return 1;
    // A file that is already gone is what was asked for.
    const bool gone = d->session.channelAlive() && d->session.lastCode() == wire::kNoSuchFile;
    if (gone) d->session.clearError();
    return gone ? 1 : 0;
}

}  // namespace zv
