// The server's entry points besides registration: the class factory, DllGetClassObject,
// DllCanUnloadNow and DllMain.
#include <windows.h>

#include "control/com/control_object.h"
#include "control/com/module.h"
#include "kivOstrel_h.h"

namespace kivostrel::com {
namespace {

// The one factory, a static object: its references do not keep the module; LockServer does.
class ControlFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return ControlObject::Create(iid, object);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    LockModule(lock != FALSE);
    return S_OK;
  }
};

ControlFactory g_factory;

}  // namespace
}  // namespace kivostrel::com

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    kivostrel::com::SetModuleHandle(module);
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

// OstrelObject is not creatable: only kivOstrel has a class object.
STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_kivOstrel) return CLASS_E_CLASSNOTAVAILABLE;
  return kivostrel::com::g_factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
  return kivostrel::com::ModuleInUse() ? S_FALSE : S_OK;
}

}  // extern "C"
