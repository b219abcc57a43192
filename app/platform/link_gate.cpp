#include "link_gate.h"

#include "ui_services.h"

#include <QApplication>
#include <QEventLoop>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <memory>
#include <sys/prctl.h>

namespace vantor {

namespace {

// The modal window the user is working in now; null for the main window.
QWidget *ModalLevel()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) ? QApplication::activeModalWidget() : nullptr;
}

}  // namespace

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
    for (const Queued &q : m_queued)
        if (q.cursor)
            m_ui.endWaitCursor();
    m_queued.clear();
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
    // The protocol's waits are the floor of every exchange: the default 50 µs
    // of timer slack on each of them is time the user waits for nothing.
    prctl(PR_SET_TIMERSLACK, 1UL);
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
    // A job that itself reaches the gate (its own pause) is already on the
    // link thread.
    if (m_workerId != std::thread::id() && std::this_thread::get_id() == m_workerId) {
        job();
        return;
    }
    if (m_mode == Mode::Synchronous) {
        ++m_inlineDepth;
        job();
        --m_inlineDepth;
        drainQueued();
        return;
    }

    // A timer, a queued call, a paint handler or a button that bypassed
    // command() reaching the gate while the UI thread waits for another job
    // would run its exchange in the middle of that job's command.
    if (m_waiting)
        qFatal("LinkGate: a job was started from inside another job's wait: enter through command() (ConnectCommand)");

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
        loop.exec();
    // The job's last steps, before its caller goes on.
    runPostedSteps();
    m_waiting = false;
    // The loop must outlive the worker's last touch of it; a quit that was
    // never needed is dropped with the loop.
    while (!posted->load())
        std::this_thread::yield();
    m_ui.endWaitCursor();
    drainQueued();
}

void LinkGate::pause(unsigned milliseconds)
{
    run([this, milliseconds] { m_ui.sleep(milliseconds); });
}

void LinkGate::post(std::function<void()> step)
{
    if (m_workerId == std::thread::id() || std::this_thread::get_id() != m_workerId) {
        step();
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_steps.push_back(std::move(step));
    }
    QMetaObject::invokeMethod(
        this, [this] { runPostedSteps(); }, Qt::QueuedConnection);
}

void LinkGate::runPostedSteps()
{
    for (;;) {
        std::function<void()> step;
        {
            std::lock_guard lock(m_mutex);
            if (m_steps.empty())
                return;
            step = std::move(m_steps.front());
            m_steps.pop_front();
        }
        step();
    }
}

bool LinkGate::busy() const
{
    if (jobInFlight())
        return true;
    return !m_commands.empty() && m_commands.back() == ModalLevel();
}

void LinkGate::command(QObject *context, std::function<void()> fn)
{
    if (busy() || !m_queued.empty()) {
        enqueue(context, std::move(fn), true);
        drainQueued();
        return;
    }
    runAsCommand(fn);
}

void LinkGate::whenIdle(std::function<void()> fn)
{
    if (busy() || !m_queued.empty()) {
        enqueue(nullptr, std::move(fn), false);
        drainQueued();
        return;
    }
    runAsCommand(fn);
}

void LinkGate::enqueue(QObject *context, std::function<void()> fn, bool cursor)
{
    QWidget *level = ModalLevel();
    m_queued.push_back(Queued{std::move(fn), context, context != nullptr, cursor, level, level != nullptr});
    if (cursor)
        m_ui.beginWaitCursor();
}

void LinkGate::runAsCommand(const std::function<void()> &fn)
{
    m_commands.push_back(ModalLevel());
    fn();
    m_commands.pop_back();
    drainQueued();
}

void LinkGate::drainQueued()
{
    if (m_draining)
        return;
    m_draining = true;
    while (!busy()) {
        // The first command that arrived under the modal window in use now;
        // one that arrived under a window since closed belongs here too.
        QWidget *level = ModalLevel();
        auto it = std::find_if(m_queued.begin(), m_queued.end(), [level](const Queued &q) {
            return q.level.data() == level || (q.underModal && (!q.level || !q.level->isVisible()));
        });
        if (it == m_queued.end())
            break;
        Queued q = std::move(*it);
        m_queued.erase(it);
        if (q.cursor)
            m_ui.endWaitCursor();
        if (q.hasContext && !q.context)
            continue;
        runAsCommand(q.fn);
    }
    m_draining = false;
}

}  // namespace vantor
