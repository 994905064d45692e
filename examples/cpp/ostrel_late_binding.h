// Late binding to the kivOstrel control from C++, without its headers or type library at build
// time: members are called by name (GetIDsOfNames + Invoke) and events arrive through a small
// IDispatch sink. Copy this file beside your program; link ole32, oleaut32 and uuid.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace ostrel_example {

// COM on this thread, as an apartment: the control raises its events on it.
struct ComApartment {
  ComApartment() {
    if (FAILED(::OleInitialize(nullptr))) throw std::runtime_error("OleInitialize failed");
  }
  ~ComApartment() { ::OleUninitialize(); }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
};

// One VARIANT, cleared when it goes.
class Variant {
 public:
  Variant() noexcept { ::VariantInit(&value_); }
  Variant(const wchar_t* text) : Variant() {  // NOLINT: converting, like the automation types
    V_VT(&value_) = VT_BSTR;
    V_BSTR(&value_) = ::SysAllocString(text);
  }
  Variant(long number) noexcept : Variant() {  // NOLINT
    V_VT(&value_) = VT_I4;
    V_I4(&value_) = number;
  }
  Variant(short number) noexcept : Variant() {  // NOLINT
    V_VT(&value_) = VT_I2;
    V_I2(&value_) = number;
  }
  Variant(const Variant& other) : Variant() {
    ::VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
  }
  Variant& operator=(const Variant& other) {
    if (this != &other) ::VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
    return *this;
  }
  ~Variant() { ::VariantClear(&value_); }

  VARIANT* get() noexcept { return &value_; }
  const VARIANT* get() const noexcept { return &value_; }
  // The value as text ("" when it has none), or "(N bytes)" for a byte array.
  std::wstring Text() const {
    if (V_VT(&value_) == (VT_ARRAY | VT_UI1)) {
      LONG low = 0, high = -1;
      ::SafeArrayGetLBound(V_ARRAY(&value_), 1, &low);
      ::SafeArrayGetUBound(V_ARRAY(&value_), 1, &high);
      return L"(" + std::to_wstring(high - low + 1) + L" bytes)";
    }
    Variant text;
    if (FAILED(::VariantChangeType(text.get(), const_cast<VARIANT*>(&value_), VARIANT_ALPHABOOL,
                                   VT_BSTR))) {
      return {};
    }
    return std::wstring(V_BSTR(text.get()), ::SysStringLen(V_BSTR(text.get())));
  }
  long Long() const {
    Variant number;
    if (FAILED(::VariantChangeType(number.get(), const_cast<VARIANT*>(&value_), 0, VT_I4))) {
      return 0;
    }
    return V_I4(number.get());
  }
  IDispatch* Object() const noexcept {
    if (V_VT(&value_) == VT_DISPATCH) return V_DISPATCH(&value_);
    if (V_VT(&value_) == (VT_BYREF | VT_DISPATCH)) return *V_DISPATCHREF(&value_);
    return nullptr;
  }

 private:
  VARIANT value_;
};

// An automation error: HRESULT, source and description, as the control reports them.
struct AutomationFailure : std::runtime_error {
  HRESULT code;
  std::wstring source, description;
  AutomationFailure(HRESULT result, std::wstring from, std::wstring text)
      : std::runtime_error("automation error"),
        code(result),
        source(std::move(from)),
        description(std::move(text)) {}
};

// An IDispatch pointer whose members are called by name.
class Object {
 public:
  Object() noexcept = default;
  explicit Object(IDispatch* dispatch) noexcept : dispatch_(dispatch) {
    if (dispatch_ != nullptr) dispatch_->AddRef();
  }
  Object(const Object& other) noexcept : Object(other.dispatch_) {}
  Object& operator=(Object other) noexcept {
    std::swap(dispatch_, other.dispatch_);
    return *this;
  }
  ~Object() {
    if (dispatch_ != nullptr) dispatch_->Release();
  }
  static Object Create(const wchar_t* progid) {
    CLSID clsid{};
    HRESULT result = ::CLSIDFromProgID(progid, &clsid);
    IDispatch* dispatch = nullptr;
    if (SUCCEEDED(result)) {
      result = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&dispatch));
    }
    if (FAILED(result)) throw AutomationFailure(result, progid, L"cannot create the object");
    Object created;
    created.dispatch_ = dispatch;
    return created;
  }
  IDispatch* get() const noexcept { return dispatch_; }

  // Arguments in call order. `flags`: DISPATCH_METHOD, DISPATCH_PROPERTYGET or ...PUT.
  Variant Invoke(const wchar_t* name, WORD flags, std::vector<VARIANT> arguments) const {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT result = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(result)) throw AutomationFailure(result, name, L"no such member");
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
      params.rgdispidNamedArgs = &put;
      params.cNamedArgs = 1;
    }
    Variant value;
    EXCEPINFO failure{};
    result = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, value.get(),
                               &failure, nullptr);
    if (FAILED(result)) {
      if (failure.pfnDeferredFillIn != nullptr) failure.pfnDeferredFillIn(&failure);
      const std::wstring source = failure.bstrSource ? failure.bstrSource : L"";
      const std::wstring text = failure.bstrDescription ? failure.bstrDescription : L"";
      ::SysFreeString(failure.bstrSource);
      ::SysFreeString(failure.bstrDescription);
      ::SysFreeString(failure.bstrHelpFile);
      throw AutomationFailure(result == DISP_E_EXCEPTION ? failure.scode : result, source, text);
    }
    return value;
  }
  template <class... Arguments>
  Variant Call(const wchar_t* name, const Arguments&... arguments) const {
    return Invoke(name, DISPATCH_METHOD, {*arguments.get()...});
  }
  Variant Get(const wchar_t* name) const { return Invoke(name, DISPATCH_PROPERTYGET, {}); }
  Variant Item(long position) const {
    const Variant index(position);
    return Invoke(L"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {*index.get()});
  }
  void Put(const wchar_t* name, const Variant& value) const {
    Invoke(name, DISPATCH_PROPERTYPUT, {*value.get()});
  }

 private:
  IDispatch* dispatch_ = nullptr;
};

