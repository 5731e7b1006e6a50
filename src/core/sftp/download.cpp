#include <algorithm>
#include <deque>

#include "base/readable_name.h"
#include "sftp/sftp_session.h"
#include "sftp/transfers.h"

namespace zv {

namespace {

// How often the sink is asked whether its disk still has room.
constexpr qint64 kRoomCheckStep = 1024 * 1024;

// The open file's size, then the reads and the end-of-file check in one flight. Short
// answers are legal: the rest is asked for again.
class Download {
public:
    Download(SftpSession& session, const QByteArray& rawPath, DownloadSink& sink,
             const SftpClient::Progress& progress)
        : session_(session),
          ch_(session.channel()),
          rawPath_(rawPath),
          remotePath_(readableName(rawPath)),
          sink_(sink),
          progress_(progress),
          failed_(QStringLiteral("Downloading %1 failed").arg(remotePath_)) {}

    int run() {
        session_.forgetCode();
        if (!open() || !learnSize()) return 0;
        session_.allow(size_);
        // A failed download leaves nothing behind: the caller keeps the bytes only when whole.
        if (const Status begun = sink_.begin(remotePath_, size_); !begun) {
            ch_.closeWithNext(handle_);
            return session_.fail(begun.reason());
        }
        report(progress_, remotePath_, 0, size_);
        chunk_ = ch_.readLength();
        if (size_ > 0) todo_.push_back({0, size_});
        flight_ = session_.bytesInFlight();
        while (problem_.isEmpty()) {
            askReads();
            if (reads_.empty() || !problem_.isEmpty()) break;
            if (!roomLeft()) break;
            takeReply();
        }
        if (problem_.isEmpty()) checkEnd();
        return finish();
    }

private:
    struct Read {
        uint32_t id;
        qint64 offset;
        uint32_t length;
    };

    // Opened ahead when the previous file's removal carried the request.
    bool open() {
        const std::optional<SftpSession::Prefetch> ahead = session_.takeAhead();
        const Result<wire::Reply> opened =
            ahead ? ch_.wait(ahead->id) : session_.call(wire::kOpen, [&](uint32_t id) {
                return wire::open(id, rawPath_, wire::kOpenRead, 0);
            });
        if (!opened || opened->type != wire::kHandle) {
            (void)session_.isOk(opened);
            return session_.failWith(
                QStringLiteral("Could not open %1 on the server").arg(remotePath_));
        }
        handle_ = opened->bytes;
        return true;
    }

    // The open file's size bounds the download: a listing's may be wrong (a server that
    // lists 0 bytes would otherwise hold back this report at every run) or stale.
    bool learnSize() {
        const Result<wire::Reply> attrs = session_.call(
            wire::kFstat, [&](uint32_t id) { return wire::withHandle(wire::kFstat, id, handle_); });
        if (attrs && attrs->type == wire::kAttrs && attrs->attrs.hasSize())
            size_ = static_cast<qint64>(attrs->attrs.size);
        if (size_ >= 0) return true;
        (void)session_.isOk(attrs);
        ch_.closeWithNext(handle_);
        return attrs && attrs->type == wire::kAttrs
                   ? session_.fail(QStringLiteral("The server did not give the size of %1, so "
                                                  "it was not fetched. Call ZOD")
                                       .arg(remotePath_))
                   : session_.failWith(
                         QStringLiteral("Could not learn the size of %1 on the server")
                             .arg(remotePath_));
    }

    void ask(uint32_t id, wire::Type type, const QByteArray& packet) {
        if (problem_.isEmpty() && !ch_.send(id, type, packet)) problem_ = failed_;
    }

    void stop(const QString& problem) {
        problem_ = problem;
        withReason_ = false;
    }

