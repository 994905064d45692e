// Label1: the text label that is the control's face. While the control is active in place it is
// a STATIC child window of the container's window, placed over the control's rectangle; before
// that (and after) only its caption and rectangle are kept, for drawing and for the next
// activation. Rectangles given to Move are in the control's own client coordinates (pixels).
#pragma once

#include <windows.h>

#include <string>

#include "control/host.h"
#include "win/com_handles.h"

namespace kivostrel::com {

class LabelWindow final : public Label {
 public:
  void SetCaption(const std::string& caption) override;
  void Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) override;

  // Creates the window under `parent`, with the control's client area at `origin` of the parent.
  void Create(HWND parent, POINT origin);
  void Destroy() noexcept;
  // Where the control's client area now starts in the parent's coordinates.
  void SetOrigin(POINT origin) noexcept;

  HWND window() const noexcept { return window_.get(); }
  const std::wstring& caption() const noexcept { return caption_; }

 private:
  void Place() noexcept;

  std::wstring caption_;
  RECT rectangle_{};
  POINT origin_{};
  UniqueHwnd window_;
};

}  // namespace kivostrel::com
