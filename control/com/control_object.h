// The kivOstrel control as a COM object: the thin shell over the engine (control/kivostrel.h).
//
// The members of _kivOstrel forward to the engine, converting automation types; IDispatch is
// served through the embedded type library, then through the table of the members outside it
// (dispatch_only_members.h). Events go to every sink of the one connection point.
// The OLE interfaces let containers embed, size, draw and persist the control; its only visible
// part is Label1. Apartment-threaded: every call arrives on the creating thread, whose message
// loop also delivers the socket component's events.
//
// The code is split by concern: control_object.cpp (life cycle, IUnknown, IDispatch, class
// information), control_members.cpp, control_events.cpp, control_embedding.cpp,
// control_persistence.cpp, control_quick_activation.cpp, control_storage.cpp (compound
// documents), control_pictures.cpp (IDataObject); label_face.cpp paints the face for every
// picture of it.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <oleidl.h>

#include <memory>
#include <vector>

#include "control/com/event_connection_point.h"
#include "control/com/label_window.h"
#include "control/com/module.h"
#include "control/kivostrel.h"
#include "kivOstrel_h.h"
#include "win/com_handles.h"

namespace kivostrel::com {

// Passes the socket component's events to the engine while holding a reference on the control,
// so that a host that releases the control from inside an event handler destroys it only after
// the engine has finished with that event. The component allows being destroyed from inside
// its own event.
class SocketEventRelay final : public UdpSocketEvents {
 public:
  void Bind(UdpSocketEvents& engine, IUnknown& owner) noexcept {
    engine_ = &engine;
    owner_ = &owner;
  }

  void SocketError(std::int32_t code, const std::string& description,
                   const std::string& where) override;
  void DatagramReceived(const std::string& remote_address, const std::string& remote_port,
                        std::span<const std::uint8_t> data) override;
  void SocketClosed() override;
  void SocketReady() override;
  void DatagramSent() override;

 private:
  template <typename Call>
  void Forward(Call&& call) noexcept;

  UdpSocketEvents* engine_ = nullptr;
  IUnknown* owner_ = nullptr;
};

class ControlObject final : public _kivOstrel,
                            public ISupportErrorInfo,
                            public IProvideClassInfo2,
                            public IConnectionPointContainer,
                            public IOleObject,
                            public IOleInPlaceObject,
                            public IOleInPlaceActiveObject,
                            public IOleControl,
                            public IViewObject2,
                            public IPersistStreamInit,
                            public IPersistPropertyBag,
                            public IQuickActivate,
                            public IPersistStorage,
                            public IDataObject,
                            private HostEvents,
                            private CountedObject {
 public:
  // The class factory's work: runs the engine's creation (banner, fields, OpenSocket, default
  // rows) and returns the interface `iid`. An error of creation is returned as its HRESULT.
  static HRESULT Create(REFIID iid, void** object) noexcept;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argument_error) override;

