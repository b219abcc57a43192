#include "serial_line.h"

#include <fcntl.h>
#include <libserialport.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace tavserial {
namespace {

using Clock = std::chrono::steady_clock;

// Input dropped by one discard at most, so a chattering line cannot hold us.
constexpr size_t kDiscardLimit = 1 << 20;

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

class PortLine final : public SerialLine {
public:
    explicit PortLine(sp_port *port) : port_(port) {}
    ~PortLine() override
    {
        sp_close(port_);
        sp_free_port(port_);
    }

    bool writeAll(const uint8_t *data, size_t length, int timeoutMs) override
    {
        const int r = sp_blocking_write(port_, data, length, unsigned(timeoutMs > 0 ? timeoutMs : 1));
        return r >= 0 && size_t(r) == length;
    }

    long readSome(uint8_t *data, size_t max, int timeoutMs) override
    {
        // A zero time-out means "forever" to libserialport.
        const int r = sp_blocking_read_next(port_, data, max, unsigned(timeoutMs > 0 ? timeoutMs : 1));
        return r;
    }

    void discardInput() override
    {
        sp_flush(port_, SP_BUF_INPUT);
        uint8_t scratch[512];
        for (size_t dropped = 0; dropped < kDiscardLimit;) {
            const int r = sp_nonblocking_read(port_, scratch, sizeof scratch);
            if (r <= 0)
                break;
            dropped += size_t(r);
        }
    }

private:
    sp_port *port_;
};

class PtyLine final : public SerialLine {
public:
    explicit PtyLine(int fd) : fd_(fd) {}
    ~PtyLine() override { ::close(fd_); }

    bool writeAll(const uint8_t *data, size_t length, int timeoutMs) override
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        size_t done = 0;
        while (done < length) {
            const ssize_t n = ::write(fd_, data + done, length - done);
            if (n > 0) {
                done += size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN)
                return false;
            const int left = msLeft(deadline);
            if (left == 0)
                return false;
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, left) < 0 && errno != EINTR)
                return false;
        }
        return true;
    }

    long readSome(uint8_t *data, size_t max, int timeoutMs) override
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 1);
        for (;;) {
            const ssize_t n = ::read(fd_, data, max);
            if (n > 0)
                return long(n);
            if (n == 0)
                return -1;  // the other side has gone
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                return -1;
            const int left = msLeft(deadline);
            if (left == 0)
                return 0;
            pollfd p{fd_, POLLIN, 0};
            const int r = ::poll(&p, 1, left);
            if (r < 0 && errno != EINTR)
                return -1;
            if (r > 0 && (p.revents & (POLLERR | POLLNVAL)))
                return -1;
            // POLLHUP with nothing to read: the master is closed; the next read
            // reports it (EIO).
        }
    }

    void discardInput() override
    {
        ::tcflush(fd_, TCIFLUSH);
        uint8_t scratch[512];
        for (size_t dropped = 0; dropped < kDiscardLimit;) {
            const ssize_t n = ::read(fd_, scratch, sizeof scratch);
            if (n <= 0)
                break;
            dropped += size_t(n);
        }
    }

private:
    int fd_;
};

std::unique_ptr<SerialLine> openPty(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        ::close(fd);
        return nullptr;
    }
    // Raw 8N1; the speed means nothing on a pty.
    ::cfmakeraw(&t);
    t.c_cflag &= ~tcflag_t(CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PtyLine>(fd);
}

std::unique_ptr<SerialLine> openPort(const std::string &path, int baud)
{
    sp_port *port = nullptr;
    if (sp_get_port_by_name(path.c_str(), &port) != SP_OK)
        return nullptr;
    if (sp_open(port, SP_MODE_READ_WRITE) != SP_OK) {
        sp_free_port(port);
        return nullptr;
    }
    auto line = std::make_unique<PortLine>(port);
    if (sp_set_baudrate(port, baud) != SP_OK || sp_set_bits(port, 8) != SP_OK ||
        sp_set_parity(port, SP_PARITY_NONE) != SP_OK || sp_set_stopbits(port, 1) != SP_OK ||
        sp_set_flowcontrol(port, SP_FLOWCONTROL_NONE) != SP_OK)
        return nullptr;
    // Level shifters on some adapters draw their power from these.
    sp_set_dtr(port, SP_DTR_ON);
    sp_set_rts(port, SP_RTS_ON);
    return line;
}

}  // namespace

bool isPseudoTerminal(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    // Unix98 pty slaves use majors 136 to 143.
    const unsigned m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

std::unique_ptr<SerialLine> openSerialLine(const std::string &path, int baud)
{
    if (path.empty() || baud <= 0)
        return nullptr;
    return isPseudoTerminal(path) ? openPty(path) : openPort(path, baud);
}

}  // namespace tavserial
