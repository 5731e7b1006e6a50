#include <QDir>
#include <cstring>
#include <deque>

#include "sftp/sftp_session.h"
#include "sftp/transfers.h"

namespace zv {

namespace {

// The writes, then the size check and the close, all without waiting: the server handles
// one file's requests in order, so the size it gives is after every write.
class Upload {
public:
    Upload(SftpSession& session, RemoteFile& remote, QFile& local,
           const SftpClient::Progress& progress)
        : session_(session),
          ch_(session.channel()),
          remote_(remote),
          local_(local),
          progress_(progress),
          total_(local.size()),
          chunk_(ch_.writeLength()),
          room_(wire::writeHeader(0, remote.handle, 0, 0).size()),
          buffer_(room_ + static_cast<qsizetype>(chunk_), Qt::Uninitialized),
          flight_(session.bytesInFlight()) {}

    int run() {
        session_.forgetCode();
        report(progress_, remote_.path, 0, total_);
        while (!fstatId_ || !writes_.empty()) {
            if (!fill()) return abandon();
            if (writes_.empty()) break;
            if (!takeReply()) return abandon();
        }
        return checkSize();
    }

private:
    struct Write {
        uint32_t id, length;
    };

    // Sends writes while the flight has room, and after the last one the size check and
    // the close. False when that failed (the failure said).
    bool fill() {
        while (!fstatId_ && writes_.size() < kMostInFlight && inFlight_ + chunk_ <= flight_) {
            // The file is read in behind room for the write's header, so that the request
            // goes out from one buffer without a copy.
            const qint64 n = local_.read(buffer_.data() + room_, chunk_);
            if (n < 0)
                return session_.fail(
                    QStringLiteral("Reading the local file %1 failed: %2")
                        .arg(QDir::toNativeSeparators(local_.fileName()), local_.errorString()));
            const uint32_t id = ch_.nextId();
            if (n == 0) return sendEnd(id);
            const QByteArray header =
                wire::writeHeader(id, remote_.handle, uint64_t(offset_), uint32_t(n));
            std::memcpy(buffer_.data(), header.constData(), size_t(room_));
            if (!ch_.send(id, wire::kWrite, QByteArrayView(buffer_.constData(), room_ + n)))
                return failedWriting();
            writes_.push_back({id, uint32_t(n)});
            offset_ += n;
            inFlight_ += n;
        }
        return true;
    }

    bool sendEnd(uint32_t id) {
        fstatId_ = id;
        remote_.closeId = ch_.nextId();
        if (!ch_.send(fstatId_, wire::kFstat,
                      wire::withHandle(wire::kFstat, fstatId_, remote_.handle)) ||
            !ch_.send(remote_.closeId, wire::kClose,
                      wire::withHandle(wire::kClose, remote_.closeId, remote_.handle)))
            return failedWriting();
        return true;
    }

    bool takeReply() {
        const Write head = writes_.front();
        writes_.pop_front();
        if (!session_.isOk(ch_.wait(head.id))) return failedWriting();
        remote_.sent += head.length;
        inFlight_ -= head.length;
        report(progress_, remote_.path, remote_.sent, total_);
        return true;
    }

    bool failedWriting() {
        return session_.failWith(QStringLiteral("Writing %1 on the server failed after %2 bytes")
                                     .arg(remote_.path)
                                     .arg(remote_.sent));
    }

    // Whatever ends the upload early leaves no answer behind for the next request.
    int abandon() {
        for (const Write& w : writes_) ch_.discard(w.id);
        if (fstatId_) ch_.discard(fstatId_);
        return 0;
    }

    // A server may acknowledge writes it does not keep: its own count of the open file
    // decides, so a short copy is a failed send, not a claim that looks sent. A server
    // that will not tell is not held to it.
    int checkSize() {
        const Result<wire::Reply> attrs = ch_.wait(std::exchange(fstatId_, 0));
        if (!attrs)
            return session_.failWith(
                QStringLiteral("Checking the size of %1 on the server failed").arg(remote_.path));
        if (attrs->type == wire::kAttrs && attrs->attrs.hasSize() &&
            static_cast<qint64>(attrs->attrs.size) != remote_.sent)
            return session_.fail(
                QStringLiteral("The server holds %1 bytes of the %2 bytes sent for %3")
                    .arg(attrs->attrs.size)
                    .arg(remote_.sent)
                    .arg(remote_.path));
        return 1;
    }

    SftpSession& session_;
    SftpChannel& ch_;
    RemoteFile& remote_;
    QFile& local_;
    const SftpClient::Progress& progress_;
    const qint64 total_;
    const uint32_t chunk_;
    const qsizetype room_;
    QByteArray buffer_;
    const qint64 flight_;
    std::deque<Write> writes_;
    qint64 offset_ = 0, inFlight_ = 0;
    uint32_t fstatId_ = 0;
};

}  // namespace

int upload(SftpSession& session, RemoteFile& remote, QFile& local,
           const SftpClient::Progress& progress) {
    return Upload(session, remote, local, progress).run();
}

}  // namespace zv
