// The control's life cycle, identity, IDispatch and class information.
#include "control/com/control_object.h"

#include <algorithm>
#include <new>
#include <vector>

#include "control/com/ansi_code_page.h"
#include "control/com/automation_types.h"
#include "control/com/dispatch_only_members.h"
#include "control/com/error_guard.h"
#include "control/com/label_face.h"
#include "security/cng/cng_crypto.h"
#include "transport/win/winsock_udp_socket.h"
#include "win/type_info_handles.h"

namespace kivostrel::com {

// --- SocketEventRelay ---

template <typename Call>
void SocketEventRelay::Forward(Call&& call) noexcept {
  // Nothing may run after `keep` goes: it may take the control, and this relay, with it.
  ComPtr<IUnknown> keep(owner_);
  try {
    call(*engine_);
  } catch (...) {
    // The component has no one to report to; the engine's handlers report through events.
  }
}

void SocketEventRelay::SocketError(std::int32_t code, const std::string& description,
                                   const std::string& where) {
  Forward([&](UdpSocketEvents& engine) { engine.SocketError(code, description, where); });
}
void SocketEventRelay::DatagramReceived(const std::string& remote_address,
                                        const std::string& remote_port,
                                        std::span<const std::uint8_t> data) {
  Forward(
      [&](UdpSocketEvents& engine) { engine.DatagramReceived(remote_address, remote_port, data); });
}
void SocketEventRelay::SocketClosed() {
  Forward([](UdpSocketEvents& engine) { engine.SocketClosed(); });
}
void SocketEventRelay::SocketReady() {
  Forward([](UdpSocketEvents& engine) { engine.SocketReady(); });
}
void SocketEventRelay::DatagramSent() {
  Forward([](UdpSocketEvents& engine) { engine.DatagramSent(); });
}

// --- Life cycle ---

ControlObject::ControlObject() noexcept : connection_point_(*this) {
  // 100 by 30 pixels at 96 dots per inch, in HIMETRIC, until creation measures the banner.
  extent_.cx = PixelsToHimetric(100);
  extent_.cy = PixelsToHimetric(30);
}

ControlObject::~ControlObject() = default;

HRESULT ControlObject::Create(REFIID iid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  auto* control = new (std::nothrow) ControlObject();
  if (!control) return E_OUTOFMEMORY;
  // The reference the constructor gave goes with `owner`, whatever happens below.
  ComPtr<IUnknown> owner = ComPtr<IUnknown>::Adopt(static_cast<_kivOstrel*>(control));
  const HRESULT created = Guarded(IID__kivOstrel, [&] {
    control->LoadTypeInfo();
    kivostrel::kivOstrel::Options options;
    options.tick_count = [] { return static_cast<std::uint32_t>(GetTickCount()); };
    options.code_page = std::make_shared<const AnsiCodePage>();
    options.crypto = std::make_shared<const kivostrel::CngCrypto>();
    auto make_socket = [&](UdpSocketEvents& events) -> std::unique_ptr<UdpSocket> {
      control->relay_.Bind(events, *owner.get());
      return std::make_unique<WinsockUdpSocket>(control->relay_);
    };
    HostEvents& events = *control;
    control->engine_ = std::make_unique<kivostrel::kivOstrel>(events, control->label_, make_socket,
                                                              std::move(options));
    control->label_.SetBanner(control->engine_->Copyright());
    // The first extent shows the whole banner, broken at words within 200 pixels.
    const SIZE face = LabelFaceSize(control->label_, 200);
    if (face.cx > 0 && face.cy > 0) {
      control->extent_.cx = PixelsToHimetric(face.cx);
      control->extent_.cy = PixelsToHimetric(face.cy);
    }
  });
  if (FAILED(created)) return created;
  return owner->QueryInterface(iid, object);
}

STDMETHODIMP ControlObject::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__kivOstrel) {
    *object = static_cast<_kivOstrel*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) {
    *object = static_cast<IProvideClassInfo2*>(this);
  } else if (iid == IID_IConnectionPointContainer) {
    *object = static_cast<IConnectionPointContainer*>(this);
  } else if (iid == IID_IOleObject) {
    *object = static_cast<IOleObject*>(this);
  } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
    *object = static_cast<IOleInPlaceObject*>(this);
  } else if (iid == IID_IOleInPlaceActiveObject) {
    *object = static_cast<IOleInPlaceActiveObject*>(this);
  } else if (iid == IID_IOleControl) {
    *object = static_cast<IOleControl*>(this);
  } else if (iid == IID_IViewObject || iid == IID_IViewObject2) {
    *object = static_cast<IViewObject2*>(this);
  } else if (iid == IID_IPersist || iid == IID_IPersistStreamInit) {
    *object = static_cast<IPersistStreamInit*>(this);
  } else if (iid == IID_IPersistPropertyBag) {
    *object = static_cast<IPersistPropertyBag*>(this);
  } else if (iid == IID_IQuickActivate) {
    *object = static_cast<IQuickActivate*>(this);
  } else if (iid == IID_IPersistStorage) {
    *object = static_cast<IPersistStorage*>(this);
  } else if (iid == IID_IDataObject) {
    *object = static_cast<IDataObject*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ControlObject::AddRef() {
  return InterlockedIncrement(&references_);
}

STDMETHODIMP_(ULONG) ControlObject::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) {
    // Destruction (the engine's: m_Ready -1, then CloseSocket) may release sinks and sites that
    // call back; a reference held meanwhile keeps this from running twice.
    references_ = 1;
    delete this;
  }
  return left;
}

