// The wave pages against a four-channel virtual instrument on the virtual
// USB socket, on the link thread as the program runs. Without waits: the
// application's own work in one refresh of 4 x 24000 noisy samples (drawing,
// tables, and the paint the event loop then does), a replot of seven
// 24000-point curves, the copy of a full table, the measurement page's fill
// of four channels and one append to its trend log. With the real waits: one
// whole refresh against the waits it spends (the protocol's and the page's
// own pauses) and against the protocol's alone. The instrument answers every
// read with a record it made before, so its own work is not timed.
//
//   build/bench/views_bench --benchmark_counters_tabular=true
#include "bench_frame.h"
#include "platform/control_ids.h"
#include "platform/globals.h"
#include "platform/ui_services.h"
#include "shell/main_frame.h"
#include "shell/panes.h"
#include "shell/vantor_app.h"
#include "views/page_tables.h"
#include "views/view_pages.h"

#include <tavlink_testing.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <malloc.h>
#include <memory>
#include <qcustomplot.h>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> g_realWaits{false};
std::atomic<unsigned> g_protocolMs{0};
std::atomic<unsigned> g_pauseMs{0};

void ProtocolSleep(unsigned ms)
{
    if (!g_realWaits)
        return;
    g_protocolMs += ms;
    TavlinkRealSleep(ms);
}

// The recording desktop, except that the page's own pauses are spent as the
// application spends them (and counted apart) when the real waits are on.
class BenchUi : public vantor::RecordingUiServices {
public:
    void sleep(unsigned ms) override
    {
        if (!g_realWaits)
            return;
        g_pauseMs += ms;
        vantor::QtUiServices::Wait(ms);
    }
};

struct Env : BenchFrame {
    BenchUi ui;

    CViewWaveGraphDlg *graph() const { return frame->rightWnd()->graphPage(); }
    CViewWavedataDlg *data() const { return frame->rightWnd()->dataPage(); }
};
Env *g_env = nullptr;

// Counts the paints of one widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Until the widget has painted since it had painted `before` times (the
// event loop does the paint, or it was done at once).
void UntilPainted(const PaintCounter &counter, int before)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (counter.paints == before && std::chrono::steady_clock::now() < limit)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Sixteen acquisitions of four noisy channels: each refresh gets new samples,
// as a live signal gives.
struct NoisyRecords {
    static constexpr int kSets = 16;
    std::vector<uint8_t> sets[kSets][4];
    NoisyRecords()
    {
        std::mt19937 rng(11);
        std::normal_distribution<double> noise(0.0, 2.0);
        for (int k = 0; k < kSets; ++k)
            for (int n = 0; n < 4; ++n) {
                sets[k][n].resize(kRecordBytes);
                for (int i = 0; i < kRecordBytes; ++i) {
                    const double v = 128 + 80 * std::sin(i * (0.002 + 0.0007 * n) + k * 0.37) + noise(rng);
                    sets[k][n][size_t(i)] = uint8_t(std::clamp(std::lround(v), 0L, 255L));
                }
            }
    }
    void load(int k) const
    {
        for (int n = 1; n <= 4; ++n)
            std::memcpy(Live(n).wave, sets[k % kSets][n - 1].data(), kRecordBytes);
    }
};
const NoisyRecords &Noisy()
{
    static const NoisyRecords records;
    return records;
}

void OpenAllChannels()
{
    for (int n = 1; n <= 4; ++n) {
        Live(n).points = kRecordBytes;
        g_bChOpen[n - 1] = 1;
    }
}

