// Ferrule's libusb backend through the real libusb, against devices on an
// emulated kernel bus (umockdev): finding the instrument, its pipes, every
// size of transfer, stalls, short and silent pipes, and plugging.
#include "emulated_bus.h"
#include "test_support.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>

namespace ferrule::test {
namespace {

using Urb = EmulatedDevice::Urb;

constexpr std::uint8_t kCommandEp = 0x01, kReadEp = 0x82, kWriteEp = 0x03;

// The URBs one announced transfer of count bytes takes on the given pipes.
std::vector<Urb> transferUrbs(bool read, unsigned count, std::uint8_t command = kCommandEp, std::uint8_t data = 0)
{
    std::vector<Urb> urbs{{command, 64, 0, 64}};
    unsigned length = read ? (count + 511) / 512 * 512 : (count + 63) / 64 * 64;
    for (unsigned off = 0; off < length; off += 512) {
        int piece = int(std::min(512u, length - off));
        urbs.push_back({data ? data : read ? kReadEp : kWriteEp, piece, 0, piece});
    }
    return urbs;
}

// The testbed lives in a folder of its own, which goes when the tests are done.
class BusEnvironment : public ::testing::Environment {
    void TearDown() override
    {
        UnloadUSBDevice();
        EmulatedBus::get().release();
    }
};
[[maybe_unused]] ::testing::Environment *const kBus = ::testing::AddGlobalTestEnvironment(new BusEnvironment);

class LibusbPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EmulatedBus::preloaded()) << "run under umockdev-wrapper (LD_PRELOAD=libumockdev-preload.so.0)";
        ::unsetenv(FERRULE_SIM_ENV);
        FerruleSetTimeoutsForTesting(0, 0, 0);
        recorder_.setForwardToChange(true);
    }
    void TearDown() override
    {
        UnloadUSBDevice();
        bus().unplugAll();
        FerruleSetTimeoutsForTesting(0, 0, 0);
    }
    static EmulatedBus &bus() { return EmulatedBus::get(); }
    // What ChangeUSBDevice said to the first notice of event for name, once it
    // came. Notices of other devices may come between (libusb also hands a
    // watch that has just registered the arrivals it had not delivered yet).
    std::optional<int> changeResultOf(std::uint32_t event, const std::string &name)
    {
        for (;;) {
            auto notices = recorder_.notices();
            for (std::size_t i = 0; i < notices.size(); ++i)
                if (notices[i].event == event && notices[i].name == name)
                    return recorder_.changeResults().at(i);
            if (!recorder_.waitForCount(notices.size() + 1))
                return std::nullopt;
        }
    }
    // The firmware takes the pieces on its own thread, after libusb saw them go.
    static bool firmwareWrote(EmulatedDevice &device, std::size_t transfers)
    {
        return device.firmware()->waitFor(
            [transfers](const SimUsbDevice::Log &log) { return log.writes.size() >= transfers; });
    }
    static bool allZero(const std::vector<unsigned> &claims)
    {
        return !claims.empty() && std::count(claims.begin(), claims.end(), 0u) == std::ptrdiff_t(claims.size());
    }
    // An instrument whose firmware answers every read with pattern(count, seed).
    static EmulatedDevice &plugInstrument(DeviceProfile profile = {}, std::uint8_t seed = 9)
    {
        EmulatedDevice &device = bus().plug(profile);
        device.firmware()->setReadHandler(
            [seed](std::uint16_t, std::uint16_t count) { return std::optional(pattern(count, seed)); });
        return device;
    }
    NoticeRecorder recorder_;
};

