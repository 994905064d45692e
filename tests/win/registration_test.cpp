// Self-registration through regsvr32 and the server's exported entry points.
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "dispatch_client.h"
#include "kivOstrel_h.h"
#include "win/guid_text.h"

namespace kivostrel::wintest {
namespace {

using com::GuidText;

// The default (empty name) or named value of a key under HKEY_CLASSES_ROOT, when it is a string.
std::optional<std::wstring> ClassesText(const std::wstring& key, const wchar_t* name = nullptr) {
  UniqueHkey opened;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.Receive()) !=
      ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(opened.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
  if (::RegQueryValueExW(opened.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(text.data());
}

bool ClassesKeyExists(const std::wstring& key) {
  UniqueHkey opened;
  return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.Receive()) ==
         ERROR_SUCCESS;
}

// Runs regsvr32 with `options` on the control and returns its exit code.
DWORD RunRegsvr32(const std::wstring& options) {
  std::wstring command = L"regsvr32.exe " + options + L" \"" + OcxPath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
    return 0xFFFFFFFF;
  UniqueHandle process_handle(process.hProcess), thread_handle(process.hThread);
  if (::WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) return 0xFFFFFFFE;
  DWORD code = 0xFFFFFFFD;
  ::GetExitCodeProcess(process.hProcess, &code);
  return code;
}

// Wine writes module paths in the long form \\?\C:\...; Windows writes C:\....
std::wstring WithoutLongPrefix(std::wstring path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
  return path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(WithoutLongPrefix(a).c_str(), -1, WithoutLongPrefix(b).c_str(), -1,
                                TRUE) == CSTR_EQUAL;
}

const std::wstring kClsidKey = L"CLSID\\" + GuidText(CLSID_kivOstrel);
const std::wstring kProgIdKey = kProgId;
const std::wstring kTypeLibKey = L"TypeLib\\" + GuidText(LIBID_kivOstrelCtrl);
const std::vector<std::wstring> kInterfaceKeys = {L"Interface\\" + GuidText(IID__kivOstrel),
                                                  L"Interface\\" + GuidText(IID__OstrelObject),
                                                  L"Interface\\" + GuidText(DIID___kivOstrel)};

bool TypeLibResolves() {
  ComPtr<ITypeLib> library;
  return SUCCEEDED(::LoadRegTypeLib(LIBID_kivOstrelCtrl, 1, 0, 1033, library.Receive()));
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(OcxPath().empty()) << "KIVOSTREL_OCX is not set";
    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
  }
  // Whatever a test did, the other suites find the server registered.
  void TearDown() override { EXPECT_EQ(RunRegsvr32(L"/s"), 0u); }
};

TEST_F(Registration, WritesTheProgIdAndClassEntries) {
  EXPECT_EQ(ClassesText(kProgIdKey + L"\\CLSID"), GuidText(CLSID_kivOstrel));
  EXPECT_EQ(ClassesText(kClsidKey + L"\\ProgID"), std::wstring(kProgId));
  EXPECT_TRUE(ClassesKeyExists(kClsidKey + L"\\Control"));
  EXPECT_EQ(ClassesText(kClsidKey + L"\\MiscStatus"), L"0");
  EXPECT_EQ(ClassesText(kClsidKey + L"\\MiscStatus\\1"), L"131473");
  EXPECT_EQ(ClassesText(kClsidKey + L"\\TypeLib"), GuidText(LIBID_kivOstrelCtrl));
  EXPECT_EQ(ClassesText(kClsidKey + L"\\Version"), L"1.0");
  EXPECT_EQ(ClassesText(kClsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
}

TEST_F(Registration, NamesTheServerFileAndItsToolboxBitmap) {
  const auto server = ClassesText(kClsidKey + L"\\InprocServer32");
  ASSERT_TRUE(server.has_value());
  EXPECT_TRUE(SamePath(*server, OcxPath())) << "InprocServer32 = " << *server;
  EXPECT_NE(::GetFileAttributesW(server->c_str()), INVALID_FILE_ATTRIBUTES) << *server;
  EXPECT_EQ(ClassesText(kClsidKey + L"\\ToolboxBitmap32"), *server + L", 30000");
}

TEST_F(Registration, RegistersTheTypeLibraryAndItsInterfaces) {
  EXPECT_TRUE(TypeLibResolves());
  EXPECT_TRUE(ClassesKeyExists(kTypeLibKey + L"\\1.0"));
  for (const auto& key : kInterfaceKeys) {
    EXPECT_EQ(ClassesText(key + L"\\TypeLib"), GuidText(LIBID_kivOstrelCtrl)) << key;
  }
  CLSID clsid{};
  EXPECT_EQ(::CLSIDFromProgID(kProgId, &clsid), S_OK);
  EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_kivOstrel));
  EXPECT_TRUE(CreateControl());
}

TEST_F(Registration, RegisteringTwiceWritesTheSameEntries) {
  const auto server = ClassesText(kClsidKey + L"\\InprocServer32");
  ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
  EXPECT_EQ(ClassesText(kClsidKey + L"\\InprocServer32"), server);
  EXPECT_EQ(ClassesText(kClsidKey + L"\\MiscStatus\\1"), L"131473");
  EXPECT_TRUE(TypeLibResolves());
}

TEST_F(Registration, UnregisteringRemovesEverything) {
  ASSERT_EQ(RunRegsvr32(L"/u /s"), 0u);
  EXPECT_FALSE(ClassesKeyExists(kProgIdKey));
  EXPECT_FALSE(ClassesKeyExists(kClsidKey));
  EXPECT_FALSE(ClassesKeyExists(kTypeLibKey));
  for (const auto& key : kInterfaceKeys) EXPECT_FALSE(ClassesKeyExists(key)) << key;
  EXPECT_FALSE(TypeLibResolves());
  CLSID clsid{};
  EXPECT_NE(::CLSIDFromProgID(kProgId, &clsid), S_OK);
  ComPtr<IUnknown> object;
  EXPECT_TRUE(FAILED(::CoCreateInstance(CLSID_kivOstrel, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IUnknown, object.ReceiveVoid())));

  ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
  EXPECT_TRUE(TypeLibResolves());
  EXPECT_TRUE(CreateControl());
}

// The entry points, called on the server file loaded by this test.
class EntryPoints : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = UniqueModule(::LoadLibraryW(OcxPath().c_str()));
    ASSERT_NE(module_.get(), nullptr) << "cannot load " << OcxPath();
    get_class_object_ = reinterpret_cast<decltype(get_class_object_)>(
        reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllGetClassObject")));
    can_unload_now_ = reinterpret_cast<decltype(can_unload_now_)>(
        reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllCanUnloadNow")));
    ASSERT_NE(get_class_object_, nullptr);
    ASSERT_NE(can_unload_now_, nullptr);
  }

  UniqueModule module_;
  HRESULT(WINAPI* get_class_object_)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(WINAPI* can_unload_now_)() = nullptr;
};

TEST_F(EntryPoints, ExportsTheFourServerFunctions) {
  for (const char* name :
       {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow"}) {
    EXPECT_NE(::GetProcAddress(module_.get(), name), nullptr) << name;
  }
}

TEST_F(EntryPoints, ServesOnlyTheControlClass) {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(get_class_object_(CLSID_OstrelObject, IID_IClassFactory, factory.ReceiveVoid()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_FALSE(factory);
  EXPECT_EQ(get_class_object_(IID__kivOstrel, IID_IClassFactory, factory.ReceiveVoid()),
            CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(get_class_object_(CLSID_kivOstrel, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
  ComPtr<IDispatch> control;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, control.ReceiveVoid()), S_OK);
  EXPECT_EQ(Get(control.get(), L"Stat").hr, S_OK);
}

TEST_F(EntryPoints, CanUnloadOnlyWithoutObjectsOrLocks) {
  ASSERT_EQ(can_unload_now_(), S_OK);
  {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(get_class_object_(CLSID_kivOstrel, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(can_unload_now_(), S_FALSE);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);

    ComPtr<IDispatch> control;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, control.ReceiveVoid()), S_OK);
    factory.reset();
    EXPECT_EQ(can_unload_now_(), S_FALSE);
    control.reset();
  }
  PumpFor(100);
  EXPECT_EQ(can_unload_now_(), S_OK);
}

TEST_F(EntryPoints, CarriesTheVersionResource) {
  const std::wstring path = OcxPath();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixed_size));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020004u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000018u);

  struct Translation {
    WORD language, code_page;
  }* translations = nullptr;
  UINT translations_size = 0;
  ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translations), &translations_size));
  ASSERT_GE(translations_size, sizeof(Translation));
  wchar_t block[64];
  swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translations->language,
           translations->code_page);
  auto entry = [&](const wchar_t* name) -> std::optional<std::wstring> {
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), (std::wstring(block) + name).c_str(),
                          reinterpret_cast<void**>(&value), &length))
      return std::nullopt;
    return std::wstring(value != nullptr && length > 0 ? value : L"");
  };
  EXPECT_EQ(entry(L"FileVersion"), L"2.04.0024");
  EXPECT_EQ(entry(L"ProductVersion"), L"2.04.0024");
  EXPECT_EQ(entry(L"InternalName"), L"kivOstrel");
  EXPECT_EQ(entry(L"OriginalFilename"), L"kivOstrel.ocx");
  EXPECT_EQ(entry(L"OLESelfRegister"), L"");
}

TEST_F(EntryPoints, HoldsTheToolboxBitmap) {
  HRSRC resource = ::FindResourceW(module_.get(), MAKEINTRESOURCEW(30000), MAKEINTRESOURCEW(2));
  ASSERT_NE(resource, nullptr);
  const auto* header =
      static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(module_.get(), resource)));
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->biWidth, 16);
  EXPECT_EQ(header->biHeight, 15);
  EXPECT_EQ(header->biBitCount, 24);
  EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
}

}  // namespace
}  // namespace kivostrel::wintest