// What one refresh of four whole records costs the UI thread: storing and
// drawing the curves, the parameter and sample tables, and the paint.
void BM_RefreshOwnWork(benchmark::State &state)
{
    OpenAllChannels();
    Noisy();
    PaintCounter counter;
    QCustomPlot *plot = g_env->graph()->graph();
    plot->installEventFilter(&counter);
    int k = 0;
    for (auto _ : state) {
        Noisy().load(k++);
        const int before = counter.paints;
        g_env->graph()->DrawAfterRefresh();
        UntilPainted(counter, before);
    }
    plot->removeEventFilter(&counter);
    state.counters["paints"] = double(counter.paints);
}
BENCHMARK(BM_RefreshOwnWork)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void ReplotSeven(benchmark::State &state, bool antialiased)
{
    OpenAllChannels();
    Noisy().load(0);
    for (int c = 1; c <= 7; ++c)
        g_env->graph()->PlotWaveColumn(Live(c <= 4 ? c : c - 4).wave, kRecordBytes, c);
    for (int c = 1; c <= 7; ++c)
        g_env->graph()->ShowGraphColumn(c);
    g_env->graph()->SetLiveAntialiasing(antialiased);
    QCustomPlot *plot = g_env->graph()->graph();
    for (auto _ : state)
        plot->replot(QCustomPlot::rpImmediateRefresh);
    g_env->graph()->SetLiveAntialiasing(false);
}
// As the live curves are drawn, and as copies and pictures are.
void BM_ReplotSevenCurves(benchmark::State &state) { ReplotSeven(state, false); }
void BM_ReplotSevenCurvesAntialiased(benchmark::State &state) { ReplotSeven(state, true); }
BENCHMARK(BM_ReplotSevenCurves)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReplotSevenCurvesAntialiased)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_CopyFullTable(benchmark::State &state)
{
    OpenAllChannels();
    Noisy().load(0);
    g_env->graph()->DrawAfterRefresh();
    for (int c = 5; c <= 7; ++c) {
        g_ChannelSlots[c].nCount = kRecordBytes;
        g_env->data()->table()->setNumbers(c, g_WaveCH3, kRecordBytes);
    }
    size_t length = 0;
    for (auto _ : state) {
        const QString text = g_env->data()->CopyWaveDataText();
        length = size_t(text.size());
        benchmark::DoNotOptimize(text.constData());
    }
    state.counters["chars"] = double(length);
    state.counters["table_mb"] = double(g_env->data()->table()->memoryBytes()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_CopyFullTable)->Unit(benchmark::kMillisecond)->MinTime(2.0);

double ResidentMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// What a second, fully written table adds to the resident memory.
void BM_TableMemory(benchmark::State &state)
{
    double grown = 0;
    for (auto _ : state) {
        // Memory freed by the benchmarks before would otherwise be reused unseen.
        malloc_trim(0);
        const double before = ResidentMegabytes();
        auto table = std::make_unique<WaveDataTable>();
        for (int c = 1; c <= 7; ++c)
            table->setNumbers(c, g_WaveCH1, kRecordBytes);
        grown = ResidentMegabytes() - before;
        benchmark::DoNotOptimize(table.get());
    }
    state.counters["rss_growth_mb"] = grown;
}
BENCHMARK(BM_TableMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

// The measurement page: four measured channels judged into the table, and
// the trend log's append of one refresh (rows: channels measured).
void MeasureAllFour(bool on)
{
    for (int id : {IDC_GRAPH_MEASURE_CH1, IDC_GRAPH_MEASURE_CH2, IDC_GRAPH_MEASURE_CH3, IDC_GRAPH_MEASURE_CH4})
        g_env->graph()->check(id)->setChecked(on);
    if (on)
        g_env->graph()->RefreshWaveGraph();
}

void BM_FillMeasurementPage(benchmark::State &state)
{
    MeasureAllFour(true);
    CViewWaveparamDlg *page = g_env->frame->rightWnd()->measurePage();
    for (auto _ : state)
        page->FillMeasurementPage();
    MeasureAllFour(false);
}
BENCHMARK(BM_FillMeasurementPage)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

void BM_TrendLogAppend(benchmark::State &state)
{
    MeasureAllFour(true);
    MeasureTrend trend;
    if (!trend.Start(g_env->dir.filePath(QStringLiteral("trend.csv")))) {
        state.SkipWithError("no log file");
        return;
    }
    const auto limits = measures::DefaultLimits();
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string time = measures::IsoLocalTime(QDateTime::currentMSecsSinceEpoch());
        std::vector<measures::TrendRow> rows;
        for (int n = 1; n <= state.range(0); ++n)
            rows.push_back(measures::MakeTrendRow(time, n, Live(n).measure, true, limits));
        if (!trend.Append(rows))
            state.SkipWithError("the log could not be written");
        bytes = measures::TrendCsvLine(rows.front()).size();
    }
    MeasureAllFour(false);
    state.counters["row_bytes"] = double(bytes);
}
BENCHMARK(BM_TrendLogAppend)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// One whole refresh over the virtual USB, every exchange but no wait spent.
void BM_RefreshOverUsbNoWaits(benchmark::State &state)
{
    g_env->graph()->check(IDC_GRAPH_GET_ALL_DATA)->setChecked(true);
    for (auto _ : state)
        g_env->graph()->RefreshWaveGraph();
    state.counters["points_ch4"] = g_ChannelSlots[4].nCount;
}
BENCHMARK(BM_RefreshOverUsbNoWaits)->Unit(benchmark::kMillisecond)->Iterations(10);

// Each iteration is one refresh, up to the paint of all it changed; its
// ratios are taken in that one run, and the best of the five is what the
// refresh costs at its floor.
void BM_RefreshOverUsbRealWaits(benchmark::State &state)
{
    g_env->graph()->check(IDC_GRAPH_GET_ALL_DATA)->setChecked(true);
    g_env->graph()->RefreshWaveGraph();  // the instrument makes its records once
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    PaintCounter counter;
    g_env->graph()->graph()->installEventFilter(&counter);
    double bestCounted = 1e9, bestProtocol = 1e9, totalMs = 0, countedMs = 0, protocolMs = 0;
    g_realWaits = true;
    for (auto _ : state) {
        g_protocolMs = 0;
        g_pauseMs = 0;
        const auto begin = std::chrono::steady_clock::now();
        g_env->graph()->RefreshWaveGraph();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
        const double protocol = g_protocolMs, counted = protocol + g_pauseMs;
        bestCounted = std::min(bestCounted, ms / counted);
        bestProtocol = std::min(bestProtocol, ms / protocol);
        totalMs += ms;
        countedMs += counted;
        protocolMs += protocol;
    }
    g_realWaits = false;
    g_env->graph()->graph()->removeEventFilter(&counter);
    const double n = double(state.iterations());
    state.counters["plot_paints"] = counter.paints / n;
    state.counters["refresh_ms"] = totalMs / n;
    state.counters["waits_ms"] = countedMs / n;
    state.counters["protocol_ms"] = protocolMs / n;
    state.counters["x_waits_min"] = bestCounted;
    state.counters["x_protocol_min"] = bestProtocol;
    state.counters["points_ch4"] = g_ChannelSlots[4].nCount;
}
BENCHMARK(BM_RefreshOverUsbRealWaits)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char **argv)
{
    return RunPageBenchmarks(argc, argv, g_env, [](Env &env) {
        TavlinkSetSleep(&ProtocolSleep);
        env.gateMode = vantor::LinkGate::Mode::Threaded;
        env.replayReads = true;
        return env.Start(env.ui, 70, true, 1, "views_bench");
    });
}
