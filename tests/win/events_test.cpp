// Events through a strict sink, with a Winsock peer on 127.0.0.1 at the other end: Ready, the
// datagrams the send operations put on the wire, Response with its collection, WsError, and
// sinks that unadvise or release the control from inside an event.
#include "udp_peer.h"

#include <ole2.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dispatch_client.h"
#include "strict_sink.h"

namespace kivostrel::wintest {
namespace {

constexpr DWORD kEventTimeoutMs = 5000;

using Bytes = std::vector<std::uint8_t>;

// One BER element with a short-form length (the test messages stay below 128 octets).
Bytes Tlv(std::uint8_t tag, const Bytes& content) {
  Bytes element;
  element.reserve(2 + content.size());
  element.push_back(tag);
  element.push_back(static_cast<std::uint8_t>(content.size()));
  for (std::uint8_t b : content) element.push_back(b);
  return element;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const auto& p : parts)
    for (std::uint8_t b : p) joined.push_back(b);
  return joined;
}

const Bytes kSysDescr = Hex("2B 06 01 02 01 01 01 00");
const Bytes kSysUpTime = Hex("2B 06 01 02 01 01 03 00");

// GetResponse, community "public", request id 7, error status `status`: sysDescr.0 = "abc",
// sysUpTime.0 = TimeTicks 12345.
Bytes GetResponseMessage(std::uint8_t status = 0) {
  const Bytes bindings =
      Tlv(0x30, Join({Tlv(0x30, Join({Tlv(0x06, kSysDescr), Tlv(0x04, {'a', 'b', 'c'})})),
                      Tlv(0x30, Join({Tlv(0x06, kSysUpTime), Tlv(0x43, {0x30, 0x39})}))}));
  const Bytes pdu =
      Tlv(0xA2, Join({Tlv(0x02, {7}), Tlv(0x02, {status}), Tlv(0x02, {0}), bindings}));
  return Tlv(0x30, Join({Tlv(0x02, {0}), Tlv(0x04, {'p', 'u', 'b', 'l', 'i', 'c'}), pdu}));
}

// A control that has become ready, with a strict sink advised and a peer to talk to.
class Events : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer_.ok());
    control_ = CreateControl();
    ASSERT_TRUE(control_);
    EXPECT_EQ(LongOf(*Get(control_.get(), L"Stat").value.get()), 0);
    ASSERT_EQ(sink_.Advise(control_.get()), S_OK);
    sink_.on_ready = [] {};
    ASSERT_TRUE(PumpUntil([&] { return sink_.ready_count == 1; }, kEventTimeoutMs))
        << "no Ready after the socket opened";
    EXPECT_EQ(LongOf(*Get(control_.get(), L"Stat").value.get()), 1);
  }

  void TearDown() override {
    if (control_) {
      sink_.Unadvise();
      control_.reset();
    }
  }

  // Calls a send operation, checks the datagram the peer gets and waits for the Ready after it.
  Bytes SendAndReceive(const std::function<CallResult()>& send) {
    const int readies = sink_.ready_count;
    const CallResult r = send();
    EXPECT_EQ(r.hr, S_OK) << "error " << r.error_number() << " "
                          << ::testing::PrintToString(r.description);
    EXPECT_EQ(LongOf(*Get(control_.get(), L"Stat").value.get()), 2) << "in flight until reported";
    Bytes datagram;
    EXPECT_TRUE(peer_.Receive(datagram, control_address_, kEventTimeoutMs)) << "nothing arrived";
    EXPECT_TRUE(PumpUntil([&] { return sink_.ready_count == readies + 1; }, kEventTimeoutMs));
    EXPECT_EQ(LongOf(*Get(control_.get(), L"Stat").value.get()), 1);
    return datagram;
  }

  // Sends a GetRequest so that the peer learns the control's address.
  void LearnControlAddress() {
    SendAndReceive([&] {
      return Call(control_.get(), L"SendGetRequest", Text(L"127.0.0.1"), Text(peer_.port_text()),
                  Text(L"public"), Long(7),
                  ByteArray(Hex("30 0C 06 08 2B 06 01 02 01 01 01 00 05 00")));
    });
  }

  // Waits for the Responses the peer's datagram causes.
  bool Deliver(const Bytes& datagram, int responses = 1) {
    const int before = sink_.response_count;
    EXPECT_TRUE(peer_.SendTo(datagram, control_address_));
    return PumpUntil([&] { return sink_.response_count >= before + responses; }, kEventTimeoutMs);
  }

  UdpPeer peer_;
  ComPtr<IDispatch> control_;
  StrictSink sink_;
  sockaddr_in control_address_{};
};

