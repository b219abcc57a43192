// Tavnet: one TCP connection to the instrument, non-blocking underneath, with
// poll time-outs so that no call can hang on a dead peer.
#include "tavnet.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

struct NetState {
    int fd = -1;
    bool lost = false;  // the peer closed or reset the last connection
    int connectMs = 3000;
    int receiveMs = 3000;
};

NetState g_net;

void closeConnection()
{
    if (g_net.fd >= 0)
        ::close(g_net.fd);
    g_net.fd = -1;
    g_net.lost = false;
}

// The peer hung up, reset the connection or broke it with an error.
void loseConnection()
{
    closeConnection();
    g_net.lost = true;
}

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

// Waits for events on the connection until deadline; > 0 ready, 0 time-out,
// < 0 error. Restarts after signals with the time that is left.
int waitFor(short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd p{g_net.fd, events, 0};
        const int r = ::poll(&p, 1, msLeft(deadline));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return r;
        // Readable covers hang-up and errors too: recv tells which it was.
        if ((p.revents & POLLNVAL) || ((events & POLLOUT) && (p.revents & POLLERR)))
            return -1;
        return 1;
    }
}

// Dotted text with leading zeros ("192.168.001.010") is meant as decimal,
// which the resolver would read as octal.
bool parseDotted(const char *text, in_addr *out)
{
    unsigned part[4];
    char tail;
    if (std::sscanf(text, "%3u.%3u.%3u.%3u%c", &part[0], &part[1], &part[2], &part[3], &tail) != 4)
        return false;
    for (const char *c = text; *c; ++c)
        if (*c != '.' && (*c < '0' || *c > '9'))
            return false;
    for (unsigned p : part)
        if (p > 255)
            return false;
    out->s_addr = htonl(part[0] << 24 | part[1] << 16 | part[2] << 8 | part[3]);
    return true;
}

// One non-blocking connect attempt that gives up at deadline.
int connectOne(const sockaddr *addr, socklen_t len, Clock::time_point deadline)
{
    const int fd = ::socket(addr->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, addr, len) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            ::close(fd);
            return -1;
        }
        for (;;) {
            pollfd p{fd, POLLOUT, 0};
            const int r = ::poll(&p, 1, msLeft(deadline));
            if (r < 0 && errno == EINTR)
                continue;
            int err = 0;
            socklen_t errLen = sizeof err;
            if (r <= 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &errLen) != 0 || err != 0) {
                ::close(fd);
                return -1;
            }
            break;
        }
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

}  // namespace

extern "C" {

TAVNET_API unsigned char InitSocket(void)
{
    closeConnection();
    return 1;
}

TAVNET_API unsigned char DsoConnect(int zero, const char *ip, int port)
{
    closeConnection();
    if (ip == nullptr || *ip == '\0' || port < 1 || port > 65535)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(g_net.connectMs);

    sockaddr_in direct{};
    if (parseDotted(ip, &direct.sin_addr)) {
        direct.sin_family = AF_INET;
        direct.sin_port = htons(uint16_t(port));
        g_net.fd = connectOne(reinterpret_cast<sockaddr *>(&direct), sizeof direct, deadline);
        return g_net.fd >= 0 ? 1 : 0;
    }

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(ip, service.c_str(), &hints, &found) != 0)
        return 0;
    for (addrinfo *a = found; a != nullptr && g_net.fd < 0 && msLeft(deadline) > 0; a = a->ai_next)
        g_net.fd = connectOne(a->ai_addr, a->ai_addrlen, deadline);
    ::freeaddrinfo(found);
    return g_net.fd >= 0 ? 1 : 0;
}

TAVNET_API unsigned char DsoSendData(const unsigned char *buffer, int length, int *sent, int wait)
{
    if (sent)
        *sent = 0;
    if (g_net.fd < 0 || length < 0 || (buffer == nullptr && length > 0))
        return 0;
    // A stalled peer gets as long to take more bytes as a reply gets to come.
    auto deadline = Clock::now() + std::chrono::milliseconds(g_net.receiveMs);
    int done = 0;
    while (done < length) {
        const ssize_t n = ::send(g_net.fd, buffer + done, size_t(length - done), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += int(n);
            if (sent)
                *sent = done;
            deadline = Clock::now() + std::chrono::milliseconds(g_net.receiveMs);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            loseConnection();
            return 0;
        }
        if (!wait)
            break;
        const int r = waitFor(POLLOUT, deadline);
        if (r == 0) {
            // Half a request on the wire would garble the next one.
            if (done > 0)
                loseConnection();
            return 0;
        }
        if (r < 0) {
            loseConnection();
            return 0;
        }
    }
    return 1;
}

TAVNET_API unsigned char DsoRecvData(unsigned char *buffer, int length, int *received, int wait)
{
    if (received)
        *received = 0;
    if (g_net.fd < 0 || length < 0 || (buffer == nullptr && length > 0))
        return 0;
    if (length == 0)
        return 1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(g_net.receiveMs);
    for (;;) {
        const ssize_t n = ::recv(g_net.fd, buffer, size_t(length), MSG_DONTWAIT);
        if (n > 0) {
            if (received)
                *received = int(n);
            return 1;
        }
        if (n == 0) {  // the peer has closed
            loseConnection();
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            loseConnection();
            return 0;
        }
        if (!wait)
            return 1;  // nothing there yet, which is fine without waiting
        const int r = waitFor(POLLIN, deadline);
        if (r == 0)
            return 0;  // time-out; the connection stays for the next request
        if (r < 0) {
            loseConnection();
            return 0;
        }
    }
}

TAVNET_API void DsoCloseSocket(void) { closeConnection(); }

TAVNET_API int DsoConnectionState(void)
{
    if (g_net.fd >= 0)
        return TAVNET_OPEN;
    return g_net.lost ? TAVNET_LOST : TAVNET_CLOSED;
}

TAVNET_API void DsoSetTimeouts(int connectMs, int receiveMs)
{
    if (connectMs > 0)
        g_net.connectMs = connectMs;
    if (receiveMs > 0)
        g_net.receiveMs = receiveMs;
}

}  // extern "C"