// A byte array passed by reference, as the send members take their bindings.
struct ByRef {
  explicit ByRef(Variant& array) noexcept {
    ::VariantInit(&reference);
    V_VT(&reference) = VT_BYREF | VT_ARRAY | VT_UI1;
    V_ARRAYREF(&reference) = &V_ARRAY(array.get());
  }
  const VARIANT* get() const noexcept { return &reference; }
  VARIANT reference;
};

// The control's events. Arguments of Response in order: RemoteIP, RemotePort, Version,
// Community, Command, RequestId, ErrorStatus, Objects, RawData.
struct Events {
  std::function<void(const std::vector<Variant>& arguments)> response;
  std::function<void()> ready;
  std::function<void(long code, const std::wstring& description, const std::wstring& where)> error;
};

// Receives the control's events by DISPID (1 Response, 2 Ready, 3 WsError) while connected.
class EventSink final : public IDispatch {
 public:
  EventSink(const Object& control, Events events) : events_(std::move(events)) {
    IProvideClassInfo2* info = nullptr;
    IConnectionPointContainer* container = nullptr;
    control.get()->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info));
    control.get()->QueryInterface(IID_IConnectionPointContainer,
                                  reinterpret_cast<void**>(&container));
    HRESULT result = E_NOINTERFACE;
    if (info != nullptr && container != nullptr) {
      result = info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events_iid_);
      if (SUCCEEDED(result)) result = container->FindConnectionPoint(events_iid_, &point_);
      if (SUCCEEDED(result)) result = point_->Advise(this, &cookie_);
    }
    if (info != nullptr) info->Release();
    if (container != nullptr) container->Release();
    if (FAILED(result)) throw AutomationFailure(result, L"EventSink", L"cannot connect events");
  }
  ~EventSink() {
    if (point_ != nullptr) {
      point_->Unadvise(cookie_);
      point_->Release();
    }
  }
  EventSink(const EventSink&) = delete;
  EventSink& operator=(const EventSink&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, events_iid_)) {
      *object = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the stack of its owner, who unadvises before it goes.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    try {
      std::vector<Variant> arguments(params->cArgs);
      for (UINT i = 0; i < params->cArgs; ++i) {
        ::VariantCopyInd(arguments[i].get(), &params->rgvarg[params->cArgs - 1 - i]);
      }
      if (id == 1 && events_.response) events_.response(arguments);
      if (id == 2 && events_.ready) events_.ready();
      if (id == 3 && events_.error && arguments.size() == 3) {
        events_.error(arguments[0].Long(), arguments[1].Text(), arguments[2].Text());
      }
    } catch (...) {
      // Nothing may cross back into the control.
    }
    return S_OK;
  }

 private:
  Events events_;
  IID events_iid_{};
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
};

// Runs this thread's message loop until `done` or `milliseconds` have passed; the control's
// events are raised from inside it. Returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
  const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
  for (;;) {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (done()) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
  }
}

// Binds the control's socket to `address` (empty: every address, IPv4 and IPv6) and `port` at
// once, through LocalAddress and LocalPort. They are not in the type library: they are reached
// by name, as every member here. Throws AutomationFailure with the socket's error (a port in
// use, an address that is not this machine's); the socket open until then stays.
inline void Listen(const Object& control, const std::wstring& address, const std::wstring& port) {
  if (!address.empty()) control.Put(L"LocalAddress", Variant(address.c_str()));
  control.Put(L"LocalPort", Variant(port.c_str()));
}

// Program arguments as UTF-16 texts, with a default for each missing one.
inline std::wstring Argument(int argc, wchar_t** argv, int index, const wchar_t* fallback) {
  return index < argc ? argv[index] : fallback;
}

}  // namespace ostrel_example
