// OLE embedding: IOleObject, in-place activation (Label1 becomes a child of the container's
// window), IOleControl (the container's ambients) and IViewObject2 (drawn as the label's window
// paints itself).
#include "control/com/control_object.h"
#include "control/com/error_guard.h"
#include "control/com/label_face.h"

namespace kivostrel::com {
namespace {

// OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
// OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE
constexpr DWORD kMiscStatus = 0x20191;
static_assert(kMiscStatus ==
              (OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
               OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE));

}  // namespace

void ControlObject::Resize(const RECT& position) noexcept {
  label_.SetOrigin(POINT{position.left, position.top});
  if (engine_) engine_->Resize(position.right - position.left, position.bottom - position.top);
}

void ControlObject::ViewChanged() noexcept {
  if (view_sink_) view_sink_->OnViewChange(DVASPECT_CONTENT, -1);
}

HRESULT ControlObject::ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT position) {
  if (label_.window()) return S_OK;
  ComPtr<IOleClientSite> client(site ? site : client_site_.get());
  if (!client) return E_UNEXPECTED;
  auto in_place = client.As<IOleInPlaceSite>(IID_IOleInPlaceSite);
  if (!in_place) return E_NOINTERFACE;
  if (in_place->CanInPlaceActivate() != S_OK) return E_FAIL;
  HRESULT hr = in_place->OnInPlaceActivate();
  if (FAILED(hr)) return hr;

  HWND site_window = nullptr;
  if (SUCCEEDED(in_place->GetWindow(&site_window)) && site_window) parent = site_window;
  ComPtr<IOleInPlaceFrame> frame;
  ComPtr<IOleInPlaceUIWindow> document;
  RECT site_position{};
  RECT clip{};
  OLEINPLACEFRAMEINFO frame_info{};
  frame_info.cb = sizeof frame_info;
  const bool have_context = SUCCEEDED(in_place->GetWindowContext(
      frame.Receive(), document.Receive(), &site_position, &clip, &frame_info));
  RECT rectangle = position ? *position : site_position;
  if (!position && !have_context) {
    rectangle = RECT{0, 0, HimetricToPixels(extent_.cx), HimetricToPixels(extent_.cy)};
  }
  hr = Guarded(IID_IOleObject, [&] {
    label_.Create(parent, POINT{rectangle.left, rectangle.top});
    Resize(rectangle);
  });
  if (FAILED(hr)) {
    in_place->OnInPlaceDeactivate();
    return hr;
  }
  in_place_site_ = std::move(in_place);
  return S_OK;
}

// --- IOleObject ---

STDMETHODIMP ControlObject::SetClientSite(IOleClientSite* site) {
  client_site_ = ComPtr<IOleClientSite>(site);
  AmbientProperties ambients;
  ReadAmbientProperties(client_site_.get(), DISPID_UNKNOWN, ambients);
  label_.SetAmbients(std::move(ambients));
  return S_OK;
}

STDMETHODIMP ControlObject::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = ComPtr<IOleClientSite>(client_site_).Detach();
  return S_OK;
}

STDMETHODIMP ControlObject::SetHostNames(LPCOLESTR, LPCOLESTR) {
  return S_OK;
}

STDMETHODIMP ControlObject::Close(DWORD save_option) {
  ComPtr<IUnknown> keep(static_cast<_kivOstrel*>(this));
  InPlaceDeactivate();
  if (dirty_ && client_site_ &&
      (save_option == OLECLOSE_SAVEIFDIRTY || save_option == OLECLOSE_PROMPTSAVE)) {
    client_site_->SaveObject();
  }
  if (advise_holder_) advise_holder_->SendOnClose();
  return S_OK;
}

STDMETHODIMP ControlObject::SetMoniker(DWORD, IMoniker*) {
  return E_NOTIMPL;
}

STDMETHODIMP ControlObject::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ControlObject::InitFromData(IDataObject*, BOOL, DWORD) {
  return E_NOTIMPL;
}

STDMETHODIMP ControlObject::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ControlObject::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                   LPCRECT position) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      // A label takes no focus and has no menus: UI activation is in-place activation.
      return ActivateInPlace(site, parent, position);
    case OLEIVERB_HIDE:
      return InPlaceDeactivate();
    default:
      return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
  }
}

STDMETHODIMP ControlObject::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs) *verbs = nullptr;
  return OLE_S_USEREG;
}

STDMETHODIMP ControlObject::Update() {
  return S_OK;
}
STDMETHODIMP ControlObject::IsUpToDate() {
  return S_OK;
}

STDMETHODIMP ControlObject::GetUserClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_kivOstrel;
  return S_OK;
}

STDMETHODIMP ControlObject::GetUserType(DWORD, LPOLESTR* type) {
  if (type) *type = nullptr;
  return OLE_S_USEREG;
}

STDMETHODIMP ControlObject::SetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  extent_ = *size;
  if (!label_.window() && engine_) {
    engine_->Resize(HimetricToPixels(extent_.cx), HimetricToPixels(extent_.cy));
  }
  ViewChanged();
  return S_OK;
}

