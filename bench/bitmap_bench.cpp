// The bitmap page against the virtual instrument on the virtual USB socket,
// every protocol wait and page pause recorded instead of spent. A refresh is
// timed beside the bare transfer (begin, every chunk, end) of the same
// 230454-byte screen; the difference is the page's own work: the transfer
// file, the reader, the picture and the progress bar.
#include "bench_frame.h"
#include "views/bitmap_page.h"
#include "views/bmp_file.h"

#include <tavlink_testing.h>
#include <vsim/instrument.h>
#include <vsim/server.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <memory>

namespace {

void NoSleep(unsigned) {}

struct Env : BenchFrame {
    vantor::RecordingUiServices ui;
    CWaveUIBmpDlg *page() const { return frame->rightWnd()->bitmapPage(); }
};
Env *g_env = nullptr;

size_t Transfer()
{
    uint32_t total = 0;
    if (!Send_Bmp_Begin_Invoke(&total))
        return 0;
    static uint8_t chunk[25600];
    size_t received = 0;
    for (int index = 0;; ++index) {
        uint32_t length = 0;
        const int result = Send_Bmp_Trans_Invoke(index, index, chunk, &length);
        if (result < 0)
            return 0;
        received += length;
        if (result == 2)
            break;
    }
    Send_Bmp_End_Invoke();
    return received;
}

// Milliseconds of the wall clock and of this thread's processor time: the
// link calls run here (synchronous gate), the instrument on its own thread.
struct Stamp {
    double wall, cpu;
    static Stamp Now()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        const auto wall = std::chrono::steady_clock::now().time_since_epoch();
        return {std::chrono::duration<double, std::milli>(wall).count(), t.tv_sec * 1e3 + t.tv_nsec / 1e6};
    }
};

void BM_RefreshBeyondTransfer(benchmark::State &state)
{
    double transfer = 0, refresh = 0, transferCpu = 0, refreshCpu = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        const Stamp t0 = Stamp::Now();
        bytes = Transfer();
        const Stamp t1 = Stamp::Now();
        g_env->page()->RefreshBitmap();
        const Stamp t2 = Stamp::Now();
        transfer += t1.wall - t0.wall;
        refresh += t2.wall - t1.wall;
        transferCpu += t1.cpu - t0.cpu;
        refreshCpu += t2.cpu - t1.cpu;
    }
    const double n = double(state.iterations());
    state.counters["bytes"] = double(bytes);
    state.counters["transfer_ms"] = transfer / n;
    state.counters["refresh_ms"] = refresh / n;
    state.counters["beyond_transfer_ms"] = (refresh - transfer) / n;
    state.counters["transfer_cpu_ms"] = transferCpu / n;
    state.counters["refresh_cpu_ms"] = refreshCpu / n;
    state.counters["beyond_transfer_cpu_ms"] = (refreshCpu - transferCpu) / n;
    if (!g_env->page()->hasPicture() || !g_env->ui.messages.empty())
        state.SkipWithError("the refresh failed");
}
BENCHMARK(BM_RefreshBeyondTransfer)->Unit(benchmark::kMillisecond)->Iterations(30);

// The status bar's part of a refresh: its ten progress steps and the reset,
// each step repainting the bar at once as QProgressBar does.
void BM_RefreshProgressSteps(benchmark::State &state)
{
    for (auto _ : state) {
        for (int i = 0; i < 9; ++i)
            g_env->frame->RunProgress(10, 1, 0);
        g_env->frame->RunProgress(10, 0, 0);
    }
}
BENCHMARK(BM_RefreshProgressSteps)->Unit(benchmark::kMillisecond)->MinTime(1.0);

QString ScreenFile()
{
    const std::vector<uint8_t> screen = g_env->instrument->renderBitmap();
    const QString path = g_env->dir.filePath(QStringLiteral("screen.bmp"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(reinterpret_cast<const char *>(screen.data()), qint64(screen.size()));
    return path;
}

// Open or the operation pane: read, decode, picture, repaint request.
void BM_Load320x240File(benchmark::State &state)
{
    const QString path = ScreenFile();
    for (auto _ : state)
        if (!g_env->page()->LoadBitmapFile(path, false))
            state.SkipWithError("the file was refused");
}
BENCHMARK(BM_Load320x240File)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

void BM_Decode320x240(benchmark::State &state)
{
    const std::vector<uint8_t> screen = g_env->instrument->renderBitmap();
    bmp::Picture picture;
    for (auto _ : state) {
        if (bmp::Decode(screen.data(), screen.size(), picture) != bmp::Error::None)
            state.SkipWithError("refused");
        benchmark::DoNotOptimize(picture.bits.data());
    }
}
BENCHMARK(BM_Decode320x240)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

int main(int argc, char **argv)
{
    return RunPageBenchmarks(argc, argv, g_env, [](Env &env) {
        TavlinkSetSleep(&NoSleep);
        if (!env.Start(env.ui, 70, false, 2, "bitmap_bench"))
            return false;
        g_szInitPath = env.dir.path();
        return true;
    });
}
