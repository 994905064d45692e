#include "tools/ostrel/engine_state.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

#include "tools/ostrel/command_line.h"

namespace kivostrel::ostrel {
namespace {

constexpr std::int32_t kMaxBoots = 2147483646;  // 2147483647 latches: never reached by counting

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

[[noreturn]] void CannotKeep(const std::filesystem::path& file, const std::string& why) {
  throw ToolError(kExitFailure, "cannot keep the engine's boots in " + file.string() + ": " + why +
                                    " (give --state-dir DIR)");
}

}  // namespace

std::filesystem::path EngineStateFolder(const std::string& state_dir) {
  if (!state_dir.empty()) return state_dir;
  if (std::string dir = Variable("OSTREL_STATE_DIR"); !dir.empty()) return dir;
  if (std::string dir = Variable("XDG_STATE_HOME"); !dir.empty()) {
    return std::filesystem::path(dir) / "ostrel";
  }
  return std::filesystem::path(Variable("HOME")) / ".local" / "state" / "ostrel";
}

std::int32_t NextEngineBoots(const std::filesystem::path& folder, const std::string& engine_id) {
  const std::filesystem::path file = folder / ("engine-" + engine_id + ".boots");
  std::int64_t boots = 0;
  if (std::ifstream in(file); in) {
    std::string word;
    // An unreadable file counts as the first run's only when it is empty.
    if (!(in >> word >> boots) || word != "boots" || boots < 0) {
      if (!word.empty()) CannotKeep(file, "it does not hold 'boots N'");
      boots = 0;
    }
  }
  const auto next = static_cast<std::int32_t>(boots >= kMaxBoots ? kMaxBoots : boots + 1);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) CannotKeep(file, error.message());
  // Written whole and then renamed over the old file, so that a crash leaves one or the other.
  const std::filesystem::path temporary = file.string() + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << "boots " << next << "\n";
    out.flush();
    if (!out) CannotKeep(file, "cannot write " + temporary.string());
  }
  std::filesystem::rename(temporary, file, error);
  if (error) CannotKeep(file, error.message());
  return next;
}

}  // namespace kivostrel::ostrel
