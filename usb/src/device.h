// What a backend (libusb or the virtual-USB socket) provides to the transfer
// logic: an opened instrument with three pipes, and a watch for arrival and
// removal that stands in for the device-change notices.
#pragma once

#include "ferrule.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ferrule {

enum class Pipe { Command = 0, Read = 1, Write = 2 };

// Same meaning as the overlapped helpers: only Ok counts as success.
enum class IoResult { Ok = 1, TimedOut = 0, Failed = -1 };

class Device {
public:
    virtual ~Device() = default;
    // The interface name notices carry and ChangeUSBDevice compares.
    virtual const std::string &path() const = 0;
    virtual bool openPipe(Pipe pipe) = 0;
    // A late answer from an earlier, timed-out read must not be taken as data.
    virtual void dropStale() {}
    // The whole buffer or failure; a short write is a failure.
    virtual IoResult write(Pipe pipe, const std::uint8_t *data, std::size_t size, std::chrono::milliseconds limit) = 0;
    // One piece from the read pipe; `got` tells how much came.
    virtual IoResult read(std::uint8_t *data, std::size_t size, std::size_t &got, std::chrono::milliseconds limit) = 0;
    // True once the peer is known to be gone (used by the virtual device watch).
    virtual bool hungUp() { return false; }
};

struct DeviceNotice {
    std::uint32_t event = 0;  // FERRULE_DEVICE_ARRIVAL or FERRULE_DEVICE_REMOVE_COMPLETE
    std::string name;
};

// Builds the broadcast record a notice hands to the notify target.
FerruleDeviceBroadcast makeBroadcast(const std::string &name);

// Delivers notices to the notify target from the watch's own thread.
using NoticeSink = std::function<void(const DeviceNotice &)>;
// Lets the virtual-device watch ask whether the open connection hung up;
// returns an identity of the open device (0: none) and whether it is gone.
using HangupProbe = std::function<std::uint64_t(bool &hungUp)>;

class Watch {
public:
    virtual ~Watch() = default;
};

class Backend {
public:
    virtual ~Backend() = default;
    // The first matching instrument that opens, or null.
    virtual std::shared_ptr<Device> findInstrument() = 0;
    // Null when notices cannot be registered.
    virtual std::unique_ptr<Watch> watch(NoticeSink sink, HangupProbe probe) = 0;
};

std::unique_ptr<Backend> makeLibusbBackend();
std::unique_ptr<Backend> makeSimBackend(std::string socketPath);

}  // namespace ferrule
