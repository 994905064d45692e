// The control's face as pictures show it: Label1 painted the way its STATIC window paints itself
// (the caption in the system font and the window-text colour, left-aligned and broken at words,
// on the 3D face colour, "&" shown as itself). IViewObject::Draw and the pictures of
// IDataObject paint through here, whether or not the window exists.
#pragma once

#include <windows.h>

#include <string_view>

namespace kivostrel::com {

// The styles that make the label window paint as PaintLabelFace does.
inline constexpr DWORD kLabelWindowStyle = SS_LEFT | SS_NOPREFIX;

// Paints the face over `area`, in the logical units of `dc`, at the font's own size. The DC's
// objects, colours and modes are as they were afterwards.
void PaintLabelFace(HDC dc, const RECT& area, std::wstring_view caption) noexcept;

// PaintLabelFace for any DC a container hands over: on a device whose mapping mode is not
// MM_TEXT the area is taken to device pixels first, so the text keeps its screen size; metafile
// DCs are painted in their logical units as given.
void DrawLabelFace(HDC dc, const RECT& area, std::wstring_view caption) noexcept;

// The size in screen pixels of a face that shows all of `caption`, broken at words within
// `wrap_width` pixels; {0, 0} when the text cannot be measured.
SIZE LabelFaceSize(std::wstring_view caption, int wrap_width) noexcept;

}  // namespace kivostrel::com
