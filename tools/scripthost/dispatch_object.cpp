#include "tools/scripthost/dispatch_object.h"

#include <oleauto.h>

#include <new>

#include "win/automation_values.h"

namespace ostrelhost {
namespace {

// mingw declares the conversion sources non-const; the conversions only read them.
VARIANTARG* Source(const VARIANT* value) noexcept {
  return const_cast<VARIANTARG*>(value);
}

}  // namespace

void* UntypedDispatch::Face(REFIID iid) noexcept {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
    return static_cast<IDispatch*>(this);
  }
  return nullptr;
}

HRESULT UntypedDispatch::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT UntypedDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (const Member& member : members_) {
    if (::CompareStringOrdinal(names[0], -1, member.name, -1, TRUE) == CSTR_EQUAL) {
      ids[0] = member.id;
      // Named arguments are not supported.
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT*) {
  if (params == nullptr) return E_INVALIDARG;
  if (params->cNamedArgs > 0 && !(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) {
    return DISP_E_NONAMEDARGS;
  }
  if (result != nullptr) ::VariantInit(result);
  try {
    return Call(id, flags, *params, result, exception);
  } catch (const std::bad_alloc&) {
    return Fail(exception, E_OUTOFMEMORY, L"Out of memory");
  } catch (...) {
    return Fail(exception, E_UNEXPECTED, L"Unexpected failure in the script host");
  }
}

HRESULT Fail(EXCEPINFO* exception, HRESULT code, std::wstring_view description) {
  return kivostrel::com::FillExcepInfo(exception, code, L"ostrelhost", description);
}

const VARIANT* Argument(const DISPPARAMS& params, UINT index) noexcept {
  if (index >= params.cArgs) return nullptr;
  const VARIANT* argument = &params.rgvarg[params.cArgs - 1 - index];
  while (V_VT(argument) == (VT_BYREF | VT_VARIANT)) argument = V_VARIANTREF(argument);
  if (V_VT(argument) == VT_ERROR && V_ERROR(argument) == DISP_E_PARAMNOTFOUND) return nullptr;
  return argument;
}

std::optional<std::wstring> TextArgument(const DISPPARAMS& params, UINT index) {
  const VARIANT* argument = Argument(params, index);
  if (argument == nullptr) return std::nullopt;
  UniqueVariant text;
  if (FAILED(::VariantChangeType(text.get(), Source(argument), 0, VT_BSTR))) return std::nullopt;
  return std::wstring(kivostrel::com::BstrView(V_BSTR(text.get())));
}

std::optional<long> LongArgument(const DISPPARAMS& params, UINT index) {
  const VARIANT* argument = Argument(params, index);
  if (argument == nullptr) return std::nullopt;
  UniqueVariant number;
  if (FAILED(::VariantChangeType(number.get(), Source(argument), 0, VT_I4))) return std::nullopt;
  return V_I4(number.get());
}

IDispatch* ObjectArgument(const DISPPARAMS& params, UINT index) noexcept {
  const VARIANT* argument = Argument(params, index);
  if (argument == nullptr) return nullptr;
  switch (V_VT(argument)) {
    case VT_DISPATCH:
      return V_DISPATCH(argument);
    case VT_BYREF | VT_DISPATCH:
      return *V_DISPATCHREF(argument);
    default:
      return nullptr;
  }
}

std::optional<std::wstring> DisplayText(const VARIANT& value) {
  UniqueVariant plain;
  if (FAILED(::VariantCopyInd(plain.get(), Source(&value)))) return std::nullopt;
  switch (V_VT(plain.get())) {
    case VT_EMPTY:
      return std::wstring();
    case VT_NULL:
      return std::wstring(L"Null");
    default:
      break;
  }
  UniqueVariant text;
  if (FAILED(::VariantChangeTypeEx(text.get(), plain.get(), LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL,
                                   VT_BSTR))) {
    return std::nullopt;
  }
  return std::wstring(kivostrel::com::BstrView(V_BSTR(text.get())));
}

void ReturnText(VARIANT* result, std::wstring_view text) {
  if (result == nullptr) return;
  V_BSTR(result) = kivostrel::com::BstrFromWide(text).Detach();
  V_VT(result) = VT_BSTR;
}

void ReturnLong(VARIANT* result, long value) {
  if (result == nullptr) return;
  V_VT(result) = VT_I4;
  V_I4(result) = value;
}

void ReturnObject(VARIANT* result, IDispatch* object) {
  if (result == nullptr) return;
  if (object != nullptr) object->AddRef();
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = object;
}

}  // namespace ostrelhost
