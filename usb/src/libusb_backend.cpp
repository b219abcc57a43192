// The instrument on a real bus: libusb, interface 0, its first three endpoints.
#include "device.h"
#include "device_match.h"
#include "event_thread.h"

#include <libusb.h>

#include <cstdio>
#include <deque>
#include <mutex>
#include <vector>

namespace ferrule {
namespace {

// One context for the life of the process: device handles and the hotplug
// watch outlive any single Load/Unload pair.
libusb_context *context()
{
    static libusb_context *ctx = [] {
        libusb_context *c = nullptr;
        return libusb_init(&c) == 0 ? c : nullptr;
    }();
    return ctx;
}

std::string interfaceName(libusb_device *dev)
{
    char name[32];
    std::snprintf(name, sizeof name, "usb:%03u:%03u", libusb_get_bus_number(dev), libusb_get_device_address(dev));
    return name;
}

std::vector<std::uint8_t> rawDescriptor(const libusb_device_descriptor &d)
{
    return {d.bLength,
            d.bDescriptorType,
            static_cast<std::uint8_t>(d.bcdUSB & 0xFF),
            static_cast<std::uint8_t>(d.bcdUSB >> 8),
            d.bDeviceClass,
            d.bDeviceSubClass,
            d.bDeviceProtocol,
            d.bMaxPacketSize0,
            static_cast<std::uint8_t>(d.idVendor & 0xFF),
            static_cast<std::uint8_t>(d.idVendor >> 8),
            static_cast<std::uint8_t>(d.idProduct & 0xFF),
            static_cast<std::uint8_t>(d.idProduct >> 8),
            static_cast<std::uint8_t>(d.bcdDevice & 0xFF),
            static_cast<std::uint8_t>(d.bcdDevice >> 8),
            d.iManufacturer,
            d.iProduct,
            d.iSerialNumber,
            d.bNumConfigurations};
}

IoResult fromLibusb(int rc, int transferred, std::size_t wanted)
{
    if (rc == LIBUSB_ERROR_TIMEOUT)
        return IoResult::TimedOut;
    if (rc != 0 || transferred < 0 || static_cast<std::size_t>(transferred) != wanted)
        return IoResult::Failed;
    return IoResult::Ok;
}

unsigned timeoutMs(std::chrono::milliseconds limit)
{
    // libusb reads 0 as "wait forever".
    return limit.count() < 1 ? 1u : static_cast<unsigned>(limit.count());
}

class UsbDevice final : public Device {
public:
    UsbDevice(libusb_device_handle *handle, std::string name, std::vector<std::uint8_t> endpoints)
        : handle_(handle), name_(std::move(name)), endpoints_(std::move(endpoints))
    {
    }

    ~UsbDevice() override
    {
        libusb_release_interface(handle_, 0);
        libusb_close(handle_);
    }

    const std::string &path() const override { return name_; }

    bool openPipe(Pipe pipe) override
    {
        auto index = static_cast<std::size_t>(pipe);
        if (index >= endpoints_.size())
            return false;
        bool in = (endpoints_[index] & LIBUSB_ENDPOINT_IN) != 0;
        return in == (pipe == Pipe::Read);
    }

    IoResult write(Pipe pipe, const std::uint8_t *data, std::size_t size, std::chrono::milliseconds limit) override
    {
        int transferred = 0;
        int rc = bulk(endpoints_.at(static_cast<std::size_t>(pipe)), const_cast<std::uint8_t *>(data), size,
                      transferred, limit);
        return fromLibusb(rc, transferred, size);
    }

    IoResult read(std::uint8_t *data, std::size_t size, std::size_t &got, std::chrono::milliseconds limit) override
    {
        int transferred = 0;
        int rc = bulk(endpoints_.at(static_cast<std::size_t>(Pipe::Read)), data, size, transferred, limit);
        got = transferred > 0 ? static_cast<std::size_t>(transferred) : 0;
        return fromLibusb(rc, transferred, size);
    }

private:
    // A stalled endpoint stays halted, failing every later transfer until the
    // instrument is replugged, unless the host clears the halt: this transfer
    // fails, the next one gets a working pipe.
    int bulk(std::uint8_t endpoint, std::uint8_t *data, std::size_t size, int &transferred,
             std::chrono::milliseconds limit)
    {
        int rc = libusb_bulk_transfer(handle_, endpoint, data, static_cast<int>(size), &transferred, timeoutMs(limit));
        if (rc == LIBUSB_ERROR_PIPE)
            libusb_clear_halt(handle_, endpoint);
        return rc;
    }