TEST_F(LibusbPath, FindsTheInstrumentAmongOtherDevicesAndFollowsItsPlugging)
{
    EmulatedDevice &mouse = bus().plug({0x046D, 0xC077, 0, {0x81}, true, false});
    EmulatedDevice &otherProduct = bus().plug({0xF4EC, 0xEE37, 0, {0x01, 0x82, 0x03}, true, false});
    EmulatedDevice &swappedIds = bus().plug({0xECF4, 0x38EE, 0, {0x01, 0x82, 0x03}, true, false});
    EmulatedDevice &busy = bus().plug({0xF4EC, 0xEE38, 0, {0x01, 0x82, 0x03}, false, false});
    EXPECT_EQ(LoadUSBDevice(&recorder_.target), 0);  // only the one another program holds
    EXPECT_EQ(IsConnected(), 0);
    EXPECT_TRUE(allZero(busy.seen().claims));

    EmulatedDevice &instrument = plugInstrument();
    EXPECT_EQ(changeResultOf(FERRULE_DEVICE_ARRIVAL, instrument.interfaceName()), 1);
    EXPECT_EQ(IsConnected(), 1);
    EXPECT_EQ(instrument.seen().claims, std::vector<unsigned>{0});
    for (EmulatedDevice *other : {&mouse, &otherProduct, &swappedIds})
        EXPECT_EQ(other->seen().opens, 0u) << other->interfaceName();
    EXPECT_TRUE(busy.seen().urbs.empty());

    auto data = pattern(20, 1);
    ASSERT_EQ(WriteUSBDevice(7, data.data(), 20), 1);
    ASSERT_TRUE(firmwareWrote(instrument, 1));
    EXPECT_EQ(instrument.firmware()->log().writes.at(0).bytes, data);
    FerruleDeviceBroadcast notBusy = interfaceNotice(busy.interfaceName());
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_REMOVE_COMPLETE, &notBusy), 0);

    // Pulling out another device says nothing; the instrument's removal does.
    bus().unplug(mouse);
    bus().unplug(instrument);
    EXPECT_EQ(changeResultOf(FERRULE_DEVICE_REMOVE_COMPLETE, instrument.interfaceName()), 1);
    EXPECT_EQ(IsConnected(), 0);
    EXPECT_EQ(WriteUSBDevice(7, data.data(), 20), 0);
    for (const auto &notice : recorder_.notices()) {
        EXPECT_EQ(notice.deviceType, FERRULE_DEVTYP_DEVICEINTERFACE);
        EXPECT_TRUE(notice.name == instrument.interfaceName() || notice.name == busy.interfaceName()) << notice.name;
    }
}

TEST_F(LibusbPath, PipesAreTheFirstThreeEndpointsOfInterfaceZero)
{
    struct Case {
        std::vector<std::uint8_t> endpoints;
        bool opens;
    };
    const Case cases[] = {
        {{0x01, 0x82, 0x03}, true},
        {{0x02, 0x81, 0x06}, true},        // other numbers, same places
        {{0x01, 0x82, 0x03, 0x84}, true},  // a fourth is not used
        {{0x01, 0x03, 0x82}, false},       // the read pipe must be the 2nd
        {{0x01, 0x82}, false},             // no write pipe
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.endpoints));
        DeviceProfile profile;
        profile.endpoints = c.endpoints;
        EmulatedDevice &device = plugInstrument(profile);
        EXPECT_EQ(LoadUSBDevice(&recorder_.target), c.opens ? 1 : 0);
        EXPECT_EQ(IsConnected(), c.opens ? 1 : 0);
        EXPECT_TRUE(allZero(device.seen().claims));
        if (c.opens) {
            std::vector<std::uint8_t> buffer(16);
            auto data = pattern(20, 2);
            ASSERT_EQ(WriteUSBDevice(7, data.data(), 20), 1);
            ASSERT_EQ(ReadUSBDevice(8, buffer.data(), 16), 1);
            std::vector<Urb> expected = transferUrbs(false, 20, c.endpoints[0], c.endpoints[2]);
            for (const Urb &u : transferUrbs(true, 16, c.endpoints[0], c.endpoints[1]))
                expected.push_back(u);
            EXPECT_EQ(device.seen().urbs, expected);
            EXPECT_EQ(buffer, pattern(16, 9));
        }
        UnloadUSBDevice();
        bus().unplug(device);
    }
}

TEST_F(LibusbPath, EverySizeOfTransferCarriesTheBytesTheFirmwareExpects)
{
    EmulatedDevice &instrument = plugInstrument();
    ASSERT_EQ(LoadUSBDevice(&recorder_.target), 1);
    SimUsbDevice &firmware = *instrument.firmware();
    // A command-sized write, a settings block, the largest; then reads of a
    // header, one byte past a piece, the largest.
    const std::pair<bool, unsigned> cases[] = {{false, 20}, {false, 2516}, {false, 25600},
                                               {true, 16},  {true, 513},   {true, 25600}};
    for (const auto &[read, count] : cases) {
        SCOPED_TRACE((read ? "read " : "write ") + std::to_string(count));
        instrument.clearSeen();
        firmware.clearLog();
        std::vector<std::uint8_t> bytes = read ? std::vector<std::uint8_t>(count) : pattern(count, 3);
        ASSERT_EQ(read ? ReadUSBDevice(8, bytes.data(), count) : WriteUSBDevice(7, bytes.data(), count), 1);
        EXPECT_EQ(instrument.seen().urbs, transferUrbs(read, count));
        ASSERT_TRUE(firmwareWrote(instrument, read ? 0 : 1));
        SimUsbDevice::Log log = firmware.log();
        EXPECT_TRUE(log.violations.empty()) << log.violations.front();
        if (read)
            EXPECT_EQ(bytes, pattern(count, 9));
        else
            EXPECT_EQ(log.writes.at(0).bytes, bytes);
    }
}