  // _kivOstrel
  STDMETHODIMP get_StringType(LONG* value) override;
  STDMETHODIMP put_StringType(LONG vNewValue) override;
  STDMETHODIMP Err2Str(short ErrorStatus, BSTR* result) override;
  STDMETHODIMP ClearOID() override;
  STDMETHODIMP SetOID(BSTR OID, BSTR Name) override;
  STDMETHODIMP SetOIDFirst(BSTR OID, BSTR Name) override;
  STDMETHODIMP OID2Name(BSTR OID, BSTR* result) override;
  STDMETHODIMP Name2OID(BSTR Name, BSTR* result) override;
  STDMETHODIMP FindName(BSTR Name, short Compare, IDispatch** result) override;
  STDMETHODIMP Name2TypeID(BSTR Name, short* result) override;
  STDMETHODIMP SNMPNullValue(BSTR ObjectID, SAFEARRAY** result) override;
  STDMETHODIMP SNMPCounterValue(BSTR ObjectID, BSTR Value, SAFEARRAY** result) override;
  STDMETHODIMP SNMPIntegerValue(BSTR ObjectID, BSTR Value, SAFEARRAY** result) override;
  STDMETHODIMP SNMPStringValue(BSTR ObjectID, BSTR Value, SAFEARRAY** result) override;
  STDMETHODIMP SNMPBinStringValue(BSTR ObjectID, SAFEARRAY** Value, SAFEARRAY** result) override;
  STDMETHODIMP SNMPIpAddrValue(BSTR ObjectID, BSTR Value, SAFEARRAY** result) override;
  STDMETHODIMP SnmpGaugeValue(BSTR ObjectID, BSTR Value, SAFEARRAY** result) override;
  STDMETHODIMP SnmpTimeTicksValue(BSTR ObjectID, BSTR Value, SAFEARRAY** result) override;
  STDMETHODIMP SendGetResponse(BSTR RemoteIP, BSTR RemotePort, BSTR Community, LONG RequestId,
                               LONG ErrorStatus, LONG ErrorIndex, SAFEARRAY** Objectvalue) override;
  STDMETHODIMP SendGetRequest(BSTR RemoteIP, BSTR RemotePort, BSTR Community, LONG RequestId,
                              SAFEARRAY** Objectvalue) override;
  STDMETHODIMP SendGetNextRequest(BSTR RemoteIP, BSTR RemotePort, BSTR Community, LONG RequestId,
                                  SAFEARRAY** Objectvalue) override;
  STDMETHODIMP SendSetRequest(BSTR RemoteIP, BSTR RemotePort, BSTR Community, LONG RequestId,
                              SAFEARRAY** Objectvalue) override;
  STDMETHODIMP SendTrap(BSTR RemoteIP, BSTR RemotePort, BSTR Community, BSTR Enterprise,
                        short GenericTrapType, BSTR SpecificTrapType, VARIANT* Objectval) override;
  STDMETHODIMP get_Copyright(BSTR* value) override;
  STDMETHODIMP put_Copyright(BSTR vNewValue) override;
  STDMETHODIMP get_Stat(short* value) override;
  STDMETHODIMP get_AgentAddress(BSTR* value) override;
  STDMETHODIMP put_AgentAddress(BSTR vNewValue) override;
  STDMETHODIMP get_TickCount(LONG* value) override;
  STDMETHODIMP put_TickCount(LONG vNewValue) override;

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR application, LPCOLESTR document) override;
  STDMETHODIMP Close(DWORD save_option) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index, HWND parent,
                      LPCRECT position) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
  STDMETHODIMP Unadvise(DWORD connection) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advises) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow (through IOleInPlaceObject and IOleInPlaceActiveObject)
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;

  // IOleInPlaceObject
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;

  // IOleInPlaceActiveObject
  STDMETHODIMP TranslateAccelerator(LPMSG message) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG* message) override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // IViewObject2
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* device, HDC target,
                    HDC draw, LPCRECTL bounds, LPCRECTL window_bounds,
                    BOOL(STDMETHODCALLTYPE* should_continue)(ULONG_PTR), ULONG_PTR) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* device,
                           HDC target, LOGPALETTE** colors) override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspect_info, DWORD* cookie) override;
  STDMETHODIMP Unfreeze(DWORD cookie) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

  // IPersist (through the persistence interfaces)
  STDMETHODIMP GetClassID(CLSID* clsid) override;

  // IPersistStreamInit
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clear_dirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;

  // IPersistPropertyBag (InitNew is shared with IPersistStreamInit)
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) override;

  // IQuickActivate: siting, ambients and the event sink in one call (control_quick_activation.cpp)
  STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) override;
  STDMETHODIMP SetContentExtent(LPSIZEL size) override;
  STDMETHODIMP GetContentExtent(LPSIZEL size) override;

  // IPersistStorage (IsDirty and GetClassID are shared; control_storage.cpp)
  STDMETHODIMP InitNew(IStorage* storage) override;
  STDMETHODIMP Load(IStorage* storage) override;
  STDMETHODIMP Save(IStorage* storage, BOOL same_as_load) override;
  STDMETHODIMP SaveCompleted(IStorage* storage) override;
  STDMETHODIMP HandsOffStorage() override;

  // IDataObject: pictures of the face (control_pictures.cpp)
  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP QueryGetData(FORMATETC* format) override;
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* format, FORMATETC* canonical) override;
  STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
  STDMETHODIMP DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                       DWORD* connection) override;
  STDMETHODIMP DUnadvise(DWORD connection) override;
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA** advises) override;

 private:
  ControlObject() noexcept;
  ~ControlObject();

  // HostEvents: raised to every sink by DISPID.
  void Response(const ReceivedMessage& message,
                std::shared_ptr<ObjectsCollection>& Objects) override;
  void Ready() override;
  void WsError(std::int32_t Ecode, const std::string& Description,
               const std::string& Where) override;
  void Raise(DISPID id, DISPPARAMS& params) noexcept;

  // Runs `body` under the entry-point guard for a member of _kivOstrel.
  template <typename Body>
  HRESULT Member(Body&& body) noexcept;
  ComPtr<ITypeInfo> TypeInfo();
  void LoadTypeInfo();

  HRESULT ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT position);
  void ViewChanged() noexcept;
  void Resize(const RECT& position) noexcept;

  LONG references_ = 1;
  ComPtr<ITypeInfo> type_info_;
  ComPtr<ITypeInfo> row_type_info_;  // _OstrelObject's, for the rows of Response
  // The members with a SAFEARRAY(unsigned char)* parameter, from type_info_.
  const std::vector<MEMBERID>* byte_array_members_ = nullptr;  // set with type_info_
  EventConnectionPoint connection_point_;
  LONG frozen_events_ = 0;
  // A host's own object left in `Objects` by a Response handler.
  ComPtr<IDispatch> kept_objects_;

  ComPtr<IOleClientSite> client_site_;
  ComPtr<IOleAdviseHolder> advise_holder_;
  ComPtr<IAdviseSink> view_sink_;
  DWORD view_aspects_ = 0;
  DWORD view_flags_ = 0;
  ComPtr<IOleInPlaceSite> in_place_site_;
  SIZEL extent_;  // HIMETRIC
  bool dirty_ = false;

  // The IPersistStorage protocol's modes; the storage is held only in kNormal and kNoScribble.
  enum class StorageMode { kUninitialized, kNormal, kNoScribble, kHandsOff, kHandsOffAfterSave };
  StorageMode storage_mode_ = StorageMode::kUninitialized;
  ComPtr<IStorage> storage_;

  LabelWindow label_;
  SocketEventRelay relay_;
  // Last: destroyed first, while the label and the relay it uses still exist.
  std::unique_ptr<kivostrel::kivOstrel> engine_;
};

}  // namespace kivostrel::com
