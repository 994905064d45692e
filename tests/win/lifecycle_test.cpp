// The control's end: released with its socket open, or by its own event's handler.
#include "udp_peer.h"

#include <ole2.h>

#include <gtest/gtest.h>

#include "dispatch_client.h"
#include "strict_sink.h"

namespace kivostrel::wintest {
namespace {

constexpr DWORD kEventTimeoutMs = 5000;

class LifeCycle : public ::testing::Test {
 protected:
  void SetUp() override {
    // The server stays loaded while the test runs, so DllCanUnloadNow can be asked at the end.
    module_ = UniqueModule(::LoadLibraryW(OcxPath().c_str()));
    ASSERT_NE(module_.get(), nullptr);
    control_ = CreateControl();
    ASSERT_TRUE(control_);
    ASSERT_EQ(sink_.Advise(control_.get()), S_OK);
  }

  void WaitUntilReady() {
    sink_.on_ready = [] {};
    ASSERT_TRUE(PumpUntil([&] { return sink_.ready_count >= 1; }, kEventTimeoutMs));
  }

  UniqueModule module_;
  ComPtr<IDispatch> control_;
  StrictSink sink_;
};

TEST_F(LifeCycle, DestroyingWithAnOpenSocketClosesItForGood) {
  WaitUntilReady();
  UdpPeer peer;
  ASSERT_TRUE(peer.ok());
  ASSERT_EQ(Call(control_.get(), L"SendGetRequest", Text(L"127.0.0.1"), Text(peer.port_text()),
                 Text(L""), Long(1), ByteArray({}))
                .hr,
            S_OK);
  std::vector<std::uint8_t> datagram;
  sockaddr_in control_address{};
  ASSERT_TRUE(peer.Receive(datagram, control_address, kEventTimeoutMs));
  const std::uint16_t control_port = ntohs(control_address.sin_port);

  // No event may reach the sink from now on, not even the pending DatagramSent's Ready.
  sink_.on_ready = nullptr;
  const int readies = sink_.ready_count;
  sink_.Forget();
  control_.reset();
  PumpFor(300);
  EXPECT_EQ(sink_.ready_count, readies);
  EXPECT_EQ(sink_.response_count + sink_.ws_error_count, 0);
  EXPECT_EQ(sink_.references(), 0u) << "the destroyed control still holds the sink";
  EXPECT_EQ(ServerCanUnloadNow(), S_OK);

  // The port is free again: the socket was closed and nothing bound it anew.
  UdpPeer same_port(control_port);
  EXPECT_TRUE(same_port.ok()) << "port " << control_port << " is still bound";
}

TEST_F(LifeCycle, DestroyingBeforeTheSocketIsReadyIsQuiet) {
  sink_.Forget();
  control_.reset();
  PumpFor(300);
  EXPECT_EQ(sink_.ready_count, 0);
  EXPECT_EQ(sink_.references(), 0u);
  EXPECT_EQ(ServerCanUnloadNow(), S_OK);
}

TEST_F(LifeCycle, HandlerMayReleaseTheLastReferenceInsideReady) {
  // The handler's release is the last one: the sink gives up its connection point first.
  sink_.Forget();
  sink_.on_ready = [&] {
    control_.reset();
    sink_.on_ready = nullptr;  // the control is gone: nothing more may come
  };
  ASSERT_TRUE(PumpUntil([&] { return sink_.ready_count == 1; }, kEventTimeoutMs));
  PumpFor(300);
  EXPECT_FALSE(control_);
  EXPECT_EQ(sink_.ready_count, 1);
  EXPECT_EQ(sink_.references(), 0u);
  EXPECT_EQ(ServerCanUnloadNow(), S_OK);
}

TEST_F(LifeCycle, HandlerMayReleaseTheLastReferenceInsideResponse) {
  WaitUntilReady();
  UdpPeer peer;
  ASSERT_TRUE(peer.ok());
  ASSERT_EQ(Call(control_.get(), L"SendGetRequest", Text(L"127.0.0.1"), Text(peer.port_text()),
                 Text(L""), Long(1), ByteArray({}))
                .hr,
            S_OK);
  std::vector<std::uint8_t> datagram;
  sockaddr_in control_address{};
  ASSERT_TRUE(peer.Receive(datagram, control_address, kEventTimeoutMs));
  ASSERT_TRUE(PumpUntil([&] { return sink_.ready_count == 2; }, kEventTimeoutMs));

  ComPtr<IDispatch> kept_objects;
  sink_.Forget();
  sink_.on_ready = nullptr;
  sink_.on_response = [&](ResponseArgs& args) {
    kept_objects = args.objects;
    control_.reset();
    sink_.on_response = nullptr;
  };
  // Two datagrams at once: the second must not reach a destroyed control's host.
  ASSERT_TRUE(peer.SendTo(datagram, control_address));
  ASSERT_TRUE(peer.SendTo(datagram, control_address));
  ASSERT_TRUE(PumpUntil([&] { return sink_.response_count == 1; }, kEventTimeoutMs));
  PumpFor(300);
  EXPECT_EQ(sink_.response_count, 1);
  EXPECT_EQ(sink_.references(), 0u);
  // The collection outlives the control that made it.
  ASSERT_TRUE(kept_objects);
  EXPECT_EQ(LongOf(*Get(kept_objects.get(), L"Count").value.get()), 0);
  kept_objects.reset();
  EXPECT_EQ(ServerCanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace kivostrel::wintest
