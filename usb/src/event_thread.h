// The thread behind a notice watch. Its body owns what it needs through
// shared state, so a watch dropped from inside its own callback (the notify
// target unloading the library) detaches instead of joining itself.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace ferrule {

class EventThread {
public:
    using Body = std::function<void(const std::atomic<bool> &stop)>;

    EventThread(Body body, std::function<void()> wake)
        : stop_(std::make_shared<std::atomic<bool>>(false)), wake_(std::move(wake))
    {
        thread_ = std::thread([stop = stop_, body = std::move(body)] { body(*stop); });
    }

    ~EventThread()
    {
        stop_->store(true);
        if (wake_)
            wake_();
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else if (thread_.joinable())
            thread_.join();
    }

    EventThread(const EventThread &) = delete;
    EventThread &operator=(const EventThread &) = delete;

private:
    std::shared_ptr<std::atomic<bool>> stop_;
    std::function<void()> wake_;
    std::thread thread_;
};

}  // namespace ferrule
