// Owners of the COM and automation resources the shell, the script host and the Windows tests
// hold: interface pointers, BSTRs, VARIANTs, SAFEARRAYs, EXCEPINFO strings, the thread's OLE
// session. The plain Win32 handles (windows, registry keys, modules) are in win/win32_handles.h.
// Each frees what it holds when it goes; Receive() hands out the address of an empty slot for an
// API that returns the handle through a parameter.
#pragma once

#include <windows.h>

#include <ole2.h>
#include <oleauto.h>

#include <cstddef>
#include <string_view>
#include <utility>

#include "win/win32_handles.h"

namespace kivostrel::com {

// One reference to a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Shares `pointer`: takes a reference of its own.
  explicit ComPtr(T* pointer) noexcept : pointer_(pointer) {
    if (pointer_) pointer_->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.pointer_) {}
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { reset(); }

  // Takes over a reference the caller already owns.
  static ComPtr Adopt(T* pointer) noexcept {
    ComPtr result;
    result.pointer_ = pointer;
    return result;
  }
  // Adds a reference of its own, as the constructor does.
  static ComPtr Share(T* pointer) noexcept { return ComPtr(pointer); }

  T* get() const noexcept { return pointer_; }
  T* operator->() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }

  T** Receive() noexcept {
    reset();
    return &pointer_;
  }
  void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }
  // Gives the reference to the caller (an out-parameter).
  T* Detach() noexcept { return std::exchange(pointer_, nullptr); }
  void reset() noexcept {
    if (T* old = std::exchange(pointer_, nullptr)) old->Release();
  }

  // QueryInterface; empty when the object does not offer `iid`.
  template <typename U>
  ComPtr<U> As(REFIID iid) const noexcept {
    ComPtr<U> result;
    if (pointer_) pointer_->QueryInterface(iid, result.ReceiveVoid());
    return result;
  }

 private:
  T* pointer_ = nullptr;
};

// The text of a BSTR without its terminator, embedded nulls included; empty for a null BSTR.
inline std::wstring_view BstrView(BSTR text) noexcept {
  return text ? std::wstring_view(text, ::SysStringLen(text)) : std::wstring_view();
}

// An automation string; the constructor takes over the BSTR it is given.
class UniqueBstr : public UniqueAny<BSTR, ::SysFreeString> {
 public:
  using UniqueAny::UniqueAny;
  // The text without its terminator; empty for a null BSTR.
  std::wstring_view view() const noexcept { return BstrView(get()); }
  // Never null: L"" for a null BSTR.
  const wchar_t* c_str() const noexcept { return get() ? get() : L""; }
};

using UniqueSafeArray = UniqueAny<SAFEARRAY*, ::SafeArrayDestroy>;

// A VARIANT that is cleared when it goes.
class UniqueVariant {
 public:
  UniqueVariant() noexcept { VariantInit(&value_); }
  UniqueVariant(UniqueVariant&& other) noexcept : value_(other.value_) {
    VariantInit(&other.value_);
  }
  UniqueVariant& operator=(UniqueVariant&& other) noexcept {
    std::swap(value_, other.value_);
    return *this;
  }
  ~UniqueVariant() { VariantClear(&value_); }

  VARIANT* get() noexcept { return &value_; }
  const VARIANT* get() const noexcept { return &value_; }
  VARIANT* operator->() noexcept { return &value_; }
  const VARIANT* operator->() const noexcept { return &value_; }
  // Clears the value and lends it to an API that fills it.
  VARIANT* Receive() noexcept {
    VariantClear(&value_);
    return &value_;
  }
  // Moves the value into `target`, which must be empty or uninitialised; this one is left empty.
  void MoveTo(VARIANT* target) noexcept {
    *target = value_;
    VariantInit(&value_);
  }

 private:
  VARIANT value_;
};

// The strings an EXCEPINFO owns once a call has filled it.
struct UniqueExcepInfo {
  EXCEPINFO info{};
  UniqueExcepInfo() = default;
  UniqueExcepInfo(const UniqueExcepInfo&) = delete;
  UniqueExcepInfo& operator=(const UniqueExcepInfo&) = delete;
  ~UniqueExcepInfo() {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
  // Fills the deferred fields, as a caller must before reading them.
  EXCEPINFO& Filled() {
    if (info.pfnDeferredFillIn) {
      info.pfnDeferredFillIn(&info);
      info.pfnDeferredFillIn = nullptr;
    }
    return info;
  }
};

// OleInitialize on this thread, undone by OleUninitialize when it worked.
class OleSession {
 public:
  OleSession() noexcept : status_(::OleInitialize(nullptr)) {}
  ~OleSession() {
    if (SUCCEEDED(status_)) ::OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  HRESULT status() const noexcept { return status_; }

 private:
  HRESULT status_;
};

// A failed COM call inside the shell; the entry-point guard returns its HRESULT unchanged.
struct HresultError {
  HRESULT hr;
};

inline void ThrowIfFailed(HRESULT hr) {
  if (FAILED(hr)) throw HresultError{hr};
}

}  // namespace kivostrel::com
