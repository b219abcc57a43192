#include "link_gate.h"

#include "ui_services.h"

#include <QEventLoop>
#include <atomic>
#include <memory>

namespace vantor {

LinkGate::LinkGate(UiServices &ui, Mode mode) : m_ui(ui), m_mode(mode)
{
    if (m_mode == Mode::Threaded) {
        m_worker = std::thread([this] { workerLoop(); });
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_workerId != std::thread::id(); });
    }
}

LinkGate::~LinkGate()
{
    if (m_worker.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
        m_worker.join();
    }
}

void LinkGate::workerLoop()
{
    {
        std::lock_guard lock(m_mutex);
        m_workerId = std::this_thread::get_id();
    }
    m_cv.notify_all();
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_cv.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        job();
    }
}

void LinkGate::runJob(const std::function<void()> &job)
{
    // A job that itself reaches the gate is already on the link thread.
    if (m_mode == Mode::Synchronous || std::this_thread::get_id() == m_workerId) {
        ++m_depth;
        job();
        --m_depth;
        if (m_depth == 0)
            drainDeferred();
        return;
    }

    // A timer, a queued call or a paint handler that reaches the gate while
    // the UI thread waits for another job would run its exchange in the
    // middle of that job's command.
    if (m_waiting)
        qFatal("LinkGate: a job was started from inside another job's wait");

    ++m_depth;
    m_ui.beginWaitCursor();
    QEventLoop loop;
    auto done = std::make_shared<std::atomic<bool>>(false);
    auto posted = std::make_shared<std::atomic<bool>>(false);
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back([&job, done, posted, &loop] {
            job();
            done->store(true);
            QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
            posted->store(true);
        });
    }
    m_cv.notify_all();
    m_waiting = true;
    while (!done->load())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_waiting = false;
    // The loop must outlive the worker's last touch of it; a quit that was
    // never needed is dropped with the loop.
    while (!posted->load())
        std::this_thread::yield();
    m_ui.endWaitCursor();
    --m_depth;
    if (m_depth == 0)
        drainDeferred();
}

void LinkGate::pause(unsigned milliseconds)
{
    run([this, milliseconds] { m_ui.sleep(milliseconds); });
}

void LinkGate::whenIdle(std::function<void()> fn)
{
    if (m_depth == 0 && !m_draining) {
        fn();
        return;
    }
    m_deferred.push_back(std::move(fn));
}

void LinkGate::drainDeferred()
{
    if (m_draining)
        return;
    m_draining = true;
    while (!m_deferred.empty()) {
        auto fn = std::move(m_deferred.front());
        m_deferred.pop_front();
        fn();
    }
    m_draining = false;
}

}  // namespace vantor
