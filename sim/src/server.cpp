#include "vsim/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <list>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "bytes.h"
#include "transport.h"

namespace vsim {

namespace {

constexpr int kPollMs = 50;

std::runtime_error sysError(const std::string &what) { return std::runtime_error(what + ": " + std::strerror(errno)); }

struct AddrInfoDeleter {
    void operator()(addrinfo *a) const { ::freeaddrinfo(a); }
};
using AddrInfo = std::unique_ptr<addrinfo, AddrInfoDeleter>;

// The IPv4 address the TCP endpoint binds for host (empty: every interface).
AddrInfo resolveListen(const std::string &host, uint16_t port)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE;
    addrinfo *found = nullptr;
    std::string service = std::to_string(port);
    if (::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found) != 0 || !found)
        throw std::runtime_error("cannot resolve " + host);
    return AddrInfo(found);
}

bool isLoopback(const addrinfo &a)
{
    const auto *in = reinterpret_cast<const sockaddr_in *>(a.ai_addr);
    return a.ai_family == AF_INET && (ntohl(in->sin_addr.s_addr) >> 24) == 127;
}

std::string peerText(const sockaddr_in &peer)
{
    char text[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
}

}  // namespace

bool isLoopbackHost(const std::string &host)
{
    try {
        return isLoopback(*resolveListen(host, 0));
    } catch (const std::runtime_error &) {
        return false;
    }
}

// ---- shared by the transports -------------------------------------------

bool Link::pause(int ms) const
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping()) {
        auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::milliseconds::zero())
            return true;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(10)));
    }
    return false;
}

