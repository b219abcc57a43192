// The transports of the virtual instrument: TCP, a pseudo-terminal serial line
// and the virtual-USB socket, each on its own thread.
#ifndef VSIM_SERVER_H
#define VSIM_SERVER_H

#include <cstdint>
#include <memory>
#include <string>

#include "vsim/instrument.h"

namespace vsim {

class Server {  // runs the transports on their own threads
public:
    explicit Server(Instrument &instrument);
    ~Server();  // stop()
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;
    uint16_t startTcp(const std::string &host = "127.0.0.1", uint16_t port = 0);  // 0 = ephemeral
    std::string startPty();                        // returns the slave device path (Tavserial line form)
    void startUsb(const std::string &socketPath);  // virtual-USB socket (FERRULE_SIM_SOCKET)
    void unplugUsb();                              // remove the socket: a USB removal
    void replugUsb();
    void stop();
    // Pause between the pieces of a PartialWrites reply (default 5 ms).
    void setPieceDelay(int milliseconds);
    // Always true now that the USB device is built in; left for the application's tests that
    // still ask, until they drop the question.
    bool usbAvailable() const { return true; }

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace vsim

#endif
