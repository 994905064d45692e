// A form with the control on it, to be looked at: a top-level window, as a Visual Basic form
// would be, holds the control in Wine's ATL container (the "AtlAxWin" window class, given the
// ProgID, so the control comes through its registration), waits until the control is ready, and
// stays up until it is told to go.
//
//   form_container.exe STOP_FILE [SECONDS]
//
// Once the control is ready and painted it prints where things are, in screen pixels (left, top,
// right, bottom; right and bottom exclusive):
//   form L T R B       the form's window, frame and title bar included
//   client L T R B     the form's client area
//   control L T R B    the control's rectangle, which its label covers
//   ready              everything above is on the screen
// then keeps pumping messages until STOP_FILE exists. Exit status: 0 when it was told to go,
// 1 when the control could not be placed or did not become ready, or the time (default 30 s) ran
// out first; 2 for bad arguments.
#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "win/com_handles.h"
#include "win/message_pump.h"
#include "win/win32_handles.h"

namespace {

using kivostrel::UniqueHwnd;
using kivostrel::UniqueModule;
using kivostrel::com::ComPtr;
using kivostrel::com::OleSession;
using kivostrel::com::UniqueVariant;

constexpr const wchar_t* kProgId = L"kivOstrelCtrl.kivOstrel";
constexpr const wchar_t* kFormClass = L"kivOstrelTestForm";
// Where the form goes and how the control sits on it, in pixels.
constexpr POINT kFormAt{40, 40};
constexpr int kMargin = 16;
constexpr SIZE kControlSize{320, 60};
constexpr DWORD kReadyTimeoutMs = 10000;
// Time for the last paint to reach the screen after the control became ready.
constexpr DWORD kSettleMs = 300;

int Fail(const char* what, HRESULT hr = S_OK) {
  std::printf("form_container: %s (0x%08lX)\n", what, static_cast<unsigned long>(hr));
  std::fflush(stdout);
  return 1;
}

void PrintRect(const char* name, RECT rect) {
  std::printf("%s %ld %ld %ld %ld\n", name, rect.left, rect.top, rect.right, rect.bottom);
}

RECT ScreenRectOfClient(HWND window) {
  RECT rect{};
  ::GetClientRect(window, &rect);
  ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The control's Stat through its IDispatch, as any late-bound host reads it; -2 when it fails.
long StatOf(IDispatch* control) {
  OLECHAR name[] = L"Stat";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  if (FAILED(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return -2;
  DISPPARAMS none{};
  UniqueVariant value;
  if (FAILED(control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                             value.Receive(), nullptr, nullptr)) ||
      FAILED(::VariantChangeType(value.get(), value.get(), 0, VT_I4))) {
    return -2;
  }
  return value->lVal;
}

// The caption of the control's label while it is active in place, for the log; empty when the
// control shows no window of its own.
std::wstring LabelCaption(IUnknown* control) {
  ComPtr<IOleInPlaceObject> in_place;
  HWND window = nullptr;
  if (FAILED(control->QueryInterface(IID_IOleInPlaceObject, in_place.ReceiveVoid())) ||
      FAILED(in_place->GetWindow(&window)) || !window) {
    return {};
  }
  if (HWND child = ::GetWindow(window, GW_CHILD)) window = child;
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc > 3) {
    std::printf("usage: form_container.exe STOP_FILE [SECONDS]\n");
    return 2;
  }
  const std::wstring stop_file = argv[1];
  const DWORD seconds = argc == 3 ? std::wcstoul(argv[2], nullptr, 10) : 30;

  const OleSession ole;
  if (FAILED(ole.status())) return Fail("OleInitialize failed", ole.status());
  const UniqueModule atl(::LoadLibraryW(L"atl.dll"));
  if (!atl) return Fail("atl.dll is missing", HRESULT_FROM_WIN32(::GetLastError()));
  const auto init = reinterpret_cast<BOOL(WINAPI*)()>(
      reinterpret_cast<void*>(::GetProcAddress(atl.get(), "AtlAxWinInit")));
  const auto get_control = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
      reinterpret_cast<void*>(::GetProcAddress(atl.get(), "AtlAxGetControl")));
  if (!init || !get_control || !init()) return Fail("AtlAxWinInit failed");

  WNDCLASSEXW form_class{};
  form_class.cbSize = sizeof form_class;
  form_class.lpfnWndProc = ::DefWindowProcW;
  form_class.hInstance = ::GetModuleHandleW(nullptr);
  form_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form_class.lpszClassName = kFormClass;
  if (!::RegisterClassExW(&form_class)) {
    return Fail("RegisterClassEx failed", HRESULT_FROM_WIN32(::GetLastError()));
  }

  // A fixed-size form whose client area holds the control with a margin all round. No system menu
  // or caption buttons: Wine draws their glyphs in the Marlett font, which Debian's Wine 8 does not
  // load here (the buttons show the letters 0, 1 and r), and nothing here needs them.
  constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION;
  RECT frame{0, 0, kControlSize.cx + 2 * kMargin, kControlSize.cy + 2 * kMargin};
  ::AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
  const UniqueHwnd form(::CreateWindowExW(0, kFormClass, L"kivOstrel on a form", kFormStyle,
                                          kFormAt.x, kFormAt.y, frame.right - frame.left,
                                          frame.bottom - frame.top, nullptr, nullptr,
                                          ::GetModuleHandleW(nullptr), nullptr));
  if (!form) return Fail("the form could not be created", HRESULT_FROM_WIN32(::GetLastError()));
  const UniqueHwnd host(::CreateWindowExW(0, L"AtlAxWin", kProgId, WS_CHILD | WS_VISIBLE, kMargin,
                                          kMargin, kControlSize.cx, kControlSize.cy, form.get(),
                                          nullptr, ::GetModuleHandleW(nullptr), nullptr));
  if (!host) return Fail("AtlAxWin could not be created", HRESULT_FROM_WIN32(::GetLastError()));
  ComPtr<IUnknown> control;
  HRESULT hr = get_control(host.get(), control.Receive());
  if (FAILED(hr) || !control) return Fail("AtlAxWin holds no control (is it registered?)", hr);
  const auto dispatch = control.As<IDispatch>(IID_IDispatch);
  if (!dispatch) return Fail("the control has no IDispatch", E_NOINTERFACE);

  ::ShowWindow(form.get(), SW_SHOWNORMAL);
  ::UpdateWindow(form.get());
  if (!kivostrel::DispatchMessagesUntil([&] { return StatOf(dispatch.get()) == 1; },
                                        kReadyTimeoutMs)) {
    return Fail("the control did not become ready");
  }
  ::RedrawWindow(form.get(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  kivostrel::DispatchMessagesUntil([] { return false; }, kSettleMs);

  RECT form_rect{};
  ::GetWindowRect(form.get(), &form_rect);
  RECT control_rect{};
  ::GetWindowRect(host.get(), &control_rect);
  PrintRect("form", form_rect);
  PrintRect("client", ScreenRectOfClient(form.get()));
  PrintRect("control", control_rect);
  std::printf("label %ls\nready\n", LabelCaption(control.get()).c_str());
  std::fflush(stdout);

  const bool told = kivostrel::DispatchMessagesUntil(
      [&] { return ::GetFileAttributesW(stop_file.c_str()) != INVALID_FILE_ATTRIBUTES; },
      seconds * 1000);
  return told ? 0 : Fail("nobody said stop in time");
}
