// Shared pieces of Ferrule's tests: a virtual instrument on a private socket
// path, selected through FERRULE_SIM_SOCKET, and a notify target that keeps
// what it was told.
#pragma once

#include "ferrule.h"
#include "ferrule_testing.h"
#include "sim_usb_device.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ferrule::test {

using namespace std::chrono_literals;

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed);
// A device-interface broadcast record naming `name`.
FerruleDeviceBroadcast interfaceNotice(const std::string &name);

class NoticeRecorder {
public:
    struct Notice {
        std::uint32_t event = 0;
        std::uint32_t deviceType = 0;
        std::string name;
        FerruleDeviceBroadcast header{};
    };

    NoticeRecorder();
    FerruleNotifyTarget target{};

    std::vector<Notice> notices() const;
    bool waitForCount(std::size_t count, std::chrono::milliseconds limit = 5s) const;
    // When set, the receiver acts on each notice at once, as the application does.
    void setForwardToChange(bool on);
    // When set, the receiver unloads Ferrule from inside the callback.
    void setUnloadOnNotice(bool on);
    std::vector<int> changeResults() const;

private:
    static void onChange(void *context, std::uint32_t event, const FerruleDeviceBroadcast *header);
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Notice> notices_;
    std::vector<int> changeResults_;
    bool forward_ = false;
    bool unload_ = false;
};

class SimUsbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Plugs the device in and loads Ferrule with the recorder as notify target.
    void plugAndLoad();

    std::string path_;
    std::unique_ptr<SimUsbDevice> device_;
    NoticeRecorder recorder_;
};

}  // namespace ferrule::test
