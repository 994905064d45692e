#include <gtest/gtest.h>

#include <map>

#include "control/kivostrel.h"
#include "engine_fixture.h"

namespace kivostrel::testing {
namespace {

using Calls = std::vector<std::string>;

TEST_F(EngineTest, CreationRunsInOrderAndSetsTheInitialValues) {
  EXPECT_EQ(log, (Calls{std::string("Caption(") + kBanner + ")", "OpenSocket(0)"}));
  EXPECT_EQ(engine->Copyright(), kBanner);
  EXPECT_EQ(label.caption, kBanner);
  EXPECT_EQ(engine->StringType(), 0);
  EXPECT_EQ(engine->AgentAddress(), "");
  EXPECT_EQ(engine->TickCount(), -1);
  EXPECT_EQ(engine->Stat(), 0);
  // The default rows are loaded last.
  EXPECT_EQ(engine->OID2Name("1.3.6.1.2.1.1.1"), "iso.org.dod.internet.mgmt.mib.system.sysDescr");
}

TEST_F(EngineTest, BannerNamesTheProductAndVersion) {
  const std::string banner = kBanner;
  EXPECT_NE(banner.find("KIVOSTREL"), std::string::npos);
  EXPECT_NE(banner.find("2.04"), std::string::npos);
  EXPECT_NE(banner.find("Copyright"), std::string::npos);
}

TEST_F(EngineTest, FailedOpenEndsCreationBeforeTheRowsLoad) {
  CallLog failed_log;
  RecordingLabel failed_label{failed_log};
  RecordingEvents failed_events{failed_log};
  EXPECT_EQ(ErrorNumberOf([&] {
              kivOstrel failing(failed_events, failed_label, [&](UdpSocketEvents& sink) {
                auto socket = std::make_unique<FakeUdpSocket>(sink, failed_log);
                socket->fail_open = true;
                return socket;
              });
            }),
            10048);
}

TEST_F(EngineTest, DestructionClosesOnceAndNeverReopens) {
  udp->events().SocketReady();
  // The component answers the close at once; the control is already terminating.
  udp->on_close = [this] { udp->events().SocketClosed(); };
  log.clear();
  engine.reset();
  EXPECT_EQ(log, (Calls{"CloseSocket", "Caption(Closed)"}));
}

TEST_F(EngineTest, SendsDuringTerminationReportStateMinusOne) {
  std::optional<std::string> source;
  kivOstrel* terminating = engine.get();  // the unique_ptr is already empty while it destroys
  udp->on_close = [terminating, &source] {
    try {
      terminating->SendGetRequest("127.0.0.1", "161", "", 1, {});
    } catch (const AutomationError& e) {
      source = e.source();
    }
  };
  engine.reset();
  EXPECT_EQ(source, "ORVAN:SendGetRequest:m_Ready=-1");
}

TEST_F(EngineTest, SimplePropertiesStoreWithoutChecks) {
  engine->StringType(2);
  engine->AgentAddress("not an address");
  engine->TickCount(-7);
  engine->Copyright("anything");
  EXPECT_EQ(engine->StringType(), 2);
  EXPECT_EQ(engine->AgentAddress(), "not an address");
  EXPECT_EQ(engine->TickCount(), -7);
  EXPECT_EQ(engine->Copyright(), kBanner);
}

TEST_F(EngineTest, ResizeCoversTheClientAreaAndNeverFails) {
  engine->Resize(320, 45);
  EXPECT_EQ(log.back(), "Move(0,0,320,45)");
  label.fail_move = true;
  engine->Resize(10, 10);  // no exception
}

class MemoryBag final : public PropertyBag {
 public:
  Variant Read(const std::string& name, const Variant& default_value) override {
    const auto it = values.find(name);
    return it == values.end() ? default_value : it->second;
  }
  void Write(const std::string& name, const Variant& value, const Variant& default_value) override {
    values[name] = value;
    defaults[name] = default_value;
  }
  std::map<std::string, Variant> values;
  std::map<std::string, Variant> defaults;
};

TEST_F(EngineTest, LoadingStringType) {
  const struct {
    const char* what;
    std::optional<Variant> stored;
    std::int32_t expected;
  } cases[] = {
      {"no entry", std::nullopt, 0},
      {"text 1", Variant(std::string("1")), 1},
      {"long", Variant(std::int32_t{7}), 7},
      {"half rounds to even, down", Variant(std::string("2.5")), 2},
      {"half rounds to even, up", Variant(std::string("3.5")), 4},
      {"double", Variant(1.5), 2},
      {"blanks and sign", Variant(std::string(" -12 ")), -12},
      {"exponent", Variant(std::string("1e3")), 1000},
      {"empty", Variant(), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryBag bag;
    if (c.stored) bag.values["StringType"] = *c.stored;
    engine->StringType(99);
    engine->ReadProperties(bag);
    EXPECT_EQ(engine->StringType(), c.expected);
  }
}

TEST_F(EngineTest, LoadingAValueThatDoesNotConvertKeepsTheField) {
  const struct {
    Variant stored;
    std::int32_t error;
  } cases[] = {
      {Variant(std::string("abc")), kErrTypeMismatch},
      {Variant(std::string("")), kErrTypeMismatch},
      {Variant(std::string("1 2")), kErrTypeMismatch},
      {Variant(Bytes{1}), kErrTypeMismatch},
      {Variant(std::string("3000000000")), kErrOverflow},
      {Variant(-2147483648.6), kErrOverflow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ValueToText(c.stored));
    MemoryBag bag;
    bag.values["StringType"] = c.stored;
    engine->StringType(5);
    EXPECT_EQ(ErrorNumberOf([&] { engine->ReadProperties(bag); }), c.error);
    EXPECT_EQ(engine->StringType(), 5);
  }
}

TEST_F(EngineTest, SavedStringTypeSurvivesAndNothingElseDoes) {
  engine->StringType(1);
  engine->AgentAddress("10.0.0.1");
  engine->TickCount(12345);
  MemoryBag bag;
  engine->WriteProperties(bag);
  ASSERT_EQ(bag.values.size(), 1u);
  EXPECT_EQ(bag.values["StringType"], Variant(std::int32_t{1}));
  EXPECT_EQ(bag.defaults["StringType"], Variant(std::string("0")));

  Create();
  engine->ReadProperties(bag);
  EXPECT_EQ(engine->StringType(), 1);
  EXPECT_EQ(engine->AgentAddress(), "");
  EXPECT_EQ(engine->TickCount(), -1);
}

TEST_F(EngineTest, TwoControlsHaveTheirOwnTables) {
  CallLog other_log;
  RecordingLabel other_label{other_log};
  RecordingEvents other_events{other_log};
  kivOstrel other(other_events, other_label, [&](UdpSocketEvents& sink) {
    return std::make_unique<FakeUdpSocket>(sink, other_log);
  });
  engine->ClearOID();
  engine->SetOID("1.3", "mine");
  EXPECT_EQ(engine->OID2Name("1.3.6"), "mine.6");
  EXPECT_EQ(other.OID2Name("1.3.6"), "iso.org.dod");
  EXPECT_EQ(other.Name2OID("mine"), "mine");
}

}  // namespace
}  // namespace kivostrel::testing
