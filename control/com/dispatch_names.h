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

// Whether `name` names `member`; a null name names nothing.
inline bool IsDispatchName(const wchar_t* name, const wchar_t* member) noexcept {
  return name != nullptr && CompareStringOrdinal(name, -1, member, -1, TRUE) == CSTR_EQUAL;
}

inline std::optional<DISPID> FindDispid(std::span<const DispatchName> table,
                                        const wchar_t* name) noexcept {
  for (const DispatchName& entry : table) {
    if (IsDispatchName(name, entry.name)) return entry.id;
  }
  return std::nullopt;
}

}  // namespace kivostrel::com
