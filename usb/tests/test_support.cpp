#include "test_support.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ferrule::test {

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = 2654435761u * (seed + 1u);
    for (auto &b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x | 1u);  // never zero, so padding is told apart
    }
    return bytes;
}

FerruleDeviceBroadcast interfaceNotice(const std::string &name)
{
    FerruleDeviceBroadcast header{};
    header.deviceType = FERRULE_DEVTYP_DEVICEINTERFACE;
    std::snprintf(header.name, sizeof header.name, "%s", name.c_str());
    return header;
}

NoticeRecorder::NoticeRecorder()
{
    target.magic = FERRULE_NOTIFY_MAGIC;
    target.deviceChange = &NoticeRecorder::onChange;
    target.context = this;
}

void NoticeRecorder::onChange(void *context, std::uint32_t event, const FerruleDeviceBroadcast *header)
{
    auto *self = static_cast<NoticeRecorder *>(context);
    Notice n;
    n.event = event;
    n.deviceType = header->deviceType;
    n.name = header->name;
    std::memcpy(&n.header, header, sizeof n.header);
    bool forward, unload;
    {
        std::lock_guard lock(self->mutex_);
        forward = self->forward_;
        unload = self->unload_;
    }
    int result = forward ? ChangeUSBDevice(event, header) : -1;
    if (unload)
        UnloadUSBDevice();
    std::lock_guard lock(self->mutex_);
    self->notices_.push_back(std::move(n));
    self->changeResults_.push_back(result);
    self->changed_.notify_all();
}

std::vector<NoticeRecorder::Notice> NoticeRecorder::notices() const
{
    std::lock_guard lock(mutex_);
    return notices_;
}

std::vector<int> NoticeRecorder::changeResults() const
{
    std::lock_guard lock(mutex_);
    return changeResults_;
}

bool NoticeRecorder::waitForCount(std::size_t count, std::chrono::milliseconds limit) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return notices_.size() >= count; });
}

void NoticeRecorder::setUnloadOnNotice(bool on)
{
    std::lock_guard lock(mutex_);
    unload_ = on;
}

void NoticeRecorder::setForwardToChange(bool on)
{
    std::lock_guard lock(mutex_);
    forward_ = on;
}

void SimUsbTest::SetUp()
{
    static std::atomic<int> serial{0};
    path_ = "/tmp/ferrule-test-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".sock";
    ::unlink(path_.c_str());
    ::setenv(FERRULE_SIM_ENV, path_.c_str(), 1);
    FerruleSetTimeoutsForTesting(0, 0, 0);
    device_ = std::make_unique<SimUsbDevice>(path_);
}

void SimUsbTest::TearDown()
{
    UnloadUSBDevice();
    device_->stop();
    ::unsetenv(FERRULE_SIM_ENV);
    FerruleSetTimeoutsForTesting(0, 0, 0);
}

void SimUsbTest::plugAndLoad()
{
    ASSERT_TRUE(device_->start());
    ASSERT_EQ(LoadUSBDevice(&recorder_.target), 1);
    ASSERT_TRUE(device_->waitFor([](const SimUsbDevice::Log &l) { return l.connections == 1; }));
}

}  // namespace ferrule::test
