#include <gtest/gtest.h>

#include "encoding/messages.h"
#include "engine_fixture.h"

namespace kivostrel::testing {
namespace {

Bytes TwoBindingResponse(kivOstrel& c) {
  Bytes list = c.SNMPIntegerValue("1.3.6.1.2.1.2.2.1.7.1", "2");
  const Bytes name = c.SNMPStringValue("1.3.6.1.2.1.1.5.0", "AB");
  list.insert(list.end(), name.begin(), name.end());
  return BuildRequestMessage(
      {.pdu = kTagGetResponse, .community = "public", .request_id = 42, .bindings = list});
}

TEST_F(EngineTest, ResponseCarriesTheDecodedMessage) {
  const Bytes datagram = TwoBindingResponse(*engine);
  log.clear();
  udp->events().DatagramReceived("127.0.0.1", "161", datagram);
  EXPECT_EQ(log, (std::vector<std::string>{"Caption(Received)", "Response"}));
  ASSERT_EQ(events.responses.size(), 1u);
  const RecordedResponse& r = events.responses[0];
  EXPECT_EQ(r.RemoteIP, "127.0.0.1");
  EXPECT_EQ(r.RemotePort, "161");
  EXPECT_EQ(r.Version, 0);
  EXPECT_EQ(r.Community, "public");
  EXPECT_EQ(r.Command, "GetResponse");
  EXPECT_EQ(r.RequestId, 42);
  EXPECT_EQ(r.ErrorStatus, 0);
  EXPECT_EQ(r.RawData, datagram);
  ASSERT_EQ(r.collection->Count(), 2);
  EXPECT_EQ(*r.collection->Item("0"), (OstrelObject{"1.3.6.1.2.1.2.2.1.7.1", 2, "Integer", 2}));
  EXPECT_EQ(*r.collection->Item("1"),
            (OstrelObject{"1.3.6.1.2.1.1.5.0", 4, "OctetString", std::string("AB")}));
  EXPECT_EQ(r.collection->Item(2), r.collection->Item("1"));
  EXPECT_EQ(engine->Objects(), r.collection);
  EXPECT_EQ(engine->Stat(), 0);  // receiving leaves the link state alone
}

TEST_F(EngineTest, StringTypeSelectsByteArrays) {
  const struct {
    std::int32_t string_type;
    Variant value;
  } cases[] = {
      {0, Variant(std::string("AB"))},
      {1, Variant(Bytes{65, 66})},
      {2, Variant(std::string("AB"))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.string_type);
    engine->StringType(c.string_type);
    udp->events().DatagramReceived("127.0.0.1", "161", TwoBindingResponse(*engine));
    EXPECT_EQ(events.responses.back().collection->Item(2)->OIDValue, c.value);
    EXPECT_EQ(events.responses.back().Community, "public");
  }
}

TEST_F(EngineTest, UndecodableDatagramIsStillReported) {
  for (const Bytes& datagram : {Bytes{}, Hex("30"), Hex("30 03 02 01")}) {
    udp->events().DatagramReceived("127.0.0.1", "5000", datagram);
    const RecordedResponse& r = events.responses.back();
    EXPECT_EQ(r.ErrorStatus, -1);
    EXPECT_EQ(engine->Err2Str(r.ErrorStatus), "FormatError");
    EXPECT_EQ(r.Version, 0);
    EXPECT_EQ(r.Community, "0");
    EXPECT_EQ(r.Command, "");
    EXPECT_EQ(r.RequestId, 0);
    EXPECT_EQ(r.collection->Count(), 0);
    EXPECT_EQ(r.RawData, datagram);
  }
}

TEST_F(EngineTest, ControlKeepsTheCollectionTheHostLeaves) {
  auto replacement = std::make_shared<ObjectsCollection>();
  events.on_response = [&](std::shared_ptr<ObjectsCollection>& objects) { objects = replacement; };
  udp->events().DatagramReceived("127.0.0.1", "161", TwoBindingResponse(*engine));
  EXPECT_EQ(engine->Objects(), replacement);
}

TEST_F(EngineTest, HandlerMayDestroyTheControlInsideResponse) {
  events.on_response = [&](std::shared_ptr<ObjectsCollection>&) { engine.reset(); };
  UdpSocketEvents& sink = udp->events();
  sink.DatagramReceived("127.0.0.1", "161", BuildRequestMessage({}));  // ASan: no use after free
  EXPECT_EQ(engine, nullptr);
  EXPECT_EQ(events.responses.size(), 1u);
}

TEST_F(EngineTest, EachDatagramGetsANewCollection) {
  udp->events().DatagramReceived("127.0.0.1", "161", TwoBindingResponse(*engine));
  const auto first = events.responses[0].collection;
  udp->events().DatagramReceived("127.0.0.1", "161", BuildRequestMessage({}));
  EXPECT_NE(events.responses[1].collection, first);
  EXPECT_EQ(first->Count(), 2);  // the earlier message's rows stay with whoever kept them
}

// The rows are made into objects only when asked for; nothing of that may show.
TEST_F(EngineTest, ResponseRowsAreOneObjectUnderEveryKey) {
  udp->events().DatagramReceived("127.0.0.1", "161", TwoBindingResponse(*engine));
  ObjectsCollection& objects = *events.responses[0].collection;
  const struct {
    const char* key;
    std::int32_t position;  // 0: error 5
  } keys[] = {{"1", 2},  {"0", 1},  {"00", 0}, {"01", 0}, {"2", 0},
              {"+1", 0}, {" 1", 0}, {"-0", 0}, {"", 0},   {"18446744073709551617", 0}};
  for (const auto& k : keys) {
    SCOPED_TRACE(k.key);
    if (k.position == 0) {
      EXPECT_EQ(ErrorNumberOf([&] { (void)objects.Item(k.key); }), 5);
    } else {
      EXPECT_EQ(objects.Item(k.key), objects.Item(k.position));
    }
  }
  EXPECT_EQ(objects.Item(1), objects.Item(1));
  objects.Item(2)->OIDName = "1.3.6";  // a host's write stays with the row
  EXPECT_EQ(objects.Item("1")->OIDName, "1.3.6");
  EXPECT_EQ(objects.KeyAt(2), "1");
  EXPECT_EQ(ErrorNumberOf([&] { objects.Add(nullptr, "0"); }), 457);
  objects.Remove(1);
  EXPECT_EQ(objects.KeyAt(1), "1");
  EXPECT_EQ(objects.Item("1")->OIDName, "1.3.6");
  objects.Add(nullptr, "0");
  EXPECT_EQ(objects.Item("0"), nullptr);
  EXPECT_EQ(objects.Count(), 2);
}

TEST_F(EngineTest, HandlerMayAnswerFromResponse) {
  ReadyEngine();
  events.on_response = [&](std::shared_ptr<ObjectsCollection>&) {
    const RecordedResponse& r = events.responses.back();
    engine->SendGetResponse(r.RemoteIP, r.RemotePort, r.Community, r.RequestId, 0, 0,
                            engine->SNMPStringValue("1.3.6.1.2.1.1.5.0", "agent"));
  };
  udp->events().DatagramReceived("127.0.0.1", "40000",
                                 BuildRequestMessage({.community = "public", .request_id = 9}));
  ASSERT_EQ(udp->sent.size(), 1u);
  EXPECT_EQ(udp->sent[0].port, "40000");
  EXPECT_EQ(engine->Stat(), 2);
}

TEST_F(EngineTest, LookupMembers) {
  EXPECT_EQ(engine->Name2TypeID("Sequence"), 48);
  EXPECT_EQ(engine->Name2TypeID("trap"), -1);
  EXPECT_EQ(engine->Err2Str(2), "NoSuchName");
  const auto names = engine->FindName("sysUp");
  ASSERT_EQ(names->Count(), 1);
  EXPECT_EQ(names->Item(1), "iso.org.dod.internet.mgmt.mib.system.sysUpTime");
  EXPECT_FALSE(names->KeyAt(1).has_value());
  EXPECT_EQ(engine->FindName("SYSUP")->Count(), 0);
  EXPECT_EQ(engine->FindName("SYSUP", 1)->Count(), 1);
}

TEST(CollectionTest, PositionsKeysAndErrors) {
  Collection<std::string> c;
  c.Add("a", "K1");
  c.Add("b");
  c.Add("c", "k3");
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ(c.Item("k1"), "a");  // keys ignore letter case
  EXPECT_EQ(c.Item("K3"), "c");
  EXPECT_EQ(ErrorNumberOf([&] { c.Add("d", "k1"); }), 457);
  EXPECT_EQ(ErrorNumberOf([&] { (void)c.Item(0); }), 5);
  EXPECT_EQ(ErrorNumberOf([&] { (void)c.Item(4); }), 5);
  EXPECT_EQ(ErrorNumberOf([&] { (void)c.Item("2"); }), 5);  // a numeric text is a key
  c.Remove(1);
  EXPECT_EQ(c.Item(1), "b");
  c.Remove("K3");
  EXPECT_EQ(c.Count(), 1);
  EXPECT_EQ(ErrorNumberOf([&] { c.Remove("k3"); }), 5);
}

}  // namespace
}  // namespace kivostrel::testing
