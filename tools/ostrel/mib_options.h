// Which MIB modules ostrel loads and where it looks for them, decided as Net-SNMP's tools decide
// it: -m MODULES and -M DIRS, else the environment's MIBS and MIBDIRS, else no modules and
// Net-SNMP's default folders. Lists are separated by ':'; one that starts with '+' adds to what it
// would otherwise be (folders go before those, as Net-SNMP searches them), so `-M +DIR` searches
// DIR, then $MIBDIRS or the defaults.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivostrel::ostrel {

struct MibSettings {
  std::vector<std::string> folders;  // searched in this order
  std::vector<std::string> modules;  // names or files, in the order given; never "ALL"
  bool all = false;                  // ALL was among them: every module of the folders
  // Whether anything is to be loaded at all.
  bool Any() const noexcept { return all || !modules.empty(); }
};

// Net-SNMP's default folders on Debian (net-snmp-config --default-mibdirs): $HOME/.snmp/mibs
// (left out without a home), /usr/share/snmp/mibs and its iana and ietf folders.
std::vector<std::string> DefaultMibFolders(std::string_view home);

// The settings from the options (none when not given) and the environment's MIBS, MIBDIRS and
// HOME (null when unset). An empty list is an empty list: `-m ''` or MIBS= loads nothing.
MibSettings ReadMibSettings(const std::optional<std::string>& modules_option,
                            const std::optional<std::string>& folders_option, const char* mibs,
                            const char* mibdirs, const char* home);

// The folders as the control's MibPath takes them, separated by ";".
std::string MibPathOf(const std::vector<std::string>& folders);

}  // namespace kivostrel::ostrel
