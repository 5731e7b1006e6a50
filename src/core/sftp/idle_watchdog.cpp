#include "sftp/idle_watchdog.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

#include <algorithm>

namespace zv {

namespace {
#ifdef _WIN32
constexpr int kBothWays = SD_BOTH;
#else
constexpr int kBothWays = SHUT_RDWR;
#endif
}  // namespace

IdleWatchdog::IdleWatchdog() : thread_([this](std::stop_token stop) { run(stop); }) {}

IdleWatchdog::~IdleWatchdog() {
    thread_.request_stop();
    thread_.join();
}

void IdleWatchdog::arm(socket_t fd, int idleMs, int overallMs) {
    std::lock_guard lock(mutex_);
    fd_ = fd;
    idle_ = std::chrono::milliseconds(idleMs > 0 ? idleMs : 1);
    armed_ = Clock::now();
    deadline_ = armed_ + idle_;
    overall_ = std::chrono::milliseconds(overallMs > 0 ? overallMs : 1);
    fired_ = false;
    overdue_ = false;
    ++generation_;
    wake_.notify_all();
}

void IdleWatchdog::kick() {
    // No wake-up needed: the thread re-reads the deadline when its wait ends.
    std::lock_guard lock(mutex_);
    deadline_ = Clock::now() + idle_;
}

void IdleWatchdog::allow(int overallMs) {
    std::lock_guard lock(mutex_);
    overall_ = std::chrono::milliseconds(overallMs > 0 ? overallMs : 1);
    wake_.notify_all();
}

bool IdleWatchdog::disarm() {
    std::lock_guard lock(mutex_);
    fd_ = SSH_INVALID_SOCKET;
    ++generation_;
    wake_.notify_all();
    return fired_;
}

bool IdleWatchdog::fired() const {
    std::lock_guard lock(mutex_);
    return fired_;
}

int IdleWatchdog::overdueAfterMs() const {
    std::lock_guard lock(mutex_);
    return fired_ && overdue_ ? static_cast<int>(overall_.count()) : 0;
}

void IdleWatchdog::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        const unsigned generation = generation_;
        const auto overall = overall_;
        const auto changed = [&] { return generation_ != generation || overall_ != overall; };
        // A copy: the wait re-reads the time it is given when it wakes, and kick() moves
        // deadline_ with every reply, so waiting on the member would never reach the end.
        const Clock::time_point end = armed_ + overall_;
        const Clock::time_point wakeAt = std::min(deadline_, end);
        if (fd_ == SSH_INVALID_SOCKET || fired_) {
            wake_.wait(lock, stop, changed);
        } else if (Clock::now() >= wakeAt) {
            // The socket stays open (libssh owns and closes it); shutting it down only
            // ends the blocked read. The fd cannot be closed meanwhile: disarm() comes
            // first and needs this lock.
            ::shutdown(fd_, kBothWays);
            fired_ = true;
            overdue_ = Clock::now() >= end;
        } else {
            wake_.wait_until(lock, stop, wakeAt, changed);
        }
    }
}

}  // namespace zv
