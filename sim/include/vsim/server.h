// The transports of the virtual instrument: TCP, a pseudo-terminal serial line
// and the virtual-USB socket, each on its own thread.
#ifndef VSIM_SERVER_H
#define VSIM_SERVER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "vsim/instrument.h"

namespace vsim {

// True when host resolves to an IPv4 loopback address (127.0.0.0/8). An empty
// host means every interface, which is not loopback.
bool isLoopbackHost(const std::string &host);

class Server {  // runs the transports on their own threads
public:
    // TCP connections served at once; further ones are closed at once.
    static constexpr std::size_t kMaxTcpConnections = 8;

    explicit Server(Instrument &instrument);
    ~Server();  // stop()
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;
    // 0 = ephemeral. The protocol has no authentication, so a host that is not
    // loopback throws std::invalid_argument unless allowRemote is given.
    uint16_t startTcp(const std::string &host = "127.0.0.1", uint16_t port = 0, bool allowRemote = false);
    std::string startPty();                        // returns the slave device path (Tavserial line form)
    void startUsb(const std::string &socketPath);  // virtual-USB socket (FERRULE_SIM_SOCKET)
    void unplugUsb();                              // remove the socket: a USB removal
    void replugUsb();
    void stop();
    // Pause between the pieces of a PartialWrites reply (default 5 ms).
    void setPieceDelay(int milliseconds);
    bool usbAvailable() const;  // built with the virtual-USB device
    // Where the server's own notices go (a refused connection); standard error
    // by default. Set before starting a transport.
    void setLog(std::function<void(const std::string &)> log);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace vsim

#endif