    // Reads while the flight has room; after the last, one byte at the size (an answer
    // there means the file is longer than the server said).
    void askReads() {
        while (!todo_.empty() && reads_.size() < kMostInFlight && inFlight_ + chunk_ <= flight_ &&
               problem_.isEmpty()) {
            auto& [offset, length] = todo_.front();
            const uint32_t n = static_cast<uint32_t>(std::min<qint64>(chunk_, length));
            const uint32_t id = ch_.nextId();
            ask(id, wire::kRead, wire::read(id, handle_, uint64_t(offset), n));
            reads_.push_back({id, offset, n});
            inFlight_ += n;
            offset += n;
            if ((length -= n) == 0) todo_.pop_front();
        }
        if (!eofId_ && todo_.empty()) {
            eofId_ = ch_.nextId();
            ask(eofId_, wire::kRead, wire::read(eofId_, handle_, uint64_t(size_), 1));
        }
    }

    // False when the sink has no room for the rest (the problem said).
    bool roomLeft() {
        if (received_ < nextRoomCheck_) return true;
        nextRoomCheck_ = received_ + kRoomCheckStep;
        const Status room = sink_.room(size_ - received_);
        if (!room) stop(room.reason());
        return room.ok();
    }

    void takeReply() {
        const Read head = reads_.front();
        reads_.pop_front();
        inFlight_ -= head.length;
        const Result<wire::Reply> reply = ch_.wait(head.id);
        if (reply && reply->type == wire::kData && !reply->bytes.isEmpty() &&
            reply->bytes.size() <= head.length) {
            const qint64 n = reply->bytes.size();
            if (const Status s = sink_.writeAt(head.offset, reply->bytes); !s)
                return stop(s.reason());
            received_ += n;
            report(progress_, remotePath_, received_, size_);
            if (n < head.length) todo_.push_back({head.offset + n, head.length - n});
        } else if (reply && reply->type == wire::kStatus && reply->code == wire::kEof) {
            stop(shortText());
        } else if (reply && reply->type == wire::kData) {
            stop(QStringLiteral("The server sent a malformed answer for %1 (%2 bytes where at "
                                "most %3 were asked for)")
                     .arg(remotePath_)
                     .arg(reply->bytes.size())
                     .arg(head.length));
        } else {
            (void)session_.isOk(reply);
            problem_ = failed_;
        }
    }

    void checkEnd() {
        const Result<wire::Reply> end = ch_.wait(std::exchange(eofId_, 0));
        if (end && end->type == wire::kData) {
            stop(QStringLiteral("%1 on the server is longer than the %2 bytes the server gave as "
                                "its size (it may still be growing); it was not saved and stays "
                                "on the server for the next run")
                     .arg(remotePath_)
                     .arg(size_));
        } else if (!end || end->code != wire::kEof) {
            (void)session_.isOk(end);
            problem_ = failed_;
        }
    }

    int finish() {
        for (const Read& r : reads_) ch_.discard(r.id);
        if (eofId_) ch_.discard(eofId_);
        // The close travels with the next request (the report's removal): everything was
        // read and checked, so its answer changes nothing.
        ch_.closeWithNext(handle_);
        if (!problem_.isEmpty())
            return withReason_ ? session_.failWith(problem_) : session_.fail(problem_);
        if (received_ != size_) return session_.fail(shortText());
        return 1;
    }

    QString shortText() const {
        return QStringLiteral("The server sent %1 bytes of the %2 bytes of %3")
            .arg(received_)
            .arg(size_)
            .arg(remotePath_);
    }

    SftpSession& session_;
    SftpChannel& ch_;
    const QByteArray& rawPath_;
    const QString remotePath_;
    DownloadSink& sink_;
    const SftpClient::Progress& progress_;
    const QString failed_;
    QByteArray handle_;
    qint64 size_ = -1;
    uint32_t chunk_ = 0;
    qint64 flight_ = 0;
    std::deque<std::pair<qint64, qint64>> todo_;  // ranges still to fetch: offset, length
    std::deque<Read> reads_;
    qint64 received_ = 0, inFlight_ = 0, nextRoomCheck_ = 0;
    uint32_t eofId_ = 0;
    QString problem_;
    bool withReason_ = true;
};

}  // namespace

int download(SftpSession& session, const QByteArray& remotePath, DownloadSink& sink,
             const SftpClient::Progress& progress) {
    return Download(session, remotePath, sink, progress).run();
}

}  // namespace zv
