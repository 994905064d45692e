#include "control/com/collection_object.h"

#include <map>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "control/com/automation_types.h"
#include "control/com/dispatch_names.h"
#include "control/com/error_guard.h"
#include "control/com/module.h"
#include "control/com/ostrel_object_com.h"
#include "control/com/snapshot_enumerator.h"
#include "encoding/automation_error.h"
#include "win/automation_values.h"
#include "win/ref_counted.h"
#include "win/utf16.h"

namespace kivostrel::com {
namespace {

// Answers QueryInterface only on our objects collections.
const IID IID_ObjectsCollectionImpl = {
    0x5c7f2a1e, 0x3b84, 0x4d6a, {0x8e, 0x21, 0x90, 0x4f, 0x6d, 0x13, 0xa7, 0x2b}};

constexpr DISPID kDispidCount = 1;
constexpr DISPID kDispidAdd = 2;
constexpr DISPID kDispidRemove = 3;

constexpr DispatchName kMembers[] = {
    {L"Count", kDispidCount},   {L"Item", DISPID_VALUE},       {L"Add", kDispidAdd},
    {L"Remove", kDispidRemove}, {L"_NewEnum", DISPID_NEWENUM},
};

// The argument at `index` in call order, looking through a VARIANT reference; null when absent.
const VARIANT* ArgumentAt(const DISPPARAMS& params, UINT index) {
  if (index >= params.cArgs) return nullptr;
  const VARIANT* argument = &params.rgvarg[params.cArgs - 1 - index];
  if (argument->vt == (VT_VARIANT | VT_BYREF)) argument = argument->pvarVal;
  if (argument->vt == VT_ERROR && argument->scode == DISP_E_PARAMNOTFOUND) return nullptr;
  return argument;
}

const VARIANT& RequiredArgument(const DISPPARAMS& params, UINT index) {
  const VARIANT* argument = ArgumentAt(params, index);
  if (!argument) throw HresultError{DISP_E_PARAMNOTFOUND};
  return *argument;
}

// A position or a key: texts are keys, everything that converts to a number a position.
using Index = std::variant<std::int32_t, std::string>;

Index IndexOf(const VARIANT& argument) {
  const VARTYPE type = argument.vt & ~VT_BYREF;
  if (type == VT_BSTR) {
    return TextFromBstr((argument.vt & VT_BYREF) ? *argument.pbstrVal : argument.bstrVal);
  }
  UniqueVariant number;
  const HRESULT hr = VariantChangeType(number.get(), const_cast<VARIANT*>(&argument), 0, VT_I4);
  if (hr == DISP_E_OVERFLOW) RaiseInvalidArgument();
  if (FAILED(hr)) RaiseTypeMismatch();
  return static_cast<std::int32_t>(number->lVal);
}

std::string KeyOf(const VARIANT& argument) {
  UniqueVariant text;
  if (FAILED(VariantChangeType(text.get(), const_cast<VARIANT*>(&argument), 0, VT_BSTR))) {
    RaiseTypeMismatch();
  }
  return TextFromBstr(text->bstrVal);
}

// How the items of each kind of collection cross to the host and back.
struct ObjectsKind {
  using Engine = ObjectsCollection;
  using Item = std::shared_ptr<OstrelObject>;
  ComPtr<ITypeInfo> row_type_info;
  // A row keeps one COM object for the life of the collection object, so that the host sees
  // the same object (and any object value it stored in it) each time it asks.
  std::map<const OstrelObject*, ComPtr<IDispatch>> faces;

  void ToVariant(const Item& row, VARIANT* target) {
    ComPtr<IDispatch>& face = faces[row.get()];
    if (!face) face = MakeOstrelObject(row, row_type_info);
    VariantInit(target);
    target->vt = VT_DISPATCH;
    target->pdispVal = ComPtr<IDispatch>(face).Detach();
  }
  Item FromVariant(const VARIANT& value) {
    const VARTYPE type = value.vt & ~VT_BYREF;
    const bool by_ref = (value.vt & VT_BYREF) != 0;
    IUnknown* object = nullptr;
    if (type == VT_DISPATCH) object = by_ref ? *value.ppdispVal : value.pdispVal;
    if (type == VT_UNKNOWN) object = by_ref ? *value.ppunkVal : value.punkVal;
    Item row = RowOf(object);
    if (!row) RaiseTypeMismatch();
    ComPtr<IDispatch> face;
    object->QueryInterface(IID_IDispatch, face.ReceiveVoid());
    faces[row.get()] = face;
    return row;
  }
  // A removed row may be freed and its address reused by another.
  void Forget(const Item& row) { faces.erase(row.get()); }
};

struct NamesKind {
  using Engine = NamesCollection;
  using Item = std::string;

  void ToVariant(const Item& name, VARIANT* target) {
    VariantInit(target);
    target->bstrVal = BstrFromText(name).Detach();
    target->vt = VT_BSTR;
  }
  Item FromVariant(const VARIANT& value) { return KeyOf(value); }
  void Forget(const Item&) {}
};

template <typename Kind>
class CollectionObject final : public RefCounted<IDispatch>, private CountedObject {
 public:
  explicit CollectionObject(std::shared_ptr<typename Kind::Engine> items, Kind kind = {})
      : items_(std::move(items)), kind_(std::move(kind)) {}

