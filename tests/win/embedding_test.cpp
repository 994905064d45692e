// The control on a form: hosted by Wine's ATL container (AtlAxWin) in a top-level window.
#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "dispatch_client.h"
#include "kivOstrel_h.h"
#include "win/guid_text.h"
#include "win/type_info_handles.h"

namespace kivostrel::wintest {
namespace {

// IObjectSafety and the "safe for scripting / initialising" categories, which the control must
// not offer: it sends UDP wherever its caller says.
const IID kIID_IObjectSafety = {
    0xcb5bdc81, 0x93c1, 0x11cf, {0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64}};
constexpr const wchar_t* kSafeForScripting = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
constexpr const wchar_t* kSafeForInitializing = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

std::wstring WindowText(HWND window) {
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  return text;
}

class Embedding : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = UniqueModule(::LoadLibraryW(OcxPath().c_str()));
    ASSERT_NE(server_.get(), nullptr);
    atl_ = UniqueModule(::LoadLibraryW(L"atl.dll"));
    ASSERT_NE(atl_.get(), nullptr) << "Wine's atl.dll is missing";
    auto init = reinterpret_cast<BOOL(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(atl_.get(), "AtlAxWinInit")));
    get_control_ = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
        reinterpret_cast<void*>(::GetProcAddress(atl_.get(), "AtlAxGetControl")));
    ASSERT_NE(init, nullptr);
    ASSERT_NE(get_control_, nullptr);
    // The window class stays registered after the first call, which then reports FALSE.
    WNDCLASSEXW registered{};
    registered.cbSize = sizeof registered;
    ASSERT_TRUE(init() || ::GetClassInfoExW(nullptr, L"AtlAxWin", &registered));
  }

  UniqueModule server_;
  UniqueModule atl_;
  HRESULT(WINAPI* get_control_)(HWND, IUnknown**) = nullptr;
};

TEST_F(Embedding, AtlHostCreatesActivatesAndClosesTheControl) {
  const UniqueHwnd form(::CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                          0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr));
  ASSERT_NE(form.get(), nullptr);
  {
    const UniqueHwnd host(::CreateWindowExW(0, L"AtlAxWin", kProgId, WS_CHILD | WS_VISIBLE, 10, 10,
                                            200, 100, form.get(), nullptr, nullptr, nullptr));
    ASSERT_NE(host.get(), nullptr) << "AtlAxWin could not create "
                                   << "kivOstrelCtrl.kivOstrel";
    ComPtr<IUnknown> control;
    ASSERT_EQ(get_control_(host.get(), control.Receive()), S_OK);
    ASSERT_TRUE(control);

    auto ole_object = control.As<IOleObject>(IID_IOleObject);
    ASSERT_TRUE(ole_object);
    DWORD status = 0;
    EXPECT_EQ(ole_object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, 0x20191u);
    ComPtr<IOleClientSite> site;
    EXPECT_EQ(ole_object->GetClientSite(site.Receive()), S_OK);
    EXPECT_TRUE(site) << "the container sited the control";

    // In-place active: the control has a window inside the host. The label is that window's
    // child, or the window itself when the label is the control's only window.
    auto in_place = control.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
    ASSERT_TRUE(in_place);
    HWND window = nullptr;
    ASSERT_EQ(in_place->GetWindow(&window), S_OK);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(::IsChild(host.get(), window));
    HWND child = ::GetWindow(window, GW_CHILD);
    const HWND label = child != nullptr ? child : window;

    auto control_dispatch = control.As<IDispatch>(IID_IDispatch);
    const std::wstring banner = TextOf(*Get(control_dispatch.get(), L"Copyright").value.get());
    EXPECT_EQ(WindowText(label), banner) << "the label shows the banner until the socket is ready";

    for (const RECT bounds : {RECT{0, 0, 300, 150}, RECT{5, 7, 125, 47}, RECT{0, 0, 1, 1}}) {
      SCOPED_TRACE(::testing::Message() << bounds.left << "," << bounds.top << " " << bounds.right
                                        << "," << bounds.bottom);
      ASSERT_EQ(in_place->SetObjectRects(&bounds, &bounds), S_OK);
      // The control's client area, in the coordinates of the window the label is placed in.
      RECT client = bounds;
      HWND frame = ::GetParent(label);
      if (child != nullptr) {
        ::GetClientRect(window, &client);
        EXPECT_EQ(client.right, bounds.right - bounds.left);
        EXPECT_EQ(client.bottom, bounds.bottom - bounds.top);
        frame = window;
      }
      RECT label_rect{};
      ::GetWindowRect(label, &label_rect);
      ::MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&label_rect), 2);
      EXPECT_EQ(label_rect.left, client.left);
      EXPECT_EQ(label_rect.top, client.top);
      EXPECT_EQ(label_rect.right, client.right);
      EXPECT_EQ(label_rect.bottom, client.bottom);
    }

    // The transport's status words replace the banner.
    EXPECT_TRUE(PumpUntil([&] { return WindowText(label) == L"Ready"; }, 5000))
        << "label shows " << ::testing::PrintToString(WindowText(label));
    EXPECT_EQ(ServerCanUnloadNow(), S_FALSE);
  }
  // The host window is gone: the container closed the control and let it go.
  PumpFor(100);
  EXPECT_EQ(ServerCanUnloadNow(), S_OK);
}

