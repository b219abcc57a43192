// The virtual instrument: the same bulk transfers as messages on a Unix
// SOCK_SEQPACKET socket (see ferrule_sim_wire.h).
#include "device.h"
#include "event_thread.h"
#include "ferrule_sim_wire.h"
#include "unix_socket.h"

#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/uio.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <utility>
#include <vector>

namespace ferrule {
namespace {

using Clock = std::chrono::steady_clock;

std::uint8_t endpointOf(Pipe pipe) { return pipe == Pipe::Command ? FERRULE_SIM_EP_COMMAND : FERRULE_SIM_EP_WRITE; }

class SimDevice final : public Device {
public:
    SimDevice(UniqueFd fd, std::string name) : fd_(std::move(fd)), name_(std::move(name)) {}

    const std::string &path() const override { return name_; }
    bool openPipe(Pipe) override { return true; }

    void dropStale() override
    {
        std::uint8_t sink[1 + FERRULE_SIM_PIECE];
        while (::recv(fd_.get(), sink, sizeof sink, MSG_DONTWAIT) > 0) {
        }
    }

    IoResult write(Pipe pipe, const std::uint8_t *data, std::size_t size, std::chrono::milliseconds limit) override
    {
        return send(endpointOf(pipe), data, size, Clock::now() + limit);
    }

    IoResult read(std::uint8_t *data, std::size_t size, std::size_t &got, std::chrono::milliseconds limit) override
    {
        got = 0;
        auto deadline = Clock::now() + limit;
        const std::uint8_t length[2] = {static_cast<std::uint8_t>(size & 0xFF),
                                        static_cast<std::uint8_t>((size >> 8) & 0xFF)};
        if (IoResult r = send(FERRULE_SIM_EP_READ, length, sizeof length, deadline); r != IoResult::Ok)
            return r;
        // Straight into the caller's piece; MSG_TRUNC reports the real
        // length, so an oversized piece fails instead of being cut.
        std::uint8_t endpoint = 0;
        iovec parts[2] = {{&endpoint, 1}, {data, size}};
        msghdr msg{};
        msg.msg_iov = parts;
        msg.msg_iovlen = 2;
        // A piece comes back in tens of microseconds: one receive that waits
        // under the socket's own time-out, not a poll() and then a receive,
        // which doubled the system calls of every piece. After a signal the
        // rest of the time is polled for.
        ssize_t n = -1;
        if (setReceiveLimit(limit)) {
            n = ::recvmsg(fd_.get(), &msg, MSG_TRUNC);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return IoResult::TimedOut;
        }
        while (n < 0) {
            if (errno != EAGAIN && errno != EINTR)
                return IoResult::Failed;
            int ev = pollUntil(fd_.get(), POLLIN, deadline);
            if (ev == 0)
                return IoResult::TimedOut;
            if (ev < 0 || !(ev & POLLIN))
                return IoResult::Failed;
            n = ::recvmsg(fd_.get(), &msg, MSG_TRUNC | MSG_DONTWAIT);
        }
        if (n == 0 || endpoint != FERRULE_SIM_EP_READ || static_cast<std::size_t>(n) > 1 + size)
            return IoResult::Failed;
        got = static_cast<std::size_t>(n) - 1;
        return got == size ? IoResult::Ok : IoResult::Failed;
    }

    bool hungUp() override
    {
        pollfd p{fd_.get(), POLLRDHUP, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLRDHUP | POLLERR));
    }

private:
    // The socket's receive time-out, set when the limit changes. False when
    // it cannot be set (the caller then polls).
    bool setReceiveLimit(std::chrono::milliseconds limit)
    {
        // A zero time-out would mean waiting for ever.
        const auto wait = std::max(std::chrono::microseconds(limit), std::chrono::microseconds(1));
        if (wait == receiveLimit_)
            return true;
        timeval tv{};
        tv.tv_sec = static_cast<time_t>(wait.count() / 1000000);
        tv.tv_usec = static_cast<suseconds_t>(wait.count() % 1000000);
        if (::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
            errno = EAGAIN;
            return false;
        }
        receiveLimit_ = wait;
        return true;
    }

