// A late-binding client: every call goes through IDispatch::GetIDsOfNames and Invoke, as a
// script or a VB host would make it.
#pragma once

#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "win/com_handles.h"

namespace kivostrel::wintest {

using com::ComPtr;
using com::UniqueBstr;
using com::UniqueSafeArray;
using com::UniqueVariant;

inline constexpr const wchar_t* kProgId = L"kivOstrelCtrl.kivOstrel";

// Windows path of the control's server file (the test registers it from there).
std::wstring OcxPath();

// What one Invoke gave back: the HRESULT, the result, and the exception it reported.
struct CallResult {
  HRESULT hr = E_FAIL;
  UniqueVariant value;
  HRESULT scode = S_OK;  // EXCEPINFO.scode
  WORD wcode = 0;        // EXCEPINFO.wCode
  std::wstring source;
  std::wstring description;
  UINT arg_error = 0;

  bool ok() const noexcept { return SUCCEEDED(hr); }
  // The automation error number: HRESULT 0x800A0000 + number, in scode or as wCode.
  long error_number() const noexcept;
};

// Arguments, each an owned VARIANT.
UniqueVariant Text(std::wstring_view text);
UniqueVariant Long(std::int32_t value);
UniqueVariant Short(std::int16_t value);
UniqueVariant ByteArray(const std::vector<std::uint8_t>& bytes);  // VT_ARRAY | VT_UI1
UniqueVariant RefTo(VARIANT* target);                             // VT_BYREF | VT_VARIANT
UniqueVariant RefToArray(SAFEARRAY** target);                     // VT_BYREF | VT_ARRAY | VT_UI1
UniqueVariant Object(IDispatch* object);                          // VT_DISPATCH, one reference

SAFEARRAY* NewByteArray(const std::vector<std::uint8_t>& bytes);

// One call. `args` are in the member's parameter order; the last `named.size()` of them are
// passed by name. `with_excepinfo` false passes no EXCEPINFO, which leaves the error object
// for GetErrorInfo.
CallResult Invoke(IDispatch* object, std::wstring_view member, WORD flags,
                  std::vector<UniqueVariant>& args, const std::vector<std::wstring>& named = {},
                  bool with_excepinfo = true);

template <class... A>
CallResult Call(IDispatch* object, std::wstring_view member, A&&... args) {
  std::vector<UniqueVariant> list;
  (list.push_back(std::forward<A>(args)), ...);
  return Invoke(object, member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, list);
}
CallResult Get(IDispatch* object, std::wstring_view member);
CallResult Put(IDispatch* object, std::wstring_view member, UniqueVariant value);

// Reading results.
std::vector<std::uint8_t> BytesOf(const VARIANT& value);  // empty when not a byte array
std::wstring TextOf(const VARIANT& value);                // VariantChangeType to VT_BSTR
long LongOf(const VARIANT& value);                        // VariantChangeType to VT_I4
ComPtr<IDispatch> ObjectOf(const VARIANT& value);

std::vector<std::uint8_t> Hex(std::string_view text);
std::string HexOf(const std::vector<std::uint8_t>& bytes);

// The control, created by its ProgID.
ComPtr<IDispatch> CreateControl();

// Dispatches this thread's messages until `done` or `timeout_ms` pass; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms);
void PumpFor(DWORD ms);

// The export of the loaded server file, or nullptr.
FARPROC ServerExport(const char* name);
HRESULT ServerCanUnloadNow();

}  // namespace kivostrel::wintest
