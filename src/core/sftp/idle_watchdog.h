#pragma once
// Bounds every wait on the server. The SFTP channel waits for each reply with no time
// limit (the session time-out only covers connecting and signing on), so a server that
// stops answering would hang the caller for good. While armed,
// the watchdog shuts the socket down once no progress was reported for the idle time, or
// once the operation's overall time is up (a server that trickles its answers makes
// progress, but must not hold the program for ever); libssh then sees the connection end
// and the waiting call returns with an error.
#include <libssh/libssh.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zv {

class IdleWatchdog {
public:
    IdleWatchdog();
    ~IdleWatchdog();
    IdleWatchdog(const IdleWatchdog&) = delete;
    IdleWatchdog& operator=(const IdleWatchdog&) = delete;

    // Starts watching the socket; it is shut down after idleMs without kick(), or
    // overallMs after this call whatever the progress.
    void arm(socket_t fd, int idleMs, int overallMs);
    // Progress was made: the idle time starts again.
    void kick();
    // The overall time becomes overallMs after arm(), for an operation that has learnt
    // how much it moves.
    void allow(int overallMs);
    // Stops watching (before the socket may be closed). True when it had fired.
    bool disarm();
    bool fired() const;
    // The overall time that ended the wait when that fired it, else 0.
    int overdueAfterMs() const;

private:
    using Clock = std::chrono::steady_clock;
    void run(std::stop_token stop);

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    socket_t fd_ = SSH_INVALID_SOCKET;
    std::chrono::milliseconds idle_{0};
    Clock::time_point deadline_{};
    Clock::time_point armed_{};
    std::chrono::milliseconds overall_{0};
    bool fired_ = false;
    bool overdue_ = false;
    unsigned generation_ = 0;
    std::jthread thread_;  // last: starts after, and stops before, the state above
};

}  // namespace zv
