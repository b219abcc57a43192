#include "peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace linktest {

namespace {

constexpr int kPollMs = 20;

void Pause(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Reads exactly n bytes from a stream, giving up when stop is raised or the
// far end closes.
bool ReadExact(int fd, uint8_t *dst, size_t n, const std::atomic<bool> &stop)
{
    size_t done = 0;
    while (done < n) {
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, kPollMs);
        if (stop)
            return false;
        if (r <= 0)
            continue;
        const ssize_t got = read(fd, dst + done, n - done);
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

void WriteAll(int fd, const uint8_t *src, size_t n)
{
    size_t done = 0;
    while (done < n) {
        const ssize_t put = write(fd, src + done, n - done);
        if (put <= 0)
            return;
        done += size_t(put);
    }
}

void WriteReply(int fd, const Bytes &bytes, const Reply &r)
{
    const size_t piece = r.piece ? r.piece : bytes.size();
    for (size_t at = 0; at < bytes.size(); at += piece) {
        if (at > 0)
            Pause(r.pauseMs);
        WriteAll(fd, bytes.data() + at, std::min(piece, bytes.size() - at));
    }
}

// Serves one connection after another until stopped.
template <typename Serve> void AcceptLoop(int listenFd, const std::atomic<bool> &stop, Serve serve)
{
    while (!stop) {
        pollfd p{listenFd, POLLIN, 0};
        if (poll(&p, 1, kPollMs) <= 0)
            continue;
        const int fd = accept(listenFd, nullptr, nullptr);
        if (fd < 0)
            continue;
        serve(fd);
        close(fd);
    }
}

}  // namespace

void Peer::queue(Reply reply)
{
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.push_back(std::move(reply));
}

void Peer::reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.clear();
    requests_.clear();
    handled_ = 0;
}

std::vector<Bytes> Peer::requests()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool Peer::waitHandled(size_t n, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return handled_ >= n; });
}

Reply Peer::take(const Bytes &request)
{
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
    if (replies_.empty()) {
        Reply none;
        none.silent = true;
        return none;
    }
    Reply r = std::move(replies_.front());
    replies_.pop_front();
    return r;
}

void Peer::handled()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++handled_;
    }
    cv_.notify_all();
}

// ---- TCP -------------------------------------------------------------------

TcpPeer::TcpPeer()
{
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(listen_, 4) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr *>(&a), &len) != 0)
        throw std::runtime_error("tcp peer: cannot listen");
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
}

TcpPeer::~TcpPeer()
{
    stop_ = true;
    thread_.join();
    close(listen_);
}

void TcpPeer::run()
{
    AcceptLoop(listen_, stop_, [this](int fd) { serve(fd); });
}

void TcpPeer::serve(int fd)
{
    for (;;) {
        Bytes request(16);
        if (!ReadExact(fd, request.data(), 16, stop_))
            return;
        const uint32_t n = GetBE32(request, 8);
        if (n > (1u << 20))
            return;
        request.resize(16 + n);
        if (!ReadExact(fd, request.data() + 16, n, stop_))
            return;
        const Reply r = take(request);
        if (!r.silent) {
            WriteReply(fd, r.bytes, r);
            WriteAll(fd, r.trailing.data(), r.trailing.size());
        }
        handled();
        if (r.hangUp)
            return;
    }
}

// ---- virtual USB -------------------------------------------------------------

UsbPeer::UsbPeer(std::string path) : path_(std::move(path))
{
    unlink(path_.c_str());
    listen_ = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path_.c_str(), sizeof a.sun_path - 1);
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(listen_, 2) != 0)
        throw std::runtime_error("usb peer: cannot listen");
    thread_ = std::thread([this] { run(); });
}

UsbPeer::~UsbPeer()
{
    stop_ = true;
    thread_.join();
    close(listen_);
    unlink(path_.c_str());
}

void UsbPeer::run()
{
    AcceptLoop(listen_, stop_, [this](int fd) { serve(fd); });
}

