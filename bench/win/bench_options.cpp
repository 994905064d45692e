#include "bench_options.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace kivostrel::winbench {

namespace {

constexpr const char* kUsage =
    "usage: kivostrel_win_bench [--short] [--repetitions N] [--only roundtrip,burst,endurance]\n"
    "                           [--sender LINUX_PATH_OF_trap_sender.py]\n";

bool IsFigure(const std::string& name) {
  return name == "roundtrip" || name == "burst" || name == "endurance";
}

}  // namespace

bool ParseOptions(int argc, char** argv, BenchOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--short") {
      options.short_mode = true;
    } else if (arg == "--repetitions" && i + 1 < argc) {
      options.repetitions = std::atoi(argv[++i]);
      if (options.repetitions < 1) {
        std::fputs(kUsage, stderr);
        return false;
      }
    } else if (arg == "--sender" && i + 1 < argc) {
      options.sender = argv[++i];
    } else if (arg == "--only" && i + 1 < argc) {
      std::istringstream names(argv[++i]);
      for (std::string name; std::getline(names, name, ',');) {
        if (!IsFigure(name)) {
          std::fprintf(stderr, "unknown figure %s\n%s", name.c_str(), kUsage);
          return false;
        }
        options.only.insert(name);
      }
    } else {
      std::fputs(kUsage, stderr);
      return false;
    }
  }
  return true;
}

}  // namespace kivostrel::winbench
