// The SNMPv2c members through late binding: found by name after the type library, their
// arguments taken in every form the type library's members take, their errors through EXCEPINFO,
// their messages on the wire with the answers to them, and an inform from a plain peer
// acknowledged without a Ready.
#include "udp_peer.h"

#include <ole2.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "dispatch_client.h"
#include "strict_sink.h"

namespace kivostrel::wintest {
namespace {

constexpr DWORD kTimeoutMs = 5000;
constexpr WORD kGet = DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT, kCall = DISPATCH_METHOD;
const std::vector<std::uint8_t> kNull = Hex("30 05 06 01 2B 05 00");  // 1.3 = NULL
const std::vector<std::uint8_t> kAB = Hex("41 00 42 00");             // "AB" in UTF-16

UniqueVariant Typed(VARTYPE type, const std::function<void(VARIANT&)>& fill = {}) {
  UniqueVariant v;
  V_VT(v.get()) = type;
  if (fill) fill(*v.get());
  return v;
}
UniqueVariant Missing() {
  return Typed(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = DISP_E_PARAMNOTFOUND; });
}
// A number of automation type `type`, read from `text` by automation itself.
UniqueVariant As(VARTYPE type, const wchar_t* text) {
  UniqueVariant number;
  EXPECT_EQ(VariantChangeType(number.get(), Text(text).get(), 0, type), S_OK) << text;
  return number;
}
UniqueVariant Copy(const UniqueVariant& value) {
  UniqueVariant copy;
  EXPECT_EQ(VariantCopy(copy.get(), const_cast<VARIANT*>(value.get())), S_OK);
  return copy;
}
// The words of `words` as texts (automation converts them to the parameters' types), then `more`.
template <class... More>
std::vector<UniqueVariant> Words(const std::wstring& words, More&&... more) {
  std::vector<UniqueVariant> args;
  std::wistringstream in(words);
  for (std::wstring word; in >> word;) args.push_back(Text(word));
  (args.push_back(std::forward<More>(more)), ...);
  return args;
}
template <class... A>
std::vector<UniqueVariant> Args(A&&... args) {
  return Words(L"", std::forward<A>(args)...);
}
std::string ResultOf(const VARIANT& value) {
  if (V_VT(&value) == (VT_ARRAY | VT_UI1)) return HexOf(BytesOf(value));
  const std::wstring text = TextOf(value);
  return std::string(text.begin(), text.end());
}

// What each error number says, and where from.
void ExpectError(const CallResult& r, long number, const std::wstring& member) {
  EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.scode, static_cast<HRESULT>(0x800A0000 + number));
  EXPECT_EQ(r.source, number == 20001 ? L"ORVAN:" + member + L":m_Ready=0" : L"kivOstrelCtrl");
  const std::wstring description = number == 5
                                       ? member + L" needs SNMPv2c: set SnmpVersion to 1 first"
                                   : number == 6   ? L"Overflow"
                                   : number == 13  ? L"Type mismatch"
                                   : number == 380 ? L"Invalid property value"
                                                   : L"Not Ready";
  EXPECT_EQ(r.description, description);
}

// A control created by its ProgID with a strict sink, which keeps the Responses.
struct Control {
  ComPtr<IDispatch> control = CreateControl();
  StrictSink sink;
  std::vector<ResponseArgs> responses;
  long error_index_in_handler = -1;

  Control() {
    EXPECT_EQ(sink.Advise(control.get()), S_OK);
    sink.on_ready = [] {};
    sink.on_response = [this](ResponseArgs& args) {
      args.params = nullptr;
      error_index_in_handler = Long(L"ErrorIndex");
      responses.push_back(args);
    };
  }
  ~Control() {
    sink.Unadvise();
    control.reset();
  }
  IDispatch* get() { return control.get(); }
  long Long(const wchar_t* property) { return LongOf(*Get(control.get(), property).value.get()); }
  bool WaitReady() {
    return PumpUntil([&] { return Long(L"Stat") == 1; }, kTimeoutMs);
  }
  sockaddr_in Address() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(Long(L"LocalPort")));
    return address;
  }
  // `member` to 127.0.0.1 `port`, community "c", with the words of `middle`, then `last`.
  CallResult Send(const std::wstring& port, const wchar_t* member, const std::wstring& middle,
                  const UniqueVariant& last) {
    std::vector<UniqueVariant> args = Words(L"127.0.0.1 " + port + L" c " + middle, Copy(last));
    return Invoke(control.get(), member, kCall, args);
  }
};