TEST_F(Events, ReadyComesOnceAfterTheSocketOpens) {
  PumpFor(200);
  EXPECT_EQ(sink_.ready_count, 1);
}

struct SendCase {
  const char* name;
  std::function<CallResult(IDispatch*, const std::wstring& port)> send;
  const char* datagram;
};

TEST_F(Events, SendOperationsPutTheMessagesOnTheWire) {
  const Bytes binding = Hex("30 0C 06 08 2B 06 01 02 01 01 01 00 05 00");
  auto request = [&](const wchar_t* method) {
    return [&, method](IDispatch* c, const std::wstring& port) {
      return Call(c, method, Text(L"127.0.0.1"), Text(port), Text(L""), Long(1),
                  ByteArray(binding));
    };
  };
  const SendCase cases[] = {
      {"SendGetRequest", request(L"SendGetRequest"),
       "30 20 02 01 00 04 00 A0 19 02 01 01 02 01 00 02 01 00 30 0E 30 0C 06 08 2B 06 01 02 01 01 "
       "01 00 05 00"},
      {"SendGetNextRequest", request(L"SendGetNextRequest"),
       "30 20 02 01 00 04 00 A1 19 02 01 01 02 01 00 02 01 00 30 0E 30 0C 06 08 2B 06 01 02 01 01 "
       "01 00 05 00"},
      {"SendSetRequest", request(L"SendSetRequest"),
       "30 20 02 01 00 04 00 A3 19 02 01 01 02 01 00 02 01 00 30 0E 30 0C 06 08 2B 06 01 02 01 01 "
       "01 00 05 00"},
      {"SendGetResponse",
       [&](IDispatch* c, const std::wstring& port) {
         return Call(c, L"SendGetResponse", Text(L"127.0.0.1"), Text(port), Text(L""), Long(1),
                     Long(2), Long(1), ByteArray(binding));
       },
       "30 20 02 01 00 04 00 A2 19 02 01 01 02 01 02 02 01 01 30 0E 30 0C 06 08 2B 06 01 02 01 01 "
       "01 00 05 00"},
      {"SendGetRequest with a community and no bindings",
       [&](IDispatch* c, const std::wstring& port) {
         return Call(c, L"SendGetRequest", Text(L"127.0.0.1"), Text(port), Text(L"public"), Long(7),
                     ByteArray({}));
       },
       "30 18 02 01 00 04 06 70 75 62 6C 69 63 A0 0B 02 01 07 02 01 00 02 01 00 30 00"},
  };
  // A script's variable, passed by reference as VT_BYREF | VT_VARIANT.
  UniqueVariant variable = ByteArray(binding);
  const SendCase by_variable = {"SendGetRequest with the bindings in a script variable",
                                [&](IDispatch* c, const std::wstring& port) {
                                  return Call(c, L"SendGetRequest", Text(L"127.0.0.1"), Text(port),
                                              Text(L""), Long(1), RefTo(variable.get()));
                                },
                                cases[0].datagram};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes datagram =
        SendAndReceive([&] { return c.send(control_.get(), peer_.port_text()); });
    EXPECT_EQ(HexOf(datagram), c.datagram);
  }
  EXPECT_EQ(
      HexOf(SendAndReceive([&] { return by_variable.send(control_.get(), peer_.port_text()); })),
      by_variable.datagram);
  EXPECT_EQ(BytesOf(*variable.get()), binding);
}

