// The SNMPv2c members through late binding: found by name after the type library, their
// arguments taken in every form the type library's members take, their errors through EXCEPINFO,
// their messages on the wire, and an inform from a plain peer acknowledged without a Ready.
#include "udp_peer.h"

#include <ole2.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dispatch_client.h"
#include "strict_sink.h"

namespace kivostrel::wintest {
namespace {

constexpr DWORD kTimeoutMs = 5000;
const std::vector<std::uint8_t> kNull = Hex("30 05 06 01 2B 05 00");  // 1.3 = NULL

UniqueVariant Typed(VARTYPE type, const std::function<void(VARIANT&)>& fill = {}) {
  UniqueVariant v;
  V_VT(v.get()) = type;
  if (fill) fill(*v.get());
  return v;
}
UniqueVariant Double(double d) {
  return Typed(VT_R8, [d](VARIANT& v) { V_R8(&v) = d; });
}
UniqueVariant Int64(std::int64_t n) {
  return Typed(VT_I8, [n](VARIANT& v) { V_I8(&v) = n; });
}
UniqueVariant UInt64(std::uint64_t n) {
  return Typed(VT_UI8, [n](VARIANT& v) { V_UI8(&v) = n; });
}
UniqueVariant Currency(std::int64_t ten_thousandths) {
  return Typed(VT_CY, [=](VARIANT& v) { V_CY(&v).int64 = ten_thousandths; });
}
UniqueVariant Decimal(std::uint64_t low, BYTE scale = 0, bool negative = false, ULONG high = 0) {
  UniqueVariant v;
  DECIMAL& d = V_DECIMAL(v.get());
  d.Lo64 = low;
  d.Hi32 = high;
  d.scale = scale;
  d.sign = negative ? DECIMAL_NEG : 0;
  V_VT(v.get()) = VT_DECIMAL;
  return v;
}
UniqueVariant Missing() {
  return Typed(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = DISP_E_PARAMNOTFOUND; });
}

// A control created by its ProgID with a strict sink; ready (after pumping) on request.
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
      error_index_in_handler = LongOf(*Get(control.get(), L"ErrorIndex").value.get());
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
};

void ExpectError(const CallResult& r, long number, const std::wstring& description,
                 const std::wstring& source = L"kivOstrelCtrl") {
  EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.scode, static_cast<HRESULT>(0x800A0000 + number));
  EXPECT_EQ(r.error_number(), number);
  EXPECT_EQ(r.description, description);
  EXPECT_EQ(r.source, source);
}

TEST(Snmpv2Members, FoundByNameAfterTheTypeLibraryWithTheirParameters) {
  Control c;
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(c.get()->GetTypeInfo(0, 0, info.Receive()), S_OK);
  const struct {
    const wchar_t* name;
    DISPID id;
  } members[] = {
      {L"localport", 0x70000001},          {L"LOCALADDRESS", 0x70000002},
      {L"errorindex", 0x70000003},         {L"SNMPVERSION", 0x70000004},
      {L"sendgetbulkrequest", 0x70000005}, {L"SendNotification", 0x70000006},
      {L"sendInformRequest", 0x70000007},  {L"snmpcounter64value", 0x70000008},
      {L"JOINBINDINGS", 0x70000009},
  };
  for (const auto& m : members) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(m.name)));
    LPOLESTR names[] = {const_cast<LPOLESTR>(m.name)};
    DISPID id = 0;
    EXPECT_EQ(c.get()->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, m.id);
    MEMBERID in_library = 0;
    EXPECT_EQ(info->GetIDsOfNames(names, 1, &in_library), DISP_E_UNKNOWNNAME);
  }
  // Parameters by name give their positions; a name a member lacks is unknown.
  const struct {
    std::vector<const wchar_t*> names;
    HRESULT hr;
    std::vector<DISPID> ids;
  } named[] = {
      {{L"SendInformRequest", L"objectval", L"RequestId"}, S_OK, {0x70000007, 5, 3}},
      {{L"SendGetBulkRequest", L"MAXREPETITIONS"}, S_OK, {0x70000005, 5}},
      {{L"SnmpVersion", L"vNewValue"}, DISP_E_UNKNOWNNAME, {0x70000004, DISPID_UNKNOWN}},
      {{L"JoinBindings", L"Binding1"}, DISP_E_UNKNOWNNAME, {0x70000009, DISPID_UNKNOWN}},
  };
  for (const auto& n : named) {
    std::vector<DISPID> ids(n.names.size(), 0);
    std::vector<LPOLESTR> names;
    for (const wchar_t* name : n.names) names.push_back(const_cast<LPOLESTR>(name));
    EXPECT_EQ(c.get()->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), 0,
                                     ids.data()),
              n.hr);
    EXPECT_EQ(ids, n.ids);
  }
}

