// Time as the benchmarks read it: QueryPerformanceCounter ticks, and the median of repetitions.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

namespace kivostrel::winbench {

inline LONGLONG Ticks() noexcept {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return now.QuadPart;
}

inline double SecondsBetween(LONGLONG from, LONGLONG to) noexcept {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to - from) / static_cast<double>(frequency.QuadPart);
}

// The middle value (the mean of the two middle ones for an even count); 0 for none.
inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace kivostrel::winbench