TEST(Snmpv2Members, FoundByNameAfterTheTypeLibraryWithTheirErrors) {
  Control c;  // never pumped: Stat stays 0
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(c.get()->GetTypeInfo(0, 0, info.Receive()), S_OK);
  const wchar_t* names[] = {L"LocalPort",         L"LocalAddress",       L"ErrorIndex",
                            L"SnmpVersion",       L"SendGetBulkRequest", L"SendNotification",
                            L"SendInformRequest", L"SNMPCounter64Value", L"JoinBindings"};
  for (DISPID expected = 0x70000001; const wchar_t* name : names) {
    LPOLESTR asked[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    EXPECT_EQ(c.get()->GetIDsOfNames(IID_NULL, asked, 1, 0, &id), S_OK) << name;
    EXPECT_EQ(id, expected++);
    EXPECT_EQ(info->GetIDsOfNames(asked, 1, &id), DISP_E_UNKNOWNNAME);
  }
  // Parameters by name give their positions; a name the member lacks is unknown.
  LPOLESTR inform[] = {const_cast<LPOLESTR>(L"sendinformrequest"),
                       const_cast<LPOLESTR>(L"OBJECTVAL"), const_cast<LPOLESTR>(L"RequestId"),
                       const_cast<LPOLESTR>(L"Binding1")};
  DISPID ids[4] = {};
  EXPECT_EQ(c.get()->GetIDsOfNames(IID_NULL, inform, 4, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(std::vector<DISPID>(ids, ids + 4),
            (std::vector<DISPID>{0x70000007, 5, 3, DISPID_UNKNOWN}));
  std::vector<UniqueVariant> named = Args(Long(5), Text(L"1.3"));
  EXPECT_EQ(ResultOf(*Invoke(c.get(), L"SNMPCounter64Value", kCall, named, {L"Value", L"ObjectID"})
                          .value.get()),
            "30 06 06 01 2B 46 01 05");

  UniqueVariant decimal = As(VT_DECIMAL, L"18446744073709551615");  // as a script holds one
  const std::string max = "30 0E 06 01 2B 46 09 00 FF FF FF FF FF FF FF FF";
  struct {
    long version;  // put first; -1: left as it is
    const wchar_t* member;
    WORD flags;
    std::vector<UniqueVariant> args;
    long error;  // an automation error number, or a failed HRESULT; 0: none
    std::string result;
  } cases[] = {
      {-1, L"errorindex", kGet, {}, 0, "0"},
      {-1, L"ErrorIndex", kPut, Args(Long(1)), DISP_E_MEMBERNOTFOUND, ""},
      {-1, L"SNMPVERSION", kPut, Args(Text(L" 1 ")), 0, ""},
      {-1, L"SnmpVersion", kGet, {}, 0, "1"},
      {-1, L"SnmpVersion", kPut, Args(As(VT_R8, L"0.4")), 0, ""},  // rounded
      {-1, L"SnmpVersion", kGet, {}, 0, "0"},
      {-1, L"SnmpVersion", kPut, Args(Long(2)), 380, ""},
      {-1, L"SnmpVersion", kPut, Args(Short(-1)), 380, ""},
      {-1, L"SnmpVersion", kPut, Args(Text(L"v2c")), 13, ""},
      {-1, L"SnmpVersion", kPut, Args(Text(L"3000000000")), 6, ""},
      {-1, L"SnmpVersion", kPut, Args(Typed(VT_NULL)), 13, ""},
      {-1, L"SnmpVersion", kPut, Args(ByteArray(kNull)), 13, ""},
      {-1, L"SnmpVersion", kGet, {}, 0, "0"},
      // The sends: the version first, then the link; conversions before both.
      {0, L"SendGetBulkRequest", kCall, Words(L"h 9 c 1 0 10", ByteArray(kNull)), 5, ""},
      {0, L"SendNotification", kCall, Words(L"h 9 c 1.3"), 5, ""},
      {0, L"SendInformRequest", kCall, Words(L"h 9 c 1 1.3", ByteArray(kNull)), 5, ""},
      {1, L"SendGetBulkRequest", kCall, Words(L"h 9 c 1 0 10", ByteArray(kNull)), 20001, ""},
      {1, L"SendNotification", kCall, Words(L"h 9 c 1.3"), 20001, ""},
      {1, L"SendInformRequest", kCall, Words(L"h 9 c 1 1.3", ByteArray(kNull)), 20001, ""},
      {0, L"SendGetBulkRequest", kCall, Words(L"h 9 c x 0 10", ByteArray(kNull)), 13, ""},
      {0, L"SendNotification", kCall, Words(L"h 9 c 1.3", Text(L"x")), 13, ""},
      {1, L"SendInformRequest", kCall, Words(L"h 9 c 3000000000 1.3"), 6, ""},
      {1, L"SendGetBulkRequest", kCall, Words(L"h 9 c 1 0 10", Long(42)), 13, ""},
      {1, L"SendNotification", kCall, Words(L"h 9 c", Missing()), DISP_E_PARAMNOTOPTIONAL, ""},
      {1, L"SNMPCounter64Value", kCall, Words(L"1.3 1 2"), DISP_E_BADPARAMCOUNT, ""},
      // The exceptions an SNMPv2c agent answers with; none under SNMPv1.
      {0, L"SNMPNoSuchObjectValue", kCall, Words(L"1.3"), 5, ""},
      {1, L"SNMPNoSuchObjectValue", kCall, Words(L"1.3"), 0, "30 05 06 01 2B 80 00"},
      {1, L"snmpnosuchinstancevalue", kCall, Words(L"1.3"), 0, "30 05 06 01 2B 81 00"},
      {1, L"SNMPEndOfMibViewValue", kCall, Words(L"1.3"), 0, "30 05 06 01 2B 82 00"},
      {1, L"SNMPEndOfMibViewValue", kCall, Words(L"1.x"), 13, ""},
      {1, L"SendNotification", kGet, {}, DISP_E_MEMBERNOTFOUND, ""},
      // Counter64 values of every kind, exact.
      {-1, L"snmpcounter64value", kCall, Words(L"1.3 18446744073709551615"), 0, max},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", Short(7)), 0, "30 06 06 01 2B 46 01 07"},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", As(VT_R8, L"9223372036854775808")), 0,
       "30 0E 06 01 2B 46 09 00 80 00 00 00 00 00 00 00"},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", As(VT_DECIMAL, L"9007199254740993")), 0,
       "30 0C 06 01 2B 46 07 20 00 00 00 00 00 01"},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", RefTo(decimal.get())), 0, max},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", As(VT_DECIMAL, L"15.00")), 0,
       "30 06 06 01 2B 46 01 0F"},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", As(VT_I8, L"4611686018427387904")), 0,
       "30 0D 06 01 2B 46 08 40 00 00 00 00 00 00 00"},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", As(VT_UI8, L"18446744073709551615")), 0,
       max},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", As(VT_CY, L"5")), 0,
       "30 06 06 01 2B 46 01 05"},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", Long(-1)), 6, ""},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", As(VT_DECIMAL, L"-1")), 6, ""},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", As(VT_R8, L"2.5")), 6, ""},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", As(VT_DECIMAL, L"15.05")), 6, ""},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", As(VT_R8, L"18446744073709551616")), 6, ""},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", As(VT_DECIMAL, L"18446744073709551616")), 6,
       ""},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3 18446744073709551616"), 6, ""},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3 many"), 13, ""},
      {-1, L"SNMPCounter64Value", kCall,
       Words(L"1.3", Typed(VT_R8, [](VARIANT& v) { V_R8(&v) = std::nan(""); })), 13, ""},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", Typed(VT_NULL)), 13, ""},
      {-1, L"SNMPCounter64Value", kCall, Words(L"1.3", ByteArray(kNull)), 13, ""},
      // Any number of bindings, none included.
      {-1, L"JOINBINDINGS", kCall, {}, 0, ""},
      {-1, L"JoinBindings", kCall, Args(ByteArray(Hex("01")), ByteArray(Hex("02 03"))), 0,
       "01 02 03"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    auto& k = cases[i];
    SCOPED_TRACE(::testing::Message() << "case " << i);
    if (k.version >= 0) {
      ASSERT_EQ(Put(c.get(), L"SnmpVersion", Long(k.version)).hr, S_OK);
    }
    const CallResult r = Invoke(c.get(), k.member, k.flags, k.args);
    if (k.error < 0) {
      EXPECT_EQ(r.hr, k.error);
    } else if (k.error > 0) {
      ExpectError(r, k.error, k.member);
    } else {
      ASSERT_EQ(r.hr, S_OK) << r.error_number();
      EXPECT_EQ(k.flags == kPut ? "" : ResultOf(*r.value.get()), k.result);
    }
  }
  EXPECT_EQ(c.Long(L"Stat"), 0);
}

