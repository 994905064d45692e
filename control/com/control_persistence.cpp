// Persistence of the one saved property, "StringType": through a property bag as a 32-bit
// integer with the default text "0", and through a stream as a small versioned record.
#include <cstring>

#include "control/com/automation_types.h"
#include "control/com/control_object.h"
#include "control/com/error_guard.h"

namespace kivostrel::com {
namespace {

constexpr const wchar_t* kStringTypeName = L"StringType";

// The stream record: a 4-byte tag ("KO", then the record version 1, little-endian) and the
// value as a little-endian 32-bit integer.
constexpr std::uint32_t kStreamRecordTag = 0x00014F4B;
constexpr ULONG kStreamRecordSize = 8;

}  // namespace

STDMETHODIMP ControlObject::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_kivOstrel;
  return S_OK;
}

STDMETHODIMP ControlObject::IsDirty() {
  return dirty_ ? S_OK : S_FALSE;
}

// Creation has already given every field its initial value.
STDMETHODIMP ControlObject::InitNew() {
  return S_OK;
}

STDMETHODIMP ControlObject::Load(LPSTREAM stream) {
  if (!stream) return E_POINTER;
  if (!engine_) return E_UNEXPECTED;
  BYTE record[kStreamRecordSize] = {};
  ULONG read = 0;
  const HRESULT hr = stream->Read(record, kStreamRecordSize, &read);
  if (FAILED(hr)) return hr;
  if (read != kStreamRecordSize) return STG_E_READFAULT;
  std::uint32_t tag = 0;
  std::int32_t value = 0;
  std::memcpy(&tag, record, 4);
  std::memcpy(&value, record + 4, 4);
  if (tag != kStreamRecordTag) return STG_E_OLDFORMAT;
  engine_->StringType(value);
  dirty_ = false;
  return S_OK;
}

STDMETHODIMP ControlObject::Save(LPSTREAM stream, BOOL clear_dirty) {
  if (!stream) return E_POINTER;
  if (!engine_) return E_UNEXPECTED;
  BYTE record[kStreamRecordSize] = {};
  const std::uint32_t tag = kStreamRecordTag;
  const std::int32_t value = engine_->StringType();
  std::memcpy(record, &tag, 4);
  std::memcpy(record + 4, &value, 4);
  ULONG written = 0;
  const HRESULT hr = stream->Write(record, kStreamRecordSize, &written);
  if (FAILED(hr)) return hr;
  if (written != kStreamRecordSize) return STG_E_WRITEFAULT;
  if (clear_dirty) dirty_ = false;
  return S_OK;
}

STDMETHODIMP ControlObject::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = kStreamRecordSize;
  return S_OK;
}

STDMETHODIMP ControlObject::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  if (!engine_) return E_UNEXPECTED;
  return Guarded(IID_IPersistPropertyBag, [&] {
    UniqueVariant value;
    if (FAILED(bag->Read(kStringTypeName, value.get(), log))) {
      // No saved value: the default, the text "0".
      VariantClear(value.get());
      value->bstrVal = BstrFromText("0").Detach();
      value->vt = VT_BSTR;
    }
    // The automation coercion: fractions round half to even; what does not convert fails the
    // load with the conversion's error and leaves the field as it was.
    ThrowIfFailed(VariantChangeType(value.get(), value.get(), 0, VT_I4));
    engine_->StringType(value->lVal);
    dirty_ = false;
  });
}

STDMETHODIMP ControlObject::Save(IPropertyBag* bag, BOOL clear_dirty, BOOL) {
  if (!bag) return E_POINTER;
  if (!engine_) return E_UNEXPECTED;
  // Written even when it equals the default "0", so that a bag always shows the setting.
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = engine_->StringType();
  const HRESULT hr = bag->Write(kStringTypeName, &value);
  if (FAILED(hr)) return hr;
  if (clear_dirty) dirty_ = false;
  return S_OK;
}

}  // namespace kivostrel::com
