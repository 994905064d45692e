#include "control/com/dispatch_arguments.h"

#include <new>

#include "control/com/automation_types.h"
#include "encoding/automation_error.h"
#include "win/com_handles.h"

namespace kivostrel::com {
namespace {

// VariantChangeType, as the type library's Invoke calls it for an argument of another type; it
// looks through references itself.
UniqueVariant Converted(const VARIANT& argument, VARTYPE type) {
  UniqueVariant converted;
  const HRESULT hr = VariantChangeType(converted.get(), const_cast<VARIANT*>(&argument), 0, type);
  if (hr == DISP_E_OVERFLOW) RaiseOverflow();
  if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  if (FAILED(hr)) RaiseTypeMismatch();
  return converted;
}

}  // namespace

std::string TextArgument(const VARIANT& argument) {
  return TextFromBstr(V_BSTR(Converted(argument, VT_BSTR).get()));
}

std::int32_t LongArgument(const VARIANT& argument) {
  return V_I4(Converted(argument, VT_I4).get());
}

Bytes ByteArrayArgument(const VARIANT& argument) {
  if (SAFEARRAY** array = ByteArrayIn(const_cast<VARIANT&>(argument))) {
    return BytesFromSafeArray(*array);
  }
  return BytesFromSafeArray(V_ARRAY(Converted(argument, VT_ARRAY | VT_UI1).get()));
}

Variant BindingsArgument(const VARIANT& argument) {
  std::optional<Variant> value = EngineValueOf(argument);
  if (!value || !(IsEmpty(*value) || std::holds_alternative<Bytes>(*value))) RaiseTypeMismatch();
  return std::move(*value);
}

Bytes BindingArgument(const VARIANT& argument) {
  SAFEARRAY** array = ByteArrayIn(const_cast<VARIANT&>(argument));
  if (array == nullptr) RaiseTypeMismatch();
  return BytesFromSafeArray(*array);
}

Variant ScalarArgument(const VARIANT& argument) {
  std::optional<Variant> value = EngineValueOf(argument);
  if (!value || std::holds_alternative<Bytes>(*value)) RaiseTypeMismatch();
  return std::move(*value);
}

}  // namespace kivostrel::com
