// The figures of one run, printed together as one table at the end.
#pragma once

#include <string>
#include <vector>

namespace kivostrel::winbench {

struct ResultRow {
  std::string figure;  // what was measured
  std::string value;   // the figure with its unit
  std::string goal;    // empty when there is none
  std::string detail;  // the spread, counts, how it was taken
};

class ResultsTable {
 public:
  void Add(ResultRow row) { rows_.push_back(std::move(row)); }
  // Writes every row to stdout, columns aligned.
  void Print() const;

 private:
  std::vector<ResultRow> rows_;
};

// A number with `decimals` digits after the point, then `unit`.
std::string Format(double value, int decimals, const std::string& unit = "");

}  // namespace kivostrel::winbench
