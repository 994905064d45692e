// The script languages ostrelhost runs, and how a script file names its language: by its
// extension, as the Windows Script Host does.
#pragma once

#include <string_view>

namespace ostrelhost {

struct ScriptLanguage {
  const wchar_t* extension;  // with its dot, matched without regard to case
  const wchar_t* name;       // also the engine's ProgID
  // JScript takes every argument by value and keeps a VT_BYREF it is handed as an opaque value
  // whose pointer outlives the call, so event handlers get copies; VBScript gets references, so
  // that a handler's assignment reaches the event's source.
  bool arguments_by_value;
  // Wine's VBArray accepts only arrays of variants (SAFEARRAY of VT_VARIANT), so byte arrays
  // reach JScript handlers as arrays of numbers, which `new VBArray(x).toArray()` reads on every
  // engine.
  bool byte_arrays_as_variants;
};

inline constexpr ScriptLanguage kVBScript{L".vbs", L"VBScript", false, false};
inline constexpr ScriptLanguage kJScript{L".js", L"JScript", true, true};

// The language of the script at `path` (".vbs" or ".js"); null for any other extension.
const ScriptLanguage* LanguageOfScript(std::wstring_view path) noexcept;

}  // namespace ostrelhost
