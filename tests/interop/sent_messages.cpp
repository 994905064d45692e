#include "sent_messages.h"

#include <gtest/gtest.h>

#include <functional>

#include "transport/posix/posix_udp_socket.h"

namespace kivostrel::testing {
namespace {

// Catches what the control sends.
struct Catcher final : UdpSocketEvents {
  std::vector<Bytes> datagrams;
  bool ready = false;
  void SocketError(std::int32_t, const std::string&, const std::string&) override {}
  void DatagramReceived(const std::string&, const std::string&,
                        std::span<const std::uint8_t> data) override {
    datagrams.emplace_back(data.begin(), data.end());
  }
  void SocketClosed() override {}
  void SocketReady() override { ready = true; }
  void DatagramSent() override {}
};

}  // namespace

Bytes EveryValueType(const kivOstrel& engine) {
  const std::string b = std::string(kSentEnterprise) + ".1.";
  const std::vector<Bytes> bindings{
      engine.SNMPStringValue(b + "1.0", "hello world"),
      engine.SNMPIntegerValue(b + "2.0", "-5"),
      engine.SNMPCounterValue(b + "3.0", "4294967295"),
      engine.SnmpGaugeValue(b + "4.0", "1000"),
      engine.SnmpTimeTicksValue(b + "5.0", "123456"),
      engine.SNMPIpAddrValue(b + "6.0", "10.0.0.254"),
      engine.SNMPBinStringValue(b + "7.0", Bytes{0x00, 0x01, 0xFE, 0xFF}),
      engine.SNMPNullValue(b + "8.0"),
  };
  Bytes all;
  for (const Bytes& binding : bindings) all.insert(all.end(), binding.begin(), binding.end());
  return all;
}

std::vector<Bytes> SendEveryKindOfMessage(EngineHarness& host) {
  Catcher catcher;
  PosixUdpSocket catcher_socket(catcher, UdpSocketOptions{.local_address = "127.0.0.1"});
  catcher_socket.OpenSocket("0");
  if (!host.PumpUntil([&] {
        catcher_socket.Pump(0);
        return catcher.ready;
      })) {
    ADD_FAILURE() << "the catching socket never opened";
    return {};
  }
  const std::string port = std::to_string(catcher_socket.LocalPort());

  kivOstrel& engine = host.engine();
  const Bytes all = EveryValueType(engine);
  const Bytes sys_descr = engine.SNMPNullValue("1.3.6.1.2.1.1.1.0");
  const Bytes if_index = engine.SNMPIntegerValue("1.3.6.1.2.1.2.2.1.1.3", "3");
  engine.AgentAddress("127.0.0.1");
  engine.TickCount(123456);
  const std::string ip = "127.0.0.1";
  const std::vector<std::function<void()>> sends{
      [&] { engine.SendGetRequest(ip, port, "public", 1, sys_descr); },
      [&] { engine.SendGetNextRequest(ip, port, "public", 2, all); },
      [&] { engine.SendSetRequest(ip, port, "private", 3, all); },
      [&] { engine.SendGetResponse(ip, port, "public", 4, 0, 0, all); },
      [&] { engine.SendGetResponse(ip, port, "public", -5, 2, 1, sys_descr); },
      [&] { engine.SendTrap(ip, port, "public", kSentEnterprise, 6, "17", Variant(all)); },
      [&] { engine.SendTrap(ip, port, "public", kSentEnterprise, 2, "0", Variant(if_index)); },
      [&] { engine.SendGetRequest(ip, port, "", 2147483647, Bytes{}); },
  };
  for (const auto& send : sends) {
    const std::size_t before = catcher.datagrams.size();
    send();
    if (!host.PumpUntil([&] {
          catcher_socket.Pump(0);
          return catcher.datagrams.size() > before && engine.Stat() == 1;
        })) {
      ADD_FAILURE() << "message " << before + 1 << " did not arrive";
      return {};
    }
  }
  return catcher.datagrams;
}

}  // namespace kivostrel::testing
