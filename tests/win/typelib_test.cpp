// The type library embedded in the server file, read back through ITypeLib and ITypeInfo.
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/com/event_dispids.h"
#include "dispatch_client.h"
#include "kivOstrel_h.h"
#include "win/type_info_handles.h"
#include "win/utf16.h"

namespace kivostrel::wintest {
namespace {

using com::GetFuncDesc;
using com::GetTypeAttr;
using com::UniqueFuncDesc;
using com::UniqueTypeAttr;

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
constexpr USHORT kRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
constexpr USHORT kOptionalWithDefault = PARAMFLAG_FIN | PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT;
constexpr USHORT kOptionalInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FOPT;

constexpr const char* kBytes = "SAFEARRAY(unsigned char)*";

// A parameter as the type library should describe it. A null name is not checked: a property
// put's value parameter has no name in a type library, and a retval's name is the member's.
struct Param {
  const wchar_t* name;
  const char* type;
  USHORT flags;
};

struct Member {
  const wchar_t* name;
  MEMBERID id;
  INVOKEKIND kind;
  std::vector<Param> params;
};

constexpr INVOKEKIND kGet = INVOKE_PROPERTYGET;
constexpr INVOKEKIND kPut = INVOKE_PROPERTYPUT;
constexpr INVOKEKIND kPutRef = INVOKE_PROPERTYPUTREF;
constexpr INVOKEKIND kMethod = INVOKE_FUNC;

// _kivOstrel in interface (vtable) order.
const std::vector<Member> kControlMembers = {
    {L"StringType", 0x68030005, kGet, {{nullptr, "long*", kRetval}}},
    {L"StringType", 0x68030005, kPut, {{nullptr, "long", kIn}}},
    {L"Err2Str",
     0x60030006,
     kMethod,
     {{L"ErrorStatus", "short", kIn}, {nullptr, "BSTR*", kRetval}}},
    {L"ClearOID", 0x60030007, kMethod, {}},
    {L"SetOID", 0x60030008, kMethod, {{L"OID", "BSTR", kIn}, {L"Name", "BSTR", kIn}}},
    {L"SetOIDFirst", 0x60030009, kMethod, {{L"OID", "BSTR", kIn}, {L"Name", "BSTR", kIn}}},
    {L"OID2Name", 0x6003000C, kMethod, {{L"OID", "BSTR", kIn}, {nullptr, "BSTR*", kRetval}}},
    {L"Name2OID", 0x6003000D, kMethod, {{L"Name", "BSTR", kIn}, {nullptr, "BSTR*", kRetval}}},
    {L"FindName",
     0x6003000E,
     kMethod,
     {{L"Name", "BSTR", kIn},
      {L"Compare", "short", kOptionalWithDefault},
      {nullptr, "IDispatch**", kRetval}}},
    {L"Name2TypeID", 0x60030017, kMethod, {{L"Name", "BSTR", kIn}, {nullptr, "short*", kRetval}}},
    {L"SNMPNullValue",
     0x6003002C,
     kMethod,
     {{L"ObjectID", "BSTR", kIn}, {nullptr, kBytes, kRetval}}},
    {L"SNMPCounterValue",
     0x6003002D,
     kMethod,
     {{L"ObjectID", "BSTR", kIn}, {L"Value", "BSTR", kIn}, {nullptr, kBytes, kRetval}}},
    {L"SNMPIntegerValue",
     0x6003002E,
     kMethod,
     {{L"ObjectID", "BSTR", kIn}, {L"Value", "BSTR", kIn}, {nullptr, kBytes, kRetval}}},
    {L"SNMPStringValue",
     0x6003002F,
     kMethod,
     {{L"ObjectID", "BSTR", kIn}, {L"Value", "BSTR", kIn}, {nullptr, kBytes, kRetval}}},
    {L"SNMPBinStringValue",
     0x60030030,
     kMethod,
     {{L"ObjectID", "BSTR", kIn}, {L"Value", kBytes, kInOut}, {nullptr, kBytes, kRetval}}},
    {L"SNMPIpAddrValue",
     0x60030031,
     kMethod,
     {{L"ObjectID", "BSTR", kIn}, {L"Value", "BSTR", kIn}, {nullptr, kBytes, kRetval}}},
    {L"SnmpGaugeValue",
     0x60030032,
     kMethod,
     {{L"ObjectID", "BSTR", kIn}, {L"Value", "BSTR", kIn}, {nullptr, kBytes, kRetval}}},
    {L"SnmpTimeTicksValue",
     0x60030033,
     kMethod,
     {{L"ObjectID", "BSTR", kIn}, {L"Value", "BSTR", kIn}, {nullptr, kBytes, kRetval}}},
    {L"SendGetResponse",
     0x60030034,
     kMethod,
     {{L"RemoteIP", "BSTR", kIn},
      {L"RemotePort", "BSTR", kIn},
      {L"Community", "BSTR", kIn},
      {L"RequestId", "long", kIn},
      {L"ErrorStatus", "long", kIn},
      {L"ErrorIndex", "long", kIn},
      {L"Objectvalue", kBytes, kInOut}}},
    {L"SendGetRequest",
     0x60030035,
     kMethod,
     {{L"RemoteIP", "BSTR", kIn},
      {L"RemotePort", "BSTR", kIn},
      {L"Community", "BSTR", kIn},
      {L"RequestId", "long", kIn},
      {L"Objectvalue", kBytes, kInOut}}},
    {L"SendGetNextRequest",
     0x60030036,
     kMethod,
     {{L"RemoteIP", "BSTR", kIn},
      {L"RemotePort", "BSTR", kIn},
      {L"Community", "BSTR", kIn},
      {L"RequestId", "long", kIn},
      {L"Objectvalue", kBytes, kInOut}}},
    {L"SendSetRequest",
     0x60030037,
     kMethod,
     {{L"RemoteIP", "BSTR", kIn},
      {L"RemotePort", "BSTR", kIn},
      {L"Community", "BSTR", kIn},
      {L"RequestId", "long", kIn},
      {L"Objectvalue", kBytes, kInOut}}},
    {L"SendTrap",
     0x60030038,
     kMethod,
     {{L"RemoteIP", "BSTR", kIn},
      {L"RemotePort", "BSTR", kIn},
      {L"Community", "BSTR", kIn},
      {L"Enterprise", "BSTR", kIn},
      {L"GenericTrapType", "short", kIn},
      {L"SpecificTrapType", "BSTR", kIn},
      {L"Objectval", "VARIANT*", kOptionalInOut}}},
    {L"Copyright", 0x68030004, kGet, {{nullptr, "BSTR*", kRetval}}},
    {L"Copyright", 0x68030004, kPut, {{nullptr, "BSTR", kIn}}},
    {L"Stat", 0x68030003, kGet, {{nullptr, "short*", kRetval}}},
    {L"AgentAddress", 0x68030001, kGet, {{nullptr, "BSTR*", kRetval}}},
    {L"AgentAddress", 0x68030001, kPut, {{nullptr, "BSTR", kIn}}},
    {L"TickCount", 0x68030000, kGet, {{nullptr, "long*", kRetval}}},
    {L"TickCount", 0x68030000, kPut, {{nullptr, "long", kIn}}},
};

const std::vector<Member> kObjectMembers = {
    {L"OIDName", 0x40030000, kGet, {{nullptr, "BSTR*", kRetval}}},
    {L"OIDName", 0x40030000, kPut, {{nullptr, "BSTR", kIn}}},
    {L"OIDType", 0x40030001, kGet, {{nullptr, "short*", kRetval}}},
    {L"OIDType", 0x40030001, kPut, {{nullptr, "short", kIn}}},
    {L"OIDTypeName", 0x40030002, kGet, {{nullptr, "BSTR*", kRetval}}},
    {L"OIDTypeName", 0x40030002, kPut, {{nullptr, "BSTR", kIn}}},
    {L"OIDValue", 0x40030003, kGet, {{nullptr, "VARIANT*", kRetval}}},
    {L"OIDValue", 0x40030003, kPut, {{nullptr, "VARIANT*", kIn}}},
    {L"OIDValue", 0x40030003, kPutRef, {{nullptr, "VARIANT*", kIn}}},
};

const std::vector<Member> kEvents = {
    {L"Response",
     1,
     kMethod,
     {{L"RemoteIP", "BSTR", kIn},
      {L"RemotePort", "BSTR", kIn},
      {L"Version", "short", kIn},
      {L"Community", "BSTR", kIn},
      {L"Command", "BSTR", kIn},
      {L"RequestId", "long", kIn},
      {L"ErrorStatus", "short", kIn},
      {L"Objects", "IDispatch**", kInOut},
      {L"RawData", kBytes, kInOut}}},
    {L"Ready", 2, kMethod, {}},
    {L"WsError",
     3,
     kMethod,
     {{L"Ecode", "long", kIn}, {L"Description", "BSTR", kIn}, {L"Where", "BSTR", kIn}}},
};

std::string TypeText(const TYPEDESC& type, ITypeInfo* owner) {
  switch (type.vt) {
    case VT_PTR:
      return TypeText(*type.lptdesc, owner) + "*";
    case VT_SAFEARRAY:
      return "SAFEARRAY(" + TypeText(*type.lptdesc, owner) + ")";
    case VT_I2:
      return "short";
    case VT_I4:
      return "long";
    case VT_UI1:
      return "unsigned char";
    case VT_BSTR:
      return "BSTR";
    case VT_VARIANT:
      return "VARIANT";
    case VT_DISPATCH:
      return "IDispatch*";
    case VT_UNKNOWN:
      return "IUnknown*";
    case VT_BOOL:
      return "VARIANT_BOOL";
    case VT_HRESULT:
      return "HRESULT";
    case VT_VOID:
      return "void";
    case VT_USERDEFINED: {
      ComPtr<ITypeInfo> referenced;
      UniqueBstr name;
      if (owner != nullptr && SUCCEEDED(owner->GetRefTypeInfo(type.hreftype, referenced.Receive())))
        referenced->GetDocumentation(MEMBERID_NIL, name.Receive(), nullptr, nullptr, nullptr);
      return "userdefined " + std::string(name.c_str(), name.c_str() + wcslen(name.c_str()));
    }
    default:
      return "vt " + std::to_string(type.vt);
  }
}

std::string Utf8(std::wstring_view text) {
  return Narrow(text, CP_UTF8);
}

// The names GetNames gives for a member: its own, then its parameters'.
std::vector<std::wstring> NamesOf(ITypeInfo* info, MEMBERID id) {
  BSTR names[16] = {};
  UINT count = 0;
  std::vector<std::wstring> result;
  if (FAILED(info->GetNames(id, names, 16, &count))) return result;
  for (UINT i = 0; i < count; ++i) result.emplace_back(UniqueBstr(names[i]).c_str());
  return result;
}

// Checks one function description against its table row.
void ExpectMember(ITypeInfo* info, UINT index, const Member& expected, bool dispatch_only) {
  SCOPED_TRACE(::testing::Message() << "function " << index << " " << Utf8(expected.name));
  UniqueFuncDesc func;
  ASSERT_EQ(GetFuncDesc(info, index, func), S_OK);
  EXPECT_EQ(func->memid, expected.id);
  EXPECT_EQ(func->invkind, expected.kind);
  if (dispatch_only) {
    EXPECT_EQ(func->funckind, FUNC_DISPATCH);
    EXPECT_EQ(TypeText(func->elemdescFunc.tdesc, info), "void");
  } else {
    EXPECT_EQ(func->funckind, FUNC_PUREVIRTUAL);
    EXPECT_EQ(TypeText(func->elemdescFunc.tdesc, info), "HRESULT");
    // IUnknown and IDispatch take the first seven slots of the table.
    EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + index) * sizeof(void*)));
  }
  const auto names = NamesOf(info, func->memid);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names[0], expected.name);
  ASSERT_EQ(func->cParams, static_cast<SHORT>(expected.params.size()));
  for (size_t p = 0; p < expected.params.size(); ++p) {
    SCOPED_TRACE(::testing::Message() << "parameter " << p);
    const ELEMDESC& param = func->lprgelemdescParam[p];
    EXPECT_EQ(TypeText(param.tdesc, info), expected.params[p].type);
    EXPECT_EQ(param.paramdesc.wParamFlags, expected.params[p].flags);
    if (expected.params[p].name != nullptr) {
      ASSERT_GT(names.size(), p + 1);
      EXPECT_EQ(names[p + 1], expected.params[p].name);
    }
    if ((param.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) != 0) {
      ASSERT_NE(param.paramdesc.pparamdescex, nullptr);
      EXPECT_EQ(LongOf(param.paramdesc.pparamdescex->varDefaultValue), 0);
    }
  }
}

class TypeLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::LoadTypeLibEx(OcxPath().c_str(), REGKIND_NONE, library_.Receive()), S_OK)
        << "no type library in " << OcxPath();
  }

  ComPtr<ITypeInfo> InfoAt(UINT index) {
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(library_->GetTypeInfo(index, info.Receive()), S_OK);
    return info;
  }

  // The vtable side of a dual interface whose dispatch side is `dispatch`.
  static ComPtr<ITypeInfo> InterfaceSide(ITypeInfo* dispatch) {
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> vtable;
    if (SUCCEEDED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)))
      dispatch->GetRefTypeInfo(ref, vtable.Receive());
    return vtable;
  }

  ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibrary, HasTheLibraryAttributesOfTheIdl) {
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library_->GetLibAttr(&attributes), S_OK);
  // widl is known to corrupt the last byte of this ID in some layouts.
  EXPECT_TRUE(::IsEqualGUID(attributes->guid, LIBID_kivOstrelCtrl));
  EXPECT_EQ(attributes->lcid, 1033u);
  EXPECT_EQ(attributes->wMajorVerNum, 1);
  EXPECT_EQ(attributes->wMinorVerNum, 0);
  EXPECT_EQ(attributes->syskind, SYS_WIN32);
  EXPECT_NE(attributes->wLibFlags & LIBFLAG_FCONTROL, 0);
  library_->ReleaseTLibAttr(attributes);

  UniqueBstr name, help, help_file;
  ASSERT_EQ(
      library_->GetDocumentation(-1, name.Receive(), help.Receive(), nullptr, help_file.Receive()),
      S_OK);
  EXPECT_STREQ(name.c_str(), L"kivOstrelCtrl");
  EXPECT_NE(std::wstring(help.c_str()).find(L"2.04"), std::wstring::npos) << help.c_str();
  EXPECT_EQ(std::wstring(help.c_str()).find(L'\n'), std::wstring::npos);
  EXPECT_STREQ(help_file.c_str(), L"");
}