// --- IDispatch, through the type library ---

ComPtr<ITypeInfo> ControlObject::TypeInfo() {
  if (!type_info_) LoadTypeInfo();
  return type_info_;
}

STDMETHODIMP ControlObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP ControlObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return Guarded(IID__kivOstrel, [&] { *info = TypeInfo().Detach(); });
}

STDMETHODIMP ControlObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  HRESULT hr = S_OK;
  const HRESULT guard =
      Guarded(IID__kivOstrel, [&] { hr = TypeInfo()->GetIDsOfNames(names, count, ids); });
  if (FAILED(guard)) return guard;
  if (hr != DISP_E_UNKNOWNNAME || !names || !ids || count == 0) return hr;
  const DispatchOnlyMember* member = FindDispatchOnlyMember(names[0]);
  return member ? DispatchOnlyIds(*member, names, count, ids) : hr;
}

namespace {

// A parameter the caller passes (not the [out, retval] result) declared
// SAFEARRAY(unsigned char)*.
bool IsByteArrayByReference(const ELEMDESC& parameter) noexcept {
  if (parameter.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) return false;
  const TYPEDESC& type = parameter.tdesc;
  return type.vt == VT_PTR && type.lptdesc->vt == VT_SAFEARRAY &&
         type.lptdesc->lptdesc->vt == VT_UI1;
}

// The members that take such a parameter.
std::vector<MEMBERID> ByteArrayByReferenceMembers(ITypeInfo* info) {
  UniqueTypeAttr attributes;
  ThrowIfFailed(GetTypeAttr(info, attributes));
  std::vector<MEMBERID> members;
  for (UINT i = 0; i < attributes->cFuncs; ++i) {
    UniqueFuncDesc function;
    ThrowIfFailed(GetFuncDesc(info, i, function));
    const ELEMDESC* parameters = function->lprgelemdescParam;
    if (std::any_of(parameters, parameters + function->cParams, IsByteArrayByReference)) {
      members.push_back(function->memid);
    }
  }
  return members;
}

// The arguments of a member that takes a byte array by reference, as the type library's Invoke
// reads them. It takes a byte array by value or by reference, and coerces other values given by
// value (a String becomes its UTF-16 bytes), but it does not look through VT_VARIANT|VT_BYREF,
// which is how script engines pass a variable. So a variable that holds a byte array is handed on
// as that array, by reference, still in the caller's variable; any other value passed by
// reference is handed on as a copy by value, so that it is read as the by-value form would be.
struct ForwardedArguments {
  std::vector<VARIANTARG> arguments;
  std::vector<UniqueVariant> copies;  // what `arguments` holds by value
};

ForwardedArguments ArgumentsForByteArrayMembers(const DISPPARAMS& params) {
  ForwardedArguments forwarded;
  forwarded.arguments.assign(params.rgvarg, params.rgvarg + params.cArgs);
  forwarded.copies.reserve(params.cArgs);
  for (VARIANTARG& argument : forwarded.arguments) {
    if ((V_VT(&argument) & VT_BYREF) == 0) continue;
    if (SAFEARRAY** array = ByteArrayIn(argument)) {
      V_VT(&argument) = VT_ARRAY | VT_UI1 | VT_BYREF;
      V_ARRAYREF(&argument) = array;
    } else {
      UniqueVariant& copy = forwarded.copies.emplace_back();
      ThrowIfFailed(VariantCopyInd(copy.get(), &argument));
      argument = *copy.get();
    }
  }
  return forwarded;
}

}  // namespace

