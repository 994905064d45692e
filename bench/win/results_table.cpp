#include "results_table.h"

#include <algorithm>
#include <cstdio>

namespace kivostrel::winbench {

void ResultsTable::Print() const {
  std::size_t widths[3] = {6, 5, 4};
  for (const ResultRow& row : rows_) {
    widths[0] = std::max(widths[0], row.figure.size());
    widths[1] = std::max(widths[1], row.value.size());
    widths[2] = std::max(widths[2], row.goal.size());
  }
  auto line = [&](const std::string& a, const std::string& b, const std::string& c,
                  const std::string& d) {
    std::printf("%-*s  %*s  %-*s  %s\n", static_cast<int>(widths[0]), a.c_str(),
                static_cast<int>(widths[1]), b.c_str(), static_cast<int>(widths[2]), c.c_str(),
                d.c_str());
  };
  line("figure", "value", "goal", "detail");
  for (const ResultRow& row : rows_) line(row.figure, row.value, row.goal, row.detail);
  std::fflush(stdout);
}

std::string Format(double value, int decimals, const std::string& unit) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return unit.empty() ? std::string(text) : std::string(text) + " " + unit;
}

}  // namespace kivostrel::winbench
