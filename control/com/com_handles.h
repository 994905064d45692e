// Owners of the handles the shell works with: COM interface pointers, BSTRs, VARIANTs,
// SAFEARRAYs, registry keys and windows. Each frees what it holds when it goes; Receive() hands
// out the address of an empty slot for an API that returns the handle through a parameter.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <utility>

namespace kivostrel::com {

// One reference to a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
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
  ~ComPtr() {
    if (pointer_) pointer_->Release();
  }

  // Takes over a reference the caller already owns.
  static ComPtr Adopt(T* pointer) noexcept {
    ComPtr result;
    result.pointer_ = pointer;
    return result;
  }

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

// An automation string.
class UniqueBstr {
 public:
  UniqueBstr() noexcept = default;
  explicit UniqueBstr(BSTR text) noexcept : text_(text) {}
  UniqueBstr(UniqueBstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
  UniqueBstr& operator=(UniqueBstr other) noexcept {
    std::swap(text_, other.text_);
    return *this;
  }
  ~UniqueBstr() { SysFreeString(text_); }

  BSTR get() const noexcept { return text_; }
  BSTR* Receive() noexcept {
    *this = UniqueBstr();
    return &text_;
  }
  BSTR Detach() noexcept { return std::exchange(text_, nullptr); }

 private:
  BSTR text_ = nullptr;
};

// A VARIANT that is cleared when it goes.
class UniqueVariant {
 public:
  UniqueVariant() noexcept { VariantInit(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { VariantClear(&value_); }

  VARIANT* get() noexcept { return &value_; }
  const VARIANT* get() const noexcept { return &value_; }
  VARIANT* operator->() noexcept { return &value_; }
  const VARIANT* operator->() const noexcept { return &value_; }
  // Moves the value into `target`, which must be empty or uninitialised; this one is left empty.
  void MoveTo(VARIANT* target) noexcept {
    *target = value_;
    VariantInit(&value_);
  }

 private:
  VARIANT value_;
};

// A SAFEARRAY.
class UniqueSafeArray {
 public:
  UniqueSafeArray() noexcept = default;
  explicit UniqueSafeArray(SAFEARRAY* array) noexcept : array_(array) {}
  UniqueSafeArray(UniqueSafeArray&& other) noexcept
      : array_(std::exchange(other.array_, nullptr)) {}
  UniqueSafeArray& operator=(UniqueSafeArray other) noexcept {
    std::swap(array_, other.array_);
    return *this;
  }
  ~UniqueSafeArray() {
    if (array_) SafeArrayDestroy(array_);
  }

  SAFEARRAY* get() const noexcept { return array_; }
  SAFEARRAY* Detach() noexcept { return std::exchange(array_, nullptr); }

 private:
  SAFEARRAY* array_ = nullptr;
};

// An open registry key.
class UniqueHkey {
 public:
  UniqueHkey() noexcept = default;
  UniqueHkey(UniqueHkey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  UniqueHkey& operator=(UniqueHkey other) noexcept {
    std::swap(key_, other.key_);
    return *this;
  }
  ~UniqueHkey() {
    if (key_) RegCloseKey(key_);
  }

  HKEY get() const noexcept { return key_; }
  HKEY* Receive() noexcept {
    *this = UniqueHkey();
    return &key_;
  }

 private:
  HKEY key_ = nullptr;
};

// A window this code created.
class UniqueHwnd {
 public:
  UniqueHwnd() noexcept = default;
  explicit UniqueHwnd(HWND window) noexcept : window_(window) {}
  UniqueHwnd(UniqueHwnd&& other) noexcept : window_(std::exchange(other.window_, nullptr)) {}
  UniqueHwnd& operator=(UniqueHwnd other) noexcept {
    std::swap(window_, other.window_);
    return *this;
  }
  ~UniqueHwnd() {
    if (window_) DestroyWindow(window_);
  }

  HWND get() const noexcept { return window_; }

 private:
  HWND window_ = nullptr;
};

// A failed COM call inside the shell; the entry-point guard returns its HRESULT unchanged.
struct HresultError {
  HRESULT hr;
};

inline void ThrowIfFailed(HRESULT hr) {
  if (FAILED(hr)) throw HresultError{hr};
}

}  // namespace kivostrel::com
