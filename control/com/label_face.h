// The control's face in any device context a container hands over: Label1 painted by
// LabelWindow::Paint, as its window paints itself, whether or not the window exists.
// IViewObject::Draw and the pictures of IDataObject draw through here.
#pragma once

#include <windows.h>

#include "control/com/label_window.h"

namespace kivostrel::com {

// The face is laid out in pixels at 96 dots per inch; containers measure it in HIMETRIC, 0.01 mm.
inline int HimetricToPixels(int himetric) noexcept {
  return MulDiv(himetric, 96, 2540);
}
inline int PixelsToHimetric(int pixels) noexcept {
  return MulDiv(pixels, 2540, 96);
}

// Paints the label over `area`. On a device whose mapping mode is not MM_TEXT the area is taken
// to device pixels first, so the text keeps its screen size; metafile DCs are painted in their
// logical units as given. The DC's state is as it was afterwards.
void DrawLabelFace(const LabelWindow& label, HDC dc, const RECT& area) noexcept;

// The size in screen pixels of a face that shows all of the label's text, broken at words within
// `wrap_width` pixels; {0, 0} when the text cannot be measured.
SIZE LabelFaceSize(const LabelWindow& label, int wrap_width) noexcept;

}  // namespace kivostrel::com
