// Ctrl-C (or SIGTERM) asks the run to end what it started: the exchange in
// progress completes, the bitmap transfer is ended, the instrument unbound,
// and the program exits 128 + the signal. A second signal ends it at once.
#pragma once

namespace vantorctl {

void catchInterrupts();
bool interrupted();
// The signal that came, 0 before any.
int interruptSignal();

}  // namespace vantorctl