// How a host passes a value: as it is, as a typed reference to an array (VB's Byte() variable),
// in a variable (VT_BYREF | VT_VARIANT, as script engines pass one), or in a variable that holds
// a typed reference.
enum class Passed { kByValue, kTypedReference, kInVariable, kInVariableByReference };

// A binding list in one form, and which members take it.
struct Form {
  const char* what;
  UniqueVariant value;
  Passed passed;
  std::vector<std::uint8_t> bytes;  // what it holds as bytes
  bool list_taken;     // by SendGetRequest's Objectvalue, Byte() by reference in the type library
  bool variant_taken;  // by SendTrap's optional Objectval, a Variant by reference there
  bool joined;         // by JoinBindings
};

const Form kForms[] = {
    {"by value", ByteArray(kNull), Passed::kByValue, kNull, true, true, true},
    {"typed reference", ByteArray(kNull), Passed::kTypedReference, kNull, true, true, true},
    {"in a variable", ByteArray(kNull), Passed::kInVariable, kNull, true, true, true},
    {"in a variable by reference", ByteArray(kNull), Passed::kInVariableByReference, kNull, true,
     true, true},
    {"empty array", ByteArray({}), Passed::kByValue, {}, true, true, true},
    {"a String", Text(L"AB"), Passed::kByValue, kAB, true, false, false},
    {"a String in a variable", Text(L"AB"), Passed::kInVariable, kAB, true, false, false},
    {"Empty", UniqueVariant(), Passed::kByValue, {}, false, true, false},
    {"Null", Typed(VT_NULL), Passed::kByValue, {}, false, false, false},
    {"a Long", Long(42), Passed::kByValue, {}, false, false, false},
};

