// The wave pages against a four-channel virtual instrument on the virtual
// USB socket. Without waits: the drawing, parameter table and wave data table
// of one refresh of 4 x 24000 samples, a replot of seven 24000-point curves,
// the copy of a full table, the measurement page's fill of four channels and
// one append to its trend log. With the real waits: one whole refresh against
// the sum of the waits it spent (protocol waits and the page's own pauses).
#include "platform/control_ids.h"
#include "platform/globals.h"
#include "platform/ui_services.h"
#include "shell/main_frame.h"
#include "shell/panes.h"
#include "shell/vantor_app.h"
#include "views/page_tables.h"
#include "views/view_pages.h"

#include <tavlink_testing.h>
#include <vsim/instrument.h>
#include <vsim/server.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cmath>
#include <malloc.h>
#include <memory>
#include <qcustomplot.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> g_realWaits{false};
std::atomic<unsigned> g_waitedMs{0};

void LinkSleep(unsigned ms)
{
    if (!g_realWaits)
        return;
    g_waitedMs += ms;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The recording desktop, except that the page's own pauses are spent when
// the real waits are on.
class BenchUi : public vantor::RecordingUiServices {
public:
    void sleep(unsigned ms) override
    {
        RecordingUiServices::sleep(ms);
        LinkSleep(ms);
    }
};

struct Env {
    QTemporaryDir dir;
    BenchUi ui;
    std::unique_ptr<vsim::Instrument> instrument;
    std::unique_ptr<vsim::Server> server;
    std::unique_ptr<CVantorApp> app;
    CMainFrame *frame = nullptr;

    CViewWaveGraphDlg *graph() const { return frame->rightWnd()->graphPage(); }
    CViewWavedataDlg *data() const { return frame->rightWnd()->dataPage(); }
};
Env *g_env = nullptr;

void FillChannels()
{
    uint8_t *waves[4] = {g_WaveCH1, g_WaveCH2, g_WaveCH3, g_WaveCH4};
    for (int n = 0; n < 4; ++n)
        for (int i = 0; i < kRecordBytes; ++i)
            waves[n][i] = uint8_t(128 + 90 * std::sin(i * (0.01 + 0.004 * n)));
    g_nWavePointsCH1 = g_nWavePointsCH2 = g_nWavePointsCH3 = g_nWavePointsCH4 = kRecordBytes;
    for (int n = 0; n < 4; ++n)
        g_bChOpen[n] = 1;
}

void BM_RefreshOwnWork(benchmark::State &state)
{
    FillChannels();
    for (auto _ : state)
        g_env->graph()->DrawAfterRefresh();
}
BENCHMARK(BM_RefreshOwnWork)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ReplotSevenCurves(benchmark::State &state)
{
    FillChannels();
    for (int c = 1; c <= 7; ++c)
        g_env->graph()->PlotWaveColumn(c <= 4 ? g_WaveCH1 + 0 : g_WaveCH2, kRecordBytes, c);
    for (int c = 1; c <= 7; ++c)
        g_env->graph()->ShowGraphColumn(c);
    QCustomPlot *plot = g_env->graph()->graph();
    for (auto _ : state)
        plot->replot(QCustomPlot::rpImmediateRefresh);
}
BENCHMARK(BM_ReplotSevenCurves)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_CopyFullTable(benchmark::State &state)
{
    FillChannels();
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
    FillChannels();
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
        const std::string time = measures::IsoLocalTime(g_env->ui.now().toMSecsSinceEpoch());
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

void BM_RefreshOverUsbRealWaits(benchmark::State &state)
{
    g_env->graph()->check(IDC_GRAPH_GET_ALL_DATA)->setChecked(true);
    double totalMs = 0, waitedMs = 0;
    g_realWaits = true;
    for (auto _ : state) {
        g_waitedMs = 0;
        const auto begin = std::chrono::steady_clock::now();
        g_env->graph()->RefreshWaveGraph();
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
        waitedMs += g_waitedMs;
    }
    g_realWaits = false;
    state.counters["waits_ms"] = waitedMs / double(state.iterations());
    state.counters["refresh_ms"] = totalMs / double(state.iterations());
    state.counters["over_waits_pct"] = 100.0 * (totalMs - waitedMs) / waitedMs;
}
BENCHMARK(BM_RefreshOverUsbRealWaits)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication qapp(argc, argv);
    Env env;
    g_env = &env;
    const QString socket = env.dir.filePath(QStringLiteral("usb.sock"));
    qputenv("FERRULE_SIM_SOCKET", socket.toLocal8Bit());
    TavlinkSetSleep(&LinkSleep);
    env.instrument = std::make_unique<vsim::Instrument>(70);
    vsim::State s = env.instrument->state();
    for (auto &c : s.channels)
        c.on = true;
    env.instrument->setState(s);
    env.server = std::make_unique<vsim::Server>(*env.instrument);
    env.server->startUsb(socket.toStdString());

    ResetAllGlobals();
    CVantorApp::Options options;
    options.ui = &env.ui;
    options.gateMode = vantor::LinkGate::Mode::Synchronous;
    options.programDir = env.dir.path();
    options.logDir = env.dir.path();
    options.lockPath = env.dir.filePath(QStringLiteral("Vantor.lock"));
    env.app = std::make_unique<CVantorApp>(options);
    env.app->ReadStartupFile();
    env.frame = env.app->CreateMainFrame();
    if (!env.frame)
        return 1;
    env.frame->ShowAtStart();
    env.frame->resize(1280, 900);
    env.frame->rightWnd()->SelectTab(1);
    QCoreApplication::processEvents();
    env.frame->OnConnect();
    if (!g_bDsoBound) {
        std::fprintf(stderr, "views_bench: the virtual instrument did not bind\n");
        return 1;
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    env.frame->OnDisconnect();
    env.frame->close();
    env.app.reset();
    env.server.reset();
    return 0;
}
