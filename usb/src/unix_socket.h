// Small POSIX helpers shared by the virtual-USB host and device sides.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>

namespace ferrule {

// False when the path does not fit a socket address (it would be cut short).
inline bool makeUnixAddress(const std::string &path, sockaddr_un &addr, socklen_t &len)
{
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.data(), path.size());
    len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd &&o) noexcept : fd_(o.release()) {}
    UniqueFd &operator=(UniqueFd &&o) noexcept
    {
        if (this != &o)
            reset(o.release());
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release()
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// poll() on one descriptor until `deadline`, restarting after signals and
// never giving up before the deadline (poll counts whole milliseconds).
// Returns the revents, 0 on time-out, -1 on error.
inline int pollUntil(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        int ms = left.count() < 0 ? 0 : static_cast<int>(left.count());
        pollfd p{fd, events, 0};
        int rc = ::poll(&p, 1, ms);
        if (rc > 0)
            return p.revents;
        if (rc == 0 && std::chrono::steady_clock::now() >= deadline)
            return 0;
        if (rc < 0 && errno != EINTR)
            return -1;
    }
}

}  // namespace ferrule