void ControlObject::LoadTypeInfo() {
  // Under Wine, loading the library by path costs about half a millisecond even when it is
  // loaded already: it is loaded once for both interfaces, and the row objects of Response share
  // what is read here.
  const ComPtr<ITypeLib> library = EmbeddedTypeLib();
  ComPtr<ITypeInfo> info;
  ThrowIfFailed(library->GetTypeInfoOfGuid(IID__kivOstrel, info.Receive()));
  ComPtr<ITypeInfo> row_info;
  ThrowIfFailed(library->GetTypeInfoOfGuid(IID__OstrelObject, row_info.Receive()));
  // Every control of this module has the same type library: its members are read once.
  static const std::vector<MEMBERID> byte_array_members = ByteArrayByReferenceMembers(info.get());
  byte_array_members_ = &byte_array_members;
  row_type_info_ = std::move(row_info);
  type_info_ = std::move(info);
}

STDMETHODIMP ControlObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argument_error) {
  // A handler of an event raised during the call may release the last outside reference.
  ComPtr<IUnknown> keep(static_cast<_kivOstrel*>(this));
  if (const DispatchOnlyMember* member = FindDispatchOnlyMember(id)) {
    if (!engine_) return E_UNEXPECTED;
    const DISPPARAMS none{};
    return InvokeDispatchOnly(*member, *engine_, flags, params ? *params : none, result, exception);
  }
  HRESULT hr = S_OK;
  const HRESULT guard = Guarded(IID__kivOstrel, [&] {
    const ComPtr<ITypeInfo> info = TypeInfo();
    DISPPARAMS forwarded = params ? *params : DISPPARAMS{};
    ForwardedArguments arguments;
    if (params && params->cArgs > 0 &&
        std::find(byte_array_members_->begin(), byte_array_members_->end(), id) !=
            byte_array_members_->end()) {
      arguments = ArgumentsForByteArrayMembers(*params);
      forwarded.rgvarg = arguments.arguments.data();
    }
    hr = info->Invoke(static_cast<_kivOstrel*>(this), id, flags, params ? &forwarded : nullptr,
                      result, exception, argument_error);
  });
  return FAILED(guard) ? guard : hr;
}

// --- Error and class information ---

STDMETHODIMP ControlObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == IID__kivOstrel ? S_OK : S_FALSE;
}

STDMETHODIMP ControlObject::GetClassInfo(ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  return Guarded(IID_IProvideClassInfo,
                 [&] { *info = EmbeddedTypeInfo(CLSID_kivOstrel).Detach(); });
}

STDMETHODIMP ControlObject::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID___kivOstrel;
  return S_OK;
}

}  // namespace kivostrel::com
