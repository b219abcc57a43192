#include "emulated_bus.h"

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ferrule::test {
namespace {

// The wire tags of the 1st, 2nd and 3rd endpoint: command, read, write.
constexpr std::uint8_t kWireTag[3] = {FERRULE_SIM_EP_COMMAND, FERRULE_SIM_EP_READ, FERRULE_SIM_EP_WRITE};

std::string hex(const std::vector<std::uint8_t> &bytes)
{
    std::string out;
    char two[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

void le16(std::vector<std::uint8_t> &out, unsigned v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Device, configuration, interface 0 and its bulk endpoints, as sysfs shows them.
std::vector<std::uint8_t> descriptors(const DeviceProfile &s)
{
    std::vector<std::uint8_t> d{18, 1};
    le16(d, 0x0200);
    d.insert(d.end(), {s.deviceClass, 0, 0, 64});
    le16(d, s.vendor);
    le16(d, s.product);
    le16(d, 0x0100);
    d.insert(d.end(), {0, 0, 0, 1});
    d.insert(d.end(), {9, 2});
    le16(d, 9 + 9 + 7 * static_cast<unsigned>(s.endpoints.size()));
    d.insert(d.end(), {1, 1, 0, 0x80, 50});
    d.insert(d.end(), {9, 4, 0, 0, static_cast<std::uint8_t>(s.endpoints.size()), 0xFF, 0, 0, 0});
    for (std::uint8_t ep : s.endpoints) {
        d.insert(d.end(), {7, 5, ep, 2});
        le16(d, 512);
        d.push_back(0);
    }
    return d;
}

UMockdevIoctlData *resolve(UMockdevIoctlData *data, std::size_t offset, std::size_t length)
{
    GError *error = nullptr;
    UMockdevIoctlData *child = umockdev_ioctl_data_resolve(data, offset, length, &error);
    if (error != nullptr)
        g_error_free(error);
    return child;
}

usbdevfs_urb *urbOf(UMockdevIoctlData *data) { return reinterpret_cast<usbdevfs_urb *>(data->data); }

template <class T> T argument(UMockdevIoctlData *arg)
{
    T value{};
    if (UMockdevIoctlData *d = resolve(arg, 0, sizeof(T))) {
        std::memcpy(&value, d->data, sizeof(T));
        umockdev_ioctl_data_unref(d);
    }
    return value;
}

}  // namespace

EmulatedDevice::EmulatedDevice(DeviceProfile profile, unsigned address, std::string firmwarePath)
    : profile_(std::move(profile)), address_(address), firmwarePath_(std::move(firmwarePath))
{
    if (profile_.firmware)
        firmware_ = std::make_unique<SimUsbDevice>(firmwarePath_);
}

std::string EmulatedDevice::interfaceName() const
{
    char name[32];
    std::snprintf(name, sizeof name, "usb:001:%03u", address_);
    return name;
}

void EmulatedDevice::stallNext(std::uint8_t endpoint)
{
    std::lock_guard lock(mutex_);
    stallArmed_.push_back(endpoint);
}

EmulatedDevice::Seen EmulatedDevice::seen() const
{
    std::lock_guard lock(mutex_);
    return seen_;
}

void EmulatedDevice::clearSeen()
{
    std::lock_guard lock(mutex_);
    seen_ = Seen{};
}

void EmulatedDevice::onConnect(UMockdevIoctlBase *, UMockdevIoctlClient *, void *self)
{
    auto *device = static_cast<EmulatedDevice *>(self);
    std::lock_guard lock(device->mutex_);
    ++device->seen_.opens;
}

// Runs on umockdev's own thread, one ioctl at a time.
int EmulatedDevice::onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, void *self)
{
    auto *device = static_cast<EmulatedDevice *>(self);
    std::lock_guard lock(device->mutex_);
    return device->handle(client) ? TRUE : FALSE;
}

bool EmulatedDevice::handle(UMockdevIoctlClient *client)
{
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    auto answer = [client](long result, int error) { umockdev_ioctl_client_complete(client, result, error); };
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES:
        if (UMockdevIoctlData *d = resolve(arg, 0, sizeof(std::uint32_t))) {
            std::uint32_t caps = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                 USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
            std::memcpy(d->data, &caps, sizeof caps);
            umockdev_ioctl_data_unref(d);
        }
        answer(0, 0);
        return true;
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:  // the interface number comes first in both
        seen_.claims.push_back(argument<unsigned>(arg));
        if (!present_)
            answer(-1, ENODEV);
        else
            answer(profile_.claimable ? 0 : -1, profile_.claimable ? 0 : EBUSY);
        return true;
    case USBDEVFS_CLEAR_HALT: {
        auto endpoint = static_cast<std::uint8_t>(argument<unsigned>(arg));
        seen_.clearedHalts.push_back(endpoint);
        halted_.erase(std::remove(halted_.begin(), halted_.end(), endpoint), halted_.end());
        answer(present_ ? 0 : -1, present_ ? 0 : ENODEV);
        return true;
    }
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL: answer(-1, ENODATA); return true;  // no kernel driver to detach or attach
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET: answer(0, 0); return true;
    case USBDEVFS_SUBMITURB: submit(client, arg); return true;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: reap(client, arg); return true;
    case USBDEVFS_DISCARDURB: discard(client, arg); return true;
    default: std::fprintf(stderr, "emulated USB device: ioctl %#lx not emulated\n", request); return false;
    }
}

void EmulatedDevice::submit(UMockdevIoctlClient *client, UMockdevIoctlData *arg)
{
    UMockdevIoctlData *data = resolve(arg, 0, sizeof(usbdevfs_urb));
    if (data == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    usbdevfs_urb *urb = urbOf(data);
    auto at = std::find(profile_.endpoints.begin(), profile_.endpoints.end(), urb->endpoint);
    if (!present_ || urb->type != USBDEVFS_URB_TYPE_BULK || at == profile_.endpoints.end()) {
        umockdev_ioctl_client_complete(client, -1, present_ ? EINVAL : ENODEV);
        umockdev_ioctl_data_unref(data);
        return;
    }
    Pending p{data, urb->endpoint};
    const std::uint8_t tag = kWireTag[std::min<std::ptrdiff_t>(at - profile_.endpoints.begin(), 2)];
    const int length = urb->buffer_length;
    if (auto armed = std::find(stallArmed_.begin(), stallArmed_.end(), p.endpoint); armed != stallArmed_.end()) {
        stallArmed_.erase(armed);
        halted_.push_back(p.endpoint);
    }
    if (std::find(halted_.begin(), halted_.end(), p.endpoint) != halted_.end()) {
        finish(p, -EPIPE, nullptr, 0);
    } else if ((p.endpoint & 0x80) == 0) {
        UMockdevIoctlData *buffer = resolve(data, offsetof(usbdevfs_urb, buffer), std::size_t(length));
        bool sent = buffer != nullptr && (!firmware_ || sendToFirmware(tag, buffer->data, std::size_t(length)));
        if (buffer != nullptr)
            umockdev_ioctl_data_unref(buffer);
        finish(p, sent ? 0 : -ESHUTDOWN, nullptr, sent ? length : 0);
    } else {
        // The piece comes when the firmware answers the IN token, if ever.
        const std::uint8_t token[2] = {static_cast<std::uint8_t>(length & 0xFF),
                                       static_cast<std::uint8_t>((length >> 8) & 0xFF)};
        waitingIn_.push_back(p);
        if (firmware_ && !sendToFirmware(tag, token, sizeof token))
            gone();
    }
    umockdev_ioctl_client_complete(client, 0, 0);
}

void EmulatedDevice::reap(UMockdevIoctlClient *client, UMockdevIoctlData *arg)
{
    pumpFirmware();
    if (done_.empty()) {
        umockdev_ioctl_client_complete(client, -1, present_ ? EAGAIN : ENODEV);
        return;
    }
    Pending p = done_.front();
    done_.pop_front();
    usbdevfs_urb *urb = urbOf(p.urb);
    seen_.urbs.push_back({p.endpoint, urb->buffer_length, urb->status, urb->actual_length});
    UMockdevIoctlData *slot = resolve(arg, 0, sizeof(void *));
    if (slot != nullptr) {
        umockdev_ioctl_data_set_ptr(slot, 0, p.urb);
        umockdev_ioctl_data_unref(slot);
    }
    umockdev_ioctl_client_complete(client, slot != nullptr ? 0 : -1, slot != nullptr ? 0 : EFAULT);
    umockdev_ioctl_data_unref(p.urb);
}

void EmulatedDevice::discard(UMockdevIoctlClient *client, UMockdevIoctlData *arg)
{
    unsigned long address = 0;
    std::memcpy(&address, arg->data, std::min<std::size_t>(sizeof address, std::size_t(arg->data_len)));
    auto it = std::find_if(waitingIn_.begin(), waitingIn_.end(),
                           [address](const Pending &p) { return p.urb->client_addr == address; });
    if (it == waitingIn_.end()) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    Pending p = *it;
    waitingIn_.erase(it);
    ++seen_.discards;
    finish(p, -ENOENT, nullptr, 0);
    umockdev_ioctl_client_complete(client, 0, 0);
}

// Takes the pieces the firmware sent since the last look; each answers the
// oldest IN URB.
void EmulatedDevice::pumpFirmware()
{
    std::uint8_t message[1 + FERRULE_SIM_PIECE + 1];
    while (wire_ >= 0) {
        ssize_t n = ::recv(wire_, message, sizeof message, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n <= 0) {
            gone();
            return;
        }
        if (message[0] != FERRULE_SIM_EP_READ || waitingIn_.empty())
            continue;
        Pending p = waitingIn_.front();
        waitingIn_.pop_front();
        const int got = int(n) - 1;
        if (got > urbOf(p.urb)->buffer_length)
            finish(p, -EOVERFLOW, nullptr, 0);
        else
            finish(p, 0, message + 1, got);
    }
}

void EmulatedDevice::finish(Pending p, int status, const std::uint8_t *data, int actual)
{
    usbdevfs_urb *urb = urbOf(p.urb);
    if (data != nullptr && actual > 0) {
        if (UMockdevIoctlData *buffer =
                resolve(p.urb, offsetof(usbdevfs_urb, buffer), std::size_t(urb->buffer_length))) {
            umockdev_ioctl_data_update(buffer, 0, const_cast<std::uint8_t *>(data), actual);
            umockdev_ioctl_data_unref(buffer);
        }
    }
    urb->status = status;
    urb->actual_length = actual;
    done_.push_back(p);
}

// The device left the bus: what is in flight fails, as the kernel kills it.
void EmulatedDevice::gone()
{
    present_ = false;
    if (wire_ >= 0)
        ::close(wire_);
    wire_ = -1;
    while (!waitingIn_.empty()) {
        Pending p = waitingIn_.front();
        waitingIn_.pop_front();
        finish(p, -ESHUTDOWN, nullptr, 0);
    }
}

bool EmulatedDevice::sendToFirmware(std::uint8_t tag, const std::uint8_t *data, std::size_t size)
{
    if (wire_ < 0) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", firmwarePath_.c_str());
        wire_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (wire_ < 0 || ::connect(wire_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
            gone();
            return false;
        }
    }
    iovec parts[2] = {{&tag, 1}, {const_cast<std::uint8_t *>(data), size}};
    msghdr msg{};
    msg.msg_iov = parts;
    msg.msg_iovlen = 2;
    return ::sendmsg(wire_, &msg, MSG_NOSIGNAL) == ssize_t(1 + size);
}

EmulatedBus::EmulatedBus() : testbed_(umockdev_testbed_new())
{
    // The root hub the devices hang off, never opened.
    DeviceProfile hub{0x1D6B, 0x0002, 9, {0x81}, true, false};
    umockdev_testbed_add_from_string(testbed_,
                                     ("P: /devices/usb1\nN: bus/usb/001/001\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
                                      "E: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=001\nE: DEVNAME=/dev/bus/usb/001/001\n"
                                      "A: busnum=1\\n\nA: devnum=1\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\n"
                                      "H: descriptors=" +
                                      hex(descriptors(hub)) + "\n")
                                         .c_str(),
                                     nullptr);
}

EmulatedBus &EmulatedBus::get()
{
    static EmulatedBus *bus = new EmulatedBus;  // outlives every libusb handle
    return *bus;
}

void EmulatedBus::release()
{
    unplugAll();
    if (testbed_ != nullptr)
        g_object_unref(testbed_);
    testbed_ = nullptr;
}

bool EmulatedBus::preloaded()
{
    const char *preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "libumockdev-preload") != nullptr;
}

std::string EmulatedBus::sysfsPath(const EmulatedDevice &device) const
{
    char path[64];
    // Zero-padded ports keep the sysfs order the order of plugging.
    std::snprintf(path, sizeof path, "/sys/devices/usb1/1-%03u", device.address());
    return path;
}

EmulatedDevice &EmulatedBus::plug(const DeviceProfile &profile)
{
    const unsigned address = nextAddress_++;
    std::string firmwarePath =
        "/tmp/ferrule-usbfs-" + std::to_string(::getpid()) + "-" + std::to_string(address) + ".sock";
    devices_.push_back(std::unique_ptr<EmulatedDevice>(new EmulatedDevice(profile, address, firmwarePath)));
    EmulatedDevice &device = *devices_.back();
    if (device.firmware_ && !device.firmware_->start())
        std::fprintf(stderr, "emulated USB device: no firmware socket at %s\n", firmwarePath.c_str());

    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03u", address);
    device.handler_ = umockdev_ioctl_base_new();
    g_signal_connect(device.handler_, "handle-ioctl", G_CALLBACK(&EmulatedDevice::onIoctl), &device);
    g_signal_connect(device.handler_, "client-connected", G_CALLBACK(&EmulatedDevice::onConnect), &device);
    umockdev_testbed_attach_ioctl(testbed_, node, device.handler_, nullptr);

    char head[512];
    std::snprintf(head, sizeof head,
                  "P: %s\nN: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: BUSNUM=001\n"
                  "E: DEVNUM=%03u\nE: DEVNAME=%s\nE: PRODUCT=%x/%x/100\nA: busnum=1\\n\nA: devnum=%u\\n\n"
                  "A: speed=480\\n\nA: bConfigurationValue=1\\n\n",
                  sysfsPath(device).c_str() + 4, node + 5, address, node, profile.vendor, profile.product, address);
    umockdev_testbed_add_from_string(testbed_, (head + ("H: descriptors=" + hex(descriptors(profile)) + "\n")).c_str(),
                                     nullptr);
    plugged_.push_back(&device);
    return device;
}

void EmulatedBus::unplug(EmulatedDevice &device)
{
    auto it = std::find(plugged_.begin(), plugged_.end(), &device);
    if (it == plugged_.end())
        return;
    plugged_.erase(it);
    {
        std::lock_guard lock(device.mutex_);
        device.gone();
    }
    if (device.firmware_)
        device.firmware_->stop();
    // libudev takes what it needs from the event itself, so the sysfs entry
    // can go at once.
    const std::string path = sysfsPath(device);
    umockdev_testbed_uevent(testbed_, path.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, path.c_str());
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03u", device.address());
    umockdev_testbed_detach_ioctl(testbed_, node, nullptr);
}

void EmulatedBus::unplugAll()
{
    while (!plugged_.empty())
        unplug(*plugged_.back());
}

}  // namespace ferrule::test