struct TypeRow {
  const wchar_t* name;
  const GUID* guid;
  TYPEKIND kind;
  WORD flags;
};

TEST_F(TypeLibrary, HoldsExactlyTheFiveTypesInOrder) {
  constexpr WORD kDualFlags =
      TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
  const TypeRow rows[] = {
      {L"_kivOstrel", &IID__kivOstrel, TKIND_DISPATCH, kDualFlags},
      {L"kivOstrel", &CLSID_kivOstrel, TKIND_COCLASS, TYPEFLAG_FCONTROL},
      {L"_OstrelObject", &IID__OstrelObject, TKIND_DISPATCH, kDualFlags},
      {L"OstrelObject", &CLSID_OstrelObject, TKIND_COCLASS, 0},
      {L"__kivOstrel", &DIID___kivOstrel, TKIND_DISPATCH,
       TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE},
  };
  ASSERT_EQ(library_->GetTypeInfoCount(), 5u);
  for (UINT i = 0; i < 5; ++i) {
    SCOPED_TRACE(Utf8(rows[i].name));
    UniqueBstr name;
    ASSERT_EQ(
        library_->GetDocumentation(static_cast<INT>(i), name.Receive(), nullptr, nullptr, nullptr),
        S_OK);
    EXPECT_STREQ(name.c_str(), rows[i].name);
    TYPEKIND kind{};
    ASSERT_EQ(library_->GetTypeInfoType(i, &kind), S_OK);
    EXPECT_EQ(kind, rows[i].kind);
    auto info = InfoAt(i);
    UniqueTypeAttr attributes;
    ASSERT_EQ(GetTypeAttr(info.get(), attributes), S_OK);
    EXPECT_TRUE(::IsEqualGUID(attributes->guid, *rows[i].guid));
    WORD flags = attributes->wTypeFlags;
    // A dual interface is read as two views; oleautomation is reported on the vtable side only.
    if ((flags & TYPEFLAG_FDUAL) != 0) {
      auto vtable = InterfaceSide(info.get());
      ASSERT_TRUE(vtable);
      UniqueTypeAttr vtable_attributes;
      ASSERT_EQ(GetTypeAttr(vtable.get(), vtable_attributes), S_OK);
      flags |= vtable_attributes->wTypeFlags;
    }
    // Any type derived from IDispatch is dispatchable: the flag follows from the kind.
    EXPECT_EQ(flags & ~TYPEFLAG_FDISPATCHABLE, rows[i].flags) << "flags 0x" << std::hex << flags;
  }
}

