#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace kivostrel::testing {
namespace {

using Calls = std::vector<std::string>;

TEST_F(EngineTest, TransportEventsSetStateLabelAndRaiseEvents) {
  const struct {
    const char* what;
    std::function<void(UdpSocketEvents&)> raise;
    std::int16_t state_before;
    std::int16_t state_after;
    Calls calls;
  } cases[] = {
      {"ready", [](UdpSocketEvents& e) { e.SocketReady(); }, 0, 1, {"Caption(Ready)", "Ready"}},
      {"ready again",
       [](UdpSocketEvents& e) { e.SocketReady(); },
       1,
       1,
       {"Caption(Ready)", "Ready"}},
      {"sent", [](UdpSocketEvents& e) { e.DatagramSent(); }, 2, 1, {"Caption(Sent)", "Ready"}},
      {"sent while ready",
       [](UdpSocketEvents& e) { e.DatagramSent(); },
       1,
       1,
       {"Caption(Sent)", "Ready"}},
      {"closed while sending",
       [](UdpSocketEvents& e) { e.SocketClosed(); },
       2,
       0,
       {"Caption(Closed)", "OpenSocket(0)"}},
      {"closed while ready",
       [](UdpSocketEvents& e) { e.SocketClosed(); },
       1,
       0,
       {"Caption(Closed)", "OpenSocket(0)"}},
      {"error",
       [](UdpSocketEvents& e) { e.SocketError(10054, "Connection reset", "Receive"); },
       2,
       2,
       {"Caption(Error Connection reset(10054))", "WsError(10054,Connection reset,Receive)"}},
      {"negative code, empty text",
       [](UdpSocketEvents& e) { e.SocketError(-3, "", "Send"); },
       1,
       1,
       {"Caption(Error (-3))", "WsError(-3,,Send)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Create();
    if (c.state_before >= 1) udp->events().SocketReady();
    if (c.state_before == 2) engine->SendGetRequest("127.0.0.1", "161", "", 1, {});
    ASSERT_EQ(engine->Stat(), c.state_before);
    log.clear();
    c.raise(udp->events());
    EXPECT_EQ(engine->Stat(), c.state_after);
    EXPECT_EQ(log, c.calls);
  }
}

// Every send operation, called with the same arguments.
struct SendOperation {
  const char* name;
  std::function<void(kivOstrel&)> call;
};

const std::vector<SendOperation>& SendOperations() {
  static const std::vector<SendOperation> operations = {
      {"SendGetRequest", [](kivOstrel& c) { c.SendGetRequest("127.0.0.1", "161", "", 1, {}); }},
      {"SendGetNextRequest",
       [](kivOstrel& c) { c.SendGetNextRequest("127.0.0.1", "161", "", 1, {}); }},
      {"SendSetRequest", [](kivOstrel& c) { c.SendSetRequest("127.0.0.1", "161", "", 1, {}); }},
      {"SendGetResponse",
       [](kivOstrel& c) { c.SendGetResponse("127.0.0.1", "161", "", 1, 0, 0, {}); }},
      {"SendTrap", [](kivOstrel& c) { c.SendTrap("127.0.0.1", "162", "", "1.3.6.1", 0, "0"); }},
  };
  return operations;
}

TEST_F(EngineTest, SendsRefusedUnlessReady) {
  for (const SendOperation& op : SendOperations()) {
    for (const std::int16_t state : {0, 2}) {
      SCOPED_TRACE(std::string(op.name) + " in state " + std::to_string(state));
      Create();
      if (state == 2) {
        udp->events().SocketReady();
        engine->SendGetRequest("127.0.0.1", "161", "", 1, {});
      }
      const std::size_t sent = udp->sent.size();
      try {
        op.call(*engine);
        ADD_FAILURE() << "no error";
      } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), 20001);
        EXPECT_EQ(e.description(), "Not Ready");
        EXPECT_EQ(e.source(),
                  "ORVAN:" + std::string(op.name) + ":m_Ready=" + std::to_string(state));
      }
      EXPECT_EQ(udp->sent.size(), sent);
      EXPECT_EQ(engine->Stat(), state);
    }
  }
}

TEST_F(EngineTest, OneDatagramInFlight) {
  for (const SendOperation& op : SendOperations()) {
    SCOPED_TRACE(op.name);
    Create();
    ReadyEngine();
    op.call(*engine);
    EXPECT_EQ(engine->Stat(), 2);
    EXPECT_EQ(ErrorNumberOf([&] { op.call(*engine); }), 20001);
    udp->events().DatagramSent();
    op.call(*engine);
    EXPECT_EQ(udp->sent.size(), 2u);
  }
}

