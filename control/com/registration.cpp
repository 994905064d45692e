// DllRegisterServer and DllUnregisterServer: the type library and the keys under
// HKEY_CLASSES_ROOT that make the control visible to containers and design tools.
#include <windows.h>

#include <oleauto.h>

#include <string>

#include "control/com/error_guard.h"
#include "control/com/module.h"
#include "kivOstrel_h.h"
#include "win/com_handles.h"
#include "win/guid_text.h"

namespace kivostrel::com {
namespace {

constexpr const wchar_t* kProgId = L"kivOstrelCtrl.kivOstrel";
constexpr const wchar_t* kClassName = L"kivOstrel SNMP Control";
constexpr const wchar_t* kMiscStatus = L"131473";  // 0x20191
constexpr const wchar_t* kToolboxBitmap = L"30000";
constexpr WORD kLibraryMajor = 1;
constexpr WORD kLibraryMinor = 0;
constexpr LCID kLibraryLocale = 1033;

// Creates (or opens) HKCR\`path` and sets its default value when `value` is given.
UniqueHkey WriteKey(const std::wstring& path, const wchar_t* value) {
  UniqueHkey key;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                   nullptr, key.Receive(), nullptr);
  if (status != ERROR_SUCCESS) throw HresultError{HRESULT_FROM_WIN32(status)};
  if (value) {
    status = RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                            static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) throw HresultError{HRESULT_FROM_WIN32(status)};
  }
  return key;
}

void WriteNamedValue(const UniqueHkey& key, const wchar_t* name, const wchar_t* value) {
  const LSTATUS status =
      RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                     static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) throw HresultError{HRESULT_FROM_WIN32(status)};
}

// Removes HKCR\`path` with everything below it; a key that is not there is already removed.
void DeleteTree(const std::wstring& path) {
  UniqueHkey key;
  LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | KEY_WRITE | DELETE,
                                 key.Receive());
  if (status == ERROR_FILE_NOT_FOUND) return;
  if (status != ERROR_SUCCESS) throw HresultError{HRESULT_FROM_WIN32(status)};
  status = RegDeleteTreeW(key.get(), nullptr);
  if (status != ERROR_SUCCESS) throw HresultError{HRESULT_FROM_WIN32(status)};
  key = UniqueHkey();
  status = RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    throw HresultError{HRESULT_FROM_WIN32(status)};
  }
}

void Register() {
  const std::wstring path = ModulePath();
  // The library, and with it the three interfaces for marshalling through it.
  ComPtr<ITypeLib> library;
  ThrowIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Receive()));
  std::wstring writable_path = path;
  ThrowIfFailed(RegisterTypeLib(library.get(), writable_path.data(), nullptr));

  const std::wstring clsid = GuidText(CLSID_kivOstrel);
  const std::wstring clsid_key = L"CLSID\\" + clsid;
  WriteKey(kProgId, kClassName);
  WriteKey(std::wstring(kProgId) + L"\\CLSID", clsid.c_str());

  WriteKey(clsid_key, kClassName);
  WriteKey(clsid_key + L"\\ProgID", kProgId);
  const UniqueHkey server = WriteKey(clsid_key + L"\\InprocServer32", path.c_str());
  WriteNamedValue(server, L"ThreadingModel", L"Apartment");
  WriteKey(clsid_key + L"\\Control", nullptr);
  WriteKey(clsid_key + L"\\MiscStatus", L"0");
  WriteKey(clsid_key + L"\\MiscStatus\\1", kMiscStatus);
  WriteKey(clsid_key + L"\\ToolboxBitmap32", (path + L", " + kToolboxBitmap).c_str());
  WriteKey(clsid_key + L"\\TypeLib", GuidText(LIBID_kivOstrelCtrl).c_str());
  WriteKey(clsid_key + L"\\Version", L"1.0");
}

void Unregister() {
  // A library that is not registered is already as it should be.
  UniqueBstr registered_path;
  if (SUCCEEDED(QueryPathOfRegTypeLib(LIBID_kivOstrelCtrl, kLibraryMajor, kLibraryMinor,
                                      kLibraryLocale, registered_path.Receive()))) {
    ThrowIfFailed(UnRegisterTypeLib(LIBID_kivOstrelCtrl, kLibraryMajor, kLibraryMinor,
                                    kLibraryLocale, SYS_WIN32));
  }
  DeleteTree(L"CLSID\\" + GuidText(CLSID_kivOstrel));
  DeleteTree(kProgId);
}

}  // namespace
}  // namespace kivostrel::com

extern "C" {

STDAPI DllRegisterServer() {
  return kivostrel::com::Guarded(IID_NULL, [] { kivostrel::com::Register(); });
}

STDAPI DllUnregisterServer() {
  return kivostrel::com::Guarded(IID_NULL, [] { kivostrel::com::Unregister(); });
}

}  // extern "C"