TEST_F(Embedding, OffersTheControlInterfacesButNoScriptingSafety) {
  auto control = CreateControl();
  ASSERT_TRUE(control);
  const std::pair<const char*, const IID*> offered[] = {
      {"IOleObject", &IID_IOleObject},
      {"IOleInPlaceObject", &IID_IOleInPlaceObject},
      {"IOleInPlaceActiveObject", &IID_IOleInPlaceActiveObject},
      {"IOleControl", &IID_IOleControl},
      {"IViewObject2", &IID_IViewObject2},
      {"IPersistStreamInit", &IID_IPersistStreamInit},
      {"IPersistPropertyBag", &IID_IPersistPropertyBag},
      {"IProvideClassInfo2", &IID_IProvideClassInfo2},
      {"IConnectionPointContainer", &IID_IConnectionPointContainer},
      {"ISupportErrorInfo", &IID_ISupportErrorInfo},
      {"_kivOstrel", &IID__kivOstrel},
  };
  for (const auto& [name, iid] : offered) {
    EXPECT_TRUE(control.As<IUnknown>(*iid)) << name;
  }
  EXPECT_FALSE(control.As<IUnknown>(kIID_IObjectSafety)) << "IObjectSafety";

  auto class_info = control.As<IProvideClassInfo2>(IID_IProvideClassInfo2);
  ASSERT_TRUE(class_info);
  GUID source{};
  EXPECT_EQ(class_info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_TRUE(::IsEqualGUID(source, DIID___kivOstrel));
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(class_info->GetClassInfo(info.Receive()), S_OK);
  com::UniqueTypeAttr attributes;
  ASSERT_EQ(com::GetTypeAttr(info.get(), attributes), S_OK);
  EXPECT_TRUE(::IsEqualGUID(attributes->guid, CLSID_kivOstrel));

  for (const wchar_t* category : {kSafeForScripting, kSafeForInitializing}) {
    const std::wstring key =
        L"CLSID\\" + com::GuidText(CLSID_kivOstrel) + L"\\Implemented Categories\\" + category;
    UniqueHkey opened;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.Receive()),
              ERROR_SUCCESS)
        << "registered as safe: " << ::testing::PrintToString(std::wstring(category));
  }
}

TEST_F(Embedding, ViewObjectReportsAnExtent) {
  auto control = CreateControl();
  ASSERT_TRUE(control);
  auto view = control.As<IViewObject2>(IID_IViewObject2);
  ASSERT_TRUE(view);
  SIZEL extent{};
  EXPECT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent), S_OK);
  EXPECT_GT(extent.cx, 0);
  EXPECT_GT(extent.cy, 0);
}

}  // namespace
}  // namespace kivostrel::wintest
