#include "tools/scripthost/script_language.h"

#include <windows.h>

namespace ostrelhost {

const ScriptLanguage* LanguageOfScript(std::wstring_view path) noexcept {
  const std::size_t name_start = path.find_last_of(L"\\/:") + 1;  // npos + 1 is 0
  const std::size_t dot = path.rfind(L'.');
  if (dot == std::wstring_view::npos || dot < name_start) return nullptr;
  const std::wstring_view extension = path.substr(dot);
  for (const ScriptLanguage* language : {&kVBScript, &kJScript}) {
    if (::CompareStringOrdinal(extension.data(), static_cast<int>(extension.size()),
                               language->extension, -1, TRUE) == CSTR_EQUAL) {
      return language;
    }
  }
  return nullptr;
}

}  // namespace ostrelhost
