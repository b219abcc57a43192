// Arrival and removal notices and what ChangeUSBDevice does with them.
#include "test_support.h"

#include <algorithm>
#include <cctype>
#include <thread>

namespace ferrule::test {
namespace {

using Log = SimUsbDevice::Log;
using Notices = SimUsbTest;

const std::uint8_t kGuidBytes[16] = {0xC1, 0xF3, 0x16, 0x7E, 0xBF, 0x63, 0x39, 0x4C,
                                     0xB8, 0x44, 0xF3, 0x5A, 0x86, 0xBA, 0x13, 0x9B};

TEST_F(Notices, PlugInAndPullOutReachTheTarget)
{
    EXPECT_EQ(LoadUSBDevice(&recorder_.target), 0);  // waiting for the instrument
    ASSERT_TRUE(device_->start());
    ASSERT_TRUE(recorder_.waitForCount(1));
    auto arrival = recorder_.notices().at(0);
    EXPECT_EQ(arrival.event, FERRULE_DEVICE_ARRIVAL);
    EXPECT_EQ(arrival.deviceType, FERRULE_DEVTYP_DEVICEINTERFACE);
    EXPECT_EQ(arrival.name, device_->interfaceName());
    EXPECT_EQ(arrival.header.size, 28 + arrival.name.size() + 1);
    EXPECT_TRUE(std::equal(std::begin(kGuidBytes), std::end(kGuidBytes), arrival.header.classGuid));

    EXPECT_EQ(ChangeUSBDevice(arrival.event, &arrival.header), 1);
    EXPECT_EQ(IsConnected(), 1);
    auto data = pattern(100, 1);
    EXPECT_EQ(WriteUSBDevice(7, data.data(), 100), 1);

    device_->stop();
    ASSERT_TRUE(recorder_.waitForCount(2));
    auto removal = recorder_.notices().at(1);
    EXPECT_EQ(removal.event, FERRULE_DEVICE_REMOVE_COMPLETE);
    EXPECT_EQ(removal.name, device_->interfaceName());
    EXPECT_EQ(ChangeUSBDevice(removal.event, &removal.header), 1);
    EXPECT_EQ(IsConnected(), 0);
    EXPECT_EQ(WriteUSBDevice(7, data.data(), 100), 0);
    EXPECT_EQ(recorder_.notices().size(), 2u);
}

TEST_F(Notices, ArrivalWhileOpenChangesNothing)
{
    plugAndLoad();
    FerruleDeviceBroadcast header = interfaceNotice(device_->interfaceName());
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_ARRIVAL, &header), 0);
    EXPECT_EQ(IsConnected(), 1);
    auto data = pattern(64, 2);
    ASSERT_EQ(WriteUSBDevice(7, data.data(), 64), 1);
    ASSERT_TRUE(device_->waitFor([](const Log &l) { return l.writes.size() == 1; }));
    EXPECT_EQ(device_->log().connections, 1u);  // not reopened
}

TEST_F(Notices, RemovalOfAnotherInterfaceLeavesThePipesOpen)
{
    plugAndLoad();
    FerruleDeviceBroadcast header = interfaceNotice(device_->interfaceName() + "-other");
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_REMOVE_COMPLETE, &header), 0);
    EXPECT_EQ(IsConnected(), 1);
    std::vector<std::uint8_t> buffer(16);
    device_->setReadHandler([](std::uint16_t, std::uint16_t n) { return std::optional(pattern(n, 3)); });
    EXPECT_EQ(ReadUSBDevice(8, buffer.data(), 16), 1);
}

TEST_F(Notices, RemovalMatchesTheOpenPathIgnoringCase)
{
    plugAndLoad();
    std::string upper = device_->interfaceName();
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    ASSERT_NE(upper, device_->interfaceName());
    FerruleDeviceBroadcast header = interfaceNotice(upper);
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_REMOVE_COMPLETE, &header), 1);
    EXPECT_EQ(IsConnected(), 0);
    // A second removal still names the open path: it acts (nothing is left to close).
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_REMOVE_COMPLETE, &header), 1);
    // The command pipe stayed, so an arrival reopens all three.
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_ARRIVAL, &header), 1);
    EXPECT_EQ(IsConnected(), 1);
}

TEST_F(Notices, ReceiverActingInsideTheCallbackFollowsReplugs)
{
    recorder_.setForwardToChange(true);
    plugAndLoad();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        device_->unplug();
        ASSERT_TRUE(recorder_.waitForCount(2 * round + 1));
        EXPECT_EQ(IsConnected(), 0);
        ASSERT_TRUE(device_->replug());
        ASSERT_TRUE(recorder_.waitForCount(2 * round + 2));
        EXPECT_EQ(IsConnected(), 1);
    }
    EXPECT_EQ(recorder_.changeResults(), (std::vector<int>{1, 1, 1, 1}));
    auto data = pattern(300, 4);
    ASSERT_EQ(WriteUSBDevice(7, data.data(), 300), 1);
    ASSERT_TRUE(device_->waitFor([](const Log &l) { return l.writes.size() == 1; }));
    EXPECT_EQ(device_->log().writes[0].bytes, data);
}

TEST_F(Notices, ArrivalWithoutTheInstrumentPresentFails)
{
    EXPECT_EQ(LoadUSBDevice(&recorder_.target), 0);
    FerruleDeviceBroadcast header = interfaceNotice(device_->interfaceName());
    testing::internal::CaptureStderr();
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_ARRIVAL, &header), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Failed to GetUsbDeviceFileName"), std::string::npos);
    EXPECT_EQ(IsConnected(), 0);
    ASSERT_TRUE(device_->start());
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_ARRIVAL, &header), 1);
    EXPECT_EQ(IsConnected(), 1);
}

TEST_F(Notices, HangUpWhilePluggedIsOneRemovalUntilPluggedAnew)
{
    recorder_.setForwardToChange(true);
    plugAndLoad();
    device_->dropHost();
    ASSERT_TRUE(recorder_.waitForCount(1));
    EXPECT_EQ(recorder_.notices()[0].event, FERRULE_DEVICE_REMOVE_COMPLETE);
    EXPECT_EQ(IsConnected(), 0);
    device_->unplug();
    ASSERT_TRUE(device_->replug());
    ASSERT_TRUE(recorder_.waitForCount(2));
    std::this_thread::sleep_for(100ms);  // room for a spurious notice to show
    auto notices = recorder_.notices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[1].event, FERRULE_DEVICE_ARRIVAL);
    EXPECT_EQ(recorder_.changeResults(), (std::vector<int>{1, 1}));
    EXPECT_EQ(IsConnected(), 1);
}

TEST_F(Notices, ReceiverMayUnloadFromInsideTheCallback)
{
    recorder_.setUnloadOnNotice(true);
    plugAndLoad();
    device_->unplug();
    ASSERT_TRUE(recorder_.waitForCount(1));
    EXPECT_EQ(IsConnected(), 0);
    ASSERT_TRUE(device_->replug());
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder_.notices().size(), 1u);
    // Loading again works as from scratch.
    recorder_.setUnloadOnNotice(false);
    EXPECT_EQ(LoadUSBDevice(&recorder_.target), 1);
}

TEST_F(Notices, NoNoticesAfterUnload)
{
    plugAndLoad();
    UnloadUSBDevice();
    device_->unplug();
    ASSERT_TRUE(device_->replug());
    // Several watch periods pass; nobody may be told anything.
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(recorder_.notices().empty());
}

}  // namespace
}  // namespace ferrule::test