TEST_F(Events, TrapCarriesTheAgentAddressAndTimeStampProperties) {
  IDispatch* c = control_.get();
  ASSERT_EQ(Put(c, L"AgentAddress", Text(L"10.0.0.1")).hr, S_OK);
  ASSERT_EQ(Put(c, L"TickCount", Long(12345)).hr, S_OK);
  const char* expected =
      "30 22 02 01 00 04 00 A4 1B 06 07 2B 06 01 04 01 CE 0F 40 04 0A 00 00 01 02 01 06 02 01 01 "
      "43 02 30 39 30 00";
  // Objectval omitted, empty, and an empty array all give the empty binding list.
  EXPECT_EQ(HexOf(SendAndReceive([&] {
              return Call(c, L"SendTrap", Text(L"127.0.0.1"), Text(peer_.port_text()), Text(L""),
                          Text(L"1.3.6.1.4.1.9999"), Short(6), Text(L"1"));
            })),
            expected);
  EXPECT_EQ(HexOf(SendAndReceive([&] {
              return Call(c, L"SendTrap", Text(L"127.0.0.1"), Text(peer_.port_text()), Text(L""),
                          Text(L"1.3.6.1.4.1.9999"), Short(6), Text(L"1"), UniqueVariant());
            })),
            expected);
  UniqueVariant bindings = ByteArray(Hex("30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"));
  EXPECT_EQ(
      HexOf(SendAndReceive([&] {
        return Call(c, L"SendTrap", Text(L"127.0.0.1"), Text(peer_.port_text()), Text(L""),
                    Text(L"1.3.6.1.4.1.9999"), Short(6), Text(L"1"), RefTo(bindings.get()));
      })),
      "30 30 02 01 00 04 00 A4 29 06 07 2B 06 01 04 01 CE 0F 40 04 0A 00 00 01 02 01 06 02 01 "
      "01 43 02 30 39 30 0E 30 0C 06 08 2B 06 01 02 01 01 01 00 05 00");
  EXPECT_EQ(HexOf(BytesOf(*bindings.get())), "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00");
}

