// The virtual-USB endpoint: requests arrive as write transfers on pipe 7, the
// reply is read on pipe 8. The host reads the 16-byte header first and then
// the whole frame again from its start, so every read is served from the
// start of the pending reply, and the reply is gone once a read covered it.
// A reply cut short (the truncate fault) is a short transfer, never padding.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "bytes.h"
#include "sim_usb_device.h"
#include "transport.h"

namespace vsim {

namespace {
constexpr uint16_t kWritePipe = 7, kReadPipe = 8;
}

struct UsbEndpoint {
    UsbEndpoint(const Link &l, Instrument &i, const std::string &path) : link(l), instrument(i), device(path) {}
    const Link &link;
    Instrument &instrument;
    ferrule::SimUsbDevice device;
    std::mutex mutex;
    std::vector<uint8_t> request;  // a request still arriving
    std::vector<uint8_t> pending;  // the reply waiting to be read
    int disconnectAfter = -1;
    std::chrono::steady_clock::time_point readyAt{};

    void onWrite(uint16_t pipe, const std::vector<uint8_t> &bytes)
    {
        if (pipe != kWritePipe)
            return;
        std::lock_guard lock(mutex);
        pending.clear();
        request.insert(request.end(), bytes.begin(), bytes.end());
        if (request.size() < kFrameHeader)
            return;
        size_t whole = kFrameHeader + getU32(&request[8]);
        if (std::memcmp(request.data(), "DSOPPV20", 8) != 0 || whole > kFrameHeader + kMaxPayload) {
            request.clear();  // not the start of a frame: the firmware drops it
            return;
        }
        if (request.size() < whole)
            return;
        Instrument::Reply reply = instrument.handle(request.data(), whole);
        request.clear();
        if (reply.drop)
            return;
        pending = std::move(reply.bytes);
        disconnectAfter = reply.disconnectAfter;
        readyAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(reply.delayMs);
    }

    std::optional<std::vector<uint8_t>> onRead(uint16_t pipe, uint16_t count)
    {
        std::unique_lock lock(mutex);
        if (pipe != kReadPipe || pending.empty())
            return std::nullopt;
        auto wait = readyAt - std::chrono::steady_clock::now();
        if (wait > std::chrono::milliseconds::zero()) {
            lock.unlock();
            if (!link.pause(int(std::chrono::ceil<std::chrono::milliseconds>(wait).count())))
                return std::nullopt;
            lock.lock();
            if (pending.empty())
                return std::nullopt;
        }
        size_t n = std::min<size_t>(count, pending.size());
        std::vector<uint8_t> out(pending.begin(), pending.begin() + long(n));
        // The device vanishes part way through the transfer that crosses the cut.
        if (disconnectAfter >= 0 && size_t(disconnectAfter) < n) {
            device.vanishAfterPieces(size_t(disconnectAfter) / FERRULE_SIM_PIECE);
            pending.clear();
            disconnectAfter = -1;
            return out;
        }
        if (count >= pending.size())
            pending.clear();
        return out;
    }
};

bool usbSupported() { return true; }

UsbHandle startUsbEndpoint(const Link &link, Instrument &instrument, const std::string &path)
{
    UsbHandle ep(new UsbEndpoint(link, instrument, path));
    UsbEndpoint *raw = ep.get();
    ep->device.setWriteHandler([raw](uint16_t pipe, const std::vector<uint8_t> &bytes) { raw->onWrite(pipe, bytes); });
    ep->device.setReadHandler([raw](uint16_t pipe, uint16_t count) { return raw->onRead(pipe, count); });
    ep->device.setShortReplies(true);
    if (!ep->device.start())
        throw std::runtime_error("cannot serve the USB socket " + path);
    return ep;
}

void setUsbPlugged(UsbEndpoint &ep, bool plugged)
{
    {
        std::lock_guard lock(ep.mutex);
        ep.pending.clear();
        ep.request.clear();
    }
    if (plugged)
        ep.device.replug();
    else
        ep.device.unplug();
}

void stopUsbEndpoint(UsbEndpoint &ep) { ep.device.stop(); }

void UsbDeleter::operator()(UsbEndpoint *ep) const { delete ep; }

}  // namespace vsim
