// IQuickActivate: a container that knows its ambients and its event sink hands them over in one
// call instead of SetClientSite, the ambient reads and IConnectionPoint::Advise one by one.
#include <cstddef>
#include <cstring>

#include "control/com/control_object.h"

namespace kivostrel::com {
namespace {

// The first published layouts, without the fields added later (QACONTAINER's from pUndoMgr on,
// QACONTROL's dwPointerActivationPolicy): a container may pass those, and what they lack keeps
// its default.
constexpr ULONG kSmallestContainer = offsetof(QACONTAINER, pUndoMgr);
constexpr ULONG kSmallestControl = offsetof(QACONTROL, dwPointerActivationPolicy);

}  // namespace

STDMETHODIMP ControlObject::QuickActivate(QACONTAINER* container, QACONTROL* control) {
  if (!container || !control) return E_POINTER;
  if (container->cbSize < kSmallestContainer || control->cbSize < kSmallestControl) {
    return E_INVALIDARG;
  }
  // The only step that can fail comes first, so that a failure leaves the control as it was.
  DWORD event_cookie = 0;
  if (container->pUnkEventSink) {
    const HRESULT hr = connection_point_.Advise(container->pUnkEventSink, &event_cookie);
    if (FAILED(hr)) return hr;
  }
  client_site_ = ComPtr<IOleClientSite>(container->pClientSite);
  AmbientProperties ambients;
  ambients.fore = container->colorFore;
  ambients.back = container->colorBack;
  ambients.user_mode = (container->dwAmbientFlags & QACONTAINER_USERMODE) != 0;
  if (container->pFont) {
    ambients.font = ComPtr<IFont>(container->pFont);
  } else {
    ReadAmbientProperties(client_site_.get(), DISPID_AMBIENT_FONT, ambients);
  }
  label_.SetAmbients(std::move(ambients));
  if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);

  QACONTROL filled{};
  filled.cbSize = control->cbSize;
  GetMiscStatus(DVASPECT_CONTENT, &filled.dwMiscStatus);
  // The label fills its whole rectangle with one colour.
  filled.dwViewStatus = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
  filled.dwEventCookie = event_cookie;
  filled.dwPropNotifyCookie = 0;  // no property change notifications
  filled.dwPointerActivationPolicy = 0;
  std::memcpy(control, &filled, std::min<std::size_t>(control->cbSize, sizeof filled));
  return S_OK;
}

STDMETHODIMP ControlObject::SetContentExtent(LPSIZEL size) {
  return SetExtent(DVASPECT_CONTENT, size);
}

STDMETHODIMP ControlObject::GetContentExtent(LPSIZEL size) {
  return GetExtent(DVASPECT_CONTENT, size);
}

}  // namespace kivostrel::com