// The form's argument; what it refers to lives in the caller's `variable` and `slot`.
UniqueVariant Argument(const Form& form, UniqueVariant& variable, SAFEARRAY*& slot) {
  switch (form.passed) {
    case Passed::kByValue:
      return Copy(form.value);
    case Passed::kTypedReference:
      slot = NewByteArray(form.bytes);
      return RefToArray(&slot);
    case Passed::kInVariable:
      variable = Copy(form.value);
      return RefTo(variable.get());
    case Passed::kInVariableByReference:
      slot = NewByteArray(form.bytes);
      V_VT(variable.get()) = VT_BYREF | VT_ARRAY | VT_UI1;
      V_ARRAYREF(variable.get()) = &slot;
      return RefTo(variable.get());
  }
  return UniqueVariant();
}

// `member` to the peer with `middle` and the form last: the datagram the peer received, or
// nullopt when the call was refused (with 13, or DISP_E_TYPEMISMATCH from the type library).
std::optional<std::vector<std::uint8_t>> SentWith(Control& c, UdpPeer& peer, const Form& form,
                                                  const wchar_t* member,
                                                  const std::wstring& middle) {
  UniqueVariant variable;
  SAFEARRAY* slot = nullptr;
  const CallResult r = c.Send(peer.port_text(), member, middle, Argument(form, variable, slot));
  if (slot != nullptr) SafeArrayDestroy(slot);
  if (!r.ok()) {
    EXPECT_TRUE(r.error_number() == 13 || r.hr == DISP_E_TYPEMISMATCH) << std::hex << r.hr;
    return std::nullopt;
  }
  std::vector<std::uint8_t> datagram;
  sockaddr_in from{};
  EXPECT_TRUE(peer.Receive(datagram, from, kTimeoutMs));
  EXPECT_TRUE(c.WaitReady());
  return datagram;
}

bool EndsWith(const std::vector<std::uint8_t>& data, const std::vector<std::uint8_t>& tail) {
  return data.size() >= tail.size() && std::equal(tail.rbegin(), tail.rend(), data.rbegin());
}

