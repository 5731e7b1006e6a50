#pragma once
// The three transfers, each a pipeline of requests kept in flight on the session's channel
// (replies are matched by id, so none waits for the one before): the upload, the listing
// of a folder and the download. Each runs inside an operation SftpClient has begun, and
// ends as 1 (or a listing) or as the session's failure.
#include <QByteArray>
#include <QFile>
#include <optional>

#include "sftp/download_sink.h"
#include "sftp/remote_handles.h"
#include "sftp/sftp_client.h"

namespace zv {

class SftpSession;

// Requests in flight in one transfer at most (besides the bytes the link holds).
constexpr int kMostInFlight = 64;

inline void report(const SftpClient::Progress& progress, const QString& name, qint64 done,
                   qint64 total) {
    if (progress) progress(name, done, total);
}

// The whole of `local` written to the server's open file `remote`, the server's own count
// of it checked; the file's close goes out with the check.
int upload(SftpSession& session, RemoteFile& remote, QFile& local,
           const SftpClient::Progress& progress);

// The regular files of `dir`.
std::optional<RemoteListing> readListing(SftpSession& session, const RemoteDir& dir);

// `remotePath` (the server's bytes) whole into `sink`, as long as the open file says it
// is: a listing's size may be wrong or stale.
int download(SftpSession& session, const QByteArray& remotePath, DownloadSink& sink,
             const SftpClient::Progress& progress);

}  // namespace zv
