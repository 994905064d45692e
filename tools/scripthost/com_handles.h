// Owners of the COM and automation resources the script host holds.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace ostrelhost {

// An interface pointer that holds one reference.
template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over a reference the caller already holds.
  static ComPtr Adopt(T* pointer) noexcept {
    ComPtr owner;
    owner.pointer_ = pointer;
    return owner;
  }
  // Adds a reference of its own.
  static ComPtr Share(T* pointer) noexcept {
    if (pointer != nullptr) pointer->AddRef();
    return Adopt(pointer);
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(Share(other.pointer_)) {}
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const noexcept { return pointer_; }
  T* operator->() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }
  // For out-parameters: releases what is held and lends the slot.
  T** put() noexcept {
    reset();
    return &pointer_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
  T* detach() noexcept { return std::exchange(pointer_, nullptr); }
  void reset() noexcept {
    if (T* old = std::exchange(pointer_, nullptr)) old->Release();
  }
  template <class U>
  ComPtr<U> As(REFIID iid) const noexcept {
    ComPtr<U> other;
    if (pointer_ != nullptr) pointer_->QueryInterface(iid, other.put_void());
    return other;
  }

 private:
  T* pointer_ = nullptr;
};

class UniqueBstr {
 public:
  UniqueBstr() noexcept = default;
  explicit UniqueBstr(std::wstring_view text)
      : bstr_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { ::SysFreeString(bstr_); }

  BSTR get() const noexcept { return bstr_; }
  BSTR* put() noexcept {
    ::SysFreeString(std::exchange(bstr_, nullptr));
    return &bstr_;
  }
  BSTR release() noexcept { return std::exchange(bstr_, nullptr); }
  std::wstring_view view() const noexcept {
    return bstr_ == nullptr ? std::wstring_view() : std::wstring_view(bstr_, ::SysStringLen(bstr_));
  }

 private:
  BSTR bstr_ = nullptr;
};

class UniqueVariant {
 public:
  UniqueVariant() noexcept { ::VariantInit(&variant_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { ::VariantClear(&variant_); }

  VARIANT* get() noexcept { return &variant_; }
  const VARIANT* get() const noexcept { return &variant_; }
  // Hands the value to `target`, which must hold nothing that needs clearing.
  void MoveTo(VARIANT* target) noexcept {
    *target = variant_;
    ::VariantInit(&variant_);
  }

 private:
  VARIANT variant_;
};

// The strings an EXCEPINFO owns once a call has filled it.
struct UniqueExcepInfo {
  EXCEPINFO info{};
  UniqueExcepInfo() = default;
  UniqueExcepInfo(const UniqueExcepInfo&) = delete;
  UniqueExcepInfo& operator=(const UniqueExcepInfo&) = delete;
  ~UniqueExcepInfo() {
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
  }
  // Fills the deferred fields, as a caller must before reading them.
  EXCEPINFO& Filled() {
    if (info.pfnDeferredFillIn != nullptr) {
      info.pfnDeferredFillIn(&info);
      info.pfnDeferredFillIn = nullptr;
    }
    return info;
  }
};

// UTF-16 to UTF-8 and back.
std::string Utf8(std::wstring_view text);
std::wstring Wide(std::string_view utf8);

}  // namespace ostrelhost
