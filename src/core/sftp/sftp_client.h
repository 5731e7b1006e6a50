#pragma once
// The SFTP client component: every server operation the program uses. libssh connects,
// checks the host key and signs on; SFTP itself is our own request layer on a libssh
// channel (sftp_channel.h), so that a transfer keeps many requests in flight.
// No operation throws; a failure is a result code other than 1 or an empty handle,
// and ErrorDetail() then says what went wrong in libssh's (or our) own words.
// Handles are texts; the component owns what they stand for. ConnectServer keeps a live,
// recently used session to the same server (and LoginWithPassword its sign-on for the
// same account), so that the tasks of one run share a connection.
// Inside: known_hosts (the servers' keys), sftp_session (the connection and the opening
// every operation shares), remote_handles (the handle table) and the transfers (upload,
// listing, download).
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "sftp/download_sink.h"

namespace zv {

struct RemoteEntry {
    QString EntryName;  // bare file name, as text (bytes that are not UTF-8 are lost here)
    qint64 EntrySize = 0;
    QByteArray RawName;  // the name's bytes as the server sent them, to ask for it again
};

class RemoteListing {
public:
    RemoteListing() = default;
    explicit RemoteListing(std::vector<RemoteEntry> entries) : entries_(std::move(entries)) {}
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    const RemoteEntry& EntryAt(int index) const { return entries_.at(static_cast<size_t>(index)); }

private:
    std::vector<RemoteEntry> entries_;
};

class SftpClient {
public:
    SftpClient();
    ~SftpClient();
    SftpClient(const SftpClient&) = delete;
    SftpClient& operator=(const SftpClient&) = delete;

    void ConnectTimeoutMs(int ms);
    void IdleTimeoutMs(int ms);
    // The overall time one server operation may take, however steadily the server
    // answers; a transfer gets more when its size needs it at the slowest rate accepted.
    void OperationDeadlineMs(int ms);
    // The file in which the servers' host keys are recorded (first key seen is kept).
    void KnownHostsFile(const QString& path);
    // After ConnectServer: the SHA-256 fingerprint ("SHA256:...") of the server's key when
    // this connection was the first and recorded it, else empty.
    QString FirstContactFingerprint() const;
    // Told, from the thread that runs the transfer, how far an upload or a download has
    // come: the server's name of the file, bytes done, bytes in all. Every transfer
    // reports its start (0 done) and, when whole, its end (done == total).
    using Progress = std::function<void(const QString& name, qint64 done, qint64 total)>;
    void OnProgress(Progress progress);

    [[nodiscard]] int ConnectServer(const QString& host, int port);
    [[nodiscard]] int LoginWithPassword(const QString& user, const QString& password);
    [[nodiscard]] int StartSftp();

    // access "writeOnly", disposition "createTruncate".
    [[nodiscard]] QString OpenRemoteFile(const QString& remotePath, const QString& access,
                                         const QString& disposition);
    // 1 only when the whole local file was written.
    [[nodiscard]] int SendLocalFile(const QString& handle, const QString& localPath);
    [[nodiscard]] QString OpenRemoteDir(const QString& remoteDir);
    // Only the directory's regular files; none when the listing fails.
    [[nodiscard]] std::optional<RemoteListing> ReadRemoteDir(const QString& handle);
    // Downloads into `sink`, 1 only when it was given the whole file; the caller then keeps
    // it. Remote paths are the server's bytes.
    [[nodiscard]] int FetchRemoteFile(const QByteArray& remotePath, DownloadSink& sink);
    // `thenFetch`, when given, is the file the next FetchRemoteFile will ask for: its
    // opening travels with this removal, saving a round trip per file.
    [[nodiscard]] int DeleteRemoteFile(const QByteArray& remotePath,
                                       const QByteArray& thenFetch = {});
    [[nodiscard]] int DeleteRemoteFile(const QString& remotePath) {
        return DeleteRemoteFile(remotePath.toUtf8());
    }
    // For an uploaded file, 1 only when the server then holds as many bytes as were sent.
    [[nodiscard]] int CloseRemoteHandle(const QString& handle);
    QString ErrorDetail() const;
    // After a failure: whether the session can still serve the next request (a refusal of
    // one file), or is gone (cut off, timed out).
    bool SessionUsable() const;

    // Renames with SFTP's own rename, which refuses to replace an existing file (OpenSSH's
    // server and the test server both keep the file already there).
    [[nodiscard]] int RenameRemoteFile(const QString& from, const QString& to);
    // 1 when the file is gone afterwards, also when it was not there at all.
    [[nodiscard]] int RemoveRemoteFileIfPresent(const QString& remotePath);
    // The size of the file the server holds under `remotePath`: -1 when there is none;
    // nothing when the server could not say.
    [[nodiscard]] std::optional<qint64> RemoteFileSize(const QString& remotePath);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace zv
