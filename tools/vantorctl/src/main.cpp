// vantorctl: the instrument from scripts, one command per run.
#include "cli.h"
#include "commands.h"
#include "interrupt.h"

#include <tavlink_testing.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <thread>

namespace {

void noSleep(unsigned) {}

void realSleep(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Tests run against the virtual instrument, which answers at once; the protocol waits would
// only cost time there.
bool fastForTests()
{
    const char *fast = std::getenv("VANTORCTL_FAST");
    return fast && std::strcmp(fast, "1") == 0;
}

}  // namespace

int main(int argc, char **argv)
{
    using namespace vantorctl;
    std::vector<std::string> args(argv + 1, argv + argc);
    ParseResult parsed = parseArguments(args);
    if (!parsed.options) {
        std::cerr << "vantorctl: " << parsed.error << "\nTry 'vantorctl --help'.\n";
        return kExitUsage;
    }
    // A peer or a reader of our output that hangs up must not end the run before the unbind,
    // and a file size limit is a write error to report, not a reason to die.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
    catchInterrupts();
    bool fast = fastForTests();
    if (fast)
        TavlinkSetSleep(noSleep);
    Context context{std::cout, std::cerr, fast ? noSleep : realSleep, ::isatty(STDERR_FILENO) == 1, interrupted};
    try {
        int code = runCommand(*parsed.options, context);
        std::cout.flush();
        return code == kExitInterrupted ? 128 + interruptSignal() : code;
    } catch (const std::exception &e) {
        std::cerr << "vantorctl: internal error: " << e.what() << "\n";
        return kExitInternal;
    }
}
