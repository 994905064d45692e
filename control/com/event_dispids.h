// The DISPIDs of the control's events, as dispinterface __kivOstrel in kivOstrel.idl gives them:
// for the control that raises them and for every sink that takes them. The type library's are
// fixed, and the Wine tests check these against it.
#pragma once

#include <windows.h>

#include <oaidl.h>

namespace kivostrel::com {

inline constexpr DISPID kDispidResponse = 1;
inline constexpr DISPID kDispidReady = 2;
inline constexpr DISPID kDispidWsError = 3;

}  // namespace kivostrel::com
