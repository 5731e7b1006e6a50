// A link with a fixed one-way delay between two network namespaces, for measuring the
// program on a slow line where the kernel has no netem:
//   zv_delay_line NS_A DEV_A NS_B DEV_B ONE_WAY_MS
// Makes a TUN device DEV_A in namespace NS_A and DEV_B in NS_B (both vanish when this
// program ends), prints "ready", then carries every packet from one to the other after
// ONE_WAY_MS. Packets leave in the order they came: no loss, no reordering.
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

namespace {

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "zv_delay_line: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

long long nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

// The device is made in the namespace the process is in when it asks for it; the
// descriptor keeps it there after the process goes back.
int openTunIn(const std::string& ns, const std::string& dev) {
    const Fd home(::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC));
    const Fd target(::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC));
    if (home.fd < 0 || target.fd < 0) die("network namespace " + ns);
    if (::setns(target.fd, CLONE_NEWNET) != 0) die("entering " + ns);
    const int tun = ::open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (tun < 0) die("/dev/net/tun");
    ifreq req{};
    req.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::snprintf(req.ifr_name, IFNAMSIZ, "%s", dev.c_str());
    if (::ioctl(tun, TUNSETIFF, &req) != 0) die("creating " + dev + " in " + ns);
    if (::setns(home.fd, CLONE_NEWNET) != 0) die("leaving " + ns);
    return tun;
}

struct Packet {
    long long due;
    std::vector<unsigned char> bytes;
};

// One direction of the link: packets read from `from`, written to `to` when due.
struct Lane {
    int from;
    int to;
    std::deque<Packet> queue;
    size_t queued = 0;
};

// Far above what a 50 ms line holds at full speed; past it the lane stops reading and
// the sender's TCP slows down instead of this program growing.
constexpr size_t kMostQueued = 64u << 20;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s NS_A DEV_A NS_B DEV_B ONE_WAY_MS\n", argv[0]);
        return 2;
    }
    const long long delay = std::atoll(argv[5]) * 1000000LL;
    const Fd a(openTunIn(argv[1], argv[2]));
    const Fd b(openTunIn(argv[3], argv[4]));
    Lane lanes[2] = {{a.fd, b.fd, {}, 0}, {b.fd, a.fd, {}, 0}};
    std::printf("ready\n");
    std::fflush(stdout);

    std::vector<unsigned char> buf(65536);
    for (;;) {
        long long now = nowNs();
        long long next = -1;
        pollfd fds[2];
        for (int i = 0; i < 2; ++i) {
            Lane& l = lanes[i];
            fds[i] = {l.from, static_cast<short>(l.queued < kMostQueued ? POLLIN : 0), 0};
            if (!l.queue.empty() && (next < 0 || l.queue.front().due < next))
                next = l.queue.front().due;
        }
        timespec wait{};
        if (next >= 0) {
            const long long left = next > now ? next - now : 0;
            wait = {static_cast<time_t>(left / 1000000000LL),
                    static_cast<long>(left % 1000000000LL)};
        }
        if (::ppoll(fds, 2, next >= 0 ? &wait : nullptr, nullptr) < 0 && errno != EINTR)
            die("poll");
        now = nowNs();
        for (int i = 0; i < 2; ++i) {
            Lane& l = lanes[i];
            while ((fds[i].revents & POLLIN) && l.queued < kMostQueued) {
                const ssize_t n = ::read(l.from, buf.data(), buf.size());
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) break;
                if (n <= 0) die("reading a packet");
                l.queue.push_back({now + delay, {buf.begin(), buf.begin() + n}});
                l.queued += static_cast<size_t>(n);
            }
            while (!l.queue.empty() && l.queue.front().due <= now) {
                const Packet& p = l.queue.front();
                const ssize_t n = ::write(l.to, p.bytes.data(), p.bytes.size());
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) break;  // next turn
                // EIO: the far device is not up yet (the first packets while it is set up).
                if (n < 0 && errno != EIO) die("writing a packet");
                l.queued -= p.bytes.size();
                l.queue.pop_front();
            }
        }
    }
}
