// Members that an IDispatch of ours answers by name without a type library: a table of names
// and DISPIDs, looked up as automation looks names up, ignoring case.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <optional>
#include <span>

namespace kivostrel::com {

struct DispatchName {
  const wchar_t* name;
  DISPID id;
};

inline std::optional<DISPID> FindDispid(std::span<const DispatchName> table,
                                        const wchar_t* name) noexcept {
  if (name == nullptr) return std::nullopt;
  for (const DispatchName& entry : table) {
    if (CompareStringOrdinal(name, -1, entry.name, -1, TRUE) == CSTR_EQUAL) return entry.id;
  }
  return std::nullopt;
}

}  // namespace kivostrel::com
