#include "control/com/automation_types.h"

#include <cstring>

#include "encoding/automation_error.h"
#include "win/utf16.h"

namespace kivostrel::com {

std::string TextFromBstr(BSTR text) {
  return Narrow(BstrView(text), CP_UTF8);
}

UniqueBstr BstrFromText(std::string_view text) {
  return BstrFromWide(Widen(text, CP_UTF8));
}

Bytes BytesFromSafeArray(const SAFEARRAY* array) {
  if (!array) return {};
  VARTYPE type = VT_EMPTY;
  SafeArrayGetVartype(const_cast<SAFEARRAY*>(array), &type);
  if (SafeArrayGetDim(const_cast<SAFEARRAY*>(array)) != 1 || (type != VT_UI1 && type != VT_I1)) {
    RaiseTypeMismatch();
  }
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(const_cast<SAFEARRAY*>(array), 1, &lower);
  SafeArrayGetUBound(const_cast<SAFEARRAY*>(array), 1, &upper);
  if (upper < lower) return {};
  Bytes bytes(static_cast<std::size_t>(upper - lower) + 1);
  void* data = nullptr;
  ThrowIfFailed(SafeArrayAccessData(const_cast<SAFEARRAY*>(array), &data));
  std::memcpy(bytes.data(), data, bytes.size());
  SafeArrayUnaccessData(const_cast<SAFEARRAY*>(array));
  return bytes;
}

SAFEARRAY** ByteArrayIn(VARIANT& argument) noexcept {
  VARIANT* value = &argument;
  if (V_VT(value) == (VT_VARIANT | VT_BYREF)) value = V_VARIANTREF(value);
  if (value == nullptr) return nullptr;
  if (V_VT(value) == (VT_ARRAY | VT_UI1)) return &V_ARRAY(value);
  if (V_VT(value) == (VT_ARRAY | VT_UI1 | VT_BYREF)) return V_ARRAYREF(value);
  return nullptr;
}

std::optional<Variant> EngineValueOf(const VARIANT& value) {
  const VARIANT* v = &value;
  if (v->vt == (VT_VARIANT | VT_BYREF)) v = v->pvarVal;
  if (!v) return Variant{};
  const VARTYPE base = v->vt & ~VT_BYREF;
  const bool by_ref = (v->vt & VT_BYREF) != 0;
  switch (base) {
    case VT_EMPTY:
      return Variant{};
    case VT_ERROR:
      if ((by_ref ? *v->pscode : v->scode) == DISP_E_PARAMNOTFOUND) return Variant{};
      return std::nullopt;
    case VT_BSTR:
      return Variant{TextFromBstr(by_ref ? *v->pbstrVal : v->bstrVal)};
    case VT_R4:
    case VT_R8: {
      UniqueVariant number;
      ThrowIfFailed(VariantChangeType(number.get(), const_cast<VARIANT*>(v), 0, VT_R8));
      return Variant{number->dblVal};
    }
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_BOOL: {
      UniqueVariant number;
      if (FAILED(VariantChangeType(number.get(), const_cast<VARIANT*>(v), 0, VT_I4))) {
        RaiseOverflow();
      }
      return Variant{static_cast<std::int32_t>(number->lVal)};
    }
    case VT_ARRAY | VT_UI1:
      return Variant{BytesFromSafeArray(by_ref ? *v->pparray : v->parray)};
    case VT_DECIMAL: {
      // A whole number from 0 to 2^64 - 1 (a Counter64 handed back) stays exact.
      const DECIMAL& decimal = by_ref ? *v->pdecVal : v->decVal;
      if (decimal.scale == 0 && decimal.sign == 0 && decimal.Hi32 == 0) {
        return Variant{static_cast<std::uint64_t>(decimal.Lo64)};
      }
      UniqueVariant number;
      ThrowIfFailed(VariantChangeType(number.get(), const_cast<VARIANT*>(v), 0, VT_R8));
      return Variant{number->dblVal};
    }
    default:
      return std::nullopt;
  }
}

void StoreEngineValue(const Variant& value, VARIANT* target) {
  VariantInit(target);
  struct {
    VARIANT* target;
    void operator()(std::monostate) const {}
    void operator()(std::int32_t number) const {
      target->vt = VT_I4;
      target->lVal = number;
    }
    void operator()(double number) const {
      target->vt = VT_R8;
      target->dblVal = number;
    }
    void operator()(const std::string& text) const {
      target->bstrVal = BstrFromText(text).Detach();
      target->vt = VT_BSTR;
    }
    void operator()(const Bytes& bytes) const {
      target->parray = SafeArrayFromBytes(bytes).Detach();
      target->vt = VT_ARRAY | VT_UI1;
    }
    // A Counter64 as a Decimal, exact to 2^64 - 1: script engines print it and compute with
    // it, where a VT_UI8 is refused.
    void operator()(std::uint64_t number) const {
      DECIMAL& decimal = target->decVal;
      decimal.scale = 0;
      decimal.sign = 0;
      decimal.Hi32 = 0;
      decimal.Lo64 = number;
      target->vt = VT_DECIMAL;
    }
  } store{target};
  std::visit(store, value);
}

}  // namespace kivostrel::com
