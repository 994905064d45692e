// The engine's SNMPv2c members: the version of what it sends, GetBulk and notifications, their
// errors, ErrorIndex, and informs acknowledged without the host's send state.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "encoding/messages.h"
#include "engine_fixture.h"

namespace kivostrel::testing {
namespace {

TEST_F(EngineTest, SnmpVersionPutsAsAutomationConvertsThem) {
  const struct {
    Variant value;
    std::optional<std::int32_t> error;
    std::int32_t version;  // afterwards
  } cases[] = {
      {Variant(1), std::nullopt, 1},
      {Variant(std::string(" 0 ")), std::nullopt, 0},
      {Variant(1.4), std::nullopt, 1},
      {Variant(2), kErrInvalidPropertyValue, 1},
      {Variant(-1), kErrInvalidPropertyValue, 1},
      {Variant(std::string("v2c")), kErrTypeMismatch, 1},
      {Variant(std::string("3000000000")), kErrOverflow, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ValueToText(c.value));
    EXPECT_EQ(ErrorNumberOf([&] { engine->SnmpVersion(c.value); }), c.error);
    EXPECT_EQ(engine->SnmpVersion(), c.version);
  }
}

TEST_F(EngineTest, Snmpv2SendsOnTheWire) {
  const Bytes null = engine->SNMPNullValue("1.3");
  tick_count_ms = 50;  // automatic time stamps: 5
  const struct {
    const char* what;
    std::function<void(kivOstrel&)> send;
    const char* hex;
  } cases[] = {
      {"get under version 1", [&](kivOstrel& e) { e.SendGetRequest("h", "161", "c", 1, null); },
       "30 1A 02 01 01 04 01 63 A0 12 02 01 01 02 01 00 02 01 00 30 07 30 05 06 01 2B 05 00"},
      {"getbulk", [&](kivOstrel& e) { e.SendGetBulkRequest("h", "161", "c", 7, 0, 10, null); },
       "30 1A 02 01 01 04 01 63 A5 12 02 01 07 02 01 00 02 01 0A 30 07 30 05 06 01 2B 05 00"},
      {"notification, the control's first",
       [&](kivOstrel& e) { e.SendNotification("h", "162", "c", "1.3.6.1.6.3.1.1.5.1"); },
       "30 3B 02 01 01 04 01 63 A7 33 02 01 01 02 01 00 02 01 00 30 28 "
       "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
       "30 17 06 0A 2B 06 01 06 03 01 01 04 01 00 06 09 2B 06 01 06 03 01 01 05 01"},
      {"inform",
       [&](kivOstrel& e) { e.SendInformRequest("h", "162", "c", 9, "1.3", Variant(null)); },
       "30 3A 02 01 01 04 01 63 A6 32 02 01 09 02 01 00 02 01 00 30 27 "
       "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
       "30 0F 06 0A 2B 06 01 06 03 01 01 04 01 00 06 01 2B "
       "30 05 06 01 2B 05 00"},
      {"a trap translated, the control's second notification",
       [&](kivOstrel& e) { e.SendTrap("h", "162", "c", "1.3", 6, "17", Variant(null)); },
       "30 4D 02 01 01 04 01 63 A7 45 02 01 02 02 01 00 02 01 00 30 3A "
       "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
       "30 11 06 0A 2B 06 01 06 03 01 01 04 01 00 06 03 2B 00 11 "
       "30 05 06 01 2B 05 00 "
       "30 0F 06 0A 2B 06 01 06 03 01 01 04 03 00 06 01 2B"},
  };
  engine->SnmpVersion(Variant(1));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ReadyEngine();
    c.send(*engine);
    EXPECT_EQ(ToHex(LastSent()), ToHex(Hex(c.hex)));
    EXPECT_EQ(engine->Stat(), 2);
    udp->events().DatagramSent();
  }
}

TEST_F(EngineTest, Snmpv2SendsRefuseAsTheOthersDo) {
  const Bytes null = engine->SNMPNullValue("1.3");
  const struct {
    const char* what;
    std::int32_t version;
    bool ready;
    std::function<void(kivOstrel&)> send;
    std::int32_t error;
  } cases[] = {
      {"getbulk under version 0", 0, true,
       [&](kivOstrel& e) { e.SendGetBulkRequest("h", "161", "c", 1, 0, 5, null); }, 5},
      {"notification under version 0", 0, true,
       [&](kivOstrel& e) { e.SendNotification("h", "162", "c", "1.3"); }, 5},
      {"inform under version 0", 0, true,
       [&](kivOstrel& e) { e.SendInformRequest("h", "162", "c", 1, "1.3"); }, 5},
      {"getbulk not ready", 1, false,
       [&](kivOstrel& e) { e.SendGetBulkRequest("h", "161", "c", 1, 0, 5, null); }, 20001},
      {"notification not ready", 1, false,
       [&](kivOstrel& e) { e.SendNotification("h", "162", "c", "1.3"); }, 20001},
      {"inform with a text for bindings", 1, true,
       [&](kivOstrel& e) {
         e.SendInformRequest("h", "162", "c", 1, "1.3", Variant(std::string("x")));
       },
       13},
      {"notification with a bad trap OID", 1, true,
       [&](kivOstrel& e) { e.SendNotification("h", "162", "c", "1.x"); }, 13},
      {"counter64 past 2^64 - 1", 1, true,
       [&](kivOstrel& e) { e.SNMPCounter64Value("1.3", "18446744073709551616"); }, 6},
      {"noSuchObject under version 0", 0, true,
       [&](kivOstrel& e) { e.SNMPNoSuchObjectValue("1.3"); }, 5},
      {"endOfMibView of a bad OID", 1, true, [&](kivOstrel& e) { e.SNMPEndOfMibViewValue("1.x"); },
       13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Create();
    engine->SnmpVersion(Variant(c.version));
    if (c.ready) ReadyEngine();
    EXPECT_EQ(ErrorNumberOf([&] { c.send(*engine); }), c.error);
    EXPECT_TRUE(udp->sent.empty());
  }
}

TEST_F(EngineTest, JoinBindingsPutsThemEndToEnd) {
  const Bytes a = engine->SNMPNullValue("1.3");
  const Bytes b = engine->SNMPCounter64Value("1.4", "5");
  EXPECT_EQ(ToHex(kivOstrel::JoinBindings(std::vector<Bytes>{a, b})),
            "30 05 06 01 2B 05 00 30 06 06 01 2C 46 01 05");
  EXPECT_TRUE(kivOstrel::JoinBindings({}).empty());
  // The exceptions an SNMPv2c or SNMPv3 agent answers with, as snmpd writes them.
  engine->SnmpVersion(Variant(1));
  EXPECT_EQ(ToHex(engine->SNMPNoSuchObjectValue("1.3")), "30 05 06 01 2B 80 00");
  EXPECT_EQ(ToHex(engine->SNMPNoSuchInstanceValue("1.3")), "30 05 06 01 2B 81 00");
  EXPECT_EQ(ToHex(engine->SNMPEndOfMibViewValue("1.3")), "30 05 06 01 2B 82 00");
}

TEST_F(EngineTest, InformsAreAcknowledgedWithoutTouchingTheSendState) {
  const Bytes binding = engine->SNMPCounter64Value("1.3.6.1.2.1.31.1.1.1.6.1", "7");
  const Bytes inform = BuildRequestMessage({.pdu = kTagInformRequest,
                                            .version = 1,
                                            .community = "public",
                                            .request_id = 77,
                                            .bindings = NotificationBindings(5, "1.3", binding)});
  Bytes acknowledgement = inform;
  acknowledgement[13] = kTagGetResponse;  // after 30 LL, 02 01 01, 04 06 "public"
  ReadyEngine();
  engine->SendGetRequest("127.0.0.1", "161", "public", 1, binding);  // a send in flight
  log.clear();
  udp->events().DatagramReceived("127.0.0.1", "40000", inform);
  EXPECT_EQ(log, (CallLog{"Caption(Received)", "SendUnreported", "Response"}));
  EXPECT_EQ(udp->sent.back().address, "127.0.0.1");
  EXPECT_EQ(udp->sent.back().port, "40000");
  EXPECT_EQ(ToHex(udp->sent.back().message), ToHex(acknowledgement));
  EXPECT_EQ(engine->Stat(), 2);
  EXPECT_EQ(events.responses.back().Command, "InformRequest");

  // What did not decode whole is not acknowledged: an undecodable header, a binding cut short,
  // a trap (which wants no answer).
  Bytes cut = inform;
  cut.pop_back();
  cut.back() = 0x83;  // the Counter64 now declares a long length it does not have
  const Bytes trap = BuildRequestMessage(
      {.pdu = kTagSnmpV2Trap, .version = 1, .bindings = NotificationBindings(5, "1.3", binding)});
  for (const Bytes& datagram : {Bytes(inform.begin(), inform.begin() + 12), cut, trap}) {
    log.clear();
    udp->events().DatagramReceived("127.0.0.1", "40000", datagram);
    EXPECT_EQ(log, (CallLog{"Caption(Received)", "Response"}));
  }
}

TEST_F(EngineTest, ErrorIndexIsTheLastMessagesOwn) {
  EXPECT_EQ(engine->ErrorIndex(), 0);
  std::int32_t seen = -1;
  events.on_response = [&](std::shared_ptr<ObjectsCollection>&) { seen = engine->ErrorIndex(); };
  udp->events().DatagramReceived(
      "127.0.0.1", "161",
      BuildRequestMessage({.pdu = kTagGetBulkRequest, .version = 1, .error_index = 25}));
  EXPECT_EQ(seen, 25);
  EXPECT_EQ(engine->ErrorIndex(), 25);
  udp->events().DatagramReceived("127.0.0.1", "161", Bytes{});
  EXPECT_EQ(engine->ErrorIndex(), 0);
}

}  // namespace
}  // namespace kivostrel::testing