TEST_F(EngineTest, ErrorDuringSendRefusesUntilTheNextReport) {
  ReadyEngine();
  engine->SendGetRequest("127.0.0.1", "161", "", 1, {});
  udp->events().SocketError(10065, "No route", "SendDatagram");
  EXPECT_EQ(ErrorNumberOf([&] { engine->SendGetRequest("127.0.0.1", "161", "", 2, {}); }), 20001);
  udp->events().SocketReady();
  engine->SendGetRequest("127.0.0.1", "161", "", 2, {});
  EXPECT_EQ(udp->sent.size(), 2u);
}

TEST_F(EngineTest, RequestMessagesAreHandedToTheComponent) {
  ReadyEngine();
  const Bytes binding = engine->SNMPNullValue("1.3.6.1.2.1.1.1.0");
  const struct {
    const char* what;
    std::function<void()> send;
    const char* hex;
  } cases[] = {
      {"get", [&] { engine->SendGetRequest("192.0.2.1", "161", "", 1, binding); },
       "30 20 02 01 00 04 00 A0 19 02 01 01 02 01 00 02 01 00 30 0E "
       "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
      {"getnext", [&] { engine->SendGetNextRequest("192.0.2.1", "161", "", 1, binding); },
       "30 20 02 01 00 04 00 A1 19 02 01 01 02 01 00 02 01 00 30 0E "
       "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
      {"set", [&] { engine->SendSetRequest("192.0.2.1", "161", "", 1, binding); },
       "30 20 02 01 00 04 00 A3 19 02 01 01 02 01 00 02 01 00 30 0E "
       "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
      {"response", [&] { engine->SendGetResponse("192.0.2.1", "161", "", 1, 2, 1, binding); },
       "30 20 02 01 00 04 00 A2 19 02 01 01 02 01 02 02 01 01 30 0E "
       "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
      {"community, empty list", [&] { engine->SendGetRequest("192.0.2.1", "161", "ab", 1, {}); },
       "30 14 02 01 00 04 02 61 62 A0 0B 02 01 01 02 01 00 02 01 00 30 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.send();
    EXPECT_EQ(udp->sent.back().address, "192.0.2.1");
    EXPECT_EQ(udp->sent.back().port, "161");
    EXPECT_EQ(LastSent(), Hex(c.hex));
    udp->events().DatagramSent();
  }
}

TEST_F(EngineTest, TrapFieldsFromPropertiesOrAutomatic) {
  const struct {
    const char* what;
    std::string agent_address;
    std::int32_t tick_count;
    std::uint32_t system_ms;
    std::optional<std::string> local_address;
    const char* agent_and_stamp;  // the agent-addr and time-stamp elements
  } cases[] = {
      {"both set", "10.0.0.1", 12345, 99999, "10.1.2.3",
       "40 04 0A 00 00 01 02 01 06 02 01 01 43 02 30 39"},
      {"automatic stamp at the counter's top", "10.0.0.1", -1, 4294967295u, "10.1.2.3",
       "40 04 0A 00 00 01 02 01 06 02 01 01 43 04 19 99 99 99"},
      {"automatic stamp drops the remainder", "10.0.0.1", -1, 123459, "10.1.2.3",
       "40 04 0A 00 00 01 02 01 06 02 01 01 43 02 30 39"},
      {"negative stamp as its unsigned 32-bit value", "10.0.0.1", -5, 0, "10.1.2.3",
       "40 04 0A 00 00 01 02 01 06 02 01 01 43 05 00 FF FF FF FB"},
      {"the lowest stamp", "10.0.0.1", INT32_MIN, 0, "10.1.2.3",
       "40 04 0A 00 00 01 02 01 06 02 01 01 43 05 00 80 00 00 00"},
      {"local address towards the manager", "", 0, 0, "10.1.2.3",
       "40 04 0A 01 02 03 02 01 06 02 01 01 43 01 00"},
      {"no local address: 0.0.0.0", "", 0, 0, std::nullopt,
       "40 04 00 00 00 00 02 01 06 02 01 01 43 01 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Create();
    ReadyEngine();
    engine->AgentAddress(c.agent_address);
    engine->TickCount(c.tick_count);
    tick_count_ms = c.system_ms;
    udp->local_address = c.local_address;
    engine->SendTrap("127.0.0.1", "162", "", "1.3.6.1.4.1.9999", 6, "1");
    const std::string hex = ToHex(LastSent());
    EXPECT_NE(hex.find(c.agent_and_stamp), std::string::npos) << hex;
    EXPECT_EQ(engine->TickCount(), c.tick_count);
  }
}

TEST_F(EngineTest, TrapExampleMessage) {
  ReadyEngine();
  engine->AgentAddress("10.0.0.1");
  engine->TickCount(12345);
  engine->SendTrap("192.0.2.1", "162", "", "1.3.6.1.4.1.9999", 6, "1");
  EXPECT_EQ(LastSent(), Hex("30 22 02 01 00 04 00 A4 1B 06 07 2B 06 01 04 01 CE 0F 40 04 0A 00 00 "
                            "01 02 01 06 02 01 01 43 02 30 39 30 00"));
  EXPECT_EQ(log, (Calls{"SendDatagram"}));  // no LocalAddressFor with an agent address set
}

TEST_F(EngineTest, TrapBindingListFromTheVariant) {
  ReadyEngine();
  engine->AgentAddress("10.0.0.1");
  const Bytes binding = engine->SNMPIntegerValue("1.3", "5");
  engine->SendTrap("127.0.0.1", "162", "", "1.3", 0, "0", Variant(binding));
  EXPECT_EQ(Bytes(LastSent().end() - 10, LastSent().end()), Hex("30 08 30 06 06 01 2B 02 01 05"));
  // A value that is no byte array is refused before the ready check, whatever the state.
  EXPECT_EQ(engine->Stat(), 2);
  EXPECT_EQ(ErrorNumberOf([&] {
              engine->SendTrap("127.0.0.1", "162", "", "1.3", 0, "0", Variant(std::string("x")));
            }),
            kErrTypeMismatch);
}

TEST_F(EngineTest, BuildErrorsReachTheCallerAndNothingIsSent) {
  const Bytes too_long(32768, 0);
  const struct {
    const char* what;
    std::function<void(kivOstrel&)> send;
    std::int32_t error;
  } cases[] = {
      {"enterprise is a name",
       [](kivOstrel& c) { c.SendTrap("127.0.0.1", "162", "", "iso.org", 6, "1"); },
       kErrTypeMismatch},
      {"specific not a whole number",
       [](kivOstrel& c) { c.SendTrap("127.0.0.1", "162", "", "1.3.6", 6, "1.5"); },
       kErrTypeMismatch},
      {"agent address typo",
       [](kivOstrel& c) {
         c.AgentAddress("10.0.0");
         c.SendTrap("127.0.0.1", "162", "", "1.3.6", 6, "1");
       },
       kErrTypeMismatch},
      {"trap bindings too long",
       [&](kivOstrel& c) { c.SendTrap("127.0.0.1", "162", "", "1.3.6", 6, "1", too_long); },
       kErrOverflow},
      {"request bindings too long",
       [&](kivOstrel& c) { c.SendGetRequest("127.0.0.1", "161", "", 1, too_long); }, kErrOverflow},
      {"response bindings too long",
       [&](kivOstrel& c) { c.SendGetResponse("127.0.0.1", "161", "", 1, 0, 0, too_long); },
       kErrOverflow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Create();
    ReadyEngine();
    EXPECT_EQ(ErrorNumberOf([&] { c.send(*engine); }), c.error);
    EXPECT_TRUE(udp->sent.empty());
    EXPECT_EQ(engine->Stat(), 1);
  }
}

TEST_F(EngineTest, ComponentRefusingASendLeavesTheLinkFree) {
  ReadyEngine();
  udp->fail_send = true;
  EXPECT_EQ(ErrorNumberOf([&] { engine->SendGetRequest("127.0.0.1", "161", "", 1, {}); }), 5);
  EXPECT_EQ(engine->Stat(), 1);
  udp->fail_send = false;
  engine->SendGetRequest("127.0.0.1", "161", "", 1, {});
  EXPECT_EQ(udp->sent.size(), 1u);
}

TEST_F(EngineTest, HandlerMaySendFromReady) {
  // A host that sends its next request from the Ready event.
  int sends = 0;
  events.on_ready = [&] {
    if (++sends <= 3) engine->SendGetRequest("127.0.0.1", "161", "", sends, {});
  };
  udp->events().SocketReady();
  udp->events().DatagramSent();
  udp->events().DatagramSent();
  EXPECT_EQ(udp->sent.size(), 3u);
  EXPECT_EQ(engine->Stat(), 2);
}

}  // namespace
}  // namespace kivostrel::testing
