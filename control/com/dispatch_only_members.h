// The members the control's IDispatch answers after its type library, which is fixed and never
// grows: one table (dispatch_only_members.cpp) of their names, DISPIDs, parameters and the calls
// that serve them. Scripts and late-bound C++ reach them by name as any member; a VB form through
// its extender's `.object`.
//
// Names are found as automation finds them, ignoring case. The DISPIDs lie outside the ranges
// the type library's members use. The calls check the flags and arguments as the type library's
// Invoke does, and an error of a call reaches the caller through EXCEPINFO, as the members of the
// type library report theirs.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <cstddef>
#include <span>

namespace kivostrel {
class kivOstrel;
}

namespace kivostrel::com {

// The arguments of one call in parameter order: named ones in their places, an omitted optional
// one as VT_ERROR DISP_E_PARAMNOTFOUND; each as the caller passed it, by value or by reference.
using DispatchArguments = std::span<const VARIANT* const>;

struct DispatchOnlyMember {
  enum class Kind { kProperty, kMethod };

  const wchar_t* name;
  DISPID id;
  Kind kind;
  // A property's get or a method: writes the result, if any, into `result`, which is empty.
  void (*call)(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
  // A property's put; null for a read-only property and for a method.
  void (*put)(kivOstrel& engine, const VARIANT& value) = nullptr;
  // A method's parameters, by name for named arguments; the first `required` must be given.
  std::span<const wchar_t* const> parameters = {};
  std::size_t required = 0;
  // Any number of positional arguments and no named ones; `parameters` is then empty.
  bool variadic = false;
};

// Nullptr for a name or DISPID that is not in the table.
const DispatchOnlyMember* FindDispatchOnlyMember(const wchar_t* name) noexcept;
const DispatchOnlyMember* FindDispatchOnlyMember(DISPID id) noexcept;

// GetIDsOfNames for a member of the table: its DISPID in ids[0], then each named argument's, its
// parameter's position; DISP_E_UNKNOWNNAME, with DISPID_UNKNOWN in its place, for a name the
// member does not have.
HRESULT DispatchOnlyIds(const DispatchOnlyMember& member, const LPOLESTR* names, UINT count,
                        DISPID* ids) noexcept;

// Invoke for a member of the table: DISP_E_MEMBERNOTFOUND for a kind of call the member does not
// answer, DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL, DISP_E_PARAMNOTFOUND or
// DISP_E_NONAMEDARGS for arguments that do not fit its parameters; an error of the call as
// DISP_E_EXCEPTION with `exception` filled (without one: the error's HRESULT and the thread's
// error information).
HRESULT InvokeDispatchOnly(const DispatchOnlyMember& member, kivOstrel& engine, WORD flags,
                           const DISPPARAMS& params, VARIANT* result,
                           EXCEPINFO* exception) noexcept;

}  // namespace kivostrel::com