TEST_F(Events, SecondSendBeforeTheReportIsRefused) {
  IDispatch* c = control_.get();
  const Bytes none;
  ASSERT_EQ(Call(c, L"SendGetRequest", Text(L"127.0.0.1"), Text(peer_.port_text()), Text(L""),
                 Long(1), ByteArray(none))
                .hr,
            S_OK);
  const CallResult second = Call(c, L"SendGetRequest", Text(L"127.0.0.1"), Text(peer_.port_text()),
                                 Text(L""), Long(2), ByteArray(none));
  EXPECT_EQ(second.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(second.error_number(), 20001);
  EXPECT_EQ(second.source, L"ORVAN:SendGetRequest:m_Ready=2");
  EXPECT_EQ(second.description, L"Not Ready");
  EXPECT_TRUE(PumpUntil([&] { return sink_.ready_count == 2; }, kEventTimeoutMs));
  Bytes datagram;
  EXPECT_TRUE(peer_.Receive(datagram, control_address_, kEventTimeoutMs));
  PumpFor(100);
  EXPECT_FALSE(peer_.Readable()) << "the refused send went out";
}

TEST_F(Events, ResponseDeliversTheDecodedMessage) {
  LearnControlAddress();
  ResponseArgs got;
  sink_.on_response = [&](ResponseArgs& args) { got = args; };
  const Bytes reply = GetResponseMessage();
  ASSERT_TRUE(Deliver(reply));
  EXPECT_EQ(sink_.response_count, 1);
  EXPECT_EQ(got.remote_ip, L"127.0.0.1");
  EXPECT_EQ(got.remote_port, peer_.port_text());
  EXPECT_EQ(got.version, 0);
  EXPECT_EQ(got.community, L"public");
  EXPECT_EQ(got.command, L"GetResponse");
  EXPECT_EQ(got.request_id, 7);
  EXPECT_EQ(got.error_status, 0);
  EXPECT_EQ(HexOf(got.raw_data), HexOf(reply));
  ASSERT_TRUE(got.objects);
  EXPECT_EQ(LongOf(*Get(got.objects.get(), L"Count").value.get()), 2);
}

TEST_F(Events, WhatResponseHandsOverGoesBackOutUnchanged) {
  LearnControlAddress();
  // Identifiers under 0 and 2, and Counter, Gauge and TimeTicks of 2^31 or more.
  const auto binding = [](const char* oid, std::uint8_t tag, const char* value) {
    return Tlv(0x30, Join({Tlv(0x06, Hex(oid)), Tlv(tag, Hex(value))}));
  };
  const Bytes bindings =
      Join({binding("04 00 7F 00 07", 0x41, "00 FF FF FF FF"),
            binding("88 37 03", 0x42, "00 80 00 00 00"), binding("00 11", 0x43, "00 FF FF FF FB"),
            binding("78 01", 0x02, "FF")});
  const Bytes message = Tlv(0x30, Join({Tlv(0x02, {0}), Tlv(0x04, {'p', 'u', 'b', 'l', 'i', 'c'}),
                                        Tlv(0xA2, Join({Tlv(0x02, {7}), Tlv(0x02, {0}),
                                                        Tlv(0x02, {0}), Tlv(0x30, bindings)}))}));
  ComPtr<IDispatch> objects;
  sink_.on_response = [&](ResponseArgs& args) { objects = args.objects; };
  ASSERT_TRUE(Deliver(message));
  ASSERT_TRUE(objects);

  // An agent that echoes each binding builds it again from OIDName and OIDValue as it got them.
  std::vector<std::wstring> names;
  std::vector<long> values;
  Bytes echoed;
  for (long i = 1; i <= 4; ++i) {
    const ComPtr<IDispatch> row = ObjectOf(*Call(objects.get(), L"Item", Long(i)).value.get());
    ASSERT_TRUE(row);
    names.push_back(TextOf(*Get(row.get(), L"OIDName").value.get()));
    values.push_back(LongOf(*Get(row.get(), L"OIDValue").value.get()));
    const short type = V_I2(Get(row.get(), L"OIDType").value.get());
    const wchar_t* constructor = type == 0x41   ? L"SNMPCounterValue"
                                 : type == 0x42 ? L"SnmpGaugeValue"
                                 : type == 0x43 ? L"SnmpTimeTicksValue"
                                                : L"SNMPIntegerValue";
    const Bytes again = BytesOf(
        *Call(control_.get(), constructor, Text(names.back()), Get(row.get(), L"OIDValue").value)
             .value.get());
    echoed.insert(echoed.end(), again.begin(), again.end());
  }
  EXPECT_EQ(names, (std::vector<std::wstring>{L"0.4.0.127.0.7", L"2.999.3", L"0.0.17", L"2.40.1"}));
  EXPECT_EQ(values, (std::vector<long>{-1, -2147483647 - 1, -5, -1}));
  EXPECT_EQ(HexOf(SendAndReceive([&] {
              return Call(control_.get(), L"SendGetResponse", Text(L"127.0.0.1"),
                          Text(peer_.port_text()), Text(L"public"), Long(7), Long(0), Long(0),
                          ByteArray(echoed));
            })),
            HexOf(message));
}

TEST_F(Events, UndecodableDatagramIsReportedAsFormatError) {
  LearnControlAddress();
  ResponseArgs got;
  sink_.on_response = [&](ResponseArgs& args) { got = args; };
  ASSERT_TRUE(Deliver(Hex("30 03 02 01")));
  EXPECT_EQ(got.error_status, -1);
  EXPECT_EQ(got.version, 0);
  EXPECT_EQ(got.command, L"");
  EXPECT_EQ(got.request_id, 0);
  EXPECT_EQ(HexOf(got.raw_data), "30 03 02 01");
  ASSERT_TRUE(got.objects);
  EXPECT_EQ(LongOf(*Get(got.objects.get(), L"Count").value.get()), 0);
}

TEST_F(Events, FailedSendRaisesWsErrorThenReady) {
  std::wstring where;
  long code = 0;
  sink_.on_ws_error = [&](long c, const std::wstring&, const std::wstring& w) {
    code = c;
    where = w;
  };
  ASSERT_EQ(Call(control_.get(), L"SendGetRequest", Text(L"127.0.0.1"), Text(L"no-such-port"),
                 Text(L""), Long(1), ByteArray({}))
                .hr,
            S_OK);
  EXPECT_TRUE(PumpUntil([&] { return sink_.ready_count == 2; }, kEventTimeoutMs));
  EXPECT_EQ(sink_.ws_error_count, 1);
  EXPECT_EQ(where, L"SendDatagram");
  EXPECT_NE(code, 0);
  EXPECT_EQ(LongOf(*Get(control_.get(), L"Stat").value.get()), 1);
}

TEST_F(Events, SinkThatUnadvisesInsideResponseHearsNoMore) {
  LearnControlAddress();
  StrictSink second;
  ASSERT_EQ(second.Advise(control_.get()), S_OK);
  sink_.on_response = [&](ResponseArgs&) {
    EXPECT_EQ(sink_.Unadvise(), S_OK);
    sink_.on_response = nullptr;  // any later Response fails the test
  };
  second.on_response = [](ResponseArgs&) {};
  ASSERT_TRUE(Deliver(GetResponseMessage()));
  EXPECT_TRUE(PumpUntil([&] { return second.response_count == 1; }, kEventTimeoutMs));
  ASSERT_TRUE(peer_.SendTo(GetResponseMessage(), control_address_));
  EXPECT_TRUE(PumpUntil([&] { return second.response_count == 2; }, kEventTimeoutMs));
  EXPECT_EQ(sink_.response_count, 1);
  EXPECT_EQ(sink_.references(), 0u) << "the control kept a reference to a removed sink";
  second.Unadvise();
  ASSERT_EQ(sink_.Advise(control_.get()), S_OK);  // TearDown unadvises it again
}

TEST_F(Events, ControlKeepsTheObjectsTheHostLeavesInTheArgument) {
  LearnControlAddress();
  // A counted object of the test's own takes the collection's place in the by-reference slot.
  StrictSink replacement;
  bool replaced = false;
  sink_.on_response = [&](ResponseArgs& args) {
    if (replaced) return;
    replaced = true;
    IDispatch** slot = V_DISPATCHREF(&args.params->rgvarg[1]);
    IDispatch* old = *slot;
    replacement.AddRef();
    *slot = &replacement;
    if (old != nullptr) old->Release();
  };
  ASSERT_TRUE(Deliver(GetResponseMessage()));
  EXPECT_GE(replacement.references(), 1u) << "the control dropped what the host left in Objects";
  // The next datagram brings a new collection and lets the old one go.
  ASSERT_TRUE(Deliver(GetResponseMessage()));
  EXPECT_EQ(replacement.references(), 0u);
}

// The control's collections, reached only through IDispatch as For Each reaches them.
class Collections : public Events {
 protected:
  // Receives GetResponseMessage() and returns its Objects.
  ComPtr<IDispatch> ReceivedObjects() {
    LearnControlAddress();
    ComPtr<IDispatch> objects;
    sink_.on_response = [&](ResponseArgs& args) { objects = args.objects; };
    EXPECT_TRUE(Deliver(GetResponseMessage()));
    return objects;
  }
};

// The items For Each visits: _NewEnum (DISPID_NEWENUM) and IEnumVARIANT::Next.
std::vector<UniqueVariant> ForEach(IDispatch* collection) {
  std::vector<UniqueVariant> items;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  UniqueVariant enumerator;
  EXPECT_EQ(collection->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                               DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, enumerator.get(),
                               nullptr, nullptr),
            S_OK);
  ComPtr<IEnumVARIANT> each;
  if (V_VT(enumerator.get()) == VT_UNKNOWN || V_VT(enumerator.get()) == VT_DISPATCH) {
    V_UNKNOWN(enumerator.get())->QueryInterface(IID_IEnumVARIANT, each.ReceiveVoid());
  }
  EXPECT_TRUE(each) << "_NewEnum gave no IEnumVARIANT";
  if (!each) return items;
  for (int guard = 0; guard < 10000; ++guard) {
    UniqueVariant item;
    ULONG fetched = 0;
    if (each->Next(1, item.get(), &fetched) != S_OK || fetched != 1) break;
    items.push_back(std::move(item));
  }
  EXPECT_EQ(each->Reset(), S_OK);
  UniqueVariant first;
  ULONG fetched = 0;
  if (!items.empty()) {
    EXPECT_EQ(each->Next(1, first.get(), &fetched), S_OK);
    EXPECT_EQ(fetched, 1u);
  }
  return items;
}

