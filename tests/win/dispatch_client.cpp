#include "dispatch_client.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "encoding/hex.h"
#include "win/automation_values.h"
#include "win/message_pump.h"

namespace kivostrel::wintest {

std::wstring OcxPath() {
  const wchar_t* path = _wgetenv(L"KIVOSTREL_OCX");
  return path != nullptr ? path : L"";
}

long CallResult::error_number() const noexcept {
  HRESULT code = scode != S_OK ? scode : hr;
  if (wcode != 0) return wcode;
  if ((static_cast<unsigned long>(code) & 0xFFFF0000UL) == 0x800A0000UL) return code & 0xFFFF;
  return -1;
}

UniqueVariant Text(std::wstring_view text) {
  UniqueVariant v;
  V_BSTR(v.get()) = com::BstrFromWide(text).Detach();
  V_VT(v.get()) = VT_BSTR;
  return v;
}

UniqueVariant Long(std::int32_t value) {
  UniqueVariant v;
  V_VT(v.get()) = VT_I4;
  V_I4(v.get()) = value;
  return v;
}

UniqueVariant Short(std::int16_t value) {
  UniqueVariant v;
  V_VT(v.get()) = VT_I2;
  V_I2(v.get()) = value;
  return v;
}

SAFEARRAY* NewByteArray(const std::vector<std::uint8_t>& bytes) {
  return com::SafeArrayFromBytes(bytes).Detach();
}

UniqueVariant ByteArray(const std::vector<std::uint8_t>& bytes) {
  UniqueVariant v;
  V_VT(v.get()) = VT_ARRAY | VT_UI1;
  V_ARRAY(v.get()) = NewByteArray(bytes);
  return v;
}

// By-reference arguments own nothing: VariantClear leaves a VT_BYREF target alone.
UniqueVariant RefTo(VARIANT* target) {
  UniqueVariant v;
  V_VT(v.get()) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(v.get()) = target;
  return v;
}

UniqueVariant RefToArray(SAFEARRAY** target) {
  UniqueVariant v;
  V_VT(v.get()) = VT_BYREF | VT_ARRAY | VT_UI1;
  V_ARRAYREF(v.get()) = target;
  return v;
}

UniqueVariant Object(IDispatch* object) {
  UniqueVariant v;
  V_VT(v.get()) = VT_DISPATCH;
  V_DISPATCH(v.get()) = object;
  if (object != nullptr) object->AddRef();
  return v;
}

CallResult Invoke(IDispatch* object, std::wstring_view member, WORD flags,
                  std::vector<UniqueVariant>& args, const std::vector<std::wstring>& named,
                  bool with_excepinfo) {
  CallResult result;
  if (object == nullptr) {
    result.hr = E_POINTER;
    return result;
  }
  std::vector<std::wstring> names{std::wstring(member)};
  names.insert(names.end(), named.begin(), named.end());
  std::vector<LPOLESTR> name_ptrs;
  for (auto& n : names) name_ptrs.push_back(n.data());
  std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
  result.hr = object->GetIDsOfNames(IID_NULL, name_ptrs.data(), static_cast<UINT>(names.size()),
                                    LOCALE_USER_DEFAULT, ids.data());
  if (FAILED(result.hr)) return result;

  // Invoke takes the arguments last to first; named ones come first in that array.
  std::vector<VARIANTARG> reversed;
  std::vector<DISPID> named_ids;
  const size_t positional = args.size() - named.size();
  for (size_t i = named.size(); i-- > 0;) {
    reversed.push_back(*args[positional + i].get());
    named_ids.push_back(ids[1 + i]);
  }
  for (size_t i = positional; i-- > 0;) reversed.push_back(*args[i].get());
  if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0) {
    named_ids.insert(named_ids.begin(), DISPID_PROPERTYPUT);
  }
  DISPPARAMS params{reversed.data(), named_ids.data(), static_cast<UINT>(reversed.size()),
                    static_cast<UINT>(named_ids.size())};
  com::UniqueExcepInfo exception;
  result.hr =
      object->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.value.get(),
                     with_excepinfo ? &exception.info : nullptr, &result.arg_error);
  if (with_excepinfo) {
    const EXCEPINFO& info = exception.Filled();
    result.scode = info.scode;
    result.wcode = info.wCode;
    if (info.bstrSource != nullptr) result.source = info.bstrSource;
    if (info.bstrDescription != nullptr) result.description = info.bstrDescription;
  }
  return result;
}

