#include "ambient_site.h"

namespace kivostrel::wintest {

HRESULT AmbientSite::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IOleClientSite)) {
    *out = static_cast<IOleClientSite*>(this);
  } else if (::IsEqualIID(iid, IID_IOleWindow) || ::IsEqualIID(iid, IID_IOleInPlaceSite)) {
    *out = static_cast<IOleInPlaceSite*>(this);
  } else if (::IsEqualIID(iid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
  } else if (::IsEqualIID(iid, IID_IAdviseSink) || ::IsEqualIID(iid, IID_IAdviseSinkEx)) {
    *out = static_cast<IAdviseSinkEx*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT AmbientSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT AmbientSite::GetContainer(IOleContainer** container) {
  if (container != nullptr) *container = nullptr;
  return E_NOINTERFACE;
}

HRESULT AmbientSite::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = window_;
  return S_OK;
}

HRESULT AmbientSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                      LPRECT, LPRECT, LPOLEINPLACEFRAMEINFO) {
  // No frame and no document window: the control takes the rectangle DoVerb gives.
  if (frame != nullptr) *frame = nullptr;
  if (document != nullptr) *document = nullptr;
  return E_NOTIMPL;
}

HRESULT AmbientSite::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT AmbientSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                            EXCEPINFO*, UINT*) {
  if (!(flags & DISPATCH_PROPERTYGET) || result == nullptr) return DISP_E_MEMBERNOTFOUND;
  VariantInit(result);
  switch (id) {
    case DISPID_AMBIENT_FORECOLOR:
    case DISPID_AMBIENT_BACKCOLOR:
      // As VT_I4, the type most containers use: a system colour is negative then.
      V_VT(result) = VT_I4;
      V_I4(result) = static_cast<LONG>(id == DISPID_AMBIENT_FORECOLOR ? fore : back);
      return S_OK;
    case DISPID_AMBIENT_USERMODE:
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = user_mode ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case DISPID_AMBIENT_FONT:
      if (!font) return DISP_E_MEMBERNOTFOUND;
      V_VT(result) = VT_DISPATCH;
      return font->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&V_DISPATCH(result)));
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace kivostrel::wintest
