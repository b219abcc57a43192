// vantorctl measure: the instrument's measurements of one channel, once or
// repeatedly, as the rows of the application's measurement trend log.
#pragma once

#include "commands.h"
#include "session.h"

namespace vantorctl {

int measure(Session &session, const Options &options, Context &context);

}  // namespace vantorctl
