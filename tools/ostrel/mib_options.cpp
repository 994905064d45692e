#include "tools/ostrel/mib_options.h"

#include <algorithm>

namespace kivostrel::ostrel {
namespace {

std::vector<std::string> SplitList(std::string_view list) {
  std::vector<std::string> items;
  while (!list.empty()) {
    const std::size_t colon = list.find(':');
    const std::string_view item = list.substr(0, colon);
    if (!item.empty()) items.emplace_back(item);
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  return items;
}

// One layer over the one below it: a list replaces it, a '+' list adds to it (in front, or at
// the end).
void Layer(std::vector<std::string>& below, const std::optional<std::string>& list, bool in_front) {
  if (!list) return;
  std::string_view text = *list;
  const bool adds = text.starts_with('+');
  if (adds) text.remove_prefix(1);
  std::vector<std::string> items = SplitList(text);
  if (!adds) {
    below = std::move(items);
  } else if (in_front) {
    below.insert(below.begin(), items.begin(), items.end());
  } else {
    below.insert(below.end(), items.begin(), items.end());
  }
}

std::optional<std::string> Optional(const char* text) {
  return text == nullptr ? std::nullopt : std::optional<std::string>(text);
}

}  // namespace

std::vector<std::string> DefaultMibFolders(std::string_view home) {
  std::vector<std::string> folders;
  if (!home.empty()) folders.push_back(std::string(home) + "/.snmp/mibs");
  for (const char* folder :
       {"/usr/share/snmp/mibs", "/usr/share/snmp/mibs/iana", "/usr/share/snmp/mibs/ietf"}) {
    folders.emplace_back(folder);
  }
  return folders;
}

MibSettings ReadMibSettings(const std::optional<std::string>& modules_option,
                            const std::optional<std::string>& folders_option, const char* mibs,
                            const char* mibdirs, const char* home) {
  MibSettings settings;
  settings.folders = DefaultMibFolders(home == nullptr ? "" : home);
  Layer(settings.folders, Optional(mibdirs), true);
  Layer(settings.folders, folders_option, true);
  Layer(settings.modules, Optional(mibs), false);
  Layer(settings.modules, modules_option, false);
  const auto all = std::remove(settings.modules.begin(), settings.modules.end(), "ALL");
  settings.all = all != settings.modules.end();
  settings.modules.erase(all, settings.modules.end());
  return settings;
}

std::string MibPathOf(const std::vector<std::string>& folders) {
  std::string path;
  for (const std::string& folder : folders) {
    if (!path.empty()) path += ';';
    path += folder;
  }
  return path;
}

}  // namespace kivostrel::ostrel
