// Every call into the instrument libraries goes through one gate: the calls
// run on a single link thread, one at a time, in the order issued, while the
// UI thread keeps painting in an event loop that admits no user input.
//
// The rule of a job: it fills only the buffers its caller handed it (locals
// of the caller, captured by reference) and never touches the application's
// g_... globals or a widget; the caller stores the results on the UI thread
// after run() returns. A job never starts another job, and nothing that runs
// inside the UI thread's wait may start one either: that would interleave two
// commands' exchanges, so it stops the program.
#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace vantor {

class UiServices;

class LinkGate : public QObject {
    Q_OBJECT
public:
    enum class Mode { Threaded, Synchronous };

    LinkGate(UiServices &ui, Mode mode);
    ~LinkGate() override;

    template <class F> auto run(F &&f) -> std::invoke_result_t<F &>
    {
        using R = std::invoke_result_t<F &>;
        if constexpr (std::is_void_v<R>) {
            runJob([&] { f(); });
        } else {
            std::optional<R> result;
            runJob([&] { result.emplace(f()); });
            return std::move(*result);
        }
    }

    // One of the application's own pauses, spent on the link thread.
    void pause(unsigned milliseconds);

    // True while a command is in progress (refresh ticks skip then).
    bool busy() const { return m_depth > 0; }

    // Runs fn now when no command is in progress, otherwise right after the
    // current one ends, in arrival order.
    void whenIdle(std::function<void()> fn);

    Mode mode() const { return m_mode; }
    UiServices &ui() { return m_ui; }

private:
    void runJob(const std::function<void()> &job);
    void workerLoop();
    void drainDeferred();

    UiServices &m_ui;
    Mode m_mode;
    int m_depth = 0;
    bool m_waiting = false;  // the UI thread is inside a job's wait
    std::deque<std::function<void()>> m_deferred;
    bool m_draining = false;

    std::thread m_worker;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_queue;
    bool m_stop = false;
    std::thread::id m_workerId;
};

}  // namespace vantor
