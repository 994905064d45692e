// The server module: its handle and path, the count of live objects and server locks that
// DllCanUnloadNow reports, and the type library embedded in the module as resource TYPELIB 1.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

#include "win/com_handles.h"

namespace kivostrel::com {

void SetModuleHandle(HINSTANCE module) noexcept;
HINSTANCE ModuleHandle() noexcept;
// The full path of the server file.
std::wstring ModulePath();

// Every COM object of the server counts itself from construction to destruction.
void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void LockModule(bool lock) noexcept;
bool ModuleInUse() noexcept;

// The embedded type library; throws HresultError when it cannot be loaded.
ComPtr<ITypeLib> EmbeddedTypeLib();
// The description of one type of the embedded library, by its GUID.
ComPtr<ITypeInfo> EmbeddedTypeInfo(REFGUID guid);

// Base for an object counted by the module.
class CountedObject {
 public:
  CountedObject() noexcept { ObjectCreated(); }
  CountedObject(const CountedObject&) = delete;
  CountedObject& operator=(const CountedObject&) = delete;
  ~CountedObject() { ObjectDestroyed(); }
};

}  // namespace kivostrel::com
