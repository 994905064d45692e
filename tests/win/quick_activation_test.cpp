// A container that quick-activates the control and hands it its ambients: the event sink given in
// QACONTAINER receives events, QACONTROL describes the control, and the label follows the
// container's user mode, colours and font, in its window and in IViewObject::Draw alike.
#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "ambient_site.h"
#include "dispatch_client.h"
#include "kivOstrel_h.h"
#include "strict_sink.h"

namespace kivostrel::wintest {
namespace {

constexpr RECT kBounds{0, 0, 240, 80};

std::wstring WindowText(HWND window) {
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  return text;
}

// A top-down 32-bit picture of the control's bounds, drawn by `paint` into a memory DC.
class Picture {
 public:
  explicit Picture(const std::function<void(HDC)>& paint) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = kBounds.right;
    format.bmiHeader.biHeight = -kBounds.bottom;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    dc_ = UniqueDc(::CreateCompatibleDC(nullptr));
    bitmap_ = UniqueGdiObject(::CreateDIBSection(dc_.get(), &format, DIB_RGB_COLORS,
                                                 reinterpret_cast<void**>(&bits_), nullptr, 0));
    if (!dc_ || !bitmap_ || bits_ == nullptr) {
      ADD_FAILURE() << "no DIB section";
      return;
    }
    const HGDIOBJ old = ::SelectObject(dc_.get(), bitmap_.get());
    // A colour the label never paints, so that untouched pixels show.
    std::memset(bits_, 0x5A, static_cast<std::size_t>(kBounds.right) * kBounds.bottom * 4);
    paint(dc_.get());
    ::GdiFlush();
    ::SelectObject(dc_.get(), old);
  }

  COLORREF At(int x, int y) const {
    if (bits_ == nullptr) return CLR_INVALID;
    const std::uint32_t pixel = bits_[y * kBounds.right + x];  // 0x00RRGGBB
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
  }
  // The lowest row holding a pixel of `color`, or -1.
  int LowestRowOf(COLORREF color) const {
    for (int y = kBounds.bottom - 1; y >= 0; --y) {
      for (int x = 0; x < kBounds.right; ++x) {
        if (At(x, y) == color) return y;
      }
    }
    return -1;
  }

 private:
  UniqueDc dc_;
  UniqueGdiObject bitmap_;
  std::uint32_t* bits_ = nullptr;
};

class QuickActivation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(form_.get(), nullptr);
    control_ = CreateControl();
    ASSERT_TRUE(control_);
    quick_ = control_.As<IQuickActivate>(IID_IQuickActivate);
    ole_ = control_.As<IOleObject>(IID_IOleObject);
    ole_control_ = control_.As<IOleControl>(IID_IOleControl);
    view_ = control_.As<IViewObject2>(IID_IViewObject2);
    ASSERT_TRUE(quick_ && ole_ && ole_control_ && view_);
    banner_ = TextOf(*Get(control_.get(), L"Copyright").value.get());
  }

  void TearDown() override {
    if (ole_) {
      ole_->Close(OLECLOSE_NOSAVE);
      ole_->SetClientSite(nullptr);
    }
    view_.reset();
    ole_control_.reset();
    ole_.reset();
    quick_.reset();
    control_.reset();
    // The control is gone and has let go of everything the container lent it.
    EXPECT_EQ(site_.references(), 0u);
    EXPECT_EQ(sink_.references(), 0u);
  }

  QACONTAINER Container(DWORD flags, OLE_COLOR fore, OLE_COLOR back) {
    QACONTAINER container{};
    container.cbSize = sizeof container;
    container.pClientSite = &site_;
    container.pAdviseSink = &site_;
    container.pUnkEventSink = &sink_;
    container.dwAmbientFlags = flags;
    container.colorFore = fore;
    container.colorBack = back;
    return container;
  }

  // Activates the control in place in the form and returns the label's window.
  HWND Activate() {
    if (ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site_, 0, form_.get(), &kBounds) != S_OK) {
      ADD_FAILURE() << "DoVerb";
      return nullptr;
    }
    HWND window = nullptr;
    control_.As<IOleInPlaceObject>(IID_IOleInPlaceObject)->GetWindow(&window);
    return window;
  }

  Picture Drawn() {
    return Picture([&](HDC dc) {
      const RECTL bounds{kBounds.left, kBounds.top, kBounds.right, kBounds.bottom};
      EXPECT_EQ(view_->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                            nullptr, 0),
                S_OK);
    });
  }
  static Picture Printed(HWND window) {
    return Picture([&](HDC dc) {
      ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    });
  }

  const UniqueHwnd form_{::CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                           0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr)};
  // Declared before the control, so that they outlive it.
  AmbientSite site_{form_.get()};
  StrictSink sink_;
  ComPtr<IDispatch> control_;
  ComPtr<IQuickActivate> quick_;
  ComPtr<IOleObject> ole_;
  ComPtr<IOleControl> ole_control_;
  ComPtr<IViewObject2> view_;
  std::wstring banner_;
};