// The implemented interfaces of a class: (name, flags) in order.
std::vector<std::pair<std::wstring, int>> ImplementedBy(ITypeInfo* coclass) {
  std::vector<std::pair<std::wstring, int>> result;
  UniqueTypeAttr attributes;
  if (FAILED(GetTypeAttr(coclass, attributes))) return result;
  for (UINT i = 0; i < attributes->cImplTypes; ++i) {
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> implemented;
    UniqueBstr name;
    INT flags = 0;
    coclass->GetRefTypeOfImplType(i, &ref);
    coclass->GetRefTypeInfo(ref, implemented.Receive());
    if (implemented)
      implemented->GetDocumentation(MEMBERID_NIL, name.Receive(), nullptr, nullptr, nullptr);
    coclass->GetImplTypeFlags(i, &flags);
    result.emplace_back(name.c_str(), flags);
  }
  return result;
}

TEST_F(TypeLibrary, ClassesImplementTheirInterfaces) {
  using Impl = std::vector<std::pair<std::wstring, int>>;
  EXPECT_EQ(ImplementedBy(InfoAt(1).get()),
            (Impl{{L"_kivOstrel", IMPLTYPEFLAG_FDEFAULT},
                  {L"__kivOstrel", IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}}));
  EXPECT_EQ(ImplementedBy(InfoAt(3).get()), (Impl{{L"_OstrelObject", IMPLTYPEFLAG_FDEFAULT}}));
}

