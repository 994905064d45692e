// The SNMPv3 members through late binding: found by name after the type library (which keeps its
// members), their values and errors through EXCEPINFO, with no password in any description; the
// engine ID each control makes for itself; the sends' own errors under SnmpVersion 3; and the
// discovery the first request to an agent begins with, as a plain peer receives it.
#include "udp_peer.h"

#include <ole2.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dispatch_client.h"
#include "strict_sink.h"

namespace kivostrel::wintest {
namespace {

constexpr DWORD kTimeoutMs = 5000;
constexpr WORD kGet = DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT, kCall = DISPATCH_METHOD;
const std::vector<std::uint8_t> kNull = Hex("30 05 06 01 2B 05 00");  // 1.3 = NULL
// Every password the tables use: none may appear in a description.
const wchar_t* const kPasswords[] = {L"authpass1", L"privpass1", L"seven77", L"privpas"};
const std::wstring kLongName(33, L'u');

UniqueVariant Null() {
  UniqueVariant v;
  V_VT(v.get()) = VT_NULL;
  return v;
}
template <class... A>
std::vector<UniqueVariant> Args(A&&... args) {
  std::vector<UniqueVariant> list;
  (list.push_back(std::forward<A>(args)), ...);
  return list;
}
// AddUser's five texts.
std::vector<UniqueVariant> User(const std::wstring& name, const wchar_t* auth,
                                const wchar_t* auth_password, const wchar_t* priv,
                                const wchar_t* priv_password) {
  return Args(Text(name), Text(auth), Text(auth_password), Text(priv), Text(priv_password));
}
std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());
}

// Number, source and description of a failed call; none names a password.
void ExpectError(const CallResult& r, long number, const std::wstring& description) {
  EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.scode, static_cast<HRESULT>(0x800A0000 + number));
  EXPECT_EQ(r.source, L"kivOstrelCtrl");
  EXPECT_EQ(r.description, description);
  for (const wchar_t* password : kPasswords) {
    EXPECT_EQ(r.description.find(password), std::wstring::npos) << Narrow(r.description);
  }
}

ComPtr<ITypeInfo> InterfaceSide(ITypeInfo* dispatch) {
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> vtable;
  if (dispatch->GetRefTypeOfImplType(-1, &ref) != S_OK) return vtable;
  dispatch->GetRefTypeInfo(ref, vtable.Receive());
  return vtable;
}

