#include "sim_usb_device.h"

#include "command_block.h"
#include "unix_socket.h"

#include <sys/eventfd.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace ferrule {

namespace {
// A long-running instrument must not grow its log without end: past twice
// the limit the older half goes (in one step, so appending stays cheap).
template <class T> void keepLast(std::vector<T> &entries, T entry, std::size_t limit)
{
    if (limit != 0 && entries.size() >= 2 * limit)
        entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(entries.size() - limit));
    entries.push_back(std::move(entry));
}

void poke(int eventFd)
{
    if (eventFd < 0)
        return;
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(eventFd, &one, sizeof one);
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
}  // namespace

SimUsbDevice::SimUsbDevice(std::string socketPath) : path_(std::move(socketPath)) {}

SimUsbDevice::~SimUsbDevice() { stop(); }

void SimUsbDevice::setWriteHandler(WriteHandler handler)
{
    std::lock_guard lock(mutex_);
    onWrite_ = std::move(handler);
}

void SimUsbDevice::setReadHandler(ReadHandler handler)
{
    std::lock_guard lock(mutex_);
    onRead_ = std::move(handler);
}

bool SimUsbDevice::start()
{
    {
        std::lock_guard lock(mutex_);
        if (plugged_)
            return true;
    }
    stop();  // a device that vanished still has its thread to collect

    UniqueFd listener(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!listener || !wake)
        return false;
    // Bound and listening under a temporary name first, then renamed into
    // place, so a host that sees the file appear can connect at once.
    std::string staging = path_ + ".plug";
    sockaddr_un addr{};
    socklen_t len = 0;
    bool staged = makeUnixAddress(staging, addr, len);
    if (!staged && !makeUnixAddress(path_, addr, len))
        return false;
    const std::string &bound = staged ? staging : path_;
    ::unlink(bound.c_str());
    if (::bind(listener.get(), reinterpret_cast<sockaddr *>(&addr), len) != 0)
        return false;
    if (::listen(listener.get(), 4) != 0 || (staged && ::rename(staging.c_str(), path_.c_str()) != 0)) {
        ::unlink(bound.c_str());
        return false;
    }

    std::lock_guard lock(mutex_);
    listenFd_ = listener.release();
    wakeFd_ = wake.release();
    stopRequested_ = false;
    plugged_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void SimUsbDevice::stop()
{
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopRequested_ = true;
        }
        poke(wakeFd_);
        thread_.join();
    }
    std::lock_guard lock(mutex_);
    // The file goes first, so the host sees one removal, not a hang-up of a
    // device that still seems plugged in.
    if (plugged_)
        ::unlink(path_.c_str());
    if (connFd_ >= 0) {
        closeFd(connFd_);
        ++log_.hangups;
    }
    closeFd(listenFd_);
    closeFd(wakeFd_);
    plugged_ = false;
    connected_ = false;
    notify();
}

bool SimUsbDevice::plugged() const
{
    std::lock_guard lock(mutex_);
    return plugged_;
}

bool SimUsbDevice::hostConnected() const
{
    std::lock_guard lock(mutex_);
    return connected_;
}

void SimUsbDevice::setStall(bool stalled)
{
    std::lock_guard lock(mutex_);
    stalled_ = stalled;
}

void SimUsbDevice::setShortReplies(bool on)
{
    std::lock_guard lock(mutex_);
    shortReplies_ = on;
}

void SimUsbDevice::setReceivePaused(bool paused)
{
    std::lock_guard lock(mutex_);
    receivePaused_ = paused;
    poke(wakeFd_);
}

void SimUsbDevice::dropHost()
{
    std::lock_guard lock(mutex_);
    dropHostRequested_ = true;
    poke(wakeFd_);
}

void SimUsbDevice::setReplyDelay(std::chrono::milliseconds delay)
{
    std::lock_guard lock(mutex_);
    replyDelay_ = delay;
}

void SimUsbDevice::serveShortPieceOnce(std::size_t bytes)
{
    std::lock_guard lock(mutex_);
    shortPiece_ = std::min<std::size_t>(bytes, kPiece);
}

void SimUsbDevice::vanishAfterPieces(std::size_t pieces)
{
    std::lock_guard lock(mutex_);
    vanishAfter_ = pieces;
}

void SimUsbDevice::setLogLimit(std::size_t entries)
{
    std::lock_guard lock(mutex_);
    logLimit_ = entries;
}

template <class T> void SimUsbDevice::keep(std::vector<T> &entries, T entry)
{
    keepLast(entries, std::move(entry), logLimit_);
}

void SimUsbDevice::setRecording(bool on)
{
    std::lock_guard lock(mutex_);
    recording_ = on;
}