TEST_F(TypeLibrary, DualInterfacesDeriveFromTheStandardIDispatch) {
  for (UINT index : {0u, 2u}) {
    auto vtable = InterfaceSide(InfoAt(index).get());
    ASSERT_TRUE(vtable);
    UniqueTypeAttr attributes;
    ASSERT_EQ(GetTypeAttr(vtable.get(), attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attributes->cImplTypes, 1);
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> base;
    ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(vtable->GetRefTypeInfo(ref, base.Receive()), S_OK);
    UniqueTypeAttr base_attributes;
    ASSERT_EQ(GetTypeAttr(base.get(), base_attributes), S_OK);
    EXPECT_TRUE(::IsEqualGUID(base_attributes->guid, IID_IDispatch));
  }
}

TEST_F(TypeLibrary, ControlInterfaceListsEveryMemberInOrder) {
  auto vtable = InterfaceSide(InfoAt(0).get());
  ASSERT_TRUE(vtable);
  UniqueTypeAttr attributes;
  ASSERT_EQ(GetTypeAttr(vtable.get(), attributes), S_OK);
  EXPECT_EQ(attributes->cFuncs, kControlMembers.size());
  for (UINT i = 0; i < kControlMembers.size(); ++i) {
    ExpectMember(vtable.get(), i, kControlMembers[i], false);
  }
}

TEST_F(TypeLibrary, DispatchSideResolvesEveryNameToItsDispid) {
  auto dispatch = InfoAt(0);
  for (const auto& member : kControlMembers) {
    std::vector<std::wstring> names{member.name};
    if (member.kind == kMethod)
      for (const auto& p : member.params)
        if (p.name != nullptr) names.emplace_back(p.name);
    std::vector<LPOLESTR> pointers;
    for (auto& n : names) pointers.push_back(n.data());
    std::vector<MEMBERID> ids(names.size(), DISPID_UNKNOWN);
    ASSERT_EQ(dispatch->GetIDsOfNames(pointers.data(), static_cast<UINT>(names.size()), ids.data()),
              S_OK)
        << Utf8(member.name);
    EXPECT_EQ(ids[0], member.id) << Utf8(member.name);
    for (size_t p = 1; p < ids.size(); ++p) {
      EXPECT_EQ(ids[p], static_cast<MEMBERID>(p - 1)) << Utf8(member.name) << " " << Utf8(names[p]);
    }
  }
}

TEST_F(TypeLibrary, RecordInterfaceHasFourPropertiesAndPutByReference) {
  auto vtable = InterfaceSide(InfoAt(2).get());
  ASSERT_TRUE(vtable);
  UniqueTypeAttr attributes;
  ASSERT_EQ(GetTypeAttr(vtable.get(), attributes), S_OK);
  EXPECT_EQ(attributes->cFuncs, kObjectMembers.size());
  for (UINT i = 0; i < kObjectMembers.size(); ++i) {
    ExpectMember(vtable.get(), i, kObjectMembers[i], false);
  }
}

TEST_F(TypeLibrary, EventInterfaceListsTheThreeEvents) {
  auto events = InfoAt(4);
  UniqueTypeAttr attributes;
  ASSERT_EQ(GetTypeAttr(events.get(), attributes), S_OK);
  const WORD count = attributes->cFuncs;
  EXPECT_EQ(attributes->cVars, 0);
  // A dispinterface may list IUnknown's and IDispatch's members before its own.
  ASSERT_GE(count, kEvents.size());
  const UINT first = count - static_cast<UINT>(kEvents.size());
  EXPECT_TRUE(first == 0 || first == 7) << count << " functions";
  for (UINT i = 0; i < kEvents.size(); ++i) {
    ExpectMember(events.get(), first + i, kEvents[i], true);
  }
}

// The control raises its events, and the tests' and benchmarks' sinks take them, by the DISPIDs
// of event_dispids.h: they must be the library's.
TEST_F(TypeLibrary, EventDispidsOfTheSharedHeaderAreTheLibrarys) {
  const struct {
    const wchar_t* name;
    DISPID id;
  } rows[] = {
      {L"Response", com::kDispidResponse},
      {L"Ready", com::kDispidReady},
      {L"WsError", com::kDispidWsError},
  };
  auto events = InfoAt(4);
  for (const auto& row : rows) {
    SCOPED_TRACE(Utf8(row.name));
    std::wstring name = row.name;
    LPOLESTR names[] = {name.data()};
    MEMBERID id = DISPID_UNKNOWN;
    ASSERT_EQ(events->GetIDsOfNames(names, 1, &id), S_OK);
    EXPECT_EQ(id, row.id);
  }
}

}  // namespace
}  // namespace kivostrel::wintest
