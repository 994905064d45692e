// The boots of an engine ID that ostrel listens as, kept across runs in a small file per ID (as
// snmptrapd keeps its persistent state): each run starts at the last run's boots plus one, so
// that a message captured before a restart is out of the time window after it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace kivostrel::ostrel {

// Where the files are: `state_dir` when given, else $OSTREL_STATE_DIR, else
// $XDG_STATE_HOME/ostrel, else $HOME/.local/state/ostrel.
std::filesystem::path EngineStateFolder(const std::string& state_dir);

// The boots for this run of the engine `engine_id` (hex, as the control gives EngineID): 1 the
// first time, then one more each run, up to 2147483646. Written back before it is returned.
// Throws ToolError when the folder or its file cannot be written.
std::int32_t NextEngineBoots(const std::filesystem::path& folder, const std::string& engine_id);

}  // namespace kivostrel::ostrel
