// Scripted instruments: each answers the link's requests over a real
// transport with the replies a test queued, and records every request frame.
#ifndef TAVLINK_TESTS_PEERS_H
#define TAVLINK_TESTS_PEERS_H

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "frames.h"

namespace linktest {

struct Reply {
    Bytes bytes;          // the reply frame (serial: wrapped in the line form)
    bool silent = false;  // answer nothing
    bool raw = false;     // serial: send bytes as they are, unwrapped
    size_t piece = 0;     // stream transports: write in pieces of this size
    int pauseMs = 0;      // pause between pieces
    bool hangUp = false;  // close the connection after writing
    Bytes trailing;       // stale bytes written right behind the reply (USB: a further reply)
};

inline Reply Send(Bytes bytes)
{
    Reply r;
    r.bytes = std::move(bytes);
    return r;
}

inline Reply Silence()
{
    Reply r;
    r.silent = true;
    return r;
}

class Peer {
public:
    virtual ~Peer() = default;
    void queue(Reply reply);
    void queueFrame(uint8_t command, const Bytes &payload) { queue(Send(Frame(command, payload))); }
    void reset();
    std::vector<Bytes> requests();
    // Waits until the peer has handled n requests (written their replies).
    bool waitHandled(size_t n, int timeoutMs = 3000);

protected:
    Reply take(const Bytes &request);
    void handled();

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Reply> replies_;
    std::vector<Bytes> requests_;
    size_t handled_ = 0;
};

// TCP on 127.0.0.1, ephemeral port; accepts one connection after another.
class TcpPeer : public Peer {
public:
    TcpPeer();
    ~TcpPeer() override;
    uint16_t port() const { return port_; }

private:
    void run();
    void serve(int fd);
    int listen_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Device side of the virtual-USB wire, written from the wire's description.
class UsbPeer : public Peer {
public:
    explicit UsbPeer(std::string path);
    ~UsbPeer() override;
    const std::string &path() const { return path_; }

private:
    void run();
    void serve(int fd);
    std::string path_;
    int listen_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The far end of a pseudo-terminal, speaking the serial line form.
class PtyPeer : public Peer {
public:
    PtyPeer();
    ~PtyPeer() override;
    const std::string &slavePath() const { return slave_; }

private:
    void run();
    int master_ = -1;
    int slaveKeep_ = -1;
    std::string slave_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

uint32_t Crc32(const uint8_t *data, size_t n);
Bytes LineForm(const Bytes &frame);

}  // namespace linktest

#endif