TEST(Snmpv2Members, BindingListsInEveryFormTheTypeLibraryTakes) {
  Control c;
  UdpPeer peer;
  ASSERT_TRUE(peer.ok());
  ASSERT_EQ(Put(c.get(), L"SnmpVersion", Long(1)).hr, S_OK);
  ASSERT_TRUE(c.WaitReady());
  for (const Form& form : kForms) {
    SCOPED_TRACE(form.what);
    // The GetRequest and the GetBulkRequest with no repetitions differ in their PDU tag only.
    const auto got = SentWith(c, peer, form, L"SendGetRequest", L"3");
    auto bulked = SentWith(c, peer, form, L"SendGetBulkRequest", L"3 0 0");
    EXPECT_EQ(got.has_value(), form.list_taken);
    ASSERT_EQ(bulked.has_value(), form.list_taken);
    if (bulked) {
      EXPECT_TRUE(EndsWith(*bulked, form.bytes)) << HexOf(*bulked);
      std::replace(bulked->begin(), bulked->end(), std::uint8_t{0xA5}, std::uint8_t{0xA0});
      EXPECT_EQ(HexOf(*bulked), HexOf(*got));
    }
    EXPECT_EQ(SentWith(c, peer, form, L"SendTrap", L"1.3 6 1").has_value(), form.variant_taken);
    for (const auto& [member, middle] :
         {std::pair{L"SendNotification", L"1.3"}, std::pair{L"SendInformRequest", L"4 1.3"}}) {
      const auto sent = SentWith(c, peer, form, member, middle);
      ASSERT_EQ(sent.has_value(), form.variant_taken);
      if (sent) {
        EXPECT_TRUE(EndsWith(*sent, form.bytes)) << HexOf(*sent);
      }
    }
    UniqueVariant variable;
    SAFEARRAY* slot = nullptr;
    const CallResult joined =
        Call(c.get(), L"JoinBindings", ByteArray(kNull), Argument(form, variable, slot));
    if (slot != nullptr) SafeArrayDestroy(slot);
    if (form.joined) {
      std::vector<std::uint8_t> both = kNull;
      both.insert(both.end(), form.bytes.begin(), form.bytes.end());
      EXPECT_EQ(ResultOf(*joined.value.get()), HexOf(both));
    } else {
      ExpectError(joined, 13, L"JoinBindings");
    }
  }
}

