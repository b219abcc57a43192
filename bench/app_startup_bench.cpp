// What a user waits for at start-up: from exec of the real program to its
// first painted main window on a real X display, and the program's resident
// memory at that moment. Needs an X server (run it under Xvfb); without
// DISPLAY it says so and skips.
//
//   Xvfb :57 -screen 0 1366x768x24 & DISPLAY=:57 build/bench/app_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

double ResidentMegabytes(pid_t pid)
{
    long pages = 0, resident = 0;
    const std::string path = "/proc/" + std::to_string(pid) + "/statm";
    if (FILE *f = std::fopen(path.c_str(), "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct Start {
    double ms = -1;
    double rssMb = 0;
};

// One start in fresh user folders: no settings, no instrument.
Start StartOnce(const std::string &home)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        if (entry.rfind("XDG_", 0) != 0 && entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("HOME=", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("HOME=" + home);
    env.push_back("XDG_CONFIG_HOME=" + home + "/config");
    env.push_back("XDG_DATA_HOME=" + home + "/data");
    env.push_back("XDG_RUNTIME_DIR=" + home);
    env.push_back("QT_QPA_PLATFORM=xcb");
    env.push_back("FERRULE_SIM_SOCKET=/nonexistent/vantor-bench.sock");
    env.push_back("VANTOR_FIRST_PAINT_FD=" + std::to_string(pipeFds[1]));
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char program[] = VANTOR_PROGRAM;
    char *argv[] = {program, nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const auto begin = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    Start start;
    if (spawned == 0) {
        pollfd p{pipeFds[0], POLLIN, 0};
        char line[16] = {};
        if (::poll(&p, 1, 30000) == 1 && ::read(pipeFds[0], line, sizeof line - 1) > 0 &&
            std::strncmp(line, "painted", 7) == 0) {
            start.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
            start.rssMb = ResidentMegabytes(pid);
        }
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    ::close(pipeFds[0]);
    return start;
}

void BM_ExecToFirstPaintedWindow(benchmark::State &state)
{
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("needs an X display: run under Xvfb");
        return;
    }
    char dir[] = "/tmp/vantor-start-XXXXXX";
    if (!::mkdtemp(dir)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    std::vector<double> times, rss;
    for (auto _ : state) {
        const Start s = StartOnce(dir);
        if (s.ms < 0) {
            state.SkipWithError("the program did not report its first paint");
            break;
        }
        state.SetIterationTime(s.ms / 1000.0);
        times.push_back(s.ms);
        rss.push_back(s.rssMb);
    }
    const std::string cleanup = std::string("rm -rf ") + dir;
    if (std::system(cleanup.c_str()) != 0)
        std::fprintf(stderr, "app_bench: %s left behind\n", dir);
    if (times.empty())
        return;
    state.counters["first_ms"] = times.front();
    state.counters["min_ms"] = *std::min_element(times.begin(), times.end());
    state.counters["rss_mb"] = *std::max_element(rss.begin(), rss.end());
}
BENCHMARK(BM_ExecToFirstPaintedWindow)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
