// The control's events: the engine's HostEvents raised to every sink of the connection point by
// DISPID, and the connection point container.
#include <array>

#include "control/com/automation_types.h"
#include "control/com/collection_object.h"
#include "control/com/control_object.h"
#include "control/com/error_guard.h"
#include "control/com/event_dispids.h"
#include "control/com/snapshot_enumerator.h"

namespace kivostrel::com {
namespace {

// Arguments for IDispatch::Invoke, which takes them last first; each is cleared when it goes.
template <std::size_t N>
class EventArguments {
 public:
  EventArguments() noexcept {
    for (VARIANT& argument : arguments_) VariantInit(&argument);
  }
  EventArguments(const EventArguments&) = delete;
  EventArguments& operator=(const EventArguments&) = delete;
  ~EventArguments() {
    for (VARIANT& argument : arguments_) VariantClear(&argument);
  }

  // The argument at `position` in call order.
  VARIANT& operator[](std::size_t position) noexcept { return arguments_[N - 1 - position]; }
  DISPPARAMS params() noexcept { return DISPPARAMS{arguments_.data(), nullptr, N, 0}; }

 private:
  std::array<VARIANT, N> arguments_;
};

// Releases whatever the by-reference slots of `Response` hold when the event is over.
struct SlotsOwner {
  IDispatch*& objects;
  SAFEARRAY*& raw;
  ~SlotsOwner() {
    if (objects) objects->Release();
    if (raw) SafeArrayDestroy(raw);
  }
};

void SetText(VARIANT& argument, const std::string& text) {
  argument.bstrVal = BstrFromText(text).Detach();
  argument.vt = VT_BSTR;
}

}  // namespace

void ControlObject::Raise(DISPID id, DISPPARAMS& params) noexcept {
  if (frozen_events_ > 0) return;
  // A sink may unadvise, or release the control, from inside its handler: `keep` holds the
  // control, and the list held here every sink it names, until all have had the event.
  ComPtr<IUnknown> keep(static_cast<_kivOstrel*>(this));
  const std::shared_ptr<const EventConnectionPoint::SinkList> sinks = connection_point_.Sinks();
  if (!sinks) return;
  for (const ComPtr<IDispatch>& sink : *sinks) {
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
  }
}

void ControlObject::Response(const ReceivedMessage& message,
                             std::shared_ptr<ObjectsCollection>& Objects) {
  if (frozen_events_ > 0 || !connection_point_.HasSinks()) {
    kept_objects_.reset();  // no handler leaves anything in `Objects`
    return;
  }
  ComPtr<IUnknown> keep(static_cast<_kivOstrel*>(this));
  try {
    // The two by-reference slots: a handler may put another collection or array there.
    IDispatch* objects_slot = nullptr;
    SAFEARRAY* raw_slot = nullptr;
    const SlotsOwner owner{objects_slot, raw_slot};
    const ComPtr<IDispatch> made = MakeObjectsCollection(Objects, row_type_info_);
    objects_slot = ComPtr<IDispatch>(made).Detach();
    raw_slot = SafeArrayFromBytes(message.RawData).Detach();

    EventArguments<9> arguments;
    SetText(arguments[0], message.RemoteIP);
    SetText(arguments[1], message.RemotePort);
    arguments[2].vt = VT_I2;
    arguments[2].iVal = message.Version;
    SetText(arguments[3], message.Community);
    SetText(arguments[4], message.Command);
    arguments[5].vt = VT_I4;
    arguments[5].lVal = message.RequestId;
    arguments[6].vt = VT_I2;
    arguments[6].iVal = message.ErrorStatus;
    arguments[7].vt = VT_DISPATCH | VT_BYREF;
    arguments[7].ppdispVal = &objects_slot;
    arguments[8].vt = VT_ARRAY | VT_UI1 | VT_BYREF;
    arguments[8].pparray = &raw_slot;
    DISPPARAMS params = arguments.params();
    Raise(kDispidResponse, params);

    // The collection the handlers left is the one the control keeps: the engine's own when it
    // is one of ours, else the host's object (or nothing), held here. `made` holds the one
    // made above, so its address cannot have been taken by another meanwhile.
    ComPtr<IDispatch> left(objects_slot);
    if (left.get() != made.get()) Objects = ObjectsOf(left.get());
    kept_objects_ = std::move(left);
  } catch (...) {
    // An event that cannot be built (memory) is not raised.
  }
}

void ControlObject::Ready() {
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  Raise(kDispidReady, params);
}

void ControlObject::WsError(std::int32_t Ecode, const std::string& Description,
                            const std::string& Where) {
  try {
    EventArguments<3> arguments;
    arguments[0].vt = VT_I4;
    arguments[0].lVal = Ecode;
    SetText(arguments[1], Description);
    SetText(arguments[2], Where);
    DISPPARAMS params = arguments.params();
    Raise(kDispidWsError, params);
  } catch (...) {
    // An event that cannot be built (memory) is not raised.
  }
}

// --- IConnectionPointContainer ---

STDMETHODIMP ControlObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (!points) return E_POINTER;
  *points = nullptr;
  return Guarded(IID_IConnectionPointContainer, [&] {
    connection_point_.AddRef();
    std::vector<IConnectionPoint*> only{&connection_point_};
    auto snapshot = std::make_shared<const ConnectionPointEnumerator::Snapshot>(std::move(only));
    ThrowIfFailed(ConnectionPointEnumerator::Create(std::move(snapshot), 0, points));
  });
}

STDMETHODIMP ControlObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (iid != DIID___kivOstrel) return CONNECT_E_NOCONNECTION;
  *point = &connection_point_;
  connection_point_.AddRef();
  return S_OK;
}

}  // namespace kivostrel::com
