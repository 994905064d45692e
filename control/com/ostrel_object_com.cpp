#include "control/com/ostrel_object_com.h"

#include <new>

#include "control/com/automation_types.h"
#include "control/com/error_guard.h"
#include "control/com/module.h"
#include "kivOstrel_h.h"
#include "win/ref_counted.h"

namespace kivostrel::com {
namespace {

// Answers QueryInterface only on our own objects, so that a host's object is never mistaken
// for one of them.
const IID IID_OstrelObjectImpl = {
    0x0d9e4f52, 0x61a7, 0x4c1b, {0x9b, 0x3e, 0x57, 0x2a, 0x44, 0x8c, 0x1f, 0x60}};

class OstrelObjectCom final : public RefCounted<_OstrelObject, ISupportErrorInfo>,
                              private CountedObject {
 public:
  OstrelObjectCom(std::shared_ptr<OstrelObject> row, ComPtr<ITypeInfo> type_info) noexcept
      : row_(std::move(row)), type_info_(std::move(type_info)) {}

  const std::shared_ptr<OstrelObject>& row() const noexcept { return row_; }

  void* Face(REFIID iid) noexcept override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__OstrelObject) {
      return static_cast<_OstrelObject*>(this);
    }
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    if (iid == IID_OstrelObjectImpl) return this;  // for RowOf only
    return nullptr;
  }

  // IDispatch, through the type library.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return Guarded(IID__OstrelObject, [&] { *info = TypeInfo().Detach(); });
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    HRESULT hr = S_OK;
    const HRESULT guard =
        Guarded(IID__OstrelObject, [&] { hr = TypeInfo()->GetIDsOfNames(names, count, ids); });
    return FAILED(guard) ? guard : hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argument_error) override {
    HRESULT hr = S_OK;
    const HRESULT guard = Guarded(IID__OstrelObject, [&] {
      hr = TypeInfo()->Invoke(static_cast<_OstrelObject*>(this), id, flags, params, result,
                              exception, argument_error);
    });
    return FAILED(guard) ? guard : hr;
  }

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == IID__OstrelObject ? S_OK : S_FALSE;
  }

  // _OstrelObject
  STDMETHODIMP get_OIDName(BSTR* value) override {
    return Get(value, [&] { *value = BstrFromText(row_->OIDName).Detach(); });
  }
  STDMETHODIMP put_OIDName(BSTR value) override {
    return Guarded(IID__OstrelObject, [&] { row_->OIDName = TextFromBstr(value); });
  }
  STDMETHODIMP get_OIDType(short* value) override {
    return Get(value, [&] { *value = row_->OIDType; });
  }
  STDMETHODIMP put_OIDType(short value) override {
    row_->OIDType = value;
    return S_OK;
  }
  STDMETHODIMP get_OIDTypeName(BSTR* value) override {
    return Get(value, [&] { *value = BstrFromText(row_->OIDTypeName).Detach(); });
  }
  STDMETHODIMP put_OIDTypeName(BSTR value) override {
    return Guarded(IID__OstrelObject, [&] { row_->OIDTypeName = TextFromBstr(value); });
  }
  STDMETHODIMP get_OIDValue(VARIANT* value) override {
    return Get(value, [&] {
      VariantInit(value);
      if (host_value_->vt != VT_EMPTY) {
        ThrowIfFailed(VariantCopy(value, host_value_.get()));
      } else {
        StoreEngineValue(row_->OIDValue, value);
      }
    });
  }
  STDMETHODIMP put_OIDValue(VARIANT* value) override { return StoreValue(value); }
  STDMETHODIMP putref_OIDValue(VARIANT* value) override { return StoreValue(value); }

 private:
  ~OstrelObjectCom() = default;

  ComPtr<ITypeInfo> TypeInfo() {
    if (!type_info_) type_info_ = EmbeddedTypeInfo(IID__OstrelObject);
    return type_info_;
  }

  template <typename T, typename Body>
  HRESULT Get(T* out, Body&& body) {
    if (!out) return E_POINTER;
    return Guarded(IID__OstrelObject, body);
  }

  // A value the engine has a form for goes to the row; anything else (an object, a date, ...)
  // is kept here as the host gave it, so that reading it back returns the same value.
  HRESULT StoreValue(const VARIANT* value) {
    if (!value) return E_POINTER;
    return Guarded(IID__OstrelObject, [&] {
      if (auto engine_value = EngineValueOf(*value)) {
        row_->OIDValue = std::move(*engine_value);
        VariantClear(host_value_.get());
        return;
      }
      UniqueVariant copy;
      ThrowIfFailed(VariantCopyInd(copy.get(), const_cast<VARIANT*>(value)));
      VariantClear(host_value_.get());
      copy.MoveTo(host_value_.get());
      row_->OIDValue = Variant{};
    });
  }

  std::shared_ptr<OstrelObject> row_;
  UniqueVariant host_value_;
  ComPtr<ITypeInfo> type_info_;
};

}  // namespace

ComPtr<IDispatch> MakeOstrelObject(std::shared_ptr<OstrelObject> row, ComPtr<ITypeInfo> type_info) {
  auto* object = new OstrelObjectCom(std::move(row), std::move(type_info));
  return ComPtr<IDispatch>::Adopt(static_cast<_OstrelObject*>(object));
}

std::shared_ptr<OstrelObject> RowOf(IUnknown* object) {
  if (!object) return nullptr;
  void* ours = nullptr;
  if (FAILED(object->QueryInterface(IID_OstrelObjectImpl, &ours)) || !ours) return nullptr;
  auto* impl = static_cast<OstrelObjectCom*>(ours);
  std::shared_ptr<OstrelObject> row = impl->row();
  impl->Release();
  return row;
}

}  // namespace kivostrel::com