    libusb_device_handle *handle_;
    std::string name_;
    std::vector<std::uint8_t> endpoints_;
};

std::shared_ptr<Device> openCandidate(libusb_device *dev)
{
    libusb_device_handle *handle = nullptr;
    if (libusb_open(dev, &handle) != 0)
        return nullptr;
    libusb_set_auto_detach_kernel_driver(handle, 1);
    if (libusb_claim_interface(handle, 0) != 0) {
        libusb_close(handle);
        return nullptr;
    }
    // A pipe whose endpoint is missing simply fails to open, as a missing
    // driver pipe would.
    std::vector<std::uint8_t> endpoints;
    libusb_config_descriptor *config = nullptr;
    if (libusb_get_active_config_descriptor(dev, &config) == 0) {
        if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
            const libusb_interface_descriptor &alt = config->interface[0].altsetting[0];
            for (int i = 0; i < alt.bNumEndpoints && i < 3; ++i)
                endpoints.push_back(alt.endpoint[i].bEndpointAddress);
        }
        libusb_free_config_descriptor(config);
    }
    return std::make_shared<UsbDevice>(handle, interfaceName(dev), std::move(endpoints));
}

struct HotplugShared {
    std::mutex mutex;
    std::deque<DeviceNotice> queue;
};

int LIBUSB_CALL onHotplug(libusb_context *, libusb_device *dev, libusb_hotplug_event event, void *user)
{
    auto *shared = static_cast<HotplugShared *>(user);
    DeviceNotice notice;
    notice.event =
        event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED ? FERRULE_DEVICE_ARRIVAL : FERRULE_DEVICE_REMOVE_COMPLETE;
    notice.name = interfaceName(dev);
    std::lock_guard lock(shared->mutex);
    shared->queue.push_back(std::move(notice));
    return 0;  // stay registered
}

// Notices are queued by the libusb callback and handed on outside libusb's
// event handling, so a receiver may call back into Ferrule straight away.
class HotplugWatch final : public Watch {
public:
    explicit HotplugWatch(NoticeSink sink) : shared_(std::make_shared<HotplugShared>())
    {
        libusb_context *ctx = context();
        int events = LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT;
        if (libusb_hotplug_register_callback(
                ctx, static_cast<libusb_hotplug_event>(events), static_cast<libusb_hotplug_flag>(0), kVendorId,
                kProductId, LIBUSB_HOTPLUG_MATCH_ANY, onHotplug, shared_.get(), &handle_) != LIBUSB_SUCCESS)
            return;
        registered_ = true;
        thread_ = std::make_unique<EventThread>(
            [ctx, shared = shared_, sink = std::move(sink)](const std::atomic<bool> &stop) {
                while (!stop) {
                    timeval tv{0, 200000};
                    libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
                    std::deque<DeviceNotice> ready;
                    {
                        std::lock_guard lock(shared->mutex);
                        ready.swap(shared->queue);
                    }
                    for (const auto &notice : ready)
                        if (!stop)
                            sink(notice);
                }
            },
            [ctx] { libusb_interrupt_event_handler(ctx); });
    }

    ~HotplugWatch() override
    {
        if (registered_)
            libusb_hotplug_deregister_callback(context(), handle_);
        thread_.reset();
    }

    bool ok() const { return registered_; }

private:
    std::shared_ptr<HotplugShared> shared_;
    libusb_hotplug_callback_handle handle_{};
    bool registered_ = false;
    std::unique_ptr<EventThread> thread_;
};

class LibusbBackend final : public Backend {
public:
    std::shared_ptr<Device> findInstrument() override
    {
        libusb_context *ctx = context();
        if (ctx == nullptr)
            return nullptr;
        libusb_device **list = nullptr;
        ssize_t n = libusb_get_device_list(ctx, &list);
        if (n < 0)
            return nullptr;
        std::shared_ptr<Device> found;
        CandidateProbe probe{[&](std::size_t i) -> std::optional<std::vector<std::uint8_t>> {
                                 libusb_device_descriptor d{};
                                 if (libusb_get_device_descriptor(list[i], &d) != 0)
                                     return std::nullopt;
                                 return rawDescriptor(d);
                             },
                             [&](std::size_t i) {
                                 found = openCandidate(list[i]);
                                 return found != nullptr;
                             }};
        findFirstInstrument(static_cast<std::size_t>(n), probe);
        libusb_free_device_list(list, 1);
        return found;
    }

    std::unique_ptr<Watch> watch(NoticeSink sink, HangupProbe) override
    {
        if (context() == nullptr || !libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG))
            return nullptr;
        auto w = std::make_unique<HotplugWatch>(std::move(sink));
        if (!w->ok())
            return nullptr;
        return w;
    }
};

}  // namespace

std::unique_ptr<Backend> makeLibusbBackend() { return std::make_unique<LibusbBackend>(); }

}  // namespace ferrule
