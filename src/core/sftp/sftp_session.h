#pragma once
// One connection to the server as SftpClient keeps it: libssh's session (connected, its
// host key checked, signed on), the SFTP channel on it, the watchdog that bounds every wait
// on the server, and the words for the latest failure. A live session to the same server
// and account is kept for the next task. Only the sftp folder sees this class.
#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "sftp/idle_watchdog.h"
#include "sftp/sftp_channel.h"
#include "sftp/ssh_handles.h"

namespace zv {

class SftpSession {
public:
    SftpSession();
    ~SftpSession();
    SftpSession(const SftpSession&) = delete;
    SftpSession& operator=(const SftpSession&) = delete;

    int connectTimeoutMs = 5000;
    int idleTimeoutMs = 10000;
    int operationDeadlineMs = 60000;
    QString knownHostsFile;
    // The key's fingerprint when the latest connection was the first and recorded it.
    QString firstContactFingerprint;

    // ---- failures: each returns 0, the failing result of every operation
    int fail(const QString& text);
    // `what` failed, followed by why: libssh's, the channel's or the server's words.
    int failWith(const QString& what);
    const QString& error() const { return error_; }
    void clearError() { error_.clear(); }
    // A reply the caller wanted as an OK status: false (with its code kept) otherwise.
    bool isOk(const Result<wire::Reply>& reply);
    uint32_t lastCode() const { return lastCode_; }
    // A new request: no refusal seen yet.
    void forgetCode() { lastCode_ = wire::kOk; }

    // ---- the connection
    bool connected() const { return session_ != nullptr; }
    int connect(const QString& host, int port);
    // The live session can serve a new opening to this server: alive, quiet (no reply due,
    // nothing unasked for waiting), used lately and its server still trusted.
    bool keepable(const QString& host, int port);
    // ConnectServer kept the session (sign-on and SFTP stand) until StartSftp uses it.
    void keep(bool kept) { keeping_ = kept; }
    bool keeping() const { return keeping_; }
    // The kept session, taken over by StartSftp: true while its channel is still quiet.
    bool takeKept() { return std::exchange(keeping_, false) && channel_ && channel_->quiet(); }
    const QString& host() const { return host_; }
    int port() const { return port_; }
    bool signedOnAs(const QByteArray& digest) const { return digest == signedOnAs_; }
    int signOn(const QString& user, const QString& password, const QByteArray& digest);
    int startChannel();
    void drop();

    // ---- requests
    // Every file operation needs a live SFTP session; says why when there is none.
    bool ready();
    SftpChannel& channel() { return *channel_; }
    bool channelAlive() const { return channel_ && channel_->alive(); }
    // The session can still serve a request: connected, not timed out, its channel open.
    bool usable() const { return session_ && !timedOut_ && channelAlive(); }
    // One request, its reply awaited; the quickest such round trip measures the link.
    Result<wire::Reply> call(wire::Type type, const std::function<QByteArray(uint32_t)>& build);
    // What one transfer keeps in flight: as much as the link holds for its round trip.
    qint64 bytesInFlight() const;
    // Progress on the server: the idle time starts again.
    void kick() { watchdog_.kick(); }
    // The operation has learnt that it moves `bytes`: it gets the time that needs.
    void allow(qint64 bytes) { watchdog_.allow(allowedMs(bytes)); }

    // ---- a file opened ahead for the next fetch (its request is on its way)
    struct Prefetch {
        QByteArray path;
        uint32_t id = 0;
    };
    bool hasAhead() const { return prefetch_.has_value(); }
    void openedAhead(Prefetch ahead) { prefetch_ = std::move(ahead); }
    std::optional<Prefetch> takeAhead() { return std::exchange(prefetch_, std::nullopt); }
    // Any other request than the fetch it was for (`unlessFor`, when given): the file opened
    // ahead is closed again.
    void dropAhead(const QByteArray& unlessFor = {});

    // Arms the watchdog while an operation waits on the server.
    class Waiting {
    public:
        explicit Waiting(SftpSession& session, qint64 bytes = 0);
        ~Waiting();
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;

    private:
        SftpSession& session_;
    };

private:
    // The overall time for an operation that moves `bytes`: the operation deadline, or
    // more for a transfer that needs it at the slowest rate accepted.
    int allowedMs(qint64 bytes) const;
    QString timeoutText() const;
    QString reason() const;  // words for the latest failure
    void setTimeout(int ms);

    QString error_;
    bool timedOut_ = false;
    int overdueAfterMs_ = 0;         // the overall time that ended the session, 0: the idle one
    uint32_t lastCode_ = wire::kOk;  // the status of the latest refused request
    // What the live session is to: a new opening to the same server and account keeps it.
    QString host_;
    int port_ = 0;
    QByteArray signedOnAs_;  // a digest of the user and password that signed on
    bool keeping_ = false;
    std::chrono::steady_clock::time_point lastUsed_;
    std::chrono::microseconds roundTrip_ = std::chrono::microseconds::max();
    std::optional<Prefetch> prefetch_;

    IdleWatchdog watchdog_;  // outlives the session whose socket it may shut down
    ssh::Session session_;   // before the channel: destroyed after it
    std::unique_ptr<SftpChannel> channel_;
};

// The opening every SftpClient operation shares. The latest failure is forgotten at once;
// ready() says why the session cannot serve a file operation; from begin() until end() (or
// the end of the operation) the watchdog bounds every wait on the server, and a file opened
// ahead for another fetch is closed first.
class SftpOperation {
public:
    explicit SftpOperation(SftpSession& session) : session_(session) { session.clearError(); }
    [[nodiscard]] bool ready() { return session_.ready(); }
    // `bytes`: what the operation moves, for its share of time. `fetching`: the file a
    // fetch asks for, whose opening ahead it takes over.
    void begin(qint64 bytes = 0, const QByteArray& fetching = {}) {
        watch(bytes);
        session_.dropAhead(fetching);
    }
    // ready() and begin(): the whole opening of most operations.
    [[nodiscard]] bool start() {
        if (!ready()) return false;
        begin();
        return true;
    }
    // The watchdog alone, for a wait that sends no SFTP request.
    void watch(qint64 bytes = 0) { waiting_.emplace(session_, bytes); }
    void end() { waiting_.reset(); }

private:
    SftpSession& session_;
    std::optional<SftpSession::Waiting> waiting_;
};

// What a sign-on is remembered by: the session is kept for the same user and password only.
QByteArray signOnDigest(const QString& user, const QString& password);

}  // namespace zv
