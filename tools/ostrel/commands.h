// The commands of `ostrel`, each run on a control of its own.
#pragma once

#include <iosfwd>

#include "tools/ostrel/command_line.h"

namespace kivostrel::ostrel {

// Runs one command, writing results to `out`. Returns the exit status; throws UsageError for
// arguments only the control can judge (objects, values), ToolError for failures.
int Run(const Invocation& invocation, std::ostream& out);

}  // namespace kivostrel::ostrel
