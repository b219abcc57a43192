// The commands of vantorctl, run against whatever transport the options select.
#pragma once

#include "cli.h"

#include <functional>
#include <ostream>

namespace vantorctl {

struct Context {
    std::ostream &out;
    std::ostream &err;
    // The program's own pauses (between bitmap chunks); the protocol waits are Tavlink's.
    std::function<void(unsigned ms)> sleep;
    bool progressIsTerminal = false;  // progress may redraw one line
    // True once the user asked the run to stop (Ctrl-C).
    std::function<bool()> stopRequested = [] { return false; };
};

// Binds, runs, unbinds; returns the exit code.
int runCommand(const Options &options, Context &context);

// Reads a settings file; exactly 2500 bytes or an error text.
bool readSettingsFile(const std::string &path, unsigned char (&block)[2500], std::string &error);

}  // namespace vantorctl
