// A key of the virtual front panel against a four-channel virtual instrument
// on the virtual USB socket, on the program's own link thread, with every
// wait spent: from the click to the first paint of the key's new lamp, and
// to the end of the key, each against the waits the key must spend (its
// command's, the 200 ms pause, the lamp read's; then its own pause).
#include "bench_frame.h"
#include "panel/panel_controls.h"
#include "panel/simulant_ui_dlg.h"
#include "platform/globals.h"
#include "platform/ui_services.h"
#include "shell/main_frame.h"
#include "shell/vantor_app.h"

#include <tavlink_testing.h>
#include <vsim/instrument.h>
#include <vsim/server.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<unsigned> g_waitedMs{0};

void SpendWait(unsigned ms)
{
    g_waitedMs += ms;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The recording desktop (no modal window blocks), but every pause spent.
class BenchUi : public vantor::RecordingUiServices {
public:
    void sleep(unsigned ms) override { SpendWait(ms); }
};

// The first paint of a key that shows a face other than the one it had.
class LampPaint : public QObject {
public:
    explicit LampPaint(CLampKey *key) : m_key(key) {}
    void arm()
    {
        m_face = m_key->GetProperty(CLampKey::kFaceColour);
        painted.reset();
    }
    std::optional<Clock::time_point> painted;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && !painted && m_key->GetProperty(CLampKey::kFaceColour) != m_face)
            painted = Clock::now();
        return false;
    }

private:
    CLampKey *m_key;
    QVariant m_face;
};

CSimulantUIDlg *g_panel = nullptr;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// args: key, the waits to its lamps, the waits of the whole key (ms).
void BM_KeyToLampsShown(benchmark::State &state)
{
    const int id = int(state.range(0));
    const double lampsWaits = double(state.range(1)), keyWaits = double(state.range(2));
    CLampKey *key = g_panel->lampKey(id);
    LampPaint probe(key);
    key->installEventFilter(&probe);
    double toLamps = 0, toEnd = 0, waited = 0, fastest = 1e9;
    for (auto _ : state) {
        probe.arm();
        g_waitedMs = 0;
        const Clock::time_point begin = Clock::now();
        g_panel->PressKey(id);
        const Clock::time_point end = Clock::now();
        waited += g_waitedMs;
        if (!probe.painted) {
            state.SkipWithError("the new lamp was not painted during the key");
            break;
        }
        toLamps += Ms(*probe.painted - begin);
        fastest = std::min(fastest, Ms(*probe.painted - begin));
        toEnd += Ms(end - begin);
    }
    key->removeEventFilter(&probe);
    const double n = double(state.iterations());
    state.counters["lamps_ms"] = toLamps / n;
    state.counters["lamps_over_pct"] = 100.0 * (toLamps / n - lampsWaits) / lampsWaits;
    state.counters["lamps_min_over_pct"] = 100.0 * (fastest - lampsWaits) / lampsWaits;
    state.counters["key_ms"] = toEnd / n;
    state.counters["key_waits_ms"] = waited / n;
    state.counters["key_over_pct"] = 100.0 * (toEnd / n - keyWaits) / keyWaits;
}
// CH1 and RUN/STOP: 100 + 200 + 50 to the lamps, then 300; MATH pauses 500.
BENCHMARK(BM_KeyToLampsShown)
    ->ArgNames({"key", "lamps_waits", "key_waits"})
    ->Args({1146, 350, 650})
    ->Args({1141, 350, 650})
    ->Args({1143, 350, 850})
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication qapp(argc, argv);
    TavlinkSetSleep(&SpendWait);
    BenchUi ui;
    BenchFrame rig;
    rig.gateMode = vantor::LinkGate::Mode::Threaded;
    CMainFrame *frame = rig.Open(ui, 70, false);
    if (!frame)
        return 1;
    frame->OnConnect();
    if (!g_bDsoBound) {
        std::fprintf(stderr, "panel_bench: the virtual instrument did not bind\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    int result = 1;
    ui.dialogHandlers.push_back([&](QDialog *d) {
        g_panel = static_cast<CSimulantUIDlg *>(d);
        d->show();
        QCoreApplication::processEvents();
        benchmark::RunSpecifiedBenchmarks();
        result = 0;
        return int(QDialog::Rejected);
    });
    frame->OnShowPanel();
    benchmark::Shutdown();
    rig.Stop();
    return result;
}
