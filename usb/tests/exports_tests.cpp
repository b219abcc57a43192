// Loading, unloading and the guards of the exports.
#include "test_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace ferrule::test {
namespace {

using Log = SimUsbDevice::Log;

TEST(Exports, VersionIsOnePointZero) { EXPECT_EQ(GetDllVersion(), 0x0100); }

TEST(Exports, NothingMovesBeforeLoad)
{
    UnloadUSBDevice();  // harmless when nothing is loaded
    unsigned char buffer[16] = {};
    EXPECT_EQ(IsConnected(), 0);
    EXPECT_EQ(WriteUSBDevice(7, buffer, 16), 0);
    EXPECT_EQ(ReadUSBDevice(8, buffer, 16), 0);
}

TEST(LibusbBackend, WithoutInstrumentFailsAndKeepsWaiting)
{
    if (::access("/dev/bus/usb", F_OK) == 0)
        GTEST_SKIP() << "a USB bus is present: the outcome depends on what is plugged in";
    ::unsetenv(FERRULE_SIM_ENV);
    NoticeRecorder recorder;
    testing::internal::CaptureStderr();
    int loaded = LoadUSBDevice(&recorder.target);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(loaded, 0);
    EXPECT_NE(err.find("Failed to GetUsbDeviceFileName"), std::string::npos);
    EXPECT_EQ(IsConnected(), 0);
    // The arrival path searches the bus again and finds nothing either.
    FerruleDeviceBroadcast header = interfaceNotice("usb:001:002");
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_ARRIVAL, &header), 0);
    UnloadUSBDevice();
}

using Loading = SimUsbTest;

TEST_F(Loading, RefusesAMissingOrForeignNotifyTarget)
{
    ASSERT_TRUE(device_->start());
    EXPECT_EQ(LoadUSBDevice(nullptr), 0);
    FerruleNotifyTarget foreign = recorder_.target;
    foreign.magic = FERRULE_NOTIFY_MAGIC ^ 1u;
    EXPECT_EQ(LoadUSBDevice(&foreign), 0);
    EXPECT_EQ(IsConnected(), 0);
    // Neither attempt reached the device: the first real load is its first host.
    ASSERT_EQ(LoadUSBDevice(&recorder_.target), 1);
    ASSERT_TRUE(device_->waitFor([](const Log &l) { return l.connections == 1; }));
    EXPECT_EQ(device_->log().connections, 1u);
}

TEST_F(Loading, WithoutInstrumentFailsAndSaysSo)
{
    testing::internal::CaptureStderr();
    int loaded = LoadUSBDevice(&recorder_.target);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(loaded, 0);
    EXPECT_NE(err.find("Failed to GetUsbDeviceFileName"), std::string::npos);
    EXPECT_EQ(IsConnected(), 0);
    unsigned char buffer[16] = {};
    EXPECT_EQ(WriteUSBDevice(7, buffer, 16), 0);
}

TEST_F(Loading, OpensAllThreePipesAndUnloadReleasesTheDevice)
{
    plugAndLoad();
    EXPECT_EQ(IsConnected(), 1);
    EXPECT_TRUE(device_->hostConnected());
    UnloadUSBDevice();
    EXPECT_EQ(IsConnected(), 0);
    unsigned char buffer[16] = {};
    EXPECT_EQ(WriteUSBDevice(7, buffer, 16), 0);
    EXPECT_EQ(ReadUSBDevice(8, buffer, 16), 0);
    // The connection itself is closed, not only the data pipes.
    EXPECT_TRUE(device_->waitFor([](const Log &l) { return l.hangups == 1; }));
    EXPECT_TRUE(device_->log().commands.empty());
}

TEST_F(Loading, LoadingAgainReplacesTheOldConnection)
{
    plugAndLoad();
    ASSERT_EQ(LoadUSBDevice(&recorder_.target), 1);
    ASSERT_TRUE(device_->waitFor([](const Log &l) { return l.connections == 2 && l.hangups == 1; }));
    auto data = pattern(32, 9);
    ASSERT_EQ(WriteUSBDevice(7, data.data(), 32), 1);
    ASSERT_TRUE(device_->waitFor([](const Log &l) { return l.writes.size() == 1; }));
    EXPECT_EQ(device_->log().writes[0].bytes, data);
}

TEST_F(Loading, ChangeIgnoresHeadersThatAreNotDeviceInterfaces)
{
    plugAndLoad();
    FerruleDeviceBroadcast header = interfaceNotice(device_->interfaceName());
    header.deviceType = 2;  // a volume, say
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_REMOVE_COMPLETE, &header), 0);
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_REMOVE_COMPLETE, nullptr), 0);
    header.deviceType = FERRULE_DEVTYP_DEVICEINTERFACE;
    EXPECT_EQ(ChangeUSBDevice(0x8003, &header), 0);  // removal pending is no removal
    EXPECT_EQ(IsConnected(), 1);
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_REMOVE_COMPLETE, &header), 1);
    EXPECT_EQ(IsConnected(), 0);
}

TEST_F(Loading, NameWithoutTerminatorIsReadWithinTheRecord)
{
    plugAndLoad();
    FerruleDeviceBroadcast header{};
    header.deviceType = FERRULE_DEVTYP_DEVICEINTERFACE;
    std::memset(header.name, 'x', sizeof header.name);
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_REMOVE_COMPLETE, &header), 0);
    EXPECT_EQ(IsConnected(), 1);
}

TEST_F(Loading, NameIsBoundedByTheRecordSize)
{
    plugAndLoad();
    FerruleDeviceBroadcast header = interfaceNotice(device_->interfaceName());
    header.size = 28 + 4;  // room for "sim:" only
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_REMOVE_COMPLETE, &header), 0);
    header.size = static_cast<std::uint32_t>(28 + device_->interfaceName().size() + 1);
    EXPECT_EQ(ChangeUSBDevice(FERRULE_DEVICE_REMOVE_COMPLETE, &header), 1);
    EXPECT_EQ(IsConnected(), 0);
}

}  // namespace
}  // namespace ferrule::test
