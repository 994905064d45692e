// What one run of the benchmark program measures, from its command line.
#pragma once

#include <set>
#include <string>

namespace kivostrel::winbench {

struct BenchOptions {
  bool short_mode = false;     // --short: a smoke test's sizes, figures meaningless
  int repetitions = 5;         // --repetitions N: of each timed round-trip batch
  std::set<std::string> only;  // --only NAME[,NAME]: roundtrip, burst, endurance; empty: all
  // --sender PATH: the Linux path of trap_sender.py, which sends the trap bursts as a Linux
  // process outside Wine; needed for the burst figures.
  std::string sender;

  bool Wants(const std::string& figure) const { return only.empty() || only.contains(figure); }
};

// False, with a message on stderr, for an unknown or malformed argument.
bool ParseOptions(int argc, char** argv, BenchOptions& options);

}  // namespace kivostrel::winbench