TEST(Snmpv2Members, OnTheWireWithTheirAnswersAndAnInformFromAPeer) {
  Control c;
  UdpPeer peer;
  ASSERT_TRUE(peer.ok());
  ASSERT_EQ(Put(c.get(), L"SnmpVersion", Long(1)).hr, S_OK);
  ASSERT_EQ(Put(c.get(), L"TickCount", Long(5)).hr, S_OK);
  ASSERT_TRUE(c.WaitReady());
  const struct {
    const wchar_t* member;
    std::wstring middle;
    UniqueVariant bindings;
    const char* hex;
  } sends[] = {
      {L"SendGetBulkRequest", L"7 0 10", ByteArray(kNull),
       "30 1A 02 01 01 04 01 63 A5 12 02 01 07 02 01 00 02 01 0A 30 07 30 05 06 01 2B 05 00"},
      // The control's first notification: request id 1.
      {L"SendNotification", L"1.3.6.1.6.3.1.1.5.1", Missing(),
       "30 3B 02 01 01 04 01 63 A7 33 02 01 01 02 01 00 02 01 00 30 28 "
       "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
       "30 17 06 0A 2B 06 01 06 03 01 01 04 01 00 06 09 2B 06 01 06 03 01 01 05 01"},
      {L"SendInformRequest", L"9 1.3", ByteArray(kNull),
       "30 3A 02 01 01 04 01 63 A6 32 02 01 09 02 01 00 02 01 00 30 27 "
       "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
       "30 0F 06 0A 2B 06 01 06 03 01 01 04 01 00 06 01 2B 30 05 06 01 2B 05 00"},
  };
  sockaddr_in from{};
  std::vector<std::uint8_t> datagram;
  for (const auto& k : sends) {
    ASSERT_EQ(c.Send(peer.port_text(), k.member, k.middle, k.bindings).hr, S_OK);
    ASSERT_TRUE(peer.Receive(datagram, from, kTimeoutMs));
    EXPECT_EQ(HexOf(datagram), k.hex);
    ASSERT_TRUE(c.WaitReady());
  }
  // The answers: each a Response, and ErrorIndex the message's while it is raised and after.
  const struct {
    const char* hex;
    long request_id, error_status, error_index;
  } answers[] = {
      {"30 3A 02 01 01 04 01 63 A2 32 02 01 09 02 01 00 02 01 00 30 27 "  // the inform's
       "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
       "30 0F 06 0A 2B 06 01 06 03 01 01 04 01 00 06 01 2B 30 05 06 01 2B 05 00",
       9, 0, 0},
      {"30 1A 02 01 01 04 01 63 A2 12 02 01 07 02 01 05 02 01 02 30 07 30 05 06 01 2B 05 00", 7, 5,
       2},
      // Counter64 values 0, 2^53 + 1 and 2^64 - 1.
      {"30 39 02 01 01 04 01 63 A2 31 02 01 03 02 01 00 02 01 00 30 26 30 06 06 01 2B 46 01 00 "
       "30 0C 06 01 2B 46 07 20 00 00 00 00 00 01 "
       "30 0E 06 01 2B 46 09 00 FF FF FF FF FF FF FF FF",
       3, 0, 0},
  };
  for (const auto& a : answers) {
    const std::size_t before = c.responses.size();
    ASSERT_TRUE(peer.SendTo(Hex(a.hex), c.Address()));
    ASSERT_TRUE(PumpUntil([&] { return c.responses.size() > before; }, kTimeoutMs));
    const ResponseArgs& r = c.responses.back();
    EXPECT_EQ(r.command, L"GetResponse");
    EXPECT_EQ(r.version, 1);
    EXPECT_EQ(r.request_id, a.request_id);
    EXPECT_EQ(r.error_status, a.error_status);
    EXPECT_EQ(c.error_index_in_handler, a.error_index);
    EXPECT_EQ(c.Long(L"ErrorIndex"), a.error_index);
  }
  // What a late-bound host reads from a Counter64: a Decimal, exact as text, rounded as a Double
  // past 2^53, exact in Decimal arithmetic.
  const struct {
    const wchar_t* text;
    double as_double;
  } counters[] = {{L"0", 0.0},
                  {L"9007199254740993", 9007199254740992.0},
                  {L"18446744073709551615", 18446744073709551616.0}};
  std::vector<DECIMAL> decimals;
  for (long i = 0; i < 3; ++i) {
    IDispatch* objects = c.responses.back().objects.get();
    const ComPtr<IDispatch> row = ObjectOf(*Call(objects, L"Item", Long(i + 1)).value.get());
    const CallResult value = Get(row.get(), L"OIDValue");
    ASSERT_EQ(V_VT(value.value.get()), VT_DECIMAL);
    decimals.push_back(V_DECIMAL(value.value.get()));
    EXPECT_EQ(TextOf(*value.value.get()), counters[i].text);
    UniqueVariant number;
    ASSERT_EQ(VariantChangeType(number.get(), const_cast<VARIANT*>(value.value.get()), 0, VT_R8),
              S_OK);
    EXPECT_EQ(V_R8(number.get()), counters[i].as_double);
  }
  UniqueVariant difference = Typed(VT_DECIMAL);
  ASSERT_EQ(VarDecSub(&decimals[2], &decimals[1], &V_DECIMAL(difference.get())), S_OK);
  V_VT(difference.get()) = VT_DECIMAL;
  EXPECT_EQ(TextOf(*difference.get()), L"18437736874454810622");
  EXPECT_EQ(VarDecCmp(&decimals[1], &decimals[2]), VARCMP_LT);

  // An inform from the peer, as snmpinform -v 2c sends one: acknowledged by the control with the
  // same message as a GetResponse, then reported; no Ready, and Stat stays 1.
  const int readies = c.sink.ready_count;
  const std::string inform =
      "30 3C 02 01 01 04 01 63 A6 34 02 02 12 34 02 01 00 02 01 00 30 28 "
      "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
      "30 17 06 0A 2B 06 01 06 03 01 01 04 01 00 06 09 2B 06 01 06 03 01 01 05 01";
  ASSERT_TRUE(peer.SendTo(Hex(inform), c.Address()));
  ASSERT_TRUE(peer.Receive(datagram, from, kTimeoutMs));
  std::string acknowledgement = inform;
  acknowledgement.replace(acknowledgement.find("A6"), 2, "A2");
  EXPECT_EQ(HexOf(datagram), acknowledgement);
  ASSERT_TRUE(PumpUntil([&] { return c.responses.size() == 4; }, kTimeoutMs));
  PumpFor(200);  // a Ready, if one came, would have been raised by now
  EXPECT_EQ(c.sink.ready_count, readies);
  EXPECT_EQ(c.Long(L"Stat"), 1);
  EXPECT_EQ(c.responses.back().command, L"InformRequest");
  EXPECT_EQ(c.responses.back().request_id, 0x1234);
}

}  // namespace
}  // namespace kivostrel::wintest