STDMETHODIMP ControlObject::GetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

STDMETHODIMP ControlObject::Advise(IAdviseSink* sink, DWORD* connection) {
  if (!sink || !connection) return E_POINTER;
  if (!advise_holder_) {
    const HRESULT hr = CreateOleAdviseHolder(advise_holder_.Receive());
    if (FAILED(hr)) return hr;
  }
  return advise_holder_->Advise(sink, connection);
}

STDMETHODIMP ControlObject::Unadvise(DWORD connection) {
  if (!advise_holder_) return OLE_E_NOCONNECTION;
  return advise_holder_->Unadvise(connection);
}

STDMETHODIMP ControlObject::EnumAdvise(IEnumSTATDATA** advises) {
  if (!advises) return E_POINTER;
  *advises = nullptr;
  if (!advise_holder_) return S_OK;  // no connections: a null enumerator, as documented
  return advise_holder_->EnumAdvise(advises);
}

STDMETHODIMP ControlObject::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = kMiscStatus;
  return S_OK;
}

STDMETHODIMP ControlObject::SetColorScheme(LOGPALETTE*) {
  return E_NOTIMPL;
}

// --- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject ---

STDMETHODIMP ControlObject::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = label_.window();
  return *window ? S_OK : E_FAIL;
}

STDMETHODIMP ControlObject::ContextSensitiveHelp(BOOL) {
  return E_NOTIMPL;
}

STDMETHODIMP ControlObject::InPlaceDeactivate() {
  if (!in_place_site_) return S_OK;
  label_.Destroy();
  ComPtr<IOleInPlaceSite> site = std::move(in_place_site_);
  site->OnInPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP ControlObject::UIDeactivate() {
  return S_OK;
}

STDMETHODIMP ControlObject::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_POINTER;
  // Keep the HIMETRIC extent in step with what the container shows.
  extent_.cx = PixelsToHimetric(position->right - position->left);
  extent_.cy = PixelsToHimetric(position->bottom - position->top);
  Resize(*position);
  return S_OK;
}

STDMETHODIMP ControlObject::ReactivateAndUndo() {
  return INPLACE_E_NOTUNDOABLE;
}

STDMETHODIMP ControlObject::TranslateAccelerator(LPMSG) {
  return S_FALSE;
}
STDMETHODIMP ControlObject::OnFrameWindowActivate(BOOL) {
  return S_OK;
}
STDMETHODIMP ControlObject::OnDocWindowActivate(BOOL) {
  return S_OK;
}
STDMETHODIMP ControlObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
  return S_OK;
}
STDMETHODIMP ControlObject::EnableModeless(BOOL) {
  return S_OK;
}

// --- IOleControl ---

STDMETHODIMP ControlObject::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  // No mnemonics: the label takes no keyboard input.
  info->cb = sizeof *info;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP ControlObject::OnMnemonic(MSG*) {
  return E_NOTIMPL;
}
STDMETHODIMP ControlObject::OnAmbientPropertyChange(DISPID id) {
  AmbientProperties ambients = label_.ambients();
  if (!ReadAmbientProperties(client_site_.get(), id, ambients)) return S_OK;  // not one we show
  label_.SetAmbients(std::move(ambients));
  ViewChanged();
  return S_OK;
}

STDMETHODIMP ControlObject::FreezeEvents(BOOL freeze) {
  // While a container has events frozen it is not ready for them: they are dropped.
  if (freeze) {
    ++frozen_events_;
  } else if (frozen_events_ > 0) {
    --frozen_events_;
  }
  return S_OK;
}

// --- IViewObject2 ---

// Draws whether or not the label window exists: the face is painted from the caption alone.
STDMETHODIMP ControlObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC draw,
                                 LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                 ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!draw || !bounds) return E_INVALIDARG;
  DrawLabelFace(label_, draw, RECT{bounds->left, bounds->top, bounds->right, bounds->bottom});
  return S_OK;
}

STDMETHODIMP ControlObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                        LOGPALETTE** colors) {
  if (colors) *colors = nullptr;
  return S_FALSE;  // no particular palette
}

STDMETHODIMP ControlObject::Freeze(DWORD, LONG, void*, DWORD* cookie) {
  if (cookie) *cookie = 0;
  return E_NOTIMPL;
}

STDMETHODIMP ControlObject::Unfreeze(DWORD) {
  return E_NOTIMPL;
}

STDMETHODIMP ControlObject::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  view_aspects_ = aspects;
  view_flags_ = flags;
  view_sink_ = ComPtr<IAdviseSink>(sink);
  return S_OK;
}

STDMETHODIMP ControlObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = view_aspects_;
  if (flags) *flags = view_flags_;
  if (sink) *sink = ComPtr<IAdviseSink>(view_sink_).Detach();
  return S_OK;
}

STDMETHODIMP ControlObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

}  // namespace kivostrel::com