struct ObjectRow {
  const wchar_t* name;
  short type;
  const wchar_t* type_name;
  const wchar_t* value;
};

void ExpectObject(IDispatch* object, const ObjectRow& row) {
  ASSERT_NE(object, nullptr);
  SCOPED_TRACE(::testing::PrintToString(std::wstring(row.name)));
  EXPECT_EQ(TextOf(*Get(object, L"OIDName").value.get()), row.name);
  const CallResult type = Get(object, L"OIDType");
  EXPECT_EQ(V_VT(type.value.get()), VT_I2);
  EXPECT_EQ(V_I2(type.value.get()), row.type);
  EXPECT_EQ(TextOf(*Get(object, L"OIDTypeName").value.get()), row.type_name);
  EXPECT_EQ(TextOf(*Get(object, L"OIDValue").value.get()), row.value);
}

const ObjectRow kRows[] = {{L"1.3.6.1.2.1.1.1.0", 4, L"OctetString", L"abc"},
                           {L"1.3.6.1.2.1.1.3.0", 67, L"TimeTicks", L"12345"}};

TEST_F(Collections, ResponseObjectsByPositionAndKey) {
  auto objects = ReceivedObjects();
  ASSERT_TRUE(objects);
  EXPECT_EQ(LongOf(*Get(objects.get(), L"Count").value.get()), 2);
  ExpectObject(ObjectOf(*Call(objects.get(), L"Item", Long(1)).value.get()).get(), kRows[0]);
  ExpectObject(ObjectOf(*Call(objects.get(), L"Item", Long(2)).value.get()).get(), kRows[1]);
  ExpectObject(ObjectOf(*Call(objects.get(), L"Item", Text(L"0")).value.get()).get(), kRows[0]);
  ExpectObject(ObjectOf(*Call(objects.get(), L"Item", Text(L"1")).value.get()).get(), kRows[1]);
  EXPECT_EQ(V_VT(Get(objects.get(), L"OIDType").value.get()), VT_EMPTY);

  // Item is the default member: objects(1) in VB.
  std::vector<UniqueVariant> position;
  position.push_back(Long(2));
  DISPPARAMS params{position[0].get(), nullptr, 1, 0};
  UniqueVariant item;
  ASSERT_EQ(objects->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT,
                            DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, item.get(), nullptr,
                            nullptr),
            S_OK);
  ExpectObject(ObjectOf(*item.get()).get(), kRows[1]);

  EXPECT_TRUE(FAILED(Call(objects.get(), L"Item", Long(3)).hr));
  EXPECT_TRUE(FAILED(Call(objects.get(), L"Item", Text(L"7")).hr));
}

