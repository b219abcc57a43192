// What the transports of the server share; not installed.
#ifndef VSIM_TRANSPORT_H
#define VSIM_TRANSPORT_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "vsim/instrument.h"

namespace vsim {

struct Link {
    std::atomic<bool> stopFlag{false};
    std::atomic<int> pieceDelay{5};
    bool stopping() const { return stopFlag; }
    // Sleeps ms unless the server stops first (false then).
    bool pause(int ms) const;
    bool writeAll(int fd, const uint8_t *data, size_t length, bool socket) const;
    // Sends the first cut bytes of wire after the reply's delay, in pieces when
    // the reply asks for partial writes. False when the peer or the server went.
    bool deliver(int fd, const std::vector<uint8_t> &wire, const Instrument::Reply &reply, size_t cut,
                 bool socket) const;
};

struct PtyEndpoint {
    int master = -1;
    int slave = -1;  // kept open so the line survives a client closing it
    std::string path;
    std::thread thread;
};
std::string openPty(PtyEndpoint &ep);
void servePty(const Link &link, Instrument &instrument, PtyEndpoint &ep);
void closePty(PtyEndpoint &ep);

struct UsbEndpoint;
struct UsbDeleter {
    void operator()(UsbEndpoint *ep) const;
};
using UsbHandle = std::unique_ptr<UsbEndpoint, UsbDeleter>;
UsbHandle startUsbEndpoint(const Link &link, Instrument &instrument, const std::string &path);
void setUsbPlugged(UsbEndpoint &ep, bool plugged);
void stopUsbEndpoint(UsbEndpoint &ep);

}  // namespace vsim

#endif
