// Owners of the COM and Win32 handles the tests hold: each releases what it owns exactly once.
#pragma once

#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <utility>

namespace kivostrel::wintest {

// A counted interface pointer. `put()` releases the old one and hands out the slot for an
// out-parameter.
template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  explicit ComPtr(T* p) noexcept : p_(p) {}  // takes over one reference
  ComPtr(const ComPtr& other) noexcept : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  // A new reference to `p`.
  static ComPtr Share(T* p) noexcept {
    if (p != nullptr) p->AddRef();
    return ComPtr(p);
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  T** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
  T* release() noexcept { return std::exchange(p_, nullptr); }
  void reset() noexcept {
    if (T* old = std::exchange(p_, nullptr)) old->Release();
  }

  template <class U>
  ComPtr<U> As(REFIID iid) const noexcept {
    ComPtr<U> other;
    if (p_ != nullptr) p_->QueryInterface(iid, other.put_void());
    return other;
  }

 private:
  T* p_ = nullptr;
};

class UniqueBstr {
 public:
  UniqueBstr() noexcept = default;
  explicit UniqueBstr(const wchar_t* text) noexcept : s_(::SysAllocString(text)) {}
  UniqueBstr(UniqueBstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  UniqueBstr& operator=(UniqueBstr&& other) noexcept {
    std::swap(s_, other.s_);
    return *this;
  }
  ~UniqueBstr() { ::SysFreeString(s_); }
  BSTR get() const noexcept { return s_; }
  BSTR* put() noexcept {
    ::SysFreeString(std::exchange(s_, nullptr));
    return &s_;
  }
  const wchar_t* c_str() const noexcept { return s_ != nullptr ? s_ : L""; }

 private:
  BSTR s_ = nullptr;
};

class UniqueVariant {
 public:
  UniqueVariant() noexcept { ::VariantInit(&v_); }
  UniqueVariant(UniqueVariant&& other) noexcept : v_(other.v_) { ::VariantInit(&other.v_); }
  UniqueVariant& operator=(UniqueVariant&& other) noexcept {
    std::swap(v_, other.v_);
    return *this;
  }
  ~UniqueVariant() { ::VariantClear(&v_); }
  VARIANT* get() noexcept { return &v_; }
  const VARIANT* get() const noexcept { return &v_; }
  VARIANT* operator->() noexcept { return &v_; }
  const VARIANT* operator->() const noexcept { return &v_; }
  VARIANT* put() noexcept {
    ::VariantClear(&v_);
    return &v_;
  }

 private:
  VARIANT v_;
};

class UniqueSafeArray {
 public:
  UniqueSafeArray() noexcept = default;
  explicit UniqueSafeArray(SAFEARRAY* array) noexcept : a_(array) {}
  UniqueSafeArray(UniqueSafeArray&& other) noexcept : a_(std::exchange(other.a_, nullptr)) {}
  UniqueSafeArray& operator=(UniqueSafeArray&& other) noexcept {
    std::swap(a_, other.a_);
    return *this;
  }
  ~UniqueSafeArray() {
    if (a_ != nullptr) ::SafeArrayDestroy(a_);
  }
  SAFEARRAY* get() const noexcept { return a_; }
  SAFEARRAY** put() noexcept {
    if (SAFEARRAY* old = std::exchange(a_, nullptr)) ::SafeArrayDestroy(old);
    return &a_;
  }
  SAFEARRAY* release() noexcept { return std::exchange(a_, nullptr); }

 private:
  SAFEARRAY* a_ = nullptr;
};

class UniqueRegKey {
 public:
  UniqueRegKey() noexcept = default;
  UniqueRegKey(UniqueRegKey&& other) noexcept : k_(std::exchange(other.k_, nullptr)) {}
  UniqueRegKey& operator=(UniqueRegKey&& other) noexcept {
    std::swap(k_, other.k_);
    return *this;
  }
  ~UniqueRegKey() {
    if (k_ != nullptr) ::RegCloseKey(k_);
  }
  HKEY get() const noexcept { return k_; }
  HKEY* put() noexcept {
    if (HKEY old = std::exchange(k_, nullptr)) ::RegCloseKey(old);
    return &k_;
  }

 private:
  HKEY k_ = nullptr;
};

class UniqueModule {
 public:
  UniqueModule() noexcept = default;
  explicit UniqueModule(HMODULE module) noexcept : m_(module) {}
  UniqueModule(UniqueModule&& other) noexcept : m_(std::exchange(other.m_, nullptr)) {}
  UniqueModule& operator=(UniqueModule&& other) noexcept {
    std::swap(m_, other.m_);
    return *this;
  }
  ~UniqueModule() {
    if (m_ != nullptr) ::FreeLibrary(m_);
  }
  HMODULE get() const noexcept { return m_; }

 private:
  HMODULE m_ = nullptr;
};

class UniqueHandle {
 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(HANDLE handle) noexcept : h_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    std::swap(h_, other.h_);
    return *this;
  }
  ~UniqueHandle() {
    if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
  }
  HANDLE get() const noexcept { return h_; }

 private:
  HANDLE h_ = nullptr;
};

}  // namespace kivostrel::wintest
