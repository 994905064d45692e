#include "control/com/label_face.h"

#include <algorithm>

#include "win/win32_handles.h"

namespace kivostrel::com {

void DrawLabelFace(const LabelWindow& label, HDC dc, const RECT& area) noexcept {
  const DWORD type = GetObjectType(dc);
  if (type == OBJ_METADC || type == OBJ_ENHMETADC || GetMapMode(dc) == MM_TEXT) {
    label.Paint(dc, area);
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
  label.Paint(dc, device);
  RestoreDC(dc, saved);
}

SIZE LabelFaceSize(const LabelWindow& label, int wrap_width) noexcept {
  const UniqueDc screen(CreateCompatibleDC(nullptr));
  if (!screen) return SIZE{0, 0};
  RECT text{0, 0, wrap_width, 0};
  if (!label.Measure(screen.get(), text)) return SIZE{0, 0};
  return SIZE{text.right - text.left, text.bottom - text.top};
}

}  // namespace kivostrel::com
