// SnapshotEnumerator: the IEnumXXX objects the shell hands out (IEnumVARIANT for `For Each`,
// IEnumConnectionPoints, IEnumConnections). Each walks a copy of the items taken when it was
// made, so the source may change meanwhile; Clone shares that copy.
//
// Traits supply the element type and how an element is copied out (with its own reference) and
// released: static void CopyOut(Element* target, const Element& source);
//           static void Release(Element& element);
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>

#include <memory>
#include <new>
#include <vector>

#include "control/com/module.h"
#include "win/ref_counted.h"

namespace kivostrel::com {

template <typename Interface, typename Traits>
class SnapshotEnumerator final : public RefCounted<Interface>, private CountedObject {
 public:
  using Element = typename Traits::Element;

  // Takes over the elements and their references.
  class Snapshot {
   public:
    explicit Snapshot(std::vector<Element> elements) : elements_(std::move(elements)) {}
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
    ~Snapshot() {
      for (Element& element : elements_) Traits::Release(element);
    }
    const std::vector<Element>& elements() const noexcept { return elements_; }

   private:
    std::vector<Element> elements_;
  };

  static HRESULT Create(std::shared_ptr<const Snapshot> snapshot, std::size_t position,
                        Interface** result) noexcept {
    if (!result) return E_POINTER;
    *result = nullptr;
    auto* enumerator = new (std::nothrow) SnapshotEnumerator(std::move(snapshot), position);
    if (!enumerator) return E_OUTOFMEMORY;
    *result = enumerator;
    return S_OK;
  }

  void* Face(REFIID iid) noexcept override {
    return iid == IID_IUnknown || iid == Traits::kIid ? static_cast<Interface*>(this) : nullptr;
  }

  STDMETHODIMP Next(ULONG count, Element* elements, ULONG* fetched) override {
    if (!elements || (count > 1 && !fetched)) return E_POINTER;
    ULONG done = 0;
    const auto& all = snapshot_->elements();
    while (done < count && position_ < all.size()) {
      Traits::CopyOut(&elements[done], all[position_]);
      ++done;
      ++position_;
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    const std::size_t size = snapshot_->elements().size();
    const std::size_t left = size - position_;
    position_ = count > left ? size : position_ + count;
    return count > left ? S_FALSE : S_OK;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(Interface** result) override { return Create(snapshot_, position_, result); }

 private:
  SnapshotEnumerator(std::shared_ptr<const Snapshot> snapshot, std::size_t position) noexcept
      : snapshot_(std::move(snapshot)), position_(position) {}
  ~SnapshotEnumerator() = default;

  std::shared_ptr<const Snapshot> snapshot_;
  std::size_t position_;
};

struct VariantTraits {
  using Element = VARIANT;
  static constexpr const IID& kIid = IID_IEnumVARIANT;
  static void CopyOut(VARIANT* target, const VARIANT& source) {
    VariantInit(target);
    VariantCopy(target, const_cast<VARIANT*>(&source));
  }
  static void Release(VARIANT& element) { VariantClear(&element); }
};
using VariantEnumerator = SnapshotEnumerator<IEnumVARIANT, VariantTraits>;

struct ConnectionPointTraits {
  using Element = IConnectionPoint*;
  static constexpr const IID& kIid = IID_IEnumConnectionPoints;
  static void CopyOut(IConnectionPoint** target, IConnectionPoint* source) {
    *target = source;
    source->AddRef();
  }
  static void Release(IConnectionPoint*& element) { element->Release(); }
};
using ConnectionPointEnumerator = SnapshotEnumerator<IEnumConnectionPoints, ConnectionPointTraits>;

struct ConnectionTraits {
  using Element = CONNECTDATA;
  static constexpr const IID& kIid = IID_IEnumConnections;
  static void CopyOut(CONNECTDATA* target, const CONNECTDATA& source) {
    *target = source;
    source.pUnk->AddRef();
  }
  static void Release(CONNECTDATA& element) { element.pUnk->Release(); }
};
using ConnectionEnumerator = SnapshotEnumerator<IEnumConnections, ConnectionTraits>;

// Formats without a target device: there is no DVTARGETDEVICE to copy.
struct FormatEtcTraits {
  using Element = FORMATETC;
  static constexpr const IID& kIid = IID_IEnumFORMATETC;
  static void CopyOut(FORMATETC* target, const FORMATETC& source) { *target = source; }
  static void Release(FORMATETC&) {}
};
using FormatEtcEnumerator = SnapshotEnumerator<IEnumFORMATETC, FormatEtcTraits>;

}  // namespace kivostrel::com
