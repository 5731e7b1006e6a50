#include "sftp/idle_watchdog.h"

#include <sys/socket.h>

namespace zv {

IdleWatchdog::IdleWatchdog() : thread_([this](std::stop_token stop) { run(stop); }) {}

IdleWatchdog::~IdleWatchdog() {
    thread_.request_stop();
    thread_.join();
}

void IdleWatchdog::arm(socket_t fd, int idleMs) {
    std::lock_guard lock(mutex_);
    fd_ = fd;
    idle_ = std::chrono::milliseconds(idleMs > 0 ? idleMs : 1);
    deadline_ = Clock::now() + idle_;
    fired_ = false;
    ++generation_;
    wake_.notify_all();
}

void IdleWatchdog::kick() {
    // No wake-up needed: the thread re-reads the deadline when its wait ends.
    std::lock_guard lock(mutex_);
    deadline_ = Clock::now() + idle_;
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

void IdleWatchdog::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        const unsigned generation = generation_;
        const auto changed = [&] { return generation_ != generation; };
        if (fd_ == SSH_INVALID_SOCKET || fired_) {
            wake_.wait(lock, stop, changed);
        } else if (Clock::now() >= deadline_) {
            // The socket stays open (libssh owns and closes it); shutting it down only
            // ends the blocked read. The fd cannot be closed meanwhile: disarm() comes
            // first and needs this lock.
            ::shutdown(fd_, SHUT_RDWR);
            fired_ = true;
        } else {
            wake_.wait_until(lock, stop, deadline_, changed);
        }
    }
}

}  // namespace zv