TEST_F(QuickActivation, SitesTheControlAdvisesTheSinkAndDescribesTheControl) {
  // Refused before anything changes: no site taken, no sink advised.
  QACONTAINER small = Container(QACONTAINER_USERMODE, 0, 0);
  small.cbSize = offsetof(QACONTAINER, pFont);
  QACONTROL control{};
  control.cbSize = sizeof control;
  EXPECT_EQ(quick_->QuickActivate(&small, &control), E_INVALIDARG);
  EXPECT_EQ(quick_->QuickActivate(nullptr, &control), E_POINTER);
  EXPECT_EQ(sink_.references(), 0u);
  EXPECT_EQ(site_.references(), 0u);

  QACONTAINER container = Container(QACONTAINER_USERMODE, RGB(0, 0, 0), RGB(255, 255, 255));
  std::memset(&control, 0xCD, sizeof control);
  control.cbSize = sizeof control;
  ASSERT_EQ(quick_->QuickActivate(&container, &control), S_OK);
  EXPECT_EQ(control.cbSize, sizeof control);
  EXPECT_EQ(control.dwMiscStatus, 0x20191u);
  EXPECT_EQ(control.dwViewStatus, static_cast<DWORD>(VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND));
  EXPECT_NE(control.dwEventCookie, 0u);
  EXPECT_EQ(control.dwPropNotifyCookie, 0u);
  EXPECT_EQ(control.dwPointerActivationPolicy, 0u);

  ComPtr<IOleClientSite> site;
  EXPECT_EQ(ole_->GetClientSite(site.Receive()), S_OK);
  EXPECT_EQ(site.get(), static_cast<IOleClientSite*>(&site_));
  ComPtr<IAdviseSink> view_sink;
  EXPECT_EQ(view_->GetAdvise(nullptr, nullptr, view_sink.Receive()), S_OK);
  EXPECT_EQ(view_sink.get(), static_cast<IAdviseSink*>(&site_));

  // The socket becomes ready after the call: its Ready goes to the sink QuickActivate advised.
  sink_.on_ready = [] {};
  EXPECT_TRUE(PumpUntil([&] { return sink_.ready_count == 1; }, 5000));

  // The content extent is the object's extent.
  SIZEL extent{};
  SIZEL content{};
  EXPECT_EQ(ole_->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_EQ(quick_->GetContentExtent(&content), S_OK);
  EXPECT_EQ(content.cx, extent.cx);
  EXPECT_EQ(content.cy, extent.cy);
  SIZEL set{5080, 1270};
  EXPECT_EQ(quick_->SetContentExtent(&set), S_OK);
  EXPECT_EQ(ole_->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_EQ(extent.cx, 5080);
  EXPECT_EQ(extent.cy, 1270);

  // The cookie is the connection's: unadvising with it lets the sink go.
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(control_.As<IConnectionPointContainer>(IID_IConnectionPointContainer)
                ->FindConnectionPoint(DIID___kivOstrel, point.Receive()),
            S_OK);
  EXPECT_EQ(point->Unadvise(control.dwEventCookie), S_OK);
  EXPECT_EQ(sink_.references(), 0u);
  EXPECT_EQ(point->Unadvise(control.dwEventCookie), CONNECT_E_NOCONNECTION);
}

// Design mode, from QACONTAINER or from the site's ambient IDispatch, shows the banner; a change
// of the user mode ambient switches between the banner and the current status word.
TEST_F(QuickActivation, DesignModeShowsTheBannerAndUserModeTheStatusWord) {
  site_.user_mode = false;
  const struct {
    const char* how;
    bool quick;
  } ways[] = {{"QuickActivate", true}, {"SetClientSite", false}};
  for (const auto& way : ways) {
    SCOPED_TRACE(way.how);
    site_.user_mode = false;
    sink_.on_ready = [] {};
    if (way.quick) {
      QACONTAINER container = Container(0, RGB(0, 0, 0), RGB(255, 255, 255));
      QACONTROL control{};
      control.cbSize = sizeof control;
      ASSERT_EQ(quick_->QuickActivate(&container, &control), S_OK);
    } else {
      ASSERT_EQ(ole_->SetClientSite(&site_), S_OK);
    }
    const HWND label = Activate();
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(
        PumpUntil([&] { return LongOf(*Get(control_.get(), L"Stat").value.get()) == 1; }, 5000));
    PumpFor(50);
    EXPECT_EQ(WindowText(label), banner_) << "the status word while designing";

    const struct {
      bool user_mode;
      DISPID changed;
      std::wstring shown;
    } steps[] = {
        {true, DISPID_AMBIENT_LOCALEID, banner_},  // not the user mode: not read again
        {true, DISPID_AMBIENT_USERMODE, L"Ready"},
        {false, DISPID_UNKNOWN, banner_},
        {true, DISPID_UNKNOWN, L"Ready"},
    };
    for (const auto& step : steps) {
      SCOPED_TRACE(::testing::Message()
                   << "user mode " << step.user_mode << ", DISPID " << step.changed);
      site_.user_mode = step.user_mode;
      EXPECT_EQ(ole_control_->OnAmbientPropertyChange(step.changed), S_OK);
      EXPECT_EQ(WindowText(label), step.shown);
    }
    ole_->Close(OLECLOSE_NOSAVE);
    EXPECT_EQ(ole_->SetClientSite(nullptr), S_OK);
  }
}

// The label paints with the container's colours and font, in its window as in Draw, and paints
// again when an ambient changes.
TEST_F(QuickActivation, AmbientColoursAndFontPaintTheLabel) {
  const COLORREF red = RGB(200, 0, 0);
  const COLORREF blue = RGB(0, 0, 160);
  QACONTAINER container = Container(QACONTAINER_USERMODE, blue, red);
  QACONTROL control{};
  control.cbSize = sizeof control;
  ASSERT_EQ(quick_->QuickActivate(&container, &control), S_OK);
  const HWND label = Activate();
  ASSERT_NE(label, nullptr);
  sink_.on_ready = [] {};
  EXPECT_TRUE(PumpUntil([&] { return sink_.ready_count == 1; }, 5000));
  ::UpdateWindow(label);

  const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
  const COLORREF white = RGB(255, 255, 255);
  ComPtr<IFont> large;
  FONTDESC description{};
  description.cbSizeofstruct = sizeof description;
  description.lpstrName = const_cast<LPOLESTR>(L"Tahoma");
  description.cySize.int64 = 36 * 10000;  // 36 points
  description.sWeight = FW_NORMAL;
  description.sCharset = ANSI_CHARSET;
  ASSERT_EQ(::OleCreateFontIndirect(&description, IID_IFont, large.ReceiveVoid()), S_OK);

  const struct {
    const char* what;
    std::function<void()> change;
    DISPID changed;
    COLORREF back, fore;
    bool large_text;
  } steps[] = {
      {"as QuickActivate gave them", nullptr, DISPID_UNKNOWN, red, blue, false},
      {"a system back colour", [&] { site_.back = 0x80000000 | COLOR_HIGHLIGHT; },
       DISPID_AMBIENT_BACKCOLOR, highlight, blue, false},
      {"an RGB back colour", [&] { site_.back = white; }, DISPID_AMBIENT_BACKCOLOR, white, blue,
       false},
      {"a fore colour", [&] { site_.fore = red; }, DISPID_AMBIENT_FORECOLOR, white, red, false},
      {"a large font", [&] { site_.font = large; }, DISPID_AMBIENT_FONT, white, red, true},
  };
  int view_changes = site_.view_changes;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    if (step.change) {
      step.change();
      ::ValidateRect(label, nullptr);
      EXPECT_EQ(ole_control_->OnAmbientPropertyChange(step.changed), S_OK);
      EXPECT_EQ(site_.view_changes, ++view_changes) << "the container is told to redraw";
      EXPECT_TRUE(::GetUpdateRect(label, nullptr, FALSE)) << "the window paints again";
      ::UpdateWindow(label);
    }
    const Picture drawn = Drawn();
    const Picture printed = Printed(label);
    for (const auto& [how, picture] : {std::pair{"Draw", &drawn}, {"WM_PRINTCLIENT", &printed}}) {
      SCOPED_TRACE(how);
      EXPECT_EQ(picture->At(kBounds.right - 1, kBounds.bottom - 1), step.back);
      EXPECT_EQ(picture->At(0, 0), step.back);
      const int lowest = picture->LowestRowOf(step.fore);
      EXPECT_GT(lowest, 0) << "the status word in the fore colour";
      if (step.large_text) {
        EXPECT_GT(lowest, 30) << "the large font";
      } else {
        EXPECT_LT(lowest, 20) << "the default font";
      }
    }
  }
}

}  // namespace
}  // namespace kivostrel::wintest
