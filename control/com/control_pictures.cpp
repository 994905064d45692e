// IDataObject: the face as pictures, an enhanced metafile and a METAFILEPICT of the control's
// extent, painted as IViewObject::Draw paints it. The control takes no data and keeps no data
// advises: its caption changes with the transport, and nothing would tell an advise holder so.
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "control/com/control_object.h"
#include "control/com/error_guard.h"
#include "control/com/label_face.h"
#include "control/com/snapshot_enumerator.h"

namespace kivostrel::com {
namespace {

constexpr std::array<FORMATETC, 2> kPictureFormats = {{
    {CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF},
    {CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT},
}};

// Whether `asked` names one of the pictures, and if not, what is wrong with it.
HRESULT CheckPictureFormat(const FORMATETC& asked, const FORMATETC** offered) noexcept {
  for (const FORMATETC& format : kPictureFormats) {
    if (asked.cfFormat != format.cfFormat) continue;
    if (asked.dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (asked.lindex != -1) return DV_E_LINDEX;
    if (!(asked.tymed & format.tymed)) return DV_E_TYMED;
    if (offered) *offered = &format;
    return S_OK;
  }
  return DV_E_FORMATETC;
}

// The face is laid out in pixels at 96 dots per inch, as the extent is, and mapped onto the
// picture's frame in the units of the reference device (the screen).
UniqueEnhMetaFile FacePicture(const LabelWindow& label, SIZEL extent) {
  const RECT frame{0, 0, extent.cx, extent.cy};  // HIMETRIC is 0.01 mm, the frame's unit
  const HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, L"kivOstrel\0face\0");
  if (!dc) throw HresultError{HRESULT_FROM_WIN32(GetLastError())};
  const int width = (std::max)(1, HimetricToPixels(extent.cx));
  const int height = (std::max)(1, HimetricToPixels(extent.cy));
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowExtEx(dc, width, height, nullptr);
  SetViewportExtEx(dc,
                   (std::max)(1, MulDiv(extent.cx, GetDeviceCaps(dc, HORZRES),
                                        GetDeviceCaps(dc, HORZSIZE) * 100)),
                   (std::max)(1, MulDiv(extent.cy, GetDeviceCaps(dc, VERTRES),
                                        GetDeviceCaps(dc, VERTSIZE) * 100)),
                   nullptr);
  DrawLabelFace(label, dc, RECT{0, 0, width, height});
  UniqueEnhMetaFile picture(CloseEnhMetaFile(dc));
  if (!picture) throw HresultError{E_OUTOFMEMORY};
  return picture;
}

// The same picture in the Windows metafile format, held by a METAFILEPICT in anisotropic mode
// whose extent is the control's, in HIMETRIC.
UniqueHglobal MetafilePict(HENHMETAFILE picture, SIZEL extent) {
  const UniqueDc screen(CreateCompatibleDC(nullptr));
  if (!screen) throw HresultError{E_OUTOFMEMORY};
  const UINT size = GetWinMetaFileBits(picture, 0, nullptr, MM_ANISOTROPIC, screen.get());
  if (size == 0) throw HresultError{E_FAIL};
  std::vector<BYTE> bits(size);
  if (GetWinMetaFileBits(picture, size, bits.data(), MM_ANISOTROPIC, screen.get()) != size) {
    throw HresultError{E_FAIL};
  }
  UniqueMetaFile metafile(SetMetaFileBitsEx(size, bits.data()));
  if (!metafile) throw HresultError{E_OUTOFMEMORY};
  UniqueHglobal holder(GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT)));
  auto* pict = holder ? static_cast<METAFILEPICT*>(GlobalLock(holder.get())) : nullptr;
  if (!pict) throw HresultError{E_OUTOFMEMORY};
  pict->mm = MM_ANISOTROPIC;
  pict->xExt = extent.cx;
  pict->yExt = extent.cy;
  pict->hMF = metafile.Detach();
  GlobalUnlock(holder.get());
  return holder;
}

}  // namespace

STDMETHODIMP ControlObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (!format || !medium) return E_POINTER;
  *medium = STGMEDIUM{};
  const FORMATETC* offered = nullptr;
  const HRESULT check = CheckPictureFormat(*format, &offered);
  if (FAILED(check)) return check;
  return Guarded(IID_IDataObject, [&] {
    UniqueEnhMetaFile picture = FacePicture(label_, extent_);
    if (offered->tymed == TYMED_ENHMF) {
      medium->hEnhMetaFile = picture.Detach();
    } else {
      medium->hMetaFilePict = MetafilePict(picture.get(), extent_).Detach();
    }
    medium->tymed = offered->tymed;
  });
}

// Metafiles cannot be drawn into a medium the caller already has.
STDMETHODIMP ControlObject::GetDataHere(FORMATETC* format, STGMEDIUM* medium) {
  if (!format || !medium) return E_POINTER;
  const HRESULT check = CheckPictureFormat(*format, nullptr);
  return FAILED(check) ? check : DV_E_TYMED;
}

STDMETHODIMP ControlObject::QueryGetData(FORMATETC* format) {
  if (!format) return E_POINTER;
  return CheckPictureFormat(*format, nullptr);
}

// The pictures do not depend on a target device: every format's canonical form has none.
STDMETHODIMP ControlObject::GetCanonicalFormatEtc(FORMATETC* format, FORMATETC* canonical) {
  if (!format || !canonical) return E_POINTER;
  *canonical = *format;
  canonical->ptd = nullptr;
  const HRESULT check = CheckPictureFormat(*format, nullptr);
  if (FAILED(check)) return check;
  return format->ptd ? S_OK : DATA_S_SAMEFORMATETC;
}

STDMETHODIMP ControlObject::SetData(FORMATETC*, STGMEDIUM*, BOOL) {
  return E_NOTIMPL;
}

STDMETHODIMP ControlObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
  if (!formats) return E_POINTER;
  *formats = nullptr;
  if (direction != DATADIR_GET) return E_NOTIMPL;
  return Guarded(IID_IDataObject, [&] {
    auto snapshot = std::make_shared<const FormatEtcEnumerator::Snapshot>(
        std::vector<FORMATETC>(kPictureFormats.begin(), kPictureFormats.end()));
    ThrowIfFailed(FormatEtcEnumerator::Create(std::move(snapshot), 0, formats));
  });
}

STDMETHODIMP ControlObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD* connection) {
  if (connection) *connection = 0;
  return OLE_E_ADVISENOTSUPPORTED;
}

STDMETHODIMP ControlObject::DUnadvise(DWORD) {
  return OLE_E_ADVISENOTSUPPORTED;
}

STDMETHODIMP ControlObject::EnumDAdvise(IEnumSTATDATA** advises) {
  if (advises) *advises = nullptr;
  return OLE_E_ADVISENOTSUPPORTED;
}

}  // namespace kivostrel::com
