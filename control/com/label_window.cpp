#include "control/com/label_window.h"

#include "control/com/label_face.h"
#include "control/com/module.h"
#include "win/utf16.h"

namespace kivostrel::com {

void LabelWindow::SetCaption(const std::string& caption) {
  caption_ = Widen(caption, CP_UTF8);
  if (window_.get()) SetWindowTextW(window_.get(), caption_.c_str());
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
  HWND window = CreateWindowExW(
      0, L"STATIC", caption_.c_str(), WS_CHILD | WS_VISIBLE | kLabelWindowStyle,
      origin_.x + rectangle_.left, origin_.y + rectangle_.top, rectangle_.right - rectangle_.left,
      rectangle_.bottom - rectangle_.top, parent, nullptr, ModuleHandle(), nullptr);
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

}  // namespace kivostrel::com
