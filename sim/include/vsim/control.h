// Text control of a running instrument: fault descriptions and the commands
// of the program's control input.
#ifndef VSIM_CONTROL_H
#define VSIM_CONTROL_H

#include <optional>
#include <string>

#include "vsim/instrument.h"
#include "vsim/server.h"

namespace vsim {

// KIND[:ARG][@CMD][xTIMES]; kinds are the Fault kinds in lower case with
// dashes ("drop", "wrong-magic", "chunk-fail", ...); xTIMES of "x*" or "x-1"
// lasts until cleared. Nothing on a malformed text (error says why).
std::optional<Fault> parseFault(const std::string &text, std::string *error = nullptr);
std::string faultName(Fault::Kind kind);

// One control line: "fault FAULT", "clear", "unplug", "replug", "model CODE",
// "key CODE [COUNT]", "signal CH WAVE FREQ AMP [OFFSET]", "reset", "status",
// "commands" (the codes of the last requests handled), "quit". Returns the answer line; quit is set by "quit".
std::string runControl(const std::string &line, Instrument &instrument, Server *server, bool &quit);

}  // namespace vsim

#endif