SimUsbDevice::Log SimUsbDevice::log() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

void SimUsbDevice::clearLog()
{
    std::lock_guard lock(mutex_);
    log_ = Log{};
}

bool SimUsbDevice::waitFor(const std::function<bool(const Log &)> &done, std::chrono::milliseconds limit) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return done(log_); });
}

void SimUsbDevice::notify() { changed_.notify_all(); }

void SimUsbDevice::violation(std::string what)
{
    std::lock_guard lock(mutex_);
    keep(log_.violations, std::move(what));
    notify();
}

// Device thread from here on.

void SimUsbDevice::run()
{
    std::vector<std::uint8_t> buffer(1 + kPiece + 1);
    for (;;) {
        bool paused;
        bool drop;
        {
            std::lock_guard lock(mutex_);
            paused = receivePaused_;
            drop = dropHostRequested_ && connFd_ >= 0;
            dropHostRequested_ = false;
        }
        if (drop)
            dropConnection();
        int watched = connFd_ >= 0 ? (paused ? -1 : connFd_) : listenFd_;
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {watched, POLLIN, 0}};
        int rc = ::poll(fds, 2, -1);
        if (rc < 0 && errno != EINTR)
            return;
        {
            std::lock_guard lock(mutex_);
            if (stopRequested_)
                return;
        }
        if (rc <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            std::uint64_t value;
            [[maybe_unused]] auto n = ::read(wakeFd_, &value, sizeof value);
        }
        if (fds[1].fd < 0 || fds[1].revents == 0)
            continue;
        if (connFd_ < 0) {
            int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            std::lock_guard lock(mutex_);
            connFd_ = fd;
            connected_ = true;
            ++log_.connections;
            writeInProgress_.reset();
            readPending_ = false;
            notify();
            continue;
        }
        ssize_t n = ::recv(connFd_, buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0) {
            dropConnection();
            continue;
        }
        if (static_cast<std::size_t>(n) > buffer.size()) {
            violation("message of " + std::to_string(n) + " bytes");
            continue;
        }
        handleMessage(buffer.data(), static_cast<std::size_t>(n));
    }
}

void SimUsbDevice::dropConnection()
{
    std::lock_guard lock(mutex_);
    closeFd(connFd_);
    connected_ = false;
    ++log_.hangups;
    writeInProgress_.reset();
    readPending_ = false;
    notify();
}

void SimUsbDevice::vanish()
{
    std::lock_guard lock(mutex_);
    ::unlink(path_.c_str());
    if (connFd_ >= 0) {
        closeFd(connFd_);
        ++log_.hangups;
    }
    closeFd(listenFd_);
    plugged_ = false;
    connected_ = false;
    vanishAfter_.reset();
    readPending_ = false;
    notify();
}

void SimUsbDevice::handleMessage(const std::uint8_t *data, std::size_t size)
{
    {
        std::lock_guard lock(mutex_);
        if (recording_)
            keep(log_.received, Message{data[0], std::vector<std::uint8_t>(data + 1, data + size)});
        notify();
    }
    switch (data[0]) {
    case FERRULE_SIM_EP_COMMAND: handleCommand(data + 1, size - 1); break;
    case FERRULE_SIM_EP_WRITE: handleWritePiece(data + 1, size - 1); break;
    case FERRULE_SIM_EP_READ: handleInToken(data + 1, size - 1); break;
    default: violation("message for unknown endpoint " + std::to_string(data[0]));
    }
    std::lock_guard lock(mutex_);
    ++log_.handled;
    notify();
}

void SimUsbDevice::handleCommand(const std::uint8_t *data, std::size_t size)
{
    // A new announcement ends whatever the previous one left behind.
    bool cutShort = writeInProgress_.has_value();
    writeInProgress_.reset();
    readPending_ = false;
    readPiecesServed_ = 0;
    if (cutShort)
        violation("write transfer cut short by a command block");

    if (size != kPacket) {
        violation("command packet of " + std::to_string(size) + " bytes");
        return;
    }
    auto fields = decodeCommandBlock(data, size);
    if (!fields) {
        violation("not a command block");
        return;
    }
    if (std::any_of(data + kCommandBlockSize, data + size, [](std::uint8_t b) { return b != 0; }))
        violation("command packet padding not zero");
    Command cmd{fields->pipe, fields->transferLength, fields->count};
    {
        std::lock_guard lock(mutex_);
        keep(log_.commands, cmd);
        notify();
    }
    if (!transferCountAllowed(cmd.count)) {
        violation("transfer count " + std::to_string(cmd.count) + " out of range");
        return;
    }
    std::uint64_t step = fields->isRead() ? kPiece : kPacket;
    if (cmd.transferLength != roundUp(cmd.count, step)) {
        violation("transfer length " + std::to_string(cmd.transferLength) + " for count " + std::to_string(cmd.count));
        return;
    }
    if (!fields->isRead()) {
        writeInProgress_ = cmd;
        writeBuffer_.clear();
        return;
    }

    ReadHandler handler;
    bool shortReplies;
    {
        std::lock_guard lock(mutex_);
        handler = onRead_;
        shortReplies = shortReplies_;
    }
    std::uint16_t pipe = static_cast<std::uint16_t>(cmd.pipe & ~kReadFlag);
    std::optional<std::vector<std::uint8_t>> bytes;
    if (handler)
        bytes = handler(pipe, cmd.count);
    if (!bytes)
        return;
    readShort_ = shortReplies && bytes->size() < cmd.count;
    if (!readShort_)
        bytes->resize(cmd.count, 0);
    readData_ = *bytes;
    if (!readShort_)
        readData_.resize(cmd.transferLength, 0);
    readOffset_ = 0;
    readPending_ = true;
    std::lock_guard lock(mutex_);
    keep(log_.reads, Transfer{pipe, std::move(*bytes)});
    notify();
}

