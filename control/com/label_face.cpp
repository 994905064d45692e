#include "control/com/label_face.h"

#include <algorithm>

#include "win/win32_handles.h"

namespace kivostrel::com {
namespace {

// What a STATIC window with kLabelWindowStyle hands to DrawText.
constexpr UINT kLabelTextFormat = DT_LEFT | DT_TOP | DT_EXPANDTABS | DT_WORDBREAK | DT_NOPREFIX;

// The window has no font of its own, so it paints in the DC's default, the system font.
HGDIOBJ LabelFont() noexcept {
  return GetStockObject(SYSTEM_FONT);
}

}  // namespace

void PaintLabelFace(HDC dc, const RECT& area, std::wstring_view caption) noexcept {
  const int saved = SaveDC(dc);
  // The colours DefWindowProc gives a STATIC control through WM_CTLCOLORSTATIC.
  FillRect(dc, &area, GetSysColorBrush(COLOR_3DFACE));
  SelectObject(dc, LabelFont());
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkMode(dc, TRANSPARENT);
  RECT text = area;
  DrawTextW(dc, caption.data(), static_cast<int>(caption.size()), &text, kLabelTextFormat);
  RestoreDC(dc, saved);
}

void DrawLabelFace(HDC dc, const RECT& area, std::wstring_view caption) noexcept {
  const DWORD type = GetObjectType(dc);
  if (type == OBJ_METADC || type == OBJ_ENHMETADC || GetMapMode(dc) == MM_TEXT) {
    PaintLabelFace(dc, area, caption);
    return;
  }
  POINT corners[2] = {{area.left, area.top}, {area.right, area.bottom}};
  LPtoDP(dc, corners, 2);
  // Mapping modes such as MM_HIMETRIC run upwards.
  const RECT device{(std::min)(corners[0].x, corners[1].x), (std::min)(corners[0].y, corners[1].y),
                    (std::max)(corners[0].x, corners[1].x), (std::max)(corners[0].y, corners[1].y)};
  const int saved = SaveDC(dc);
  SetMapMode(dc, MM_TEXT);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  SetViewportOrgEx(dc, 0, 0, nullptr);
  PaintLabelFace(dc, device, caption);
  RestoreDC(dc, saved);
}

SIZE LabelFaceSize(std::wstring_view caption, int wrap_width) noexcept {
  const UniqueDc screen(CreateCompatibleDC(nullptr));
  if (!screen) return SIZE{0, 0};
  const HGDIOBJ old_font = SelectObject(screen.get(), LabelFont());
  RECT text{0, 0, wrap_width, 0};
  const int height = DrawTextW(screen.get(), caption.data(), static_cast<int>(caption.size()),
                               &text, kLabelTextFormat | DT_CALCRECT);
  SelectObject(screen.get(), old_font);
  if (height <= 0) return SIZE{0, 0};
  return SIZE{text.right - text.left, text.bottom - text.top};
}

}  // namespace kivostrel::com
