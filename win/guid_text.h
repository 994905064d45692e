// A GUID as the registry and type libraries write it: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <string>

namespace kivostrel::com {

inline std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

}  // namespace kivostrel::com