void SimUsbDevice::handleWritePiece(const std::uint8_t *data, std::size_t size)
{
    if (!writeInProgress_) {
        violation("data piece without an announced write");
        return;
    }
    const Command cmd = *writeInProgress_;
    std::size_t remaining = cmd.transferLength - writeBuffer_.size();
    std::string fault;
    if (size == 0 || size % kPacket != 0 || size > kPiece)
        fault = "data piece of " + std::to_string(size) + " bytes";
    else if (size > remaining)
        fault = "data piece beyond the announced length";
    else if (size < kPiece && size != remaining)
        fault = "short data piece before the end of the transfer";
    if (!fault.empty()) {
        writeInProgress_.reset();
        violation(std::move(fault));
        return;
    }
    writeBuffer_.insert(writeBuffer_.end(), data, data + size);
    if (writeBuffer_.size() < cmd.transferLength)
        return;

    writeInProgress_.reset();
    if (std::any_of(writeBuffer_.begin() + cmd.count, writeBuffer_.end(), [](std::uint8_t b) { return b != 0; }))
        violation("write padding not zero");
    writeBuffer_.resize(cmd.count);
    WriteHandler handler;
    {
        std::lock_guard lock(mutex_);
        handler = onWrite_;
    }
    if (handler)
        handler(cmd.pipe, writeBuffer_);
    std::lock_guard lock(mutex_);
    keep(log_.writes, Transfer{cmd.pipe, writeBuffer_});
    notify();
}

void SimUsbDevice::handleInToken(const std::uint8_t *data, std::size_t size)
{
    std::chrono::milliseconds delay{0};
    bool vanishNow = false;
    {
        std::lock_guard lock(mutex_);
        ++log_.inTokens;
        notify();
        if (stalled_)
            return;
        vanishNow = vanishAfter_ && readPending_ && readPiecesServed_ >= *vanishAfter_;
        delay = replyDelay_;
    }
    if (vanishNow) {
        vanish();
        return;
    }
    if (size != 2 || getLe16(data) != kPiece)
        violation("IN token not asking for one piece");
    if (!readPending_)
        return;  // nothing to send: the host times out, as on a real pipe
    if (delay.count() > 0)
        std::this_thread::sleep_for(delay);

    // A short transfer that ends on a piece boundary still needs its empty
    // piece, or the host could not tell it from a pipe gone silent.
    std::size_t length = std::min(kPiece, readData_.size() - readOffset_);
    std::vector<std::uint8_t> message(1 + length);
    message[0] = FERRULE_SIM_EP_READ;
    std::copy_n(readData_.begin() + static_cast<std::ptrdiff_t>(readOffset_), length, message.begin() + 1);
    readOffset_ += length;
    ++readPiecesServed_;
    if (readOffset_ >= readData_.size() && (!readShort_ || length < kPiece))
        readPending_ = false;
    bool gone = false;
    {
        // The log is brought up to date before the host can see the piece.
        std::lock_guard lock(mutex_);
        if (shortPiece_) {
            message.resize(1 + std::min(*shortPiece_, length));
            shortPiece_.reset();
        }
        ++log_.piecesServed;
        gone = vanishAfter_ && readPiecesServed_ >= *vanishAfter_;
        notify();
    }
    bool sent = ::send(connFd_, message.data(), message.size(), MSG_NOSIGNAL) > 0;
    {
        std::lock_guard lock(mutex_);
        log_.piecesSent += sent ? 1 : 0;
        notify();
    }
    if (gone)
        vanish();
}

}  // namespace ferrule
