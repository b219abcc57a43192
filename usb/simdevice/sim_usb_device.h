// The device side of the virtual-USB wire (ferrule_sim_wire.h): what the
// instrument's firmware does with the bulk transfers Ferrule sends.
//
// start() binds the listening SOCK_SEQPACKET socket (the socket file
// appearing is the device being plugged in) and serves one host connection
// at a time on the device's own thread. Each write transfer is checked,
// reassembled and handed to the write handler; each announced read asks the
// read handler for the transfer's bytes and serves them one 512-byte piece
// per IN token. Anything the firmware would not accept is recorded as a
// framing violation and the transfer in progress is dropped.
//
// Handlers run on the device thread; they must not call back into this
// object's control functions (start, stop, unplug, replug).
#pragma once

#include "ferrule_sim_wire.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ferrule {

class SimUsbDevice {
public:
    // (pipe, the count bytes the host wrote)
    using WriteHandler = std::function<void(std::uint16_t pipe, const std::vector<std::uint8_t> &bytes)>;
    // (pipe without the 0x8000 read flag, count) -> the transfer's bytes.
    // Fewer bytes than count are padded with zeros (or end the transfer short,
    // see setShortReplies), more are cut; nothing means the device has no data
    // and stays silent (the host times out).
    using ReadHandler =
        std::function<std::optional<std::vector<std::uint8_t>>(std::uint16_t pipe, std::uint16_t count)>;

    struct Message {
        std::uint8_t endpoint = 0;
        std::vector<std::uint8_t> payload;
    };
    struct Command {
        std::uint16_t pipe = 0;
        std::uint16_t transferLength = 0;
        std::uint16_t count = 0;
    };
    struct Transfer {
        std::uint16_t pipe = 0;
        std::vector<std::uint8_t> bytes;
    };

    // What the device saw and did, for tests to assert on.
    struct Log {
        std::vector<Message> received;  // every host message, in order (when recording)
        std::vector<Command> commands;  // every well-formed command block
        std::vector<Transfer> writes;   // completed write transfers
        std::vector<Transfer> reads;    // read transfers handed out (bytes as served)
        std::vector<std::string> violations;
        std::size_t handled = 0;  // host messages fully dealt with
        std::size_t inTokens = 0;
        std::size_t piecesServed = 0;  // counted before the host can receive them
        std::size_t piecesSent = 0;    // counted once they are on the wire
        std::size_t connections = 0;   // hosts accepted
        std::size_t hangups = 0;       // hosts that went away
    };

    explicit SimUsbDevice(std::string socketPath);
    ~SimUsbDevice();
    SimUsbDevice(const SimUsbDevice &) = delete;
    SimUsbDevice &operator=(const SimUsbDevice &) = delete;

    const std::string &socketPath() const { return path_; }
    // The interface name Ferrule gives this device ("sim:" + socket path).
    std::string interfaceName() const { return FERRULE_SIM_NAME_PREFIX + path_; }

    void setWriteHandler(WriteHandler handler);
    void setReadHandler(ReadHandler handler);

    // Plugs in; false when the socket cannot be made. The socket file appears
    // only once it accepts connections.
    bool start();
    // Pulls out: closes the connection and the listener, removes the socket file.
    void stop();
    bool plugged() const;
    bool hostConnected() const;
    // Same as stop()/start(), keeping handlers, faults and the log.
    void unplug() { stop(); }
    bool replug() { return start(); }

    // On: a reply shorter than the count asked for is a short transfer, as on
    // a real bulk pipe: its last piece is short (empty when the reply ends on a
    // piece boundary) and nothing follows. Off (the default): it is padded.
    void setShortReplies(bool on);

    // Fault hooks.
    void setStall(bool stalled);                          // ignore IN tokens
    void setReceivePaused(bool paused);                   // stop taking messages (host writes back up)
    void setReplyDelay(std::chrono::milliseconds delay);  // answer IN tokens late
    void serveShortPieceOnce(std::size_t bytes);          // the next piece carries only `bytes`
    // In the next read transfer, after `pieces` pieces were served: close the
    // connection and remove the socket file, as a cable pulled mid-transfer.
    void vanishAfterPieces(std::size_t pieces);
    // Hangs up on the host but stays plugged in (the socket file remains).
    void dropHost();

    // Keeps the byte log of received messages (on by default; benchmarks turn it off).
    void setRecording(bool on);
    // Each list of the log keeps at least the last `entries` (0: all of them);
    // older entries are dropped in batches once there are twice as many.
    void setLogLimit(std::size_t entries);
    Log log() const;
    void clearLog();
    // Waits until `done(log)` holds, at most `limit`; the log is locked meanwhile.
    bool waitFor(const std::function<bool(const Log &)> &done,
                 std::chrono::milliseconds limit = std::chrono::seconds(5)) const;

private:
    void run();
    void handleMessage(const std::uint8_t *data, std::size_t size);
    void handleCommand(const std::uint8_t *data, std::size_t size);
    void handleWritePiece(const std::uint8_t *data, std::size_t size);
    void handleInToken(const std::uint8_t *data, std::size_t size);
    void violation(std::string what);
    void dropConnection();
    void vanish();
    void notify();
    template <class T> void keep(std::vector<T> &entries, T entry);  // mutex_ held

    const std::string path_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Log log_;
    bool recording_ = true;
    std::size_t logLimit_ = 4096;
    WriteHandler onWrite_;
    ReadHandler onRead_;
    bool stalled_ = false;
    bool shortReplies_ = false;
    bool receivePaused_ = false;
    bool dropHostRequested_ = false;
    std::chrono::milliseconds replyDelay_{0};
    std::optional<std::size_t> shortPiece_;
    std::optional<std::size_t> vanishAfter_;
    bool plugged_ = false;
    bool connected_ = false;

    // Device-thread state.
    int listenFd_ = -1;
    int connFd_ = -1;
    int wakeFd_ = -1;
    bool stopRequested_ = false;
    std::optional<Command> writeInProgress_;
    std::vector<std::uint8_t> writeBuffer_;
    std::vector<std::uint8_t> readData_;  // rounded up to whole pieces unless readShort_
    std::size_t readOffset_ = 0;
    bool readPending_ = false;
    bool readShort_ = false;  // the transfer ends early, with a short or empty piece
    std::size_t readPiecesServed_ = 0;
    std::thread thread_;
};

}  // namespace ferrule