TEST(Snmpv2Members, PropertiesTakeAndRefuseAsTheEngineDoes) {
  Control c;
  EXPECT_EQ(c.Long(L"ErrorIndex"), 0);
  EXPECT_EQ(Put(c.get(), L"ErrorIndex", Long(1)).hr, DISP_E_MEMBERNOTFOUND);
  const struct {
    const char* what;
    UniqueVariant value;
    long error;  // 0: taken
    const wchar_t* description;
    long version;  // afterwards
  } puts[] = {
      {"one", Long(1), 0, L"", 1},
      {"a text", Text(L" 0 "), 0, L"", 0},
      {"a fraction, rounded", Double(1.4), 0, L"", 1},
      {"two", Long(2), 380, L"Invalid property value", 1},
      {"minus one", Short(-1), 380, L"Invalid property value", 1},
      {"not a number", Text(L"v2c"), 13, L"Type mismatch", 1},
      {"past a Long", Text(L"3000000000"), 6, L"Overflow", 1},
      {"Null", Typed(VT_NULL), 13, L"Type mismatch", 1},
      {"an array", ByteArray(kNull), 13, L"Type mismatch", 1},
  };
  for (const auto& p : puts) {
    SCOPED_TRACE(p.what);
    UniqueVariant value;
    ASSERT_EQ(VariantCopy(value.get(), const_cast<VARIANT*>(p.value.get())), S_OK);
    const CallResult put = Put(c.get(), L"SnmpVersion", std::move(value));
    if (p.error == 0) {
      EXPECT_EQ(put.hr, S_OK);
    } else {
      ExpectError(put, p.error, p.description);
    }
    const CallResult get = Get(c.get(), L"SnmpVersion");
    EXPECT_EQ(V_VT(get.value.get()), VT_I4);
    EXPECT_EQ(LongOf(*get.value.get()), p.version);
  }
}

