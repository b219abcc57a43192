#include "interrupt.h"

#include <signal.h>

namespace vantorctl {
namespace {

volatile sig_atomic_t g_signal = 0;

void onSignal(int signal) { g_signal = signal; }

}  // namespace

void catchInterrupts()
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interrupted() { return g_signal != 0; }

int interruptSignal() { return g_signal; }

}  // namespace vantorctl