    // One message: the endpoint tag, then the bytes. The socket is tried
    // first and only waited on when it is full.
    IoResult send(std::uint8_t endpoint, const std::uint8_t *data, std::size_t size, Clock::time_point deadline)
    {
        iovec parts[2] = {{&endpoint, 1}, {const_cast<std::uint8_t *>(data), size}};
        msghdr msg{};
        msg.msg_iov = parts;
        msg.msg_iovlen = 2;
        for (;;) {
            ssize_t n = ::sendmsg(fd_.get(), &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n >= 0)
                return static_cast<std::size_t>(n) == 1 + size ? IoResult::Ok : IoResult::Failed;
            if (errno != EAGAIN && errno != EINTR)
                return IoResult::Failed;
            int ev = pollUntil(fd_.get(), POLLOUT, deadline);
            if (ev == 0)
                return IoResult::TimedOut;
            if (ev < 0 || (ev & (POLLHUP | POLLERR)) || !(ev & POLLOUT))
                return IoResult::Failed;
        }
    }

    UniqueFd fd_;
    std::string name_;
    std::chrono::microseconds receiveLimit_{0};
};

// Which socket file sits at the path; inode 0 (never a real one) means none.
// The change time tells a new file from an old one that reuses the inode.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    long changedSec = 0;
    long changedNsec = 0;
    explicit operator bool() const { return ino != 0; }
    bool operator==(const FileId &) const = default;
};

FileId socketFileAt(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
        return {};
    return {st.st_dev, st.st_ino, static_cast<long>(st.st_ctim.tv_sec), st.st_ctim.tv_nsec};
}

// Follows the socket file and the open connection. A file that appears is an
// arrival; a file that goes, or a connection the device hangs up, is a
// removal. After a hang-up the same file does not arrive again: the device
// has to be plugged in anew (a new socket file).
class SimWatch final : public Watch {
public:
    static constexpr std::chrono::milliseconds kTick{20};

    SimWatch(std::string path, NoticeSink sink, HangupProbe probe)
        : wake_(std::make_shared<UniqueFd>(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)))
    {
        std::string name = FERRULE_SIM_NAME_PREFIX + path;
        // Taken now, not when the thread first runs: a device pulled out in
        // between must still be reported.
        FileId initial = socketFileAt(path);
        thread_.emplace(
            [wake = wake_, path, name, initial, sink = std::move(sink),
             probe = std::move(probe)](const std::atomic<bool> &stop) {
                FileId present = initial;
                FileId hungUpFile;
                std::uint64_t reported = 0;
                // A receiver that unloads from its callback hears nothing more.
                auto tell = [&](std::uint32_t event) {
                    if (!stop)
                        sink({event, name});
                };
                while (!stop) {
                    pollfd p{wake->get(), POLLIN, 0};
                    ::poll(&p, 1, static_cast<int>(kTick.count()));
                    if (stop)
                        break;
                    FileId now = socketFileAt(path);
                    if (!now)
                        hungUpFile = {};
                    bool hung = false;
                    std::uint64_t device = probe ? probe(hung) : 0;
                    bool newHangup = hung && device != 0 && device != reported;
                    if (newHangup)
                        reported = device;
                    if (present && (!now || now != present)) {
                        present = {};
                        tell(FERRULE_DEVICE_REMOVE_COMPLETE);
                    } else if (present && newHangup) {
                        hungUpFile = present;
                        present = {};
                        tell(FERRULE_DEVICE_REMOVE_COMPLETE);
                    }
                    if (!present && now && (!hungUpFile || now != hungUpFile)) {
                        present = now;
                        hungUpFile = {};
                        tell(FERRULE_DEVICE_ARRIVAL);
                    }
                }
            },
            [wake = wake_] {
                std::uint64_t one = 1;
                [[maybe_unused]] auto n = ::write(wake->get(), &one, sizeof one);
            });
    }

    bool ok() const { return static_cast<bool>(*wake_); }

private:
    std::shared_ptr<UniqueFd> wake_;
    std::optional<EventThread> thread_;
};

class SimBackend final : public Backend {
public:
    explicit SimBackend(std::string path) : path_(std::move(path)) {}

    std::shared_ptr<Device> findInstrument() override
    {
        sockaddr_un addr{};
        socklen_t len = 0;
        if (!makeUnixAddress(path_, addr, len))
            return nullptr;
        UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
        if (!fd || ::connect(fd.get(), reinterpret_cast<sockaddr *>(&addr), len) != 0)
            return nullptr;
        return std::make_shared<SimDevice>(std::move(fd), FERRULE_SIM_NAME_PREFIX + path_);
    }

    std::unique_ptr<Watch> watch(NoticeSink sink, HangupProbe probe) override
    {
        auto w = std::make_unique<SimWatch>(path_, std::move(sink), std::move(probe));
        if (!w->ok())
            return nullptr;
        return w;
    }

private:
    std::string path_;
};

}  // namespace

std::unique_ptr<Backend> makeSimBackend(std::string socketPath)
{
    return std::make_unique<SimBackend>(std::move(socketPath));
}

}  // namespace ferrule