TEST_F(LibusbPath, AStalledPipeFailsOneTransferAndIsClearedForTheNext)
{
    EmulatedDevice &instrument = plugInstrument();
    ASSERT_EQ(LoadUSBDevice(&recorder_.target), 1);
    std::vector<std::uint8_t> buffer(16);
    auto data = pattern(20, 4);
    for (std::uint8_t endpoint : {kReadEp, kWriteEp, kCommandEp}) {
        SCOPED_TRACE(int(endpoint));
        instrument.clearSeen();
        instrument.stallNext(endpoint);
        bool read = endpoint == kReadEp;
        EXPECT_EQ(read ? ReadUSBDevice(8, buffer.data(), 16) : WriteUSBDevice(7, data.data(), 20), 0);
        EXPECT_EQ(instrument.seen().urbs.back(), (Urb{endpoint,
                                                      endpoint == kCommandEp ? 64
                                                      : read                 ? 512
                                                                             : 64,
                                                      -EPIPE, 0}));
        EXPECT_EQ(instrument.seen().clearedHalts, std::vector<std::uint8_t>{endpoint});
        EXPECT_EQ(WriteUSBDevice(7, data.data(), 20), 1);
        EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 16), 1);
    }
}

TEST_F(LibusbPath, AShortOrSilentReadFailsAndLeavesTheCallersBytesAlone)
{
    EmulatedDevice &instrument = plugInstrument();
    ASSERT_EQ(LoadUSBDevice(&recorder_.target), 1);
    FerruleSetTimeoutsForTesting(0, 100, 0);
    SimUsbDevice &firmware = *instrument.firmware();
    struct Case {
        const char *what;
        void (*fault)(SimUsbDevice &);
        Urb last;
        unsigned discards;  // a time-out cancels its URB; a short piece ends the transfer
    };
    const Case cases[] = {
        {"short", [](SimUsbDevice &f) { f.serveShortPieceOnce(100); }, {kReadEp, 512, 0, 100}, 0},
        {"empty", [](SimUsbDevice &f) { f.serveShortPieceOnce(0); }, {kReadEp, 512, 0, 0}, 0},
        {"silent", [](SimUsbDevice &f) { f.setStall(true); }, {kReadEp, 512, -ENOENT, 0}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        instrument.clearSeen();
        c.fault(firmware);
        std::vector<std::uint8_t> buffer(1024, 0xEE);
        EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 1024), 0);
        EXPECT_EQ(buffer, std::vector<std::uint8_t>(1024, 0xEE));
        EXPECT_EQ(instrument.seen().urbs.back(), c.last);
        EXPECT_EQ(instrument.seen().discards, c.discards);
        firmware.setStall(false);
        EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 1024), 1);
        EXPECT_EQ(buffer, pattern(1024, 9));
    }
}

TEST_F(LibusbPath, PulledOutInTheMiddleOfAReadThenPluggedInAgain)
{
    EmulatedDevice &first = plugInstrument();
    ASSERT_EQ(LoadUSBDevice(&recorder_.target), 1);
    first.firmware()->vanishAfterPieces(3);
    std::vector<std::uint8_t> buffer(25600);
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 25600), 0);
    EmulatedDevice::Seen seen = first.seen();
    EXPECT_EQ(seen.discards, 0u);  // it failed with the device, not by a time-out
    ASSERT_GE(seen.urbs.size(), 4u);
    EXPECT_EQ(seen.urbs[3], (Urb{kReadEp, 512, 0, 512}));
    for (std::size_t i = 4; i < seen.urbs.size(); ++i)
        EXPECT_EQ(seen.urbs[i].status, -ESHUTDOWN);

    bus().unplug(first);
    EXPECT_EQ(changeResultOf(FERRULE_DEVICE_REMOVE_COMPLETE, first.interfaceName()), 1);
    EXPECT_EQ(IsConnected(), 0);

    EmulatedDevice &again = plugInstrument({}, 5);
    EXPECT_EQ(changeResultOf(FERRULE_DEVICE_ARRIVAL, again.interfaceName()), 1);
    EXPECT_EQ(IsConnected(), 1);
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 25600), 1);
    EXPECT_EQ(buffer, pattern(25600, 5));
}

}  // namespace
}  // namespace ferrule::test
