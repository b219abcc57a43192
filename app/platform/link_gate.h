// Every call into the instrument libraries goes through one gate: the calls
// run on a single link thread, one at a time, in the order issued, while the
// UI thread waits in an event loop that keeps the window answering: tabs,
// zoom, pan, tables, menus and "Manu" work during every exchange.
//
// The rule of a job: it fills only the buffers its caller handed it (locals
// of the caller, captured by reference) and never touches the application's
// g_... globals or a widget; the caller stores the results on the UI thread
// after run() returns. A job that has fetched part of its work may hand the
// UI thread a step through post() (progress, preparing what it fetched); the
// steps run on the UI thread, in order, before run() returns. A job never
// starts another job.
//
// The rule of a command: a user command that needs the link (Connect,
// Disconnect, Refresh, Upload, a panel key, a page's fetch or transfer, a
// measurement read, a print that fetches first...) is one plain sequence of
// run() jobs and UI steps, with no waiting of its own, and it enters through
// command(): its button, menu item or key is connected with ConnectCommand(),
// or its handler calls command() itself. When the link is free it runs at
// once; while another command is in progress it waits its turn with the wait
// cursor and runs whole right after that command ends, in arrival order, so
// two commands' exchanges never interleave. That queue is the one mechanism
// that makes a second command safe, however it arrives (a click, a key, a
// tick, a third one while the second waits). Input that needs no link runs
// at once, even in the middle of a command. A refresh-timer tick that finds
// the link busy is skipped instead (see busy()). A modal window that a
// command opens pauses it: the refresh timer and the modal window's own
// commands go on meanwhile, as they would in the design's message loop;
// commands queued before it was opened wait until it closes and the command
// has ended.
//
// Nothing that runs inside the UI thread's wait may call run() itself (a
// paint, a timer, a queued call, a handler connected with a plain connect()):
// its exchanges would fall into the middle of another command's, so it stops
// the program. A test presses every control of the window during a refresh
// to find such a handler.
#pragma once

#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

class QWidget;

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

    // One of the application's own pauses, spent on the link thread (inline
    // when a job calls it).
    void pause(unsigned milliseconds);

    // From a job: runs step on the UI thread while its caller waits, in the
    // order posted and before run() returns; at once in the synchronous mode.
    void post(std::function<void()> step);

    // A user command that needs the link (see the rule above): runs fn now
    // when the link is free, otherwise queues it. A queued command whose
    // context has gone is dropped.
    void command(QObject *context, std::function<void()> fn);

    // True while a job is in flight or a command is in progress (and not
    // paused in a modal window it opened): refresh ticks skip then.
    bool busy() const;

    // Like command(), without the wait cursor: for notices that must come
    // between commands, never inside one.
    void whenIdle(std::function<void()> fn);

    Mode mode() const { return m_mode; }
    UiServices &ui() { return m_ui; }

private:
    struct Queued {
        std::function<void()> fn;
        QPointer<QObject> context;
        bool hasContext;
        bool cursor;
        QPointer<QWidget> level;  // the modal window it arrived under
        bool underModal;
    };

    void runJob(const std::function<void()> &job);
    void runAsCommand(const std::function<void()> &fn);
    void enqueue(QObject *context, std::function<void()> fn, bool cursor);
    void drainQueued();
    void runPostedSteps();
    bool jobInFlight() const { return m_waiting || m_inlineDepth > 0; }
    void workerLoop();

    UiServices &m_ui;
    Mode m_mode;
    // UI thread only
    int m_inlineDepth = 0;              // synchronous jobs running
    bool m_waiting = false;             // the UI thread is inside a job's wait
    std::vector<QWidget *> m_commands;  // the modal window each running command started under
    std::deque<Queued> m_queued;
    bool m_draining = false;

    std::thread m_worker;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_queue;
    std::deque<std::function<void()>> m_steps;  // posted by the job in flight
    bool m_stop = false;
    std::thread::id m_workerId;
};

// The window's answer to a control that starts a command needing the link:
// the slot enters through LinkGate::command() of the installed gate.
template <class Sender, class Signal, class Receiver, class Slot>
QMetaObject::Connection ConnectCommand(Sender *sender, Signal signal, Receiver *receiver, Slot slot);

}  // namespace vantor

#include "app_context.h"

template <class Sender, class Signal, class Receiver, class Slot>
QMetaObject::Connection vantor::ConnectCommand(Sender *sender, Signal signal, Receiver *receiver, Slot slot)
{
    return QObject::connect(sender, signal, receiver, [receiver, slot] {
        vantor::Link().command(receiver, [receiver, slot] { std::invoke(slot, receiver); });
    });
}
