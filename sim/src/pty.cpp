// The serial line: a pseudo-terminal whose slave side the host opens as its
// serial port. Frames travel in the line form.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "line.h"
#include "lineform.h"  // Tavserial's codec
#include "transport.h"

namespace vsim {

std::string openPty(PtyEndpoint &ep)
{
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        if (master >= 0)
            ::close(master);
        throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(errno));
    }
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        throw std::runtime_error("pseudo-terminal has no name");
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        ::close(master);
        throw std::runtime_error(std::string("pseudo-terminal slave: ") + std::strerror(errno));
    }
    // Raw bytes both ways until the host sets the line up itself.
    termios t{};
    if (::tcgetattr(slave, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
    }
    ep.master = master;
    ep.slave = slave;
    ep.path = name;
    return ep.path;
}

void servePty(const Link &link, Instrument &instrument, PtyEndpoint &ep)
{
    tavserial::LineParser parser;
    uint8_t buffer[4096];
    while (!link.stopping()) {
        pollfd p{ep.master, POLLIN, 0};
        int r = ::poll(&p, 1, 50);
        if (r < 0 && errno != EINTR)
            return;
        if (r <= 0 || !(p.revents & POLLIN)) {
            if (r > 0 && (p.revents & (POLLHUP | POLLERR)))
                link.pause(20);
            continue;
        }
        ssize_t n = ::read(ep.master, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EIO)) {
            link.pause(20);
            continue;
        }
        if (n <= 0)
            return;
        for (size_t used = 0; used < size_t(n);) {
            used += parser.feed(buffer + used, size_t(n) - used);
            if (parser.status() != tavserial::LineParser::Status::Frame)
                continue;
            auto frame = parser.frame();
            Instrument::Reply reply = instrument.handle(frame.data(), frame.size());
            if (reply.drop)
                continue;
            std::vector<uint8_t> line =
                packLine(reply.bytes, reply.truncatedFrom > 0 ? size_t(reply.truncatedFrom) : 0);
            // A pulled cable: the first bytes of the frame, then silence.
            size_t cut = reply.disconnectAfter >= 0 ? 8 + size_t(reply.disconnectAfter) : line.size();
            if (!link.deliver(ep.master, line, reply, cut, false) && link.stopping())
                return;
        }
    }
}

void closePty(PtyEndpoint &ep)
{
    if (ep.thread.joinable())
        ep.thread.join();
    if (ep.slave >= 0)
        ::close(ep.slave);
    if (ep.master >= 0)
        ::close(ep.master);
    ep.slave = ep.master = -1;
}

}  // namespace vsim
