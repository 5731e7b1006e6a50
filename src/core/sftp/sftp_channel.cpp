#include "sftp/sftp_channel.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

#include "sftp/idle_watchdog.h"

namespace zv {

namespace {

// What every server must take; OpenSSH says more in its limits.
constexpr uint32_t kPlainLength = 32 * 1024;
// OpenSSH's own largest read and write (it drops the connection above 262,119 bytes).
constexpr uint32_t kLargestLength = 261120;
// Replies are read into this much room. libssh 0.10 offers the server as large a window
// as the room asked for, so this is also how much the server may have on the way: its
// default window (about 1.28 MB) caps a download near 10 MB/s at 50 ms.
constexpr qsizetype kBuffer = 4 * 1024 * 1024;
constexpr uint32_t kVersion = 3;
// What one read takes from libssh between two widenings.
constexpr qsizetype kStep = 256 * 1024;

// Which replies a request may get.
bool fits(uint8_t request, uint8_t reply) {
    if (reply == wire::kStatus) return true;
    switch (request) {
        case wire::kOpen:
        case wire::kOpendir:
            return reply == wire::kHandle;
        case wire::kRead:
            return reply == wire::kData;
        case wire::kReaddir:
            return reply == wire::kName;
        case wire::kFstat:
        case wire::kStat:
        case wire::kLstat:
            return reply == wire::kAttrs;
        case wire::kExtended:
            return reply == wire::kExtendedReply;
        default:
            return false;
    }
}

}  // namespace

SftpChannel::SftpChannel(ssh_session session, IdleWatchdog& watchdog)
    : session_(session), watchdog_(watchdog) {}

SftpChannel::~SftpChannel() = default;

Status SftpChannel::fail(const QString& text) {
    if (problem_.isEmpty()) problem_ = text;
    return zv::fail(problem_);
}

Status SftpChannel::start() {
    channel_.reset(ssh_channel_new(session_));
    if (!channel_) return fail(QString::fromUtf8(ssh_get_error(session_)));
    if (ssh_channel_open_session(channel_.get()) != SSH_OK ||
        ssh_channel_request_subsystem(channel_.get(), "sftp") != SSH_OK)
        return fail(QStringLiteral("The server did not start its file transfer (SFTP) service (%1)")
                        .arg(QString::fromUtf8(ssh_get_error(session_))));
    buffer_.resize(kBuffer);
    const QByteArray hello = wire::init(kVersion);
    if (ssh_channel_write(channel_.get(), hello.constData(), uint32_t(hello.size())) !=
        hello.size())
        return fail(
            QStringLiteral("Connection lost (%1)").arg(QString::fromUtf8(ssh_get_error(session_))));
    awaited_[0] = wire::kInit;  // the version reply has no id: it stands as 0
    const Result<wire::Reply> version = wait(0);
    if (!version) return zv::fail(version.reason());
    if (version->version != kVersion)
        return fail(QStringLiteral("The server speaks SFTP version %1, not %2")
                        .arg(version->version)
                        .arg(kVersion));
    extensions_ = version->extensions;
    if (supports("limits@openssh.com")) {
        limitsId_ = nextId();
        if (const Status sent = send(limitsId_, wire::kExtended, wire::limits(limitsId_)); !sent)
            return sent;
    }
    return {};
}

bool SftpChannel::alive() const {
    return !broken() && channel_ && ssh_channel_is_open(channel_.get()) &&
           !ssh_channel_is_eof(channel_.get()) && ssh_is_connected(session_);
}

bool SftpChannel::quiet() {
    if (!alive() || !awaited_.empty() || !kept_.empty() || end_ > begin_) return false;
    // Nothing is due, so anything there now is the connection ending or a stray reply.
    return ssh_channel_poll_timeout(channel_.get(), 0, 0) == 0 && alive();
}

bool SftpChannel::supports(const char* extension) const {
    return std::any_of(extensions_.begin(), extensions_.end(),
                       [&](const auto& e) { return e.first == extension; });
}

uint32_t SftpChannel::writeLength() {
    readLength();  // learns the limits
    return writeLength_;
}

uint32_t SftpChannel::readLength() {
    if (limitsId_ == 0) return readLength_;
    const uint32_t id = std::exchange(limitsId_, 0);
    const Result<wire::Reply> reply = wait(id);
    // Without an answer the plain lengths stay: every server takes them.
    if (!reply || reply->type != wire::kExtendedReply) return readLength_;
    const Result<wire::Limits> limits = wire::parseLimits(reply->bytes);
    if (!limits) return readLength_;
    const auto pick = [&](uint64_t given) {
        uint64_t n = given == 0 ? kPlainLength : std::min<uint64_t>(given, kLargestLength);
        // Room for the request's own fields in the largest packet it allows.
        if (limits->maxPacket > 1024) n = std::min<uint64_t>(n, limits->maxPacket - 1024);
        return static_cast<uint32_t>(std::max<uint64_t>(n, 512));
    };
    writeLength_ = pick(limits->maxWrite);
    readLength_ = pick(limits->maxRead);
    return readLength_;
}

Status SftpChannel::send(uint32_t id, wire::Type type, QByteArrayView packet) {
    if (broken()) return zv::fail(problem_);
    for (QByteArray& handle : std::exchange(toClose_, {})) {
        const uint32_t closeId = nextId();
        if (const Status sent =
                send(closeId, wire::kClose, wire::withHandle(wire::kClose, closeId, handle));
            !sent)
            return sent;
        discarded_.insert(closeId);
    }
    const char* p = packet.data();
    qsizetype left = packet.size();
    while (left > 0) {
        const int n = ssh_channel_write(channel_.get(), p, static_cast<uint32_t>(left));
        if (n <= 0)
            return fail(QStringLiteral("Connection lost (%1)")
                            .arg(QString::fromUtf8(ssh_get_error(session_))));
        p += n;
        left -= n;
        watchdog_.kick();
    }
    awaited_[id] = type;
    return {};
}

Status SftpChannel::fill(qsizetype need) {
    while (end_ - begin_ < need) {
        if (broken()) return zv::fail(problem_);
        // Asking for much room lets the server send that much ahead (libssh widens the
        // window to it), but each widening is a packet of its own: once per quarter.
        const bool widen = sinceWidened_ >= kBuffer / 4;
        if (end_ == begin_) begin_ = end_ = 0;
        if (begin_ > 0 && (widen || kBuffer - begin_ < need)) {
            std::memmove(buffer_.data(), buffer_.constData() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        const qsizetype room = kBuffer - end_;
        const int n =
            ssh_channel_read(channel_.get(), buffer_.data() + end_,
                             static_cast<uint32_t>(widen ? room : std::min(room, kStep)), 0);
        sinceWidened_ = widen ? 0 : sinceWidened_ + std::max(n, 0);
        if (n > 0) {
            end_ += n;
            watchdog_.kick();
        } else if (n < 0 || ssh_channel_is_eof(channel_.get()) || !ssh_is_connected(session_)) {
            const QString why = QString::fromUtf8(ssh_get_error(session_));
            return fail(why.isEmpty() ? QStringLiteral("Connection lost")
                                      : QStringLiteral("Connection lost (%1)").arg(why));
        }
    }
    return {};
}

Result<wire::Reply> SftpChannel::receive() {
    using R = Result<wire::Reply>;
    if (const Status s = fill(4); !s) return R::failure(s.reason());
    const Result<uint32_t> length =
        wire::packetLength(QByteArrayView(buffer_.constData() + begin_, 4));
    if (!length) return R::failure(fail(length.reason()).reason());
    if (const Status s = fill(4 + qsizetype(*length)); !s) return R::failure(s.reason());
    Result<wire::Reply> reply =
        wire::parseReply(QByteArrayView(buffer_.constData() + begin_ + 4, *length));
    begin_ += 4 + qsizetype(*length);
    if (!reply) return R::failure(fail(reply.reason()).reason());
    const uint32_t id = reply->type == wire::kVersion ? 0 : reply->id;
    const auto it = awaited_.find(id);
    if (it == awaited_.end() || (id == 0) != (reply->type == wire::kVersion) ||
        (id != 0 && !fits(it->second, reply->type)))
        return R::failure(
            fail(QStringLiteral("The server sent an answer that fits no question asked")).reason());
    awaited_.erase(it);
    return reply;
}

Result<wire::Reply> SftpChannel::wait(uint32_t id) {
    if (const auto kept = kept_.find(id); kept != kept_.end()) {
        wire::Reply reply = std::move(kept->second);
        kept_.erase(kept);
        return reply;
    }
    if (!awaited_.contains(id))
        return Result<wire::Reply>::failure(
            broken() ? problem_ : QStringLiteral("No answer is awaited for this request"));
    for (;;) {
        Result<wire::Reply> reply = receive();
        if (!reply) return reply;
        const uint32_t got = reply->type == wire::kVersion ? 0 : reply->id;
        if (got == id) return reply;
        if (!discarded_.erase(got)) kept_.emplace(got, std::move(reply.value()));
    }
}

void SftpChannel::discard(uint32_t id) {
    if (kept_.erase(id) == 0 && awaited_.contains(id)) discarded_.insert(id);
}

}  // namespace zv