TEST(Snmpv3Members, FoundByNameAfterTheTypeLibraryWhichKeepsItsMembers) {
  ComPtr<IDispatch> control = CreateControl();
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(control->GetTypeInfo(0, 0, info.Receive()), S_OK);
  ComPtr<ITypeLib> library;
  UINT index = 0;
  ASSERT_EQ(info->GetContainingTypeLib(library.Receive(), &index), S_OK);
  // Two dual interfaces, their coclasses and the event dispinterface; the control's 26 members,
  // four of them properties with a put: 30 functions.
  EXPECT_EQ(library->GetTypeInfoCount(), 5u);
  const ComPtr<ITypeInfo> vtable = InterfaceSide(info.get());
  ASSERT_TRUE(vtable);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(vtable->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->cFuncs, 30);
  vtable->ReleaseTypeAttr(attributes);

  const wchar_t* names[] = {L"AddUser",
                            L"RemoveUser",
                            L"ContextName",
                            L"EngineID",
                            L"EngineBoots",
                            L"SecurityError",
                            L"ContextEngineID",
                            L"PinEngineID",
                            L"SNMPNoSuchObjectValue",
                            L"SNMPNoSuchInstanceValue",
                            L"SNMPEndOfMibViewValue"};
  for (DISPID expected = 0x7000000A; const wchar_t* name : names) {
    std::wstring capitals = name;
    for (wchar_t& c : capitals) c = static_cast<wchar_t>(towupper(c));
    for (std::wstring spelling : {std::wstring(name), capitals}) {
      LPOLESTR asked[] = {spelling.data()};
      DISPID id = 0;
      EXPECT_EQ(control->GetIDsOfNames(IID_NULL, asked, 1, 0, &id), S_OK) << Narrow(spelling);
      EXPECT_EQ(id, expected);
      EXPECT_EQ(info->GetIDsOfNames(asked, 1, &id), DISP_E_UNKNOWNNAME);
      BOOL found = TRUE;
      EXPECT_EQ(library->IsName(asked[0], 0, &found), S_OK);
      EXPECT_FALSE(found);
    }
    ++expected;
  }
  // AddUser's parameters by name, in any order.
  LPOLESTR add_user[] = {const_cast<LPOLESTR>(L"adduser"), const_cast<LPOLESTR>(L"PrivPassword"),
                         const_cast<LPOLESTR>(L"USERNAME"), const_cast<LPOLESTR>(L"Password")};
  DISPID ids[4] = {};
  EXPECT_EQ(control->GetIDsOfNames(IID_NULL, add_user, 4, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(std::vector<DISPID>(ids, ids + 4),
            (std::vector<DISPID>{0x7000000A, 4, 0, DISPID_UNKNOWN}));
  std::vector<UniqueVariant> named =
      Args(Text(L"privpass1"), Text(L"AES"), Text(L"authpass1"), Text(L"SHA"), Text(L"named"));
  EXPECT_EQ(
      Invoke(control.get(), L"AddUser", kCall, named,
             {L"PrivPassword", L"PrivProtocol", L"AuthPassword", L"AuthProtocol", L"UserName"})
          .hr,
      S_OK);
}

TEST(Snmpv3Members, ValuesAndErrors) {
  ComPtr<IDispatch> control = CreateControl();  // never pumped: no send is made here
  const std::wstring engine_id = TextOf(*Get(control.get(), L"EngineID").value.get());
  struct {
    const wchar_t* member;
    WORD flags;
    std::vector<UniqueVariant> args;
    long error;           // an automation error number, or a failed HRESULT; 0: none
    std::wstring result;  // the value a get gives, or the description of error `error`
  } cases[] = {
      // Users: every protocol this system offers, any case, Net-SNMP's spellings too.
      {L"AddUser", kCall, User(L"shaaes", L"SHA", L"authpass1", L"AES", L"privpass1"), 0, L""},
      {L"AddUser", kCall, User(L"s256", L"sha-256", L"authpass1", L"aes-256", L"privpass1"), 0,
       L""},
      {L"AddUser", kCall, User(L"md5des", L"MD5", L"authpass1", L"DES", L"privpass1"), 0, L""},
      {L"AddUser", kCall, User(L"s384", L"SHA-384", L"authpass1", L"AES192C", L"privpass1"), 0,
       L""},
      {L"AddUser", kCall, User(L"s512", L"SHA-512", L"authpass1", L"AES-256C", L"privpass1"), 0,
       L""},
      {L"AddUser", kCall, User(L"authonly", L"SHA1", L"authpass1", L"", L""), 0, L""},
      {L"AddUser", kCall, User(L"plain", L"", L"", L"", L""), 0, L""},
      {L"AddUser", kCall, User(std::wstring(32, L'u'), L"MD5", L"authpass1", L"", L""), 0, L""},
      {L"AddUser", kCall, User(L"shaaes", L"SHA", L"authpass1", L"AES-192", L"privpass1"), 0,
       L""},  // replaced
      // What AddUser refuses, saying why.
      {L"AddUser", kCall, User(L"u", L"SHA-1024", L"authpass1", L"AES", L"privpass1"), 5,
       L"AddUser: unknown authentication protocol: use \"\", MD5, SHA, SHA-224, SHA-256, SHA-384 "
       L"or SHA-512"},
      {L"AddUser", kCall, User(L"u", L"SHA", L"authpass1", L"AES-512", L"privpass1"), 5,
       L"AddUser: unknown privacy protocol: use \"\", DES, AES, AES-192, AES-256, AES-192C or "
       L"AES-256C"},
      {L"AddUser", kCall, User(L"u", L"SHA", L"seven77", L"AES", L"privpass1"), 5,
       L"AddUser: the authentication password is shorter than 8 characters"},
      {L"AddUser", kCall, User(L"u", L"SHA", L"authpass1", L"AES", L"privpas"), 5,
       L"AddUser: the privacy password is shorter than 8 characters"},
      {L"AddUser", kCall, User(L"u", L"", L"", L"AES", L"privpass1"), 5,
       L"AddUser: privacy needs authentication: give an authentication protocol"},
      // CNG has no SHA-224.
      {L"AddUser", kCall, User(L"u", L"SHA-224", L"authpass1", L"AES", L"privpass1"), 5,
       L"AddUser: SHA-224 is not offered by this system's cryptography"},
      {L"AddUser", kCall, User(L"", L"SHA", L"authpass1", L"AES", L"privpass1"), 5,
       L"AddUser: a user name has 1 to 32 octets"},
      {L"AddUser", kCall, User(kLongName, L"SHA", L"authpass1", L"AES", L"privpass1"), 5,
       L"AddUser: a user name has 1 to 32 octets"},
      {L"AddUser", kCall, Args(Text(L"u"), Text(L"SHA"), Null(), Text(L""), Text(L"")), 13,
       L"Type mismatch"},
      {L"AddUser", kCall, Args(Text(L"u"), Text(L"SHA"), Text(L"authpass1"), Text(L"AES")),
       DISP_E_PARAMNOTOPTIONAL, L""},
      {L"AddUser", kGet, {}, DISP_E_MEMBERNOTFOUND, L""},
      // RemoveUser: a name that is not a user is no error.
      {L"RemoveUser", kCall, Args(Text(L"md5des")), 0, L""},
      {L"removeuser", kCall, Args(Text(L"md5des")), 0, L""},
      {L"RemoveUser", kCall, Args(Text(L"nobody")), 0, L""},
      {L"RemoveUser", kCall, {}, DISP_E_PARAMNOTOPTIONAL, L""},
      // ContextName: any text; a number as its text.
      {L"ContextName", kGet, {}, 0, L""},
      {L"ContextName", kPut, Args(Text(L"bridge1")), 0, L""},
      {L"ContextName", kGet, {}, 0, L"bridge1"},
      {L"ContextName", kPut, Args(Long(42)), 0, L""},
      {L"contextname", kGet, {}, 0, L"42"},
      {L"ContextName", kPut, Args(Null()), 13, L"Type mismatch"},
      {L"ContextName", kPut, Args(ByteArray(kNull)), 13, L"Type mismatch"},
      {L"ContextName", kPut, Args(Text(L"")), 0, L""},
      {L"ContextName", kGet, {}, 0, L""},
      // EngineID: 5 to 32 octets of hex, with spaces, colons or "0x" allowed.
      {L"EngineID", kGet, {}, 0, engine_id},
      {L"EngineID", kPut, Args(Text(L"80 00 1f 88 80 01 02 03 04")), 0, L""},
      {L"EngineID", kGet, {}, 0, L"80001F888001020304"},
      {L"EngineID", kPut, Args(Text(L"0x8000000001")), 0, L""},
      {L"EngineID", kGet, {}, 0, L"8000000001"},
      {L"EngineID", kPut, Args(Text(L"80:00:00:00:02")), 0, L""},
      {L"EngineID", kGet, {}, 0, L"8000000002"},
      {L"EngineID", kPut, Args(Text(L"80000000")), 380,
       L"EngineID takes 5 to 32 octets as hex text"},
      {L"EngineID", kPut, Args(Text(std::wstring(66, L'8'))), 380,
       L"EngineID takes 5 to 32 octets as hex text"},
      {L"EngineID", kPut, Args(Text(L"80000000zz")), 380,
       L"EngineID takes 5 to 32 octets as hex text"},
      {L"EngineID", kPut, Args(Text(L"800000000")), 380,
       L"EngineID takes 5 to 32 octets as hex text"},
      {L"EngineID", kPut, Args(Null()), 13, L"Type mismatch"},
      // ContextEngineID: "" (the authoritative engine's) or 5 to 32 octets of hex.
      {L"ContextEngineID", kGet, {}, 0, L""},
      {L"ContextEngineID", kPut, Args(Text(L"0x80 00 00 00 aa")), 0, L""},
      {L"ContextEngineID", kGet, {}, 0, L"80000000AA"},
      {L"ContextEngineID", kPut, Args(Text(L"0102")), 380,
       L"ContextEngineID takes 5 to 32 octets as hex text"},
      {L"ContextEngineID", kPut, Args(Text(L"")), 0, L""},
      {L"ContextEngineID", kGet, {}, 0, L""},
      {L"EngineID", kGet, {}, 0, L"8000000002"},
      {L"EngineID", kPut, Args(Text(std::wstring(64, L'8'))), 0, L""},
      {L"EngineID", kGet, {}, 0, std::wstring(64, L'8')},
      // EngineBoots: a Long from 0.
      {L"EngineBoots", kGet, {}, 0, L"1"},
      {L"EngineBoots", kPut, Args(Text(L" 7 ")), 0, L""},
      {L"EngineBoots", kGet, {}, 0, L"7"},
      {L"EngineBoots", kPut, Args(Long(0)), 0, L""},
      {L"EngineBoots", kGet, {}, 0, L"0"},
      {L"EngineBoots", kPut, Args(Long(2147483647)), 0, L""},
      {L"ENGINEBOOTS", kGet, {}, 0, L"2147483647"},
      {L"EngineBoots", kPut, Args(Long(-1)), 380, L"EngineBoots takes 0 to 2147483647"},
      {L"EngineBoots", kPut, Args(Text(L"3000000000")), 6, L"Overflow"},
      {L"EngineBoots", kPut, Args(Text(L"boots")), 13, L"Type mismatch"},
      {L"EngineBoots", kPut, Args(Null()), 13, L"Type mismatch"},
      {L"EngineBoots", kGet, {}, 0, L"2147483647"},
      // PinEngineID: an agent's engine, 5 to 32 octets of hex; "" forgets it.
      {L"PinEngineID", kCall, Args(Text(L"127.0.0.1"), Text(L"161"), Text(L"80001F8880AABB")), 0,
       L""},
      {L"PinEngineID", kCall, Args(Text(L"127.0.0.1"), Text(L"161"), Text(L"")), 0, L""},
      {L"PinEngineID", kCall, Args(Text(L"127.0.0.1"), Text(L"161"), Text(L"0102")), 380,
       L"PinEngineID takes 5 to 32 octets as hex text"},
      // SecurityError: read only, "" until a message is refused.
      {L"SecurityError", kGet, {}, 0, L""},
      {L"SecurityError", kPut, Args(Text(L"x")), DISP_E_MEMBERNOTFOUND, L""},
      // SnmpVersion takes 3 now.
      {L"SnmpVersion", kPut, Args(Long(3)), 0, L""},
      {L"SnmpVersion", kGet, {}, 0, L"3"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    auto& k = cases[i];
    SCOPED_TRACE(::testing::Message() << "case " << i << " " << Narrow(k.member));
    const CallResult r = Invoke(control.get(), k.member, k.flags, k.args);
    if (k.error < 0) {
      EXPECT_EQ(r.hr, k.error);
    } else if (k.error > 0) {
      ExpectError(r, k.error, k.result);
    } else {
      ASSERT_EQ(r.hr, S_OK) << r.error_number() << " " << Narrow(r.description);
      if (k.flags == kGet) {
        const bool number =
            _wcsicmp(k.member, L"EngineBoots") == 0 || _wcsicmp(k.member, L"SnmpVersion") == 0;
        EXPECT_EQ(V_VT(r.value.get()), number ? VT_I4 : VT_BSTR);
        EXPECT_EQ(TextOf(*r.value.get()), k.result);
      }
    }
  }
}

TEST(Snmpv3Members, EachControlMakesAnEngineIdOfItsOwn) {
  std::vector<std::wstring> ids;
  for (int i = 0; i < 2; ++i) {
    ComPtr<IDispatch> control = CreateControl();
    ids.push_back(TextOf(*Get(control.get(), L"EngineID").value.get()));
    SCOPED_TRACE(Narrow(ids.back()));
    // 0x80 and enterprise 99999 (0x8001869F), format 5 (octets of the engine's choosing), 8.
    EXPECT_EQ(ids.back().size(), 26u);
    EXPECT_EQ(ids.back().substr(0, 10), L"8001869F05");
    EXPECT_EQ(ids.back().find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos);
    EXPECT_EQ(LongOf(*Get(control.get(), L"EngineBoots").value.get()), 1);
  }
  EXPECT_NE(ids[0], ids[1]);
}

// A control that has its socket, with a strict sink.
struct Control {
  ComPtr<IDispatch> control = CreateControl();
  StrictSink sink;

  Control() {
    EXPECT_EQ(sink.Advise(control.get()), S_OK);
    sink.on_ready = [] {};
    sink.on_response = [](ResponseArgs& args) { args.params = nullptr; };
  }
  ~Control() {
    sink.Unadvise();
    control.reset();
  }
  IDispatch* get() { return control.get(); }
  long Stat() { return LongOf(*Get(control.get(), L"Stat").value.get()); }
  bool WaitReady() {
    return PumpUntil([&] { return Stat() == 1; }, kTimeoutMs);
  }
};

TEST(Snmpv3Members, SendsUnderVersion3NameTheirUsers) {
  Control c;
  UdpPeer peer;
  ASSERT_TRUE(peer.ok());
  ASSERT_TRUE(c.WaitReady());
  ASSERT_EQ(Call(c.get(), L"AddUser", Text(L"shaaes"), Text(L"SHA"), Text(L"authpass1"),
                 Text(L"AES"), Text(L"privpass1"))
                .hr,
            S_OK);
  ASSERT_EQ(Call(c.get(), L"AddUser", Text(L"gone"), Text(L"MD5"), Text(L"authpass1"), Text(L""),
                 Text(L""))
                .hr,
            S_OK);
  ASSERT_EQ(Call(c.get(), L"RemoveUser", Text(L"gone")).hr, S_OK);
  ASSERT_EQ(Put(c.get(), L"SnmpVersion", Long(3)).hr, S_OK);
  const std::wstring port = peer.port_text();
  struct {
    const wchar_t* member;
    std::vector<UniqueVariant> args;
    std::wstring description;  // of error 5; "": sent
  } cases[] = {
      {L"SendGetRequest",
       Args(Text(L"127.0.0.1"), Text(port), Text(L"nobody"), Long(1), ByteArray(kNull)),
       L"no SNMPv3 user \"nobody\": add it with AddUser"},
      {L"SendGetRequest",
       Args(Text(L"127.0.0.1"), Text(port), Text(L"gone"), Long(1), ByteArray(kNull)),
       L"no SNMPv3 user \"gone\": add it with AddUser"},
      {L"SendNotification",
       Args(Text(L"127.0.0.1"), Text(port), Text(L"nobody"), Text(L"1.3.6.1.6.3.1.1.5.1")),
       L"no SNMPv3 user \"nobody\": add it with AddUser"},
      {L"SendTrap",
       Args(Text(L"127.0.0.1"), Text(port), Text(L"nobody"), Text(L"1.3.6.1.4.1.99999"), Short(6),
            Text(L"1")),
       L"no SNMPv3 user \"nobody\": add it with AddUser"},
      // A response needs the request it answers.
      {L"SendGetResponse",
       Args(Text(L"127.0.0.1"), Text(port), Text(L"shaaes"), Long(9), Long(0), Long(0),
            ByteArray(kNull)),
       L"no SNMPv3 request 9 from 127.0.0.1:" + port + L" to answer"},
      // The first request to an agent: a discovery goes out instead.
      {L"SendGetRequest",
       Args(Text(L"127.0.0.1"), Text(port), Text(L"shaaes"), Long(1), ByteArray(kNull)), L""},
  };
  for (auto& k : cases) {
    SCOPED_TRACE(Narrow(k.member));
    const CallResult r = Invoke(c.get(), k.member, kCall, k.args);
    if (!k.description.empty()) {
      ExpectError(r, 5, k.description);
      EXPECT_EQ(c.Stat(), 1);
      continue;
    }
    ASSERT_EQ(r.hr, S_OK) << Narrow(r.description);
    std::vector<std::uint8_t> datagram;
    sockaddr_in from{};
    ASSERT_TRUE(peer.Receive(datagram, from, kTimeoutMs));
    ASSERT_TRUE(c.WaitReady());
    // Version 3; msgGlobalData: an id, max size, flags 04 (reportable, no authentication), USM;
    // then empty engine ID, boots and time 0, no user, no digest, no salt, and a GetRequest
    // without bindings in a scoped PDU of no context.
    const std::string hex = HexOf(datagram);
    SCOPED_TRACE(hex);
    ASSERT_GE(datagram.size(), 20u);
    EXPECT_EQ(hex.substr(0, 3) + hex.substr(6, 8), "30 02 01 03");
    EXPECT_NE(hex.find(" 04 01 04 02 01 03 04 10 30 0E 04 00 02 01 00 02 01 00 04 00 04 00 04 00 "
                       "30 "),
              std::string::npos);
    EXPECT_NE(hex.find(" 04 00 04 00 A0 "), std::string::npos);
    EXPECT_TRUE(hex.ends_with(" 02 01 00 02 01 00 30 00"));
  }
}

}  // namespace
}  // namespace kivostrel::wintest
