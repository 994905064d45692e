#include "control/com/module.h"

#include <oleauto.h>

namespace kivostrel::com {
namespace {

HINSTANCE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

}  // namespace

void SetModuleHandle(HINSTANCE module) noexcept {
  g_module = module;
}
HINSTANCE ModuleHandle() noexcept {
  return g_module;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw HresultError{HRESULT_FROM_WIN32(GetLastError())};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void ObjectCreated() noexcept {
  InterlockedIncrement(&g_objects);
}
void ObjectDestroyed() noexcept {
  InterlockedDecrement(&g_objects);
}
void LockModule(bool lock) noexcept {
  if (lock) {
    InterlockedIncrement(&g_locks);
  } else {
    InterlockedDecrement(&g_locks);
  }
}
bool ModuleInUse() noexcept {
  return InterlockedCompareExchange(&g_objects, 0, 0) != 0 ||
         InterlockedCompareExchange(&g_locks, 0, 0) != 0;
}

ComPtr<ITypeLib> EmbeddedTypeLib() {
  // oleaut32 keeps loaded libraries by path, but under Wine finding one again still costs about
  // half a millisecond: callers keep what they load rather than asking per object.
  ComPtr<ITypeLib> library;
  ThrowIfFailed(LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.Receive()));
  return library;
}

ComPtr<ITypeInfo> EmbeddedTypeInfo(REFGUID guid) {
  ComPtr<ITypeInfo> info;
  ThrowIfFailed(EmbeddedTypeLib()->GetTypeInfoOfGuid(guid, info.Receive()));
  return info;
}

}  // namespace kivostrel::com