CallResult Get(IDispatch* object, std::wstring_view member) {
  std::vector<UniqueVariant> none;
  return Invoke(object, member, DISPATCH_PROPERTYGET, none);
}

CallResult Put(IDispatch* object, std::wstring_view member, UniqueVariant value) {
  std::vector<UniqueVariant> list;
  list.push_back(std::move(value));
  return Invoke(object, member, DISPATCH_PROPERTYPUT, list);
}

std::vector<std::uint8_t> BytesOf(const VARIANT& value) {
  const VARIANT* v = &value;
  while (V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
  SAFEARRAY* array = nullptr;
  if (V_VT(v) == (VT_ARRAY | VT_UI1)) array = V_ARRAY(v);
  if (V_VT(v) == (VT_BYREF | VT_ARRAY | VT_UI1)) array = *V_ARRAYREF(v);
  std::vector<std::uint8_t> bytes;
  if (array == nullptr || ::SafeArrayGetDim(array) != 1) return bytes;
  LONG low = 0, high = -1;
  ::SafeArrayGetLBound(array, 1, &low);
  ::SafeArrayGetUBound(array, 1, &high);
  void* data = nullptr;
  if (high >= low && SUCCEEDED(::SafeArrayAccessData(array, &data))) {
    auto* first = static_cast<const std::uint8_t*>(data);
    bytes.assign(first, first + (high - low + 1));
    ::SafeArrayUnaccessData(array);
  }
  return bytes;
}

std::wstring TextOf(const VARIANT& value) {
  UniqueVariant text;
  if (FAILED(::VariantChangeType(text.get(), const_cast<VARIANT*>(&value), 0, VT_BSTR)))
    return L"<not text>";
  return V_BSTR(text.get()) != nullptr ? V_BSTR(text.get()) : L"";
}

long LongOf(const VARIANT& value) {
  UniqueVariant number;
  if (FAILED(::VariantChangeType(number.get(), const_cast<VARIANT*>(&value), 0, VT_I4)))
    return -999999;
  return V_I4(number.get());
}

ComPtr<IDispatch> ObjectOf(const VARIANT& value) {
  const VARIANT* v = &value;
  while (V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
  if (V_VT(v) == VT_DISPATCH) return ComPtr<IDispatch>::Share(V_DISPATCH(v));
  if (V_VT(v) == (VT_BYREF | VT_DISPATCH)) return ComPtr<IDispatch>::Share(*V_DISPATCHREF(v));
  return nullptr;
}

std::vector<std::uint8_t> Hex(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(FromHex(text, bytes)) << "bad hex vector: " << text;
  return bytes;
}

std::string HexOf(const std::vector<std::uint8_t>& bytes) {
  return ToHex(bytes);
}

ComPtr<IDispatch> CreateControl() {
  CLSID clsid{};
  ComPtr<IDispatch> control;
  if (FAILED(::CLSIDFromProgID(kProgId, &clsid))) return control;
  ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.ReceiveVoid());
  return control;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  return DispatchMessagesUntil(done, timeout_ms);
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

FARPROC ServerExport(const char* name) {
  HMODULE module = ::GetModuleHandleW(L"kivOstrel.ocx");
  return module != nullptr ? ::GetProcAddress(module, name) : nullptr;
}

HRESULT ServerCanUnloadNow() {
  auto can_unload = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(ServerExport("DllCanUnloadNow")));
  return can_unload != nullptr ? can_unload() : E_UNEXPECTED;
}

}  // namespace kivostrel::wintest