void UsbPeer::serve(int fd)
{
    constexpr size_t kPiece = 512;
    std::deque<Bytes> pending;  // replies waiting to be read, the next one first
    Bytes written;              // write transfer being reassembled
    size_t writeLength = 0, writeCount = 0;
    size_t readCount = 0, readOffset = 0;
    bool reading = false, writing = false;
    uint8_t msg[1 + 600];
    while (!stop_) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kPollMs) <= 0)
            continue;
        const ssize_t got = recv(fd, msg, sizeof msg, 0);
        if (got <= 0)
            return;
        const uint8_t tag = msg[0];
        if (tag == 0x01 && got >= 17 && std::memcmp(msg + 1, "Comm", 4) == 0) {
            const unsigned pipe = msg[5] | (msg[6] << 8);
            const unsigned length = msg[7] | (msg[8] << 8);
            const unsigned count = msg[9] | (msg[10] << 8);
            if (pipe & 0x8000u) {
                reading = true;
                readCount = count;
                readOffset = 0;
            } else {
                writing = true;
                written.clear();
                writeLength = length;
                writeCount = count;
            }
        } else if (tag == 0x03 && writing) {
            written.insert(written.end(), msg + 1, msg + got);
            if (written.size() >= writeLength) {
                writing = false;
                written.resize(writeCount);
                const Reply r = take(written);
                pending.clear();
                if (!r.silent)
                    pending.push_back(r.bytes);
                // Stale bytes on a bulk pipe are a whole further reply.
                if (!r.silent && !r.trailing.empty())
                    pending.push_back(r.trailing);
                handled();
            }
        } else if (tag == 0x82 && reading && !pending.empty()) {
            // Every read starts again at the beginning of the pending reply.
            const Bytes &next = pending.front();
            uint8_t out[1 + kPiece] = {0x82};
            if (readOffset < next.size())
                std::memcpy(out + 1, next.data() + readOffset, std::min(kPiece, next.size() - readOffset));
            send(fd, out, sizeof out, MSG_NOSIGNAL);
            readOffset += kPiece;
            if (readOffset >= readCount) {
                reading = false;
                if (readCount >= next.size())
                    pending.pop_front();
            }
        }
    }
}

// ---- serial line over a pseudo-terminal --------------------------------------

uint32_t Crc32(const uint8_t *data, size_t n)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

Bytes LineForm(const Bytes &frame)
{
    Bytes line(12 + frame.size(), 0);
    line[0] = 0xA5;
    line[1] = 0x5A;
    line[2] = 1;
    PutBE32(line, 4, uint32_t(line.size()));
    std::copy(frame.begin(), frame.end(), line.begin() + 8);
    PutBE32(line, line.size() - 4, Crc32(line.data(), line.size() - 4));
    return line;
}

PtyPeer::PtyPeer()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("pty peer: no pseudo-terminal");
    slave_ = ptsname(master_);
    // Raw on both sides, and the slave kept open so the line never hangs up.
    slaveKeep_ = open(slave_.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    for (int fd : {master_, slaveKeep_}) {
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    thread_ = std::thread([this] { run(); });
}

PtyPeer::~PtyPeer()
{
    stop_ = true;
    thread_.join();
    close(slaveKeep_);
    close(master_);
}

void PtyPeer::run()
{
    Bytes stream;
    uint8_t buf[4096];
    while (!stop_) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, kPollMs) <= 0)
            continue;
        const ssize_t got = read(master_, buf, sizeof buf);
        if (got <= 0)
            continue;
        stream.insert(stream.end(), buf, buf + got);
        for (;;) {
            size_t sync = 0;
            while (sync + 1 < stream.size() && !(stream[sync] == 0xA5 && stream[sync + 1] == 0x5A))
                ++sync;
            stream.erase(stream.begin(), stream.begin() + long(sync));
            if (stream.size() < 8)
                break;
            const uint32_t total = GetBE32(stream, 4);
            if (total < 12 + 16 || total > 12 + 25600) {
                stream.erase(stream.begin());
                continue;
            }
            if (stream.size() < total)
                break;
            Bytes line(stream.begin(), stream.begin() + total);
            stream.erase(stream.begin(), stream.begin() + total);
            if (Crc32(line.data(), total - 4) != GetBE32(line, total - 4))
                continue;
            const Reply r = take(Bytes(line.begin() + 8, line.end() - 4));
            if (!r.silent) {
                WriteReply(master_, r.raw ? r.bytes : LineForm(r.bytes), r);
                const Bytes stale = r.trailing.empty() ? r.trailing : LineForm(r.trailing);
                WriteAll(master_, stale.data(), stale.size());
            }
            handled();
        }
    }
}

}  // namespace linktest
