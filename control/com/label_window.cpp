#include "control/com/label_window.h"

#include "control/com/module.h"
#include "win/utf16.h"

namespace kivostrel::com {
namespace {

// Left-aligned, broken at words, "&" shown as itself.
constexpr UINT kTextFormat = DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX;

// Registered once under the server module, and unregistered when the module goes, so that a
// reloaded module registers it again with its new window procedure.
class LabelWindowClass {
 public:
  explicit LabelWindowClass(WNDPROC procedure) noexcept : module_(ModuleHandle()) {
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = procedure;
    description.hInstance = module_;
    description.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    description.lpszClassName = kName;
    atom_ = RegisterClassExW(&description);
    if (atom_ == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
      // Left behind by an earlier load of this module at the same address.
      UnregisterClassW(kName, module_);
      atom_ = RegisterClassExW(&description);
    }
  }
  ~LabelWindowClass() {
    if (atom_ != 0) UnregisterClassW(kName, module_);
  }
  LabelWindowClass(const LabelWindowClass&) = delete;
  LabelWindowClass& operator=(const LabelWindowClass&) = delete;

  static constexpr const wchar_t* kName = L"kivOstrel.Label";
  ATOM atom() const noexcept { return atom_; }

 private:
  HINSTANCE module_;
  ATOM atom_ = 0;
};

COLORREF ColorRef(OLE_COLOR color, int system_default) noexcept {
  COLORREF translated = 0;
  if (FAILED(OleTranslateColor(color, nullptr, &translated))) {
    translated = GetSysColor(system_default);
  }
  return translated;
}

}  // namespace

void LabelWindow::SetCaption(const std::string& caption) {
  std::wstring widened = Widen(caption, CP_UTF8);
  // A burst of datagrams says "Received" each time. Setting a window's text is a call into the
  // window system (under Wine, a request to its server), so the same text is not set again.
  if (widened == caption_) return;
  caption_ = std::move(widened);
  Refresh();
}

void LabelWindow::SetBanner(const std::string& banner) {
  banner_ = Widen(banner, CP_UTF8);
  Refresh();
}

void LabelWindow::SetAmbients(AmbientProperties ambients) {
  ambients_ = std::move(ambients);
  Refresh();
}

void LabelWindow::Move(std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height) {
  rectangle_ = RECT{left, top, left + width, top + height};
  Place();
}

void LabelWindow::Create(HWND parent, POINT origin) {
  origin_ = origin;
  if (window_.get()) {
    Place();
    return;
  }
  static const LabelWindowClass window_class(&WindowProcedure);
  if (window_class.atom() == 0) throw HresultError{HRESULT_FROM_WIN32(GetLastError())};
  HWND window = CreateWindowExW(
      0, LabelWindowClass::kName, text().c_str(), WS_CHILD | WS_VISIBLE,
      origin_.x + rectangle_.left, origin_.y + rectangle_.top, rectangle_.right - rectangle_.left,
      rectangle_.bottom - rectangle_.top, parent, nullptr, ModuleHandle(), this);
  if (!window) throw HresultError{HRESULT_FROM_WIN32(GetLastError())};
  window_ = UniqueHwnd(window);
}

void LabelWindow::Destroy() noexcept {
  window_ = UniqueHwnd();
}

void LabelWindow::SetOrigin(POINT origin) noexcept {
  origin_ = origin;
  Place();
}

void LabelWindow::Place() noexcept {
  if (!window_.get()) return;
  MoveWindow(window_.get(), origin_.x + rectangle_.left, origin_.y + rectangle_.top,
             rectangle_.right - rectangle_.left, rectangle_.bottom - rectangle_.top, TRUE);
}

void LabelWindow::Refresh() noexcept {
  if (!window_.get()) return;
  SetWindowTextW(window_.get(), text().c_str());
  InvalidateRect(window_.get(), nullptr, TRUE);
}

void LabelWindow::Paint(HDC dc, const RECT& area) const {
  const int saved = SaveDC(dc);
  const UniqueGdiObject brush(CreateSolidBrush(ColorRef(ambients_.back, COLOR_BTNFACE)));
  if (brush) FillRect(dc, &area, static_cast<HBRUSH>(brush.get()));
  SelectFont(dc);
  SetTextColor(dc, ColorRef(ambients_.fore, COLOR_BTNTEXT));
  SetBkMode(dc, TRANSPARENT);
  RECT text_area = area;
  const std::wstring& shown = text();
  DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &text_area, kTextFormat);
  RestoreDC(dc, saved);
}

void LabelWindow::SelectFont(HDC dc) const noexcept {
  // The font object owns its HFONT and may replace it: ask for it at every paint.
  HFONT font = nullptr;
  if (!ambients_.font || FAILED(ambients_.font->get_hFont(&font)) || !font) {
    font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  SelectObject(dc, font);
}

bool LabelWindow::Measure(HDC dc, RECT& area) const {
  const int saved = SaveDC(dc);
  SelectFont(dc);
  const std::wstring& shown = text();
  const int height = DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &area,
                               kTextFormat | DT_CALCRECT);
  RestoreDC(dc, saved);
  return height > 0;
}

LRESULT CALLBACK LabelWindow::WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  const auto* label =
      reinterpret_cast<const LabelWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (label) {
    RECT client{};
    switch (message) {
      case WM_PAINT: {
        PAINTSTRUCT paint{};
        if (HDC dc = BeginPaint(window, &paint)) {
          GetClientRect(window, &client);
          label->Paint(dc, client);
          EndPaint(window, &paint);
        }
        return 0;
      }
      case WM_PRINTCLIENT:
        GetClientRect(window, &client);
        label->Paint(reinterpret_cast<HDC>(wparam), client);
        return 0;
      case WM_ERASEBKGND:
        return 1;  // Paint fills every pixel
      case WM_NCHITTEST:
        return HTTRANSPARENT;  // a label: the container's window takes the mouse
      default:
        break;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace kivostrel::com
