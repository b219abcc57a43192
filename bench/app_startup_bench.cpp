// Start-up of the shell: from main() to the first paint of the main window
// (the first iteration is the cold start a user sees), then repeated frame
// creation; the resident memory after start-up is reported as a counter.
#include "platform/globals.h"
#include "shell/main_frame.h"
#include "shell/vantor_app.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

std::chrono::steady_clock::time_point g_mainStart;

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

class FirstPaint : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Builds the application and its frame, shows it and waits for its paint.
double StartOnce(const QString &programDir)
{
    const auto begin = std::chrono::steady_clock::now();
    ResetAllGlobals();
    CVantorApp::Options options;
    options.programDir = programDir;
    options.logDir = programDir;
    options.lockPath = programDir + QStringLiteral("/Vantor.lock");
    CVantorApp app(options);
    if (app.InitInstance() != CVantorApp::Start::Ok)
        return -1;
    FirstPaint probe;
    app.mainFrame()->installEventFilter(&probe);
    while (!probe.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - begin).count();
}

void BM_ColdStartToFirstPaint(benchmark::State &state)
{
    QTemporaryDir dir;
    for (auto _ : state) {
        const double ms = StartOnce(dir.path());
        const double sinceMain =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_mainStart).count();
        state.counters["frame_ms"] = ms;
        state.counters["since_main_ms"] = sinceMain;
        state.counters["rss_mb"] = ResidentMegabytes();
    }
}
BENCHMARK(BM_ColdStartToFirstPaint)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_WarmStartToFirstPaint(benchmark::State &state)
{
    QTemporaryDir dir;
    for (auto _ : state)
        benchmark::DoNotOptimize(StartOnce(dir.path()));
    state.counters["rss_mb"] = ResidentMegabytes();
}
BENCHMARK(BM_WarmStartToFirstPaint)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv)
{
    g_mainStart = std::chrono::steady_clock::now();
    // No instrument is reached: the virtual USB socket named here does not exist.
    qputenv("FERRULE_SIM_SOCKET", "/nonexistent/vantor-bench.sock");
    QStandardPaths::setTestModeEnabled(true);
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