TEST_F(Collections, ForEachVisitsTheObjectsInMessageOrder) {
  auto objects = ReceivedObjects();
  ASSERT_TRUE(objects);
  const auto items = ForEach(objects.get());
  ASSERT_EQ(items.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(V_VT(items[i].get()), VT_DISPATCH);
    ExpectObject(ObjectOf(*items[i].get()).get(), kRows[i]);
  }
}

// Kept after the event: row 1 is first reached by Item, row 2 by For Each.
TEST_F(Collections, EachRowIsOneObjectWhicheverWayItIsReached) {
  auto objects = ReceivedObjects();
  ASSERT_TRUE(objects);
  const auto item = [&](UniqueVariant index) {
    return ObjectOf(*Call(objects.get(), L"Item", std::move(index)).value.get());
  };
  const auto first = item(Long(1));
  ASSERT_TRUE(first);
  EXPECT_EQ(item(Long(1)).get(), first.get());
  EXPECT_EQ(Put(first.get(), L"OIDName", Text(L"1.3.6")).hr, S_OK);
  const auto items = ForEach(objects.get());
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(ObjectOf(*items[0].get()).get(), first.get());
  EXPECT_EQ(item(Text(L"1")).get(), ObjectOf(*items[1].get()).get());
  EXPECT_EQ(TextOf(*Get(item(Text(L"0")).get(), L"OIDName").value.get()), L"1.3.6");
}

