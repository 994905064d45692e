// RefCounted: IUnknown for a heap object that implements `Interfaces`. It starts with one
// reference, its creator's, and deletes itself at the last Release. The derived class names the
// interfaces it answers in Face(); QueryInterface adds the reference.
#pragma once

#include <windows.h>

#include <unknwn.h>

namespace kivostrel::com {

template <typename... Interfaces>
class RefCounted : public Interfaces... {
 public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = Face(iid);
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 protected:
  RefCounted() noexcept = default;
  virtual ~RefCounted() = default;

  // What QueryInterface hands out for `iid` (without adding a reference), or null.
  virtual void* Face(REFIID iid) noexcept = 0;

 private:
  LONG references_ = 1;
};

}  // namespace kivostrel::com