  const std::shared_ptr<typename Kind::Engine>& items() const noexcept { return items_; }

  void* Face(REFIID iid) noexcept override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) return static_cast<IDispatch*>(this);
    if (iid == IID_ObjectsCollectionImpl && std::is_same_v<Kind, ObjectsKind>) {
      return this;  // for ObjectsOf only
    }
    return nullptr;
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    ids[0] = FindDispid(kMembers, names[0]).value_or(DISPID_UNKNOWN);
    if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    // No member takes named arguments.
    for (UINT i = 1; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT*) override {
    if (!params) return E_INVALIDARG;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    VARIANT ignored;
    VariantInit(&ignored);
    VARIANT* out = result ? result : &ignored;
    HRESULT hr = S_OK;
    try {
      hr = Call(id, flags, *params, out);
    } catch (const AutomationError& error) {
      hr = ReportToInvoke(error, exception);
    } catch (...) {
      hr = ReportCurrentException(IID_IDispatch);
    }
    VariantClear(&ignored);
    return hr;
  }

 private:
  ~CollectionObject() = default;

  static constexpr WORD kGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

  HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* out) {
    VariantInit(out);
    switch (id) {
      case kDispidCount:
        if (!(flags & kGet)) return DISP_E_MEMBERNOTFOUND;
        if (params.cArgs != 0) return DISP_E_BADPARAMCOUNT;
        out->vt = VT_I4;
        out->lVal = items_->Count();
        return S_OK;
      case DISPID_VALUE: {
        if (!(flags & kGet)) return DISP_E_MEMBERNOTFOUND;
        if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
        const Index index = IndexOf(RequiredArgument(params, 0));
        if (const auto* position = std::get_if<std::int32_t>(&index)) {
          kind_.ToVariant(items_->Item(*position), out);
        } else {
          kind_.ToVariant(items_->Item(std::string_view(std::get<std::string>(index))), out);
        }
        return S_OK;
      }
      case kDispidAdd: {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (params.cArgs < 1 || params.cArgs > 2) return DISP_E_BADPARAMCOUNT;
        auto item = kind_.FromVariant(RequiredArgument(params, 0));
        std::optional<std::string> key;
        if (const VARIANT* key_argument = ArgumentAt(params, 1)) key = KeyOf(*key_argument);
        items_->Add(std::move(item), std::move(key));
        return S_OK;
      }
      case kDispidRemove: {
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
        const Index index = IndexOf(RequiredArgument(params, 0));
        if (const auto* position = std::get_if<std::int32_t>(&index)) {
          const auto item = items_->Item(*position);
          items_->Remove(*position);
          kind_.Forget(item);
        } else {
          const std::string_view key(std::get<std::string>(index));
          const auto item = items_->Item(key);
          items_->Remove(key);
          kind_.Forget(item);
        }
        return S_OK;
      }
      case DISPID_NEWENUM: {
        if (!(flags & kGet)) return DISP_E_MEMBERNOTFOUND;
        std::vector<VARIANT> elements;
        using Snapshot = VariantEnumerator::Snapshot;
        for (std::int32_t i = 1; i <= items_->Count(); ++i) {
          elements.emplace_back();
          try {
            kind_.ToVariant(items_->Item(i), &elements.back());
          } catch (...) {
            elements.pop_back();
            for (VARIANT& element : elements) VariantClear(&element);
            throw;
          }
        }
        auto snapshot = std::make_shared<const Snapshot>(std::move(elements));
        IEnumVARIANT* enumerator = nullptr;
        ThrowIfFailed(VariantEnumerator::Create(std::move(snapshot), 0, &enumerator));
        out->vt = VT_UNKNOWN;
        out->punkVal = enumerator;
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  std::shared_ptr<typename Kind::Engine> items_;
  Kind kind_;
};

}  // namespace

ComPtr<IDispatch> MakeObjectsCollection(std::shared_ptr<ObjectsCollection> objects,
                                        ComPtr<ITypeInfo> row_type_info) {
  ObjectsKind kind;
  kind.row_type_info = std::move(row_type_info);
  return ComPtr<IDispatch>::Adopt(
      new CollectionObject<ObjectsKind>(std::move(objects), std::move(kind)));
}

ComPtr<IDispatch> MakeNamesCollection(std::shared_ptr<NamesCollection> names) {
  return ComPtr<IDispatch>::Adopt(new CollectionObject<NamesKind>(std::move(names)));
}

std::shared_ptr<ObjectsCollection> ObjectsOf(IUnknown* object) {
  if (!object) return nullptr;
  void* ours = nullptr;
  if (FAILED(object->QueryInterface(IID_ObjectsCollectionImpl, &ours)) || !ours) return nullptr;
  auto* impl = static_cast<CollectionObject<ObjectsKind>*>(ours);
  std::shared_ptr<ObjectsCollection> items = impl->items();
  impl->Release();
  return items;
}

}  // namespace kivostrel::com
