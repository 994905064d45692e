#include <gtest/gtest.h>

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