bool Link::writeAll(int fd, const uint8_t *data, size_t length, bool socket) const
{
    size_t done = 0;
    while (done < length) {
        if (stopping())
            return false;
        pollfd p{fd, POLLOUT, 0};
        int r = ::poll(&p, 1, kPollMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return false;
        if (r == 0)
            continue;
        ssize_t n =
            socket ? ::send(fd, data + done, length - done, MSG_NOSIGNAL) : ::write(fd, data + done, length - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

bool Link::deliver(int fd, const std::vector<uint8_t> &wire, const Instrument::Reply &reply, size_t cut,
                   bool socket) const
{
    if (reply.delayMs > 0 && !pause(reply.delayMs))
        return false;
    size_t length = std::min(cut, wire.size());
    if (!reply.partialWrites)
        return writeAll(fd, wire.data(), length, socket);
    // Small, uneven pieces with pauses, as a slow or congested peer would send.
    static constexpr size_t kPieces[] = {1, 7, 3, 64, 13, 250, 5, 1024};
    size_t done = 0;
    for (size_t i = 0; done < length; ++i) {
        size_t piece = std::min(kPieces[i % std::size(kPieces)], length - done);
        if (!writeAll(fd, wire.data() + done, piece, socket))
            return false;
        done += piece;
        if (done < length && !pause(pieceDelay))
            return false;
    }
    return true;
}

// ---- TCP -------------------------------------------------------------------

namespace {

// Reads exactly length bytes; false on hang-up, error or stop.
bool readExact(const Link &link, int fd, uint8_t *out, size_t length)
{
    size_t done = 0;
    while (done < length) {
        if (link.stopping())
            return false;
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, kPollMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return false;
        if (r == 0)
            continue;
        ssize_t n = ::recv(fd, out + done, length - done, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

void serveTcpConnection(const Link &link, Instrument &instrument, int fd)
{
    std::vector<uint8_t> request(kFrameHeader + kMaxPayload);
    for (;;) {
        if (!readExact(link, fd, request.data(), kFrameHeader))
            return;
        uint32_t n = getU32(&request[8]);
        // A stream that has lost its framing cannot be trusted any further.
        if (std::memcmp(request.data(), "DSOPPV20", 8) != 0 || n > kMaxPayload)
            return;
        if (!readExact(link, fd, request.data() + kFrameHeader, n))
            return;
        Instrument::Reply reply = instrument.handle(request.data(), kFrameHeader + n);
        if (reply.drop)
            continue;
        size_t cut = reply.disconnectAfter >= 0 ? size_t(reply.disconnectAfter) : reply.bytes.size();
        if (!link.deliver(fd, reply.bytes, reply, cut, true))
            return;
        if (reply.disconnectAfter >= 0)
            return;
    }
}

}  // namespace

struct TcpEndpoint {
    int listenFd = -1;
    std::thread acceptor;
    struct Connection {
        int fd;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::list<Connection> connections;
    std::mutex mutex;
};

// ---- the server ---------------------------------------------------------------

struct Server::Impl : Link {
    explicit Impl(Instrument &i) : instrument(i) {}
    Instrument &instrument;
    std::list<TcpEndpoint> tcp;
    std::list<PtyEndpoint> pty;
    UsbHandle usb;
    std::mutex mutex;
    std::function<void(const std::string &)> log = [](const std::string &line) {
        std::fprintf(stderr, "vantor-sim: %s\n", line.c_str());
    };

    void acceptLoop(TcpEndpoint &ep);
};

void Server::Impl::acceptLoop(TcpEndpoint &ep)
{
    while (!stopping()) {
        pollfd p{ep.listenFd, POLLIN, 0};
        int r = ::poll(&p, 1, kPollMs);
        if (r <= 0)
            continue;
        sockaddr_in peer{};
        socklen_t peerLen = sizeof peer;
        int fd = ::accept4(ep.listenFd, reinterpret_cast<sockaddr *>(&peer), &peerLen, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(ep.mutex);
        // Reap connections that have ended.
        for (auto it = ep.connections.begin(); it != ep.connections.end();) {
            if (it->done) {
                it->thread.join();
                ::close(it->fd);
                it = ep.connections.erase(it);
            } else {
                ++it;
            }
        }
        // Each connection is a thread and a share of the instrument: a client
        // that opens them without end must not take the server down with it.
        if (ep.connections.size() >= Server::kMaxTcpConnections) {
            log("refused the connection from " + peerText(peer) + ": " + std::to_string(ep.connections.size()) +
                " connections are open already");
            ::close(fd);
            continue;
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        TcpEndpoint::Connection &c = ep.connections.emplace_back();
        c.fd = fd;
        c.thread = std::thread([this, &c] {
            serveTcpConnection(*this, instrument, c.fd);
            ::shutdown(c.fd, SHUT_RDWR);
            c.done = true;
        });
    }
}

Server::Server(Instrument &instrument) : impl_(std::make_unique<Impl>(instrument)) {}

Server::~Server() { stop(); }

void Server::setPieceDelay(int milliseconds) { impl_->pieceDelay = std::max(0, milliseconds); }

uint16_t Server::startTcp(const std::string &host, uint16_t port, bool allowRemote)
{
    AddrInfo found = resolveListen(host, port);
    if (!allowRemote && !isLoopback(*found))
        throw std::invalid_argument((host.empty() ? std::string("every interface") : host) +
                                    " is not a loopback address");
    std::string service = std::to_string(port);
    int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw sysError("socket");
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, 8) != 0) {
        auto e = sysError("bind " + host + ":" + service);
        ::close(fd);
        throw e;
    }
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &len);
    std::lock_guard lock(impl_->mutex);
    impl_->stopFlag = false;
    TcpEndpoint &ep = impl_->tcp.emplace_back();
    ep.listenFd = fd;
    ep.acceptor = std::thread([this, &ep] { impl_->acceptLoop(ep); });
    return ntohs(bound.sin_port);
}

std::string Server::startPty()
{
    std::lock_guard lock(impl_->mutex);
    impl_->stopFlag = false;
    PtyEndpoint &ep = impl_->pty.emplace_back();
    std::string path = openPty(ep);
    ep.thread = std::thread([this, &ep] { servePty(*impl_, impl_->instrument, ep); });
    return path;
}

void Server::startUsb(const std::string &socketPath)
{
    std::lock_guard lock(impl_->mutex);
    impl_->stopFlag = false;
    if (impl_->usb)
        throw std::runtime_error("the USB socket is already served");
    impl_->usb = startUsbEndpoint(*impl_, impl_->instrument, socketPath);
}

void Server::unplugUsb()
{
    std::lock_guard lock(impl_->mutex);
    if (impl_->usb)
        setUsbPlugged(*impl_->usb, false);
}

void Server::replugUsb()
{
    std::lock_guard lock(impl_->mutex);
    if (impl_->usb)
        setUsbPlugged(*impl_->usb, true);
}

bool Server::usbAvailable() const { return usbSupported(); }

void Server::setLog(std::function<void(const std::string &)> log)
{
    std::lock_guard lock(impl_->mutex);
    if (log)
        impl_->log = std::move(log);
}

void Server::stop()
{
    if (!impl_)
        return;
    std::lock_guard lock(impl_->mutex);
    impl_->stopFlag = true;
    for (TcpEndpoint &ep : impl_->tcp) {
        if (ep.acceptor.joinable())
            ep.acceptor.join();
        for (auto &c : ep.connections) {
            ::shutdown(c.fd, SHUT_RDWR);
            if (c.thread.joinable())
                c.thread.join();
            ::close(c.fd);
        }
        ep.connections.clear();
        if (ep.listenFd >= 0)
            ::close(ep.listenFd);
    }
    impl_->tcp.clear();
    for (PtyEndpoint &ep : impl_->pty)
        closePty(ep);
    impl_->pty.clear();
    if (impl_->usb)
        stopUsbEndpoint(*impl_->usb);
    impl_->usb.reset();
}

}  // namespace vsim
