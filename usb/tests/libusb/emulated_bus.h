// An emulated USB bus for the real libusb: umockdev's testbed stands in for
// sysfs, udev and the usbdevfs device nodes (the test runs under its preload
// library), and each device answers usbdevfs ioctls itself. Bulk URBs on an
// instrument's three endpoints are carried to a SimUsbDevice, the firmware of
// the virtual-USB wire, so the firmware checks every byte that libusb moves.
//
// What the kernel does and the emulation keeps: a claim can be refused, a
// stalled endpoint fails every URB with EPIPE until CLEAR_HALT, a URB that is
// discarded is reaped with ENOENT, and a device that is gone fails its URBs
// with ESHUTDOWN and every later ioctl with ENODEV. What it cannot do: make the
// device node report POLLERR when the device goes (umockdev's node is a
// socket), so libusb learns of a removal from the URBs and the uevent only.
#pragma once

#include "sim_usb_device.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace ferrule::test {

struct DeviceProfile {
    std::uint16_t vendor = 0xF4EC;
    std::uint16_t product = 0xEE38;
    std::uint8_t deviceClass = 0;
    // Interface 0's endpoints in descriptor order.
    std::vector<std::uint8_t> endpoints{0x01, 0x82, 0x03};
    bool claimable = true;  // false: another program holds interface 0
    bool firmware = true;   // carry bulk URBs to a SimUsbDevice
};

class EmulatedDevice {
public:
    struct Urb {
        std::uint8_t endpoint = 0;
        int length = 0;  // what was asked for
        int status = 0;  // 0 or a negative errno, as reaped
        int actual = 0;
        bool operator==(const Urb &) const = default;
    };
    struct Seen {
        unsigned opens = 0;  // device node opened
        std::vector<unsigned> claims;
        std::vector<std::uint8_t> clearedHalts;
        unsigned discards = 0;
        std::vector<Urb> urbs;  // in the order they were reaped
    };

    const DeviceProfile &profile() const { return profile_; }
    unsigned address() const { return address_; }
    // The interface name Ferrule gives it: "usb:001:NNN".
    std::string interfaceName() const;
    // Null without firmware.
    SimUsbDevice *firmware() { return firmware_.get(); }

    // The next URB on endpoint stalls it, until the host clears the halt.
    void stallNext(std::uint8_t endpoint);
    Seen seen() const;
    void clearSeen();

private:
    friend class EmulatedBus;
    struct Pending {
        UMockdevIoctlData *urb;  // our reference
        std::uint8_t endpoint;
    };

    EmulatedDevice(DeviceProfile profile, unsigned address, std::string firmwarePath);
    static int onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, void *self);
    static void onConnect(UMockdevIoctlBase *, UMockdevIoctlClient *, void *self);
    bool handle(UMockdevIoctlClient *client);  // mutex_ held
    void submit(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    void reap(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    void discard(UMockdevIoctlClient *client, UMockdevIoctlData *arg);
    void pumpFirmware();
    void finish(Pending p, int status, const std::uint8_t *data, int actual);
    void gone();
    bool sendToFirmware(std::uint8_t tag, const std::uint8_t *data, std::size_t size);

    const DeviceProfile profile_;
    const unsigned address_;
    std::unique_ptr<SimUsbDevice> firmware_;
    std::string firmwarePath_;
    UMockdevIoctlBase *handler_ = nullptr;

    mutable std::mutex mutex_;
    int wire_ = -1;  // host end of the firmware's socket
    bool present_ = true;
    std::vector<std::uint8_t> stallArmed_, halted_;
    std::deque<Pending> waitingIn_;  // IN URBs whose piece has not come
    std::deque<Pending> done_;       // ready to be reaped
    Seen seen_;
};

class EmulatedBus {
public:
    // The one testbed of the process; made before libusb first looks at the bus.
    static EmulatedBus &get();
    // True when the umockdev preload library is active in this process.
    static bool preloaded();
    // Removes the testbed's folder; the last thing the process does with it.
    void release();

    // Plugs a device in (a uevent "add"); its firmware, if any, is running.
    EmulatedDevice &plug(const DeviceProfile &profile);
    // Pulls it out: its URBs fail, then the uevent "remove".
    void unplug(EmulatedDevice &device);
    void unplugAll();

private:
    EmulatedBus();
    std::string sysfsPath(const EmulatedDevice &device) const;

    UMockdevTestbed *testbed_ = nullptr;
    unsigned nextAddress_ = 2;
    // Kept to the end of the process: libusb may still hold a node open.
    std::vector<std::unique_ptr<EmulatedDevice>> devices_;
    std::vector<EmulatedDevice *> plugged_;
};

}  // namespace ferrule::test
