// How the window answers while Auto runs: on a real X display, the program
// refreshes four whole records from the virtual instrument over the virtual
// USB every 500 ms with the real waits, and the benchmark clicks a harmless
// control (the "Graph Show" box of CH2) through XTest at random moments. The
// latency of a click is the time from the press sent to the X server to the
// box's repaint it causes; a click never painted counts as missed. Then it
// presses "Manu" in the middle of a refresh and counts the refreshes that
// start after it (none may).
//
//   Xvfb :57 -screen 0 1366x768x24 & DISPLAY=:57 build/bench/click_latency_bench
#include "bench_frame.h"
#include "platform/control_ids.h"
#include "platform/globals.h"
#include "platform/ui_services.h"
#include "shell/main_frame.h"
#include "shell/panes.h"
#include "shell/vantor_app.h"
#include "views/view_pages.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The recording desktop (no modal box can stall the run) with real pauses.
class RealPauses : public vantor::RecordingUiServices {
public:
    void sleep(unsigned ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

// What the UI thread saw of each click: its press, whether the link was busy
// then, and the first paint of the box after it.
class ClickProbe : public QObject {
public:
    explicit ClickProbe(int clicks)
        : pressedAt(size_t(clicks)), paintedAt(size_t(clicks)), seen(size_t(clicks)), busy(size_t(clicks))
    {
    }
    std::atomic<int> current{-1};                 // set by the clicker before it presses
    std::vector<std::atomic<int64_t>> pressedAt;  // written by the clicker
    std::vector<int64_t> paintedAt;
    std::vector<char> seen, busy;
    vantor::LinkGate *gate = nullptr;
    bool eventFilter(QObject *, QEvent *e) override
    {
        const int i = current.load();
        if (i < 0)
            return false;
        const bool press = e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick;
        if (press && !seen[size_t(i)]) {
            seen[size_t(i)] = 1;
            busy[size_t(i)] = gate->busy();
        } else if (e->type() == QEvent::Paint && seen[size_t(i)] && paintedAt[size_t(i)] == 0) {
            paintedAt[size_t(i)] = Clock::now().time_since_epoch().count();
        }
        return false;
    }
};

void Click(Display *display, QPoint at, bool press)
{
    XTestFakeMotionEvent(display, -1, at.x(), at.y(), CurrentTime);
    XTestFakeButtonEvent(display, 1, press ? True : False, CurrentTime);
    XFlush(display);
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p / 100.0 * double(v.size() - 1) + 0.5));
    return v[i];
}

// Runs the event loop (as the program's own would, without spinning) until
// done() or the time is up.
template <class Pred> bool SpinUntil(Pred done, int ms)
{
    const auto limit = Clock::now() + std::chrono::milliseconds(ms);
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || Clock::now() > limit)
            loop.quit();
    });
    poll.start(1);
    if (!done())
        loop.exec();
    return done();
}

void BM_ClickLatencyDuringAuto(benchmark::State &state)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display || QGuiApplication::platformName() != QLatin1String("xcb")) {
        state.SkipWithError("needs an X display: run under Xvfb");
        return;
    }
    RealPauses ui;
    BenchFrame rig;
    rig.gateMode = vantor::LinkGate::Mode::Threaded;
    if (!rig.Open(ui, 70, true)) {
        state.SkipWithError("no main window");
        return;
    }
    rig.frame->OnConnect();
    if (!g_bDsoBound) {
        state.SkipWithError("the virtual instrument did not bind");
        return;
    }
    rig.frame->rightWnd()->SelectTab(TAB_WAVE_GRAPH);
    CViewWaveGraphDlg *graph = rig.frame->rightWnd()->graphPage();
    graph->check(IDC_GRAPH_GET_ALL_DATA)->setChecked(true);
    rig.frame->ApplyRefreshRate(0);  // 500 ms
    graph->button(IDC_GRAPH_AUTO)->click();
    // The first refresh draws the curves and enables the show boxes.
    SpinUntil([&] { return graph->refreshCount() >= 2 && graph->check(IDC_GRAPH_SHOW_CH2)->isEnabled(); }, 10000);

    QCheckBox *target = graph->check(IDC_GRAPH_SHOW_CH2);
    const QPoint at = target->mapToGlobal(QPoint(8, target->height() / 2));
    QPushButton *manu = graph->button(IDC_GRAPH_MANU);
    const QPoint manuAt = manu->mapToGlobal(manu->rect().center());
    const int clicks = int(state.range(0));
    ClickProbe probe(clicks);
    probe.gate = &rig.app->link();
    target->installEventFilter(&probe);
    // What the clicker may know of the UI thread, sampled every millisecond.
    std::atomic<bool> busyNow{false}, done{false};
    std::atomic<int> refreshesNow{graph->refreshCount()}, atManu{0};
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        busyNow = rig.app->link().busy();
        refreshesNow = graph->refreshCount();
    });
    sampler.start(1);
    const int refreshesBefore = graph->refreshCount();

    for (auto _ : state) {
        // The clicks come from another client at their own pace, as a user's
        // do, whatever the UI thread is doing.
        std::thread clicker([&] {
            std::mt19937 rng(5);
            std::uniform_int_distribution<int> gap(150, 400);
            for (int i = 0; i < clicks; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(gap(rng)));
                probe.current = i;
                probe.pressedAt[size_t(i)] = Clock::now().time_since_epoch().count();
                Click(display, at, true);
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                Click(display, at, false);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            probe.current = -1;
            // "Manu" in the middle of a refresh: the one in progress ends, no other starts.
            while (!busyNow.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            atManu = refreshesNow.load();
            Click(display, manuAt, true);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            Click(display, manuAt, false);
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            done = true;
        });
        SpinUntil([&] { return done.load(); }, 600000);
        clicker.join();
    }
    target->removeEventFilter(&probe);
    sampler.stop();
    std::vector<double> latencies;
    int missed = 0, duringRefresh = 0;
    for (int i = 0; i < clicks; ++i) {
        duringRefresh += probe.busy[size_t(i)];
        if (probe.paintedAt[size_t(i)] == 0) {
            ++missed;
            continue;
        }
        latencies.push_back(double(probe.paintedAt[size_t(i)] - probe.pressedAt[size_t(i)]) / 1e6);
    }
    const int refreshes = graph->refreshCount() - refreshesBefore;
    const bool stopped = !rig.frame->refreshTimer().isActive() && !g_bAutoRefresh;

    state.counters["clicks"] = double(latencies.size());
    state.counters["missed"] = double(missed);
    state.counters["in_exchange"] = double(duringRefresh);
    state.counters["refreshes"] = double(refreshes);
    state.counters["p50_ms"] = Percentile(latencies, 50);
    state.counters["p90_ms"] = Percentile(latencies, 90);
    state.counters["p99_ms"] = Percentile(latencies, 99);
    state.counters["max_ms"] = Percentile(latencies, 100);
    state.counters["manu_stopped"] = stopped ? 1 : 0;
    state.counters["refreshes_after_manu"] = double(graph->refreshCount() - atManu.load());

    if (g_bAutoRefresh)
        graph->OnManu();
    SpinUntil([&] { return !rig.app->link().busy(); }, 5000);
    rig.Stop();
    XCloseDisplay(display);
}
BENCHMARK(BM_ClickLatencyDuringAuto)->Arg(150)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "click_latency_bench: needs an X display; run it under Xvfb\n");
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QStandardPaths::setTestModeEnabled(true);
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
