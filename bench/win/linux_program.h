// Starting a Linux program from inside Wine, outside the wineserver's reach: its system calls go
// straight to Linux.
#pragma once

#include <string>
#include <vector>

namespace kivostrel::winbench {

// Starts `argv` (argv[0] an absolute Linux path) without waiting for it; Wine runs a file that is
// no Windows program as a Linux one. Gives no handle: the program reports back by itself. False,
// with a message on stderr, when it could not be started.
bool StartLinuxProgram(const std::vector<std::string>& argv);

}  // namespace kivostrel::winbench
