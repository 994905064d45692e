// The process's commit charge, as GetProcessMemoryInfo reports it.
#pragma once

#include <windows.h>

#include <psapi.h>

#include <cstddef>

namespace kivostrel::winbench {

// PROCESS_MEMORY_COUNTERS_EX.PagefileUsage, in bytes: the commit charge on Windows. Wine 8 leaves
// PrivateUsage at 0 and reports here the private memory the process has written (Linux's
// anonymous resident memory), which is where a leak shows.
inline std::size_t CommitCharge() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters))
    return 0;
  return counters.PagefileUsage;
}

}  // namespace kivostrel::winbench