TEST(Snmpv2Members, SendsRefuseThroughExcepInfo) {
  const auto bulk = [](UniqueVariant request_id, UniqueVariant bindings) {
    return [r = std::make_shared<UniqueVariant>(std::move(request_id)),
            b = std::make_shared<UniqueVariant>(std::move(bindings))](IDispatch* c) {
      UniqueVariant id, list;
      VariantCopy(id.get(), r->get());
      VariantCopy(list.get(), b->get());
      return Call(c, L"SendGetBulkRequest", Text(L"127.0.0.1"), Text(L"9"), Text(L"c"),
                  std::move(id), Long(0), Long(10), std::move(list));
    };
  };
  const auto notification = [](IDispatch* c) {
    return Call(c, L"SendNotification", Text(L"127.0.0.1"), Text(L"9"), Text(L"c"), Text(L"1.3"));
  };
  const auto inform = [](IDispatch* c) {
    return Call(c, L"SendInformRequest", Text(L"127.0.0.1"), Text(L"9"), Text(L"c"), Long(1),
                Text(L"1.3"), ByteArray(kNull));
  };
  const struct {
    const char* what;
    long version;
    std::function<CallResult(IDispatch*)> call;
    long error;
    std::wstring description, source;
  } cases[] = {
      {"getbulk under version 0", 0, bulk(Long(1), ByteArray(kNull)), 5,
       L"SendGetBulkRequest needs SNMPv2c: set SnmpVersion to 1 first", L"kivOstrelCtrl"},
      {"notification under version 0", 0, notification, 5,
       L"SendNotification needs SNMPv2c: set SnmpVersion to 1 first", L"kivOstrelCtrl"},
      {"inform under version 0", 0, inform, 5,
       L"SendInformRequest needs SNMPv2c: set SnmpVersion to 1 first", L"kivOstrelCtrl"},
      {"getbulk before Ready", 1, bulk(Long(1), ByteArray(kNull)), 20001, L"Not Ready",
       L"ORVAN:SendGetBulkRequest:m_Ready=0"},
      {"notification before Ready", 1, notification, 20001, L"Not Ready",
       L"ORVAN:SendNotification:m_Ready=0"},
      {"inform before Ready", 1, inform, 20001, L"Not Ready", L"ORVAN:SendInformRequest:m_Ready=0"},
      {"a request id that is no number, before the version", 0, bulk(Text(L"x"), ByteArray(kNull)),
       13, L"Type mismatch", L"kivOstrelCtrl"},
      {"a request id past a Long", 1, bulk(Text(L"3000000000"), ByteArray(kNull)), 6, L"Overflow",
       L"kivOstrelCtrl"},
      {"a binding list that is no array", 1, bulk(Long(1), Long(42)), 13, L"Type mismatch",
       L"kivOstrelCtrl"},
      {"a notification's text for bindings, before the version", 0,
       [](IDispatch* c) {
         return Call(c, L"SendNotification", Text(L"h"), Text(L"9"), Text(L"c"), Text(L"1.3"),
                     Text(L"x"));
       },
       13, L"Type mismatch", L"kivOstrelCtrl"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    Control c;  // not ready: its message loop has not run
    ASSERT_EQ(Put(c.get(), L"SnmpVersion", Long(k.version)).hr, S_OK);
    ExpectError(k.call(c.get()), k.error, k.description, k.source);
    EXPECT_EQ(c.Long(L"Stat"), 0);
  }
  // Arguments that do not fit the parameters, as the type library's Invoke says it.
  Control c;
  EXPECT_EQ(Call(c.get(), L"SendNotification", Text(L"h"), Text(L"9"), Text(L"c")).hr,
            DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(Call(c.get(), L"SendNotification", Text(L"h"), Text(L"9"), Text(L"c"), Missing()).hr,
            DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(Call(c.get(), L"SNMPCounter64Value", Text(L"1.3"), Long(1), Long(2)).hr,
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Get(c.get(), L"SendNotification").hr, DISP_E_MEMBERNOTFOUND);
  std::vector<UniqueVariant> one;
  one.push_back(ByteArray(kNull));
  EXPECT_EQ(Invoke(c.get(), L"JoinBindings", DISPATCH_METHOD, one, {L"Binding1"}).hr,
            DISP_E_UNKNOWNNAME);
}

TEST(Snmpv2Members, Counter64ValuesInEveryNumericFormAreExact) {
  Control c;
  const double two_to_64 = 18446744073709551616.0;
  const struct {
    const char* what;
    UniqueVariant value;
    const wchar_t* as_text;  // the same binding as from this text; null: an error
    long error;
  } cases[] = {
      {"a Long", Long(5), L"5", 0},
      {"an Integer", Short(7), L"7", 0},
      {"a whole Double past 2^53", Double(9007199254740992.0 * 1024), L"9223372036854775808", 0},
      {"a Decimal 2^53 + 1", Decimal(9007199254740993ULL), L"9007199254740993", 0},
      {"a Decimal 2^64 - 1", Decimal(~0ULL), L"18446744073709551615", 0},
      {"a Decimal with scale, whole", Decimal(1500, 2), L"15", 0},
      {"a 64-bit integer", Int64(std::int64_t{1} << 62), L"4611686018427387904", 0},
      {"an unsigned 64-bit integer", UInt64(~0ULL), L"18446744073709551615", 0},
      {"Currency, whole", Currency(50000), L"5", 0},
      {"zero", Decimal(0), L"0", 0},
      {"negative", Long(-1), nullptr, 6},
      {"a negative Decimal", Decimal(1, 0, true), nullptr, 6},
      {"a fraction", Double(2.5), nullptr, 6},
      {"a Decimal with a fraction", Decimal(1505, 2), nullptr, 6},
      {"2^64 as a Double", Double(two_to_64), nullptr, 6},
      {"2^64 as a Decimal", Decimal(0, 0, false, 1), nullptr, 6},
      {"2^64 as text", Text(L"18446744073709551616"), nullptr, 6},
      {"a text that is no number", Text(L"many"), nullptr, 13},
      {"NaN", Double(std::numeric_limits<double>::quiet_NaN()), nullptr, 13},
      {"Null", Typed(VT_NULL), nullptr, 13},
      {"a byte array", ByteArray(kNull), nullptr, 13},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    UniqueVariant value;
    ASSERT_EQ(VariantCopy(value.get(), const_cast<VARIANT*>(k.value.get())), S_OK);
    const CallResult r = Call(c.get(), L"SNMPCounter64Value", Text(L"1.3"), std::move(value));
    if (k.as_text == nullptr) {
      ExpectError(r, k.error, k.error == 6 ? L"Overflow" : L"Type mismatch");
      continue;
    }
    ASSERT_EQ(r.hr, S_OK) << r.error_number();
    EXPECT_EQ(V_VT(r.value.get()), VT_ARRAY | VT_UI1);
    EXPECT_EQ(
        HexOf(BytesOf(*r.value.get())),
        HexOf(BytesOf(
            *Call(c.get(), L"SNMPCounter64Value", Text(L"1.3"), Text(k.as_text)).value.get())));
  }
  // In a variable, as a script passes a Decimal it read from OIDValue; on the wire.
  UniqueVariant variable = Decimal(~0ULL);
  const CallResult r = Call(c.get(), L"SNMPCounter64Value", Text(L"1.3"), RefTo(variable.get()));
  EXPECT_EQ(HexOf(BytesOf(*r.value.get())), "30 0E 06 01 2B 46 09 00 FF FF FF FF FF FF FF FF");
}

// A binding list in one form; `make` may keep what the form refers to in `variable` or `slot`.
struct Form {
  const char* what;
  std::function<UniqueVariant(UniqueVariant& variable, SAFEARRAY*& slot)> make;
  std::vector<std::uint8_t> bytes;  // what it holds as bytes
  bool list_taken;     // by SendGetRequest's Objectvalue, Byte() by reference in the type library
  bool variant_taken;  // by SendTrap's optional Objectval, a Variant by reference there
  bool joined;         // by JoinBindings
};

const std::vector<std::uint8_t> kAB = Hex("41 00 42 00");  // "AB" in UTF-16

const Form kForms[] = {
    {"by value", [](UniqueVariant&, SAFEARRAY*&) { return ByteArray(kNull); }, kNull, true, true,
     true},
    {"typed reference",
     [](UniqueVariant&, SAFEARRAY*& slot) {
       slot = NewByteArray(kNull);
       return RefToArray(&slot);
     },
     kNull, true, true, true},
    {"in a variable",
     [](UniqueVariant& variable, SAFEARRAY*&) {
       variable = ByteArray(kNull);
       return RefTo(variable.get());
     },
     kNull, true, true, true},
    {"in a variable holding a reference",
     [](UniqueVariant& variable, SAFEARRAY*& slot) {
       slot = NewByteArray(kNull);
       V_VT(variable.get()) = VT_BYREF | VT_ARRAY | VT_UI1;
       V_ARRAYREF(variable.get()) = &slot;
       return RefTo(variable.get());
     },
     kNull, true, true, true},
    {"empty array",
     [](UniqueVariant&, SAFEARRAY*&) { return ByteArray({}); },
     {},
     true,
     true,
     true},
    {"a String", [](UniqueVariant&, SAFEARRAY*&) { return Text(L"AB"); }, kAB, true, false, false},
    {"a String in a variable",
     [](UniqueVariant& variable, SAFEARRAY*&) {
       variable = Text(L"AB");
       return RefTo(variable.get());
     },
     kAB, true, false, false},
    {"Empty", [](UniqueVariant&, SAFEARRAY*&) { return UniqueVariant(); }, {}, false, true, false},
    {"Null", [](UniqueVariant&, SAFEARRAY*&) { return Typed(VT_NULL); }, {}, false, false, false},
    {"a Long", [](UniqueVariant&, SAFEARRAY*&) { return Long(42); }, {}, false, false, false},
};

using Send = std::function<CallResult(UniqueVariant list)>;

// Calls `send` with the form as its last argument: the datagram the peer received, or nullopt
// when the call was refused (with 13, or DISP_E_TYPEMISMATCH from the type library).
std::optional<std::vector<std::uint8_t>> SentWith(Control& c, UdpPeer& peer, const Form& form,
                                                  const Send& send) {
  UniqueVariant variable;
  SAFEARRAY* slot = nullptr;
  const CallResult r = send(form.make(variable, slot));
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
  const std::wstring port = peer.port_text();
  const auto head = [&](const wchar_t* member, std::vector<UniqueVariant> rest,
                        UniqueVariant list) {
    std::vector<UniqueVariant> args;
    args.push_back(Text(L"127.0.0.1"));
    args.push_back(Text(port));
    args.push_back(Text(L"c"));
    for (UniqueVariant& v : rest) args.push_back(std::move(v));
    args.push_back(std::move(list));
    return Invoke(c.get(), member, DISPATCH_METHOD, args);
  };
  const auto with = [&](const wchar_t* member, std::function<std::vector<UniqueVariant>()> rest) {
    return Send([=](UniqueVariant list) { return head(member, rest(), std::move(list)); });
  };
  const auto longs = [](std::vector<std::int32_t> numbers) {
    return [numbers] {
      std::vector<UniqueVariant> args;
      for (std::int32_t n : numbers) args.push_back(Long(n));
      return args;
    };
  };
  const Send get = with(L"SendGetRequest", longs({3}));
  const Send bulk = with(L"SendGetBulkRequest", longs({3, 0, 0}));
  const Send trap = with(L"SendTrap", [] {
    std::vector<UniqueVariant> args;
    args.push_back(Text(L"1.3"));
    args.push_back(Short(6));
    args.push_back(Text(L"1"));
    return args;
  });
  const Send notification = with(L"SendNotification", [] {
    std::vector<UniqueVariant> args;
    args.push_back(Text(L"1.3"));
    return args;
  });
  const Send inform = with(L"SendInformRequest", [] {
    std::vector<UniqueVariant> args;
    args.push_back(Long(4));
    args.push_back(Text(L"1.3"));
    return args;
  });

  for (const Form& form : kForms) {
    SCOPED_TRACE(form.what);
    // The GetRequest and the GetBulkRequest with no repetitions differ in their PDU tag only.
    const auto got = SentWith(c, peer, form, get);
    auto bulked = SentWith(c, peer, form, bulk);
    EXPECT_EQ(got.has_value(), form.list_taken);
    ASSERT_EQ(bulked.has_value(), form.list_taken);
    if (bulked) {
      EXPECT_TRUE(EndsWith(*bulked, form.bytes)) << HexOf(*bulked);
      const auto tag = std::find(bulked->begin(), bulked->end(), 0xA5);
      ASSERT_NE(tag, bulked->end());
      *tag = 0xA0;
      EXPECT_EQ(HexOf(*bulked), HexOf(*got));
    }

    EXPECT_EQ(SentWith(c, peer, form, trap).has_value(), form.variant_taken);
    for (const Send* send : {&notification, &inform}) {
      const auto sent = SentWith(c, peer, form, *send);
      ASSERT_EQ(sent.has_value(), form.variant_taken);
      if (sent) {
        EXPECT_TRUE(EndsWith(*sent, form.bytes)) << HexOf(*sent);
      }
    }

    UniqueVariant variable;
    SAFEARRAY* slot = nullptr;
    const CallResult joined =
        Call(c.get(), L"JoinBindings", ByteArray(kNull), form.make(variable, slot));
    if (slot != nullptr) SafeArrayDestroy(slot);
    if (form.joined) {
      ASSERT_EQ(joined.hr, S_OK);
      std::vector<std::uint8_t> both = kNull;
      both.insert(both.end(), form.bytes.begin(), form.bytes.end());
      EXPECT_EQ(HexOf(BytesOf(*joined.value.get())), HexOf(both));
    } else {
      ExpectError(joined, 13, L"Type mismatch");
    }
  }
  // Any number of bindings, none included.
  const CallResult none = Call(c.get(), L"JoinBindings");
  ASSERT_EQ(none.hr, S_OK);
  EXPECT_EQ(V_VT(none.value.get()), VT_ARRAY | VT_UI1);
  EXPECT_TRUE(BytesOf(*none.value.get()).empty());
  const CallResult three = Call(c.get(), L"JoinBindings", ByteArray(Hex("01")),
                                ByteArray(Hex("02 03")), ByteArray(Hex("04")));
  EXPECT_EQ(HexOf(BytesOf(*three.value.get())), "01 02 03 04");
}

TEST(Snmpv2Members, SendsOnTheWireAndAnswersSetErrorIndex) {
  Control c;
  UdpPeer peer;
  ASSERT_TRUE(peer.ok());
  ASSERT_EQ(Put(c.get(), L"SnmpVersion", Long(1)).hr, S_OK);
  ASSERT_EQ(Put(c.get(), L"TickCount", Long(5)).hr, S_OK);
  ASSERT_TRUE(c.WaitReady());
  const std::wstring port = peer.port_text();
  const struct {
    const char* what;
    std::function<CallResult()> send;
    const char* hex;
  } cases[] = {
      {"getbulk",
       [&] {
         return Call(c.get(), L"SendGetBulkRequest", Text(L"127.0.0.1"), Text(port), Text(L"c"),
                     Long(7), Long(0), Long(10), ByteArray(kNull));
       },
       "30 1A 02 01 01 04 01 63 A5 12 02 01 07 02 01 00 02 01 0A 30 07 30 05 06 01 2B 05 00"},
      {"notification, the control's first",
       [&] {
         return Call(c.get(), L"SendNotification", Text(L"127.0.0.1"), Text(port), Text(L"c"),
                     Text(L"1.3.6.1.6.3.1.1.5.1"));
       },
       "30 3B 02 01 01 04 01 63 A7 33 02 01 01 02 01 00 02 01 00 30 28 "
       "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
       "30 17 06 0A 2B 06 01 06 03 01 01 04 01 00 06 09 2B 06 01 06 03 01 01 05 01"},
      {"inform",
       [&] {
         return Call(c.get(), L"SendInformRequest", Text(L"127.0.0.1"), Text(port), Text(L"c"),
                     Long(9), Text(L"1.3"), ByteArray(kNull));
       },
       "30 3A 02 01 01 04 01 63 A6 32 02 01 09 02 01 00 02 01 00 30 27 "
       "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
       "30 0F 06 0A 2B 06 01 06 03 01 01 04 01 00 06 01 2B "
       "30 05 06 01 2B 05 00"},
  };
  sockaddr_in from{};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    ASSERT_EQ(k.send().hr, S_OK);
    std::vector<std::uint8_t> datagram;
    ASSERT_TRUE(peer.Receive(datagram, from, kTimeoutMs));
    EXPECT_EQ(HexOf(datagram), k.hex);
    ASSERT_TRUE(c.WaitReady());
  }
  // The inform's acknowledgement, then an answer with an error index: each a Response, and
  // ErrorIndex is the message's while its Response is raised and after.
  const struct {
    const char* hex;
    const wchar_t* command;
    long request_id, error_status, error_index;
  } answers[] = {
      {"30 3A 02 01 01 04 01 63 A2 32 02 01 09 02 01 00 02 01 00 30 27 "
       "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
       "30 0F 06 0A 2B 06 01 06 03 01 01 04 01 00 06 01 2B 30 05 06 01 2B 05 00",
       L"GetResponse", 9, 0, 0},
      {"30 1A 02 01 01 04 01 63 A2 12 02 01 07 02 01 05 02 01 02 30 07 30 05 06 01 2B 05 00",
       L"GetResponse", 7, 5, 2},
  };
  for (const auto& a : answers) {
    const std::size_t before = c.responses.size();
    ASSERT_TRUE(peer.SendTo(Hex(a.hex), c.Address()));
    ASSERT_TRUE(PumpUntil([&] { return c.responses.size() > before; }, kTimeoutMs));
    const ResponseArgs& r = c.responses.back();
    EXPECT_EQ(r.command, a.command);
    EXPECT_EQ(r.version, 1);
    EXPECT_EQ(r.request_id, a.request_id);
    EXPECT_EQ(r.error_status, a.error_status);
    EXPECT_EQ(c.error_index_in_handler, a.error_index);
    EXPECT_EQ(c.Long(L"ErrorIndex"), a.error_index);
  }
}

// What a late-bound C++ host does with a received Counter64: a Decimal, exact as text, rounded as
// a Double above 2^53, and taken back exactly.
TEST(Snmpv2Members, ReceivedCounter64ValuesAreExactDecimals) {
  Control c;
  ASSERT_EQ(Put(c.get(), L"SnmpVersion", Long(1)).hr, S_OK);
  ASSERT_TRUE(c.WaitReady());
  const struct {
    const wchar_t* text;
    double as_double;
  } values[] = {
      {L"0", 0.0},
      {L"9007199254740993", 9007199254740992.0},  // 2^53 + 1
      {L"18446744073709551615", 18446744073709551616.0},
  };
  std::vector<UniqueVariant> bindings;
  for (const auto& v : values) {
    bindings.push_back(
        std::move(Call(c.get(), L"SNMPCounter64Value", Text(L"1.3"), Text(v.text)).value));
  }
  std::vector<UniqueVariant> list;
  list.push_back(Text(L"127.0.0.1"));
  list.push_back(Long(c.Long(L"LocalPort")));
  list.push_back(Text(L"c"));
  list.push_back(Long(1));
  list.push_back(Long(0));
  list.push_back(Long(0));
  list.push_back(std::move(Invoke(c.get(), L"JoinBindings", DISPATCH_METHOD, bindings).value));
  ASSERT_EQ(Invoke(c.get(), L"SendGetResponse", DISPATCH_METHOD, list).hr, S_OK);
  ASSERT_TRUE(PumpUntil([&] { return !c.responses.empty(); }, kTimeoutMs));
  IDispatch* objects = c.responses[0].objects.get();
  std::vector<DECIMAL> received;
  for (long i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const ComPtr<IDispatch> row = ObjectOf(*Call(objects, L"Item", Long(i + 1)).value.get());
    CallResult value = Get(row.get(), L"OIDValue");
    ASSERT_EQ(V_VT(value.value.get()), VT_DECIMAL);
    received.push_back(V_DECIMAL(value.value.get()));
    EXPECT_EQ(TextOf(*value.value.get()), values[i].text);
    UniqueVariant number;
    ASSERT_EQ(VariantChangeType(number.get(), value.value.get(), 0, VT_R8), S_OK);
    EXPECT_EQ(V_R8(number.get()), values[i].as_double);
    EXPECT_EQ(
        HexOf(BytesOf(*Call(c.get(), L"SNMPCounter64Value", Text(L"1.3"), std::move(value.value))
                           .value.get())),
        HexOf(BytesOf(*bindings[i].get())));
  }
  // Decimal arithmetic on them is exact.
  UniqueVariant difference = Typed(VT_DECIMAL);
  ASSERT_EQ(VarDecSub(&received[2], &received[1], &V_DECIMAL(difference.get())), S_OK);
  V_VT(difference.get()) = VT_DECIMAL;
  EXPECT_EQ(TextOf(*difference.get()), L"18437736874454810622");
  UniqueVariant tenth = Typed(VT_DECIMAL);
  DECIMAL ten = V_DECIMAL(Decimal(10).get());
  ASSERT_EQ(VarDecDiv(&received[2], &ten, &V_DECIMAL(tenth.get())), S_OK);
  V_VT(tenth.get()) = VT_DECIMAL;
  EXPECT_EQ(TextOf(*tenth.get()), L"1844674407370955161.5");
  EXPECT_EQ(VarDecCmp(&received[1], &received[2]), VARCMP_LT);
}

TEST(Snmpv2Members, AnInformFromAPeerIsAcknowledgedWithoutReady) {
  Control c;
  UdpPeer peer;
  ASSERT_TRUE(peer.ok());
  ASSERT_TRUE(c.WaitReady());
  const int readies = c.sink.ready_count;
  // Request id 0x1234, sysUpTime.0 and snmpTrapOID.0 (coldStart), as snmpinform -v 2c sends.
  const std::string inform =
      "30 3C 02 01 01 04 01 63 A6 34 02 02 12 34 02 01 00 02 01 00 30 28 "
      "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
      "30 17 06 0A 2B 06 01 06 03 01 01 04 01 00 06 09 2B 06 01 06 03 01 01 05 01";
  ASSERT_TRUE(peer.SendTo(Hex(inform), c.Address()));
  std::vector<std::uint8_t> acknowledgement;
  sockaddr_in from{};
  ASSERT_TRUE(peer.Receive(acknowledgement, from, kTimeoutMs));
  std::string expected = inform;
  expected.replace(expected.find("A6"), 2, "A2");  // the same message as a GetResponse
  EXPECT_EQ(HexOf(acknowledgement), expected);
  EXPECT_EQ(ntohs(from.sin_port), c.Long(L"LocalPort"));
  ASSERT_TRUE(PumpUntil([&] { return !c.responses.empty(); }, kTimeoutMs));
  PumpFor(200);  // a Ready, if one came, would have been raised by now
  EXPECT_EQ(c.sink.ready_count, readies);
  EXPECT_EQ(c.Long(L"Stat"), 1);
  ASSERT_EQ(c.responses.size(), 1u);
  EXPECT_EQ(c.responses[0].command, L"InformRequest");
  EXPECT_EQ(c.responses[0].request_id, 0x1234);
  EXPECT_EQ(HexOf(c.responses[0].raw_data), inform);
}

}  // namespace
}  // namespace kivostrel::wintest
