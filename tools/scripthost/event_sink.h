// The sink WScript.ConnectObject advises: it answers to the object's event interface and turns
// each event into a call of the script's Sub or function named prefix & EventName.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

#include "tools/scripthost/dispatch_object.h"

namespace ostrelhost {

class ScriptHost;

class EventSink final : public UntypedDispatch {
 public:
  // Starts with one reference, the creator's. `events` describes the event interface `iid`.
  EventSink(ScriptHost& host, const IID& iid, ComPtr<ITypeInfo> events, std::wstring prefix);
  // After this the sink ignores events: the host is going away.
  void Detach() noexcept { host_ = nullptr; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  // By-reference arguments reach the host as they are, so a VBScript handler's assignments reach
  // the source (JScript handlers get copies: see ScriptLanguage).
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* bad_argument) override;

 private:
  ~EventSink() = default;
  // Also the event interface.
  void* Face(REFIID iid) noexcept override;

  ScriptHost* host_;
  const IID iid_;
  const ComPtr<ITypeInfo> events_;
  const std::wstring prefix_;
};

// The default source interface of `object` and its description, found through
// IProvideClassInfo2 and the object's class information.
HRESULT FindDefaultSource(IDispatch* object, IID& iid, ComPtr<ITypeInfo>& events);

}  // namespace ostrelhost
