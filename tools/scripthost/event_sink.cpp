#include "tools/scripthost/event_sink.h"

#include <ocidl.h>
#include <olectl.h>

#include <new>
#include <utility>

#include "tools/scripthost/script_host.h"
#include "win/type_info_handles.h"

namespace ostrelhost {

using kivostrel::com::GetTypeAttr;
using kivostrel::com::UniqueTypeAttr;

EventSink::EventSink(ScriptHost& host, const IID& iid, ComPtr<ITypeInfo> events,
                     std::wstring prefix)
    : host_(&host), iid_(iid), events_(std::move(events)), prefix_(std::move(prefix)) {}

void* EventSink::Face(REFIID iid) noexcept {
  return IsEqualIID(iid, iid_) ? static_cast<IDispatch*>(this) : UntypedDispatch::Face(iid);
}

HRESULT EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO*, UINT*) {
  if (result != nullptr) ::VariantInit(result);
  if (host_ == nullptr || params == nullptr) return S_OK;
  // The host may drop this sink from inside the script's handler.
  const ComPtr<EventSink> keep = ComPtr<EventSink>::Share(this);
  try {
    UniqueBstr name;
    UINT found = 0;
    if (FAILED(events_->GetNames(id, name.Receive(), 1, &found)) || found == 0) return S_OK;
    host_->RaiseEvent(prefix_ + std::wstring(name.view()), params);
  } catch (...) {
    // Out of memory building the name: the event is lost, the source must not see a throw.
  }
  return S_OK;
}

HRESULT FindDefaultSource(IDispatch* object, IID& iid, ComPtr<ITypeInfo>& events) {
  const ComPtr<IDispatch> target = ComPtr<IDispatch>::Share(object);
  const auto provider = target.As<IProvideClassInfo>(IID_IProvideClassInfo);
  if (!provider) return E_NOINTERFACE;
  ComPtr<ITypeInfo> class_info;
  HRESULT result = provider->GetClassInfo(class_info.Receive());
  if (FAILED(result)) return result;

  UniqueTypeAttr class_attributes;
  result = GetTypeAttr(class_info.get(), class_attributes);
  if (FAILED(result)) return result;
  constexpr int kDefaultSource = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
  for (UINT i = 0; i < class_attributes->cImplTypes; ++i) {
    INT flags = 0;
    if (FAILED(class_info->GetImplTypeFlags(i, &flags)) ||
        (flags & kDefaultSource) != kDefaultSource) {
      continue;
    }
    HREFTYPE reference = 0;
    if (FAILED(class_info->GetRefTypeOfImplType(i, &reference))) continue;
    ComPtr<ITypeInfo> candidate;
    if (FAILED(class_info->GetRefTypeInfo(reference, candidate.Receive()))) continue;
    UniqueTypeAttr attributes;
    if (FAILED(GetTypeAttr(candidate.get(), attributes))) continue;
    iid = attributes->guid;
    events = std::move(candidate);
    // The object's own word on its default source wins where it gives one.
    if (const auto second = target.As<IProvideClassInfo2>(IID_IProvideClassInfo2)) {
      GUID stated{};
      if (SUCCEEDED(second->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &stated))) iid = stated;
    }
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

}  // namespace ostrelhost
