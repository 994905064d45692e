// UniqueAny, the owner of one Win32 handle, and the owners of the plain Win32 handles built on
// it. Each closes what it holds exactly once, when it goes or is reset; Receive() hands out the
// address of an empty slot for an API that returns the handle through a parameter.
#pragma once

#include <windows.h>

#include <utility>

namespace kivostrel {

// Owns a `Handle` that `Close` frees; `Empty` is the value that owns nothing, and is never closed.
template <typename Handle, auto Close, Handle Empty = Handle{}>
class UniqueAny {
 public:
  UniqueAny() noexcept = default;
  // Takes over `handle`.
  explicit UniqueAny(Handle handle) noexcept : handle_(handle) {}
  UniqueAny(UniqueAny&& other) noexcept : handle_(other.Detach()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    reset(other.Detach());
    return *this;
  }
  ~UniqueAny() { reset(); }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != Empty; }
  Handle* Receive() noexcept {
    reset();
    return &handle_;
  }
  // Gives the handle to the caller.
  Handle Detach() noexcept { return std::exchange(handle_, Empty); }
  void reset(Handle handle = Empty) noexcept {
    if (const Handle old = std::exchange(handle_, handle); old != Empty) Close(old);
  }

 private:
  Handle handle_ = Empty;
};

// A window this code created.
using UniqueHwnd = UniqueAny<HWND, ::DestroyWindow>;
using UniqueHkey = UniqueAny<HKEY, ::RegCloseKey>;
using UniqueModule = UniqueAny<HMODULE, ::FreeLibrary>;
// GDI: a DC this code created (CreateCompatibleDC, CreateDC), a pen, brush, font or bitmap (never
// a stock object), pictures.
using UniqueDc = UniqueAny<HDC, ::DeleteDC>;
using UniqueGdiObject = UniqueAny<HGDIOBJ, ::DeleteObject>;
using UniqueEnhMetaFile = UniqueAny<HENHMETAFILE, ::DeleteEnhMetaFile>;
using UniqueMetaFile = UniqueAny<HMETAFILE, ::DeleteMetaFile>;
using UniqueHglobal = UniqueAny<HGLOBAL, ::GlobalFree>;
// A kernel object handle, empty when null: pass CreateFile's result through FileHandle().
using UniqueHandle = UniqueAny<HANDLE, ::CloseHandle>;

// CreateFile reports failure as INVALID_HANDLE_VALUE, not null.
inline UniqueHandle FileHandle(HANDLE file) noexcept {
  return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

}  // namespace kivostrel
