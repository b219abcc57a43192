// How the window answers while Auto runs: on a real X display, the program
// refreshes four whole records from the virtual instrument over the virtual
// USB every 500 ms with the real waits, and the benchmark clicks a harmless
// control (the "Graph Show" box of CH2) through XTest at random moments. The
// latency of a click is the time from the press sent to the X server to the
// box's repaint it causes. Then it presses "Manu" in the middle of a refresh
// and counts the refreshes that start after it (none may).
//
//   Xvfb :57 -screen 0 1366x768x24 & DISPLAY=:57 build/bench/click_latency_bench
#include "app_rig.h"
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

// Notes the first paint of a widget after each press it receives.
class PaintAfterPress : public QObject {
public:
    bool pressed = false;
    int64_t paintedAt = 0;  // ns since the clock's epoch, 0 = not yet
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::MouseButtonPress)
            pressed = true;
        else if (e->type() == QEvent::Paint && pressed && paintedAt == 0)
            paintedAt = Clock::now().time_since_epoch().count();
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
    AppRig rig;
    if (!rig.Start(ui, false)) {
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
    PaintAfterPress probe;
    target->installEventFilter(&probe);
    const int clicks = int(state.range(0));
    std::vector<double> latencies;
    int missed = 0, duringRefresh = 0;
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> gap(120, 380);
    const int refreshesBefore = graph->refreshCount();

    for (auto _ : state) {
        for (int i = 0; i < clicks; ++i) {
            SpinUntil([] { return false; }, gap(rng));
            duringRefresh += rig.app->link().busy() ? 1 : 0;
            probe.paintedAt = 0;
            probe.pressed = false;
            // The clicks come from another client, as a user's do.
            std::atomic<int64_t> pressedAt{0};
            std::thread clicker([&] {
                pressedAt = Clock::now().time_since_epoch().count();
                Click(display, at, true);
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                Click(display, at, false);
            });
            const bool painted = SpinUntil([&] { return probe.paintedAt != 0; }, 2000);
            clicker.join();
            if (!painted) {
                ++missed;
                continue;
            }
            latencies.push_back(double(probe.paintedAt - pressedAt) / 1e6);
        }
    }
    target->removeEventFilter(&probe);
    const int refreshes = graph->refreshCount() - refreshesBefore;

    // "Manu" in the middle of a refresh: the one in progress ends, no other starts.
    QPushButton *manu = graph->button(IDC_GRAPH_MANU);
    const QPoint manuAt = manu->mapToGlobal(manu->rect().center());
    SpinUntil([&] { return rig.app->link().busy(); }, 3000);
    const int atManu = graph->refreshCount();
    std::thread([&] {
        Click(display, manuAt, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        Click(display, manuAt, false);
    }).join();
    SpinUntil([] { return false; }, 2500);
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
    state.counters["refreshes_after_manu"] = double(graph->refreshCount() - atManu);

    if (g_bAutoRefresh)
        graph->OnManu();
    SpinUntil([&] { return !rig.app->link().busy(); }, 5000);
    rig.Stop();
    XCloseDisplay(display);
}
BENCHMARK(BM_ClickLatencyDuringAuto)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond);

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
