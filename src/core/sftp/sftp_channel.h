#pragma once
// The SFTP request/reply engine on one libssh channel: requests go out without waiting,
// each reply is matched to its request by id (a server may answer out of order), and a
// reply nobody waits for any more is dropped when it comes. Once the stream is broken
// (connection lost, a malformed or unexpected reply) every later call fails with the
// same reason: the byte stream can no longer be trusted.
#include <libssh/libssh.h>

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "base/result.h"
#include "sftp/sftp_wire.h"
#include "sftp/ssh_handles.h"

namespace zv {

class IdleWatchdog;

class SftpChannel {
public:
    SftpChannel(ssh_session session, IdleWatchdog& watchdog);
    ~SftpChannel();
    SftpChannel(const SftpChannel&) = delete;
    SftpChannel& operator=(const SftpChannel&) = delete;

    // Opens the channel and its "sftp" subsystem and agrees on version 3. The server's
    // limits are asked for here but only waited on when first needed.
    Status start();
    bool alive() const;
    // Alive with nothing due or unasked for on the way: ready to serve a new task. Reads
    // what the server may have sent meanwhile (its closing of the connection, say).
    bool quiet();
    bool broken() const { return !problem_.isEmpty(); }
    const QString& problem() const { return problem_; }
    bool supports(const char* extension) const;

    // The longest write and read the server takes (its limits, else 32 KiB).
    uint32_t writeLength();
    uint32_t readLength();

    uint32_t nextId() { return nextId_++; }
    // Sends one whole request (a write's header with its data behind it) whose reply
    // will be waited on.
    Status send(uint32_t id, wire::Type type, QByteArrayView packet);
    // The reply to request `id`, reading (and keeping) others that come first.
    Result<wire::Reply> wait(uint32_t id);
    // The reply to `id` is not wanted: dropped now or when it comes.
    void discard(uint32_t id);
    // Closes `handle` with the next request sent, its answer not waited for: a file
    // whose outcome is already known costs no round trip of its own.
    void closeWithNext(QByteArray handle) { toClose_.push_back(std::move(handle)); }

private:
    Status fail(const QString& text);
    Result<wire::Reply> receive();  // one reply off the wire, checked against its request
    Status fill(qsizetype need);    // until `need` bytes are buffered

    ssh_session session_;
    IdleWatchdog& watchdog_;
    ssh::Channel channel_;
    QString problem_;
    wire::Extensions extensions_;
    uint32_t nextId_ = 1;
    uint32_t limitsId_ = 0;  // 0: none asked, or answered
    uint32_t writeLength_ = 32 * 1024, readLength_ = 32 * 1024;
    std::map<uint32_t, uint8_t> awaited_;  // request id -> request type
    std::set<uint32_t> discarded_;
    std::vector<QByteArray> toClose_;
    std::map<uint32_t, wire::Reply> kept_;
    QByteArray buffer_;
    qsizetype begin_ = 0, end_ = 0;
    qsizetype sinceWidened_ = 1 << 30;  // bytes read since the window was widened
};

}  // namespace zv
