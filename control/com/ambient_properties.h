// The container's ambient properties the label follows: its font, fore and back colours, and
// whether the container is in user mode (running) or in design mode (a form being edited).
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include "win/com_handles.h"

namespace kivostrel::com {

struct AmbientProperties {
  // OLE_COLORs: an RGB value, or a system colour index with the high bit set.
  OLE_COLOR fore = 0x80000000 | COLOR_BTNTEXT;
  OLE_COLOR back = 0x80000000 | COLOR_BTNFACE;
  // None: the system's default GUI font.
  ComPtr<IFont> font;
  bool user_mode = true;
};

// Reads the ambient `id` (DISPID_AMBIENT_FONT, _FORECOLOR, _BACKCOLOR or _USERMODE; or
// DISPID_UNKNOWN for all four) through the IDispatch of the client site `site` into `ambients`.
// One the container does not give (no site, no IDispatch, a failing property get, a value of
// the wrong type) takes its default. Returns false, changing nothing, for any other id.
bool ReadAmbientProperties(IUnknown* site, DISPID id, AmbientProperties& ambients);

}  // namespace kivostrel::com
