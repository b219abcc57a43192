// The byte pipe under Tavserial: a real serial port through libserialport, or
// a pseudo-terminal (the virtual instrument's line, socat pairs), which
// libserialport refuses to open because a pty has no modem-control lines.
#ifndef TAVSERIAL_SERIAL_LINE_H
#define TAVSERIAL_SERIAL_LINE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tavserial {

class SerialLine {
public:
    virtual ~SerialLine() = default;
    // Writes all bytes within timeoutMs; false on an error or a stall.
    virtual bool writeAll(const uint8_t *data, size_t length, int timeoutMs) = 0;
    // Waits up to timeoutMs (at least 1) for input, then returns what is there,
    // at most max bytes: > 0 bytes read, 0 time-out, < 0 error.
    virtual long readSome(uint8_t *data, size_t max, int timeoutMs) = 0;
    // Drops everything received and not yet read.
    virtual void discardInput() = 0;
};

// True when path names a pseudo-terminal slave (following symlinks).
bool isPseudoTerminal(const std::string &path);

// Opens path as 8N1 without flow control at baud; nullptr when it cannot.
std::unique_ptr<SerialLine> openSerialLine(const std::string &path, int baud);

}  // namespace tavserial

#endif
