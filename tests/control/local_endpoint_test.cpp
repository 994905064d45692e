// The control's local endpoint: LocalPort and LocalAddress puts reach the socket component at
// once, or raise and change nothing.
#include <optional>

#include "encoding/hex.h"
#include "engine_fixture.h"

namespace kivostrel::testing {
namespace {

TEST_F(EngineTest, LocalPortPutsRebindOrRaise) {
  const struct {
    const char* what;
    std::int16_t stat;
    Variant value;
    std::optional<SocketFailure> refusal;  // what the component answers
    std::optional<std::int32_t> error;
    const char* rebind;  // the call the component sees, if any
  } cases[] = {
      {"a number before the first Ready", 0, Variant(162), std::nullopt, std::nullopt,
       "Rebind(,162)"},
      {"a text while ready", 1, Variant(std::string(" 162 ")), std::nullopt, std::nullopt,
       "Rebind(,162)"},
      {"a fraction, rounded", 1, Variant(161.5), std::nullopt, std::nullopt, "Rebind(,162)"},
      {"0: the system chooses", 1, Variant(0), std::nullopt, std::nullopt, "Rebind(,0)"},
      {"65535", 1, Variant(65535), std::nullopt, std::nullopt, "Rebind(,65535)"},
      {"above 65535", 1, Variant(70000), std::nullopt, kErrOverflow, nullptr},
      {"negative", 1, Variant(-1), std::nullopt, kErrOverflow, nullptr},
      {"not a number", 1, Variant(std::string("abc")), std::nullopt, kErrTypeMismatch, nullptr},
      {"a send in flight", 2, Variant(162), std::nullopt, kErrNotReady, nullptr},
      {"a port in use", 1, Variant(162), SocketFailure{10048, "cannot bind port 162: in use"},
       10048, "Rebind(,162)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Create();
    udp->bound_port = 5000;
    if (c.stat >= 1) ReadyEngine();
    if (c.stat == 2) engine->SendGetRequest("127.0.0.1", "161", "public", 1, {});
    ASSERT_EQ(engine->Stat(), c.stat);
    udp->rebind_failure = c.refusal;
    log.clear();
    EXPECT_EQ(ErrorNumberOf([&] { engine->LocalPort(c.value); }), c.error);
    EXPECT_EQ(log, c.rebind ? CallLog{c.rebind} : CallLog{});
    EXPECT_EQ(engine->LocalPort(), c.error ? 5000 : udp->bound_port);
    // A put that took effect leaves the control not ready until the new socket's Ready.
    EXPECT_EQ(engine->Stat(), c.error ? c.stat : 0);
  }
}

TEST_F(EngineTest, LocalAddressPutsKeepTheConfiguredPort) {
  ReadyEngine();
  engine->LocalPort(Variant(1162));
  engine->LocalAddress("::1");
  EXPECT_EQ(engine->LocalAddress(), "::1");
  udp->rebind_failure = SocketFailure{10049, "cannot bind 192.0.2.1 port 1162: not available"};
  try {
    engine->LocalAddress("192.0.2.1");
    ADD_FAILURE() << "no error";
  } catch (const AutomationError& error) {
    EXPECT_EQ(error.number(), 10049);
    EXPECT_EQ(error.description(), "cannot bind 192.0.2.1 port 1162: not available");
  }
  EXPECT_EQ(engine->LocalAddress(), "::1");
  EXPECT_EQ(log, (CallLog{"Rebind(,1162)", "Rebind(::1,1162)", "Rebind(192.0.2.1,1162)"}));
}

TEST_F(EngineTest, TrapTowardsAnIpv6ManagerCarriesAgentAddressZero) {
  ReadyEngine();
  udp->local_address = "::1";
  engine->SendTrap("::1", "162", "", "1.3.6.1.4.1.9999", 6, "1");
  EXPECT_NE(ToHex(LastSent()).find("40 04 00 00 00 00 02 01 06"), std::string::npos);
}

}  // namespace
}  // namespace kivostrel::testing
