// Label1: the text label that is the control's face. While the control is active in place it is
// a child window of the container's window, placed over the control's rectangle; before that
// (and after) only its texts, rectangle and ambients are kept, for drawing and for the next
// activation. Rectangles given to Move are in the control's own client coordinates (pixels).
//
// It shows its caption (the transport's status words) while the container is in user mode, and
// the banner while a form is being designed. Paint draws it: the window's painting and
// IViewObject::Draw share it, so a container's picture of the control is what its window shows.
#pragma once

#include <windows.h>

#include <string>

#include "control/com/ambient_properties.h"
#include "control/host.h"
#include "win/com_handles.h"

namespace kivostrel::com {

class LabelWindow final : public Label {
 public:
  LabelWindow() = default;
  LabelWindow(const LabelWindow&) = delete;
  LabelWindow& operator=(const LabelWindow&) = delete;

  void SetCaption(const std::string& caption) override;
  void Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) override;

  // The text shown in design mode (UTF-8).
  void SetBanner(const std::string& banner);
  // Takes the container's ambients and repaints the window with them.
  void SetAmbients(AmbientProperties ambients);
  const AmbientProperties& ambients() const noexcept { return ambients_; }

  // Creates the window under `parent`, with the control's client area at `origin` of the parent.
  void Create(HWND parent, POINT origin);
  void Destroy() noexcept;
  // Where the control's client area now starts in the parent's coordinates.
  void SetOrigin(POINT origin) noexcept;

  // Fills `area` of `dc` with the back colour and writes the shown text into it, in the ambient
  // font and fore colour. Leaves the device context's state as it was.
  void Paint(HDC dc, const RECT& area) const;
  // Widens and heightens `area` (its width is where the text breaks) to what the shown text
  // needs in the ambient font; false when the text cannot be measured.
  bool Measure(HDC dc, RECT& area) const;

  HWND window() const noexcept { return window_.get(); }
  // The engine's last caption, shown or not.
  const std::wstring& caption() const noexcept { return caption_; }
  // What the label shows now: the caption in user mode, the banner in design mode.
  const std::wstring& text() const noexcept { return ambients_.user_mode ? caption_ : banner_; }

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Selects the ambient font, or the default one, into `dc`.
  void SelectFont(HDC dc) const noexcept;
  void Place() noexcept;
  // Gives the window the shown text and has it painted again.
  void Refresh() noexcept;

  std::wstring caption_;
  std::wstring banner_;
  AmbientProperties ambients_;
  RECT rectangle_{};
  POINT origin_{};
  UniqueHwnd window_;
};

}  // namespace kivostrel::com