TEST_F(Collections, OctetStringsArriveAsBytesWithStringType1) {
  ASSERT_EQ(Put(control_.get(), L"StringType", Long(1)).hr, S_OK);
  auto objects = ReceivedObjects();
  ASSERT_TRUE(objects);
  auto first = ObjectOf(*Call(objects.get(), L"Item", Long(1)).value.get());
  ASSERT_TRUE(first);
  const CallResult value = Get(first.get(), L"OIDValue");
  EXPECT_EQ(V_VT(value.value.get()), VT_ARRAY | VT_UI1);
  EXPECT_EQ(HexOf(BytesOf(*value.value.get())), "61 62 63");
}

TEST_F(Collections, RecordPropertiesTakeValuesAndObjects) {
  auto objects = ReceivedObjects();
  ASSERT_TRUE(objects);
  auto row = ObjectOf(*Call(objects.get(), L"Item", Long(1)).value.get());
  ASSERT_TRUE(row);
  IDispatch* r = row.get();
  EXPECT_EQ(Put(r, L"OIDName", Text(L"1.3.6")).hr, S_OK);
  EXPECT_EQ(TextOf(*Get(r, L"OIDName").value.get()), L"1.3.6");
  EXPECT_EQ(Put(r, L"OIDType", Short(2)).hr, S_OK);
  EXPECT_EQ(LongOf(*Get(r, L"OIDType").value.get()), 2);
  EXPECT_EQ(Put(r, L"OIDTypeName", Text(L"Integer")).hr, S_OK);
  EXPECT_EQ(TextOf(*Get(r, L"OIDTypeName").value.get()), L"Integer");
  EXPECT_EQ(Put(r, L"OIDValue", Long(42)).hr, S_OK);
  EXPECT_EQ(LongOf(*Get(r, L"OIDValue").value.get()), 42);

  // Set row.OIDValue = someObject: put-by-reference keeps the object itself.
  std::vector<UniqueVariant> args;
  args.push_back(Object(objects.get()));
  EXPECT_EQ(Invoke(r, L"OIDValue", DISPATCH_PROPERTYPUTREF, args).hr, S_OK);
  const CallResult held = Get(r, L"OIDValue");
  EXPECT_EQ(V_VT(held.value.get()), VT_DISPATCH);
  EXPECT_EQ(ObjectOf(*held.value.get()).get(), objects.get());
  // Break the cycle row -> collection -> row.
  EXPECT_EQ(Put(r, L"OIDValue", Long(0)).hr, S_OK);
}

TEST_F(Collections, FindNameGivesAnEnumerableListOfNames) {
  const CallResult r = Call(control_.get(), L"FindName", Text(L"ifIn"));
  ASSERT_EQ(r.hr, S_OK);
  auto names = ObjectOf(*r.value.get());
  ASSERT_TRUE(names);
  EXPECT_EQ(LongOf(*Get(names.get(), L"Count").value.get()), 7);
  const auto items = ForEach(names.get());
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(TextOf(*items[0].get()),
            L"iso.org.dod.internet.mgmt.mib.interfaces.ifTable.ifEntry.ifIndex");
  EXPECT_EQ(TextOf(*items[6].get()),
            L"iso.org.dod.internet.mgmt.mib.interfaces.ifTable.ifEntry.ifInUnknownProtos");

  // The host owns the list: Add appends, Remove takes out by position.
  EXPECT_EQ(Call(names.get(), L"Add", Text(L"extra")).hr, S_OK);
  EXPECT_EQ(LongOf(*Get(names.get(), L"Count").value.get()), 8);
  EXPECT_EQ(TextOf(*Call(names.get(), L"Item", Long(8)).value.get()), L"extra");
  EXPECT_EQ(Call(names.get(), L"Remove", Long(1)).hr, S_OK);
  EXPECT_EQ(LongOf(*Get(names.get(), L"Count").value.get()), 7);
  EXPECT_EQ(TextOf(*Call(names.get(), L"Item", Long(1)).value.get()),
            L"iso.org.dod.internet.mgmt.mib.interfaces.ifTable.ifEntry.ifInOctets");
}

}  // namespace
}  // namespace kivostrel::wintest
