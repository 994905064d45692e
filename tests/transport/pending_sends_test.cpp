// The queue of datagrams waiting for the socket, on a back end whose socket takes nothing until
// the test lets it: SendUnreported's datagrams (Reports, acknowledgements, which senders can
// provoke at will) are bounded, the oldest dropped first; the host's own sends never are.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "encoding/bytes.h"
#include "transport/udp_socket_core.h"

namespace kivostrel {
namespace {

constexpr UdpSocketCore::Platform kPlatform{"Test", 1, 2, 3, 4, 5, 6, 7, 8, 9};

struct Counted : UdpSocketEvents {
  int sent = 0;
  void SocketError(std::int32_t, const std::string&, const std::string&) override {}
  void DatagramReceived(const std::string&, const std::string&,
                        std::span<const std::uint8_t>) override {}
  void SocketClosed() override {}
  void SocketReady() override {}
  void DatagramSent() override { ++sent; }
};

// A socket that would block while `blocked`, and records what it sends.
class HeldSocket final : public UdpSocketCore {
 public:
  explicit HeldSocket(UdpSocketEvents& events) : UdpSocketCore(events, {}, kPlatform) {}
  using UdpSocketCore::RaiseOutcomes;
  using UdpSocketCore::SendPending;

  bool blocked = true;
  std::vector<Bytes> sent;

 private:
  std::optional<OpenFailure> OpenNative(const Endpoint&, bool) override { return std::nullopt; }
  void CloseNative() noexcept override {}
  std::uint16_t NativeLocalPort() const noexcept override { return 40000; }
  Io SendNative(const Endpoint&, std::span<const std::uint8_t> bytes,
                std::int32_t&) noexcept override {
    if (blocked) return Io::kWouldBlock;
    sent.emplace_back(bytes.begin(), bytes.end());
    return Io::kDone;
  }
  Io ReceiveNative(std::span<std::uint8_t>, std::size_t&, Endpoint&,
                   std::int32_t&) noexcept override {
    return Io::kWouldBlock;
  }
  Io ReceiveWaiting(std::span<std::uint8_t>, std::size_t&, Endpoint&,
                    std::int32_t&) noexcept override {
    return Io::kWouldBlock;
  }
  std::optional<LookupFailure> LookUpHost(const std::string&, Endpoint&) override {
    return LookupFailure{1, "no names here"};
  }
  bool IsMachineAddress(const Endpoint&) override { return true; }
  std::optional<std::uint16_t> LookUpService(const std::string&) override { return std::nullopt; }
  std::int32_t LocalAddressTowards(const Endpoint&, Endpoint&) override { return 1; }
  std::string ErrorText(std::int32_t) const override { return "error"; }
  bool Wake() noexcept override { return true; }
};

TEST(PendingSends, UnreportedOnesAreBoundedTheHostsNever) {
  Counted events;
  HeldSocket socket(events);
  socket.OpenSocket("0");
  const std::size_t cap = UdpSocketCore::kMaxPendingUnreported;
  const std::size_t pushed = cap + 476;
  for (std::size_t i = 0; i < pushed; ++i) {
    socket.SendUnreported("127.0.0.1", "161",
                          Bytes{static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)});
    if (i == 10) socket.SendDatagram("127.0.0.1", "161", Bytes{0xFF});  // the host's, kept
  }
  EXPECT_EQ(socket.unreported_pending(), cap);
  EXPECT_EQ(socket.unreported_dropped(), pushed - cap);

  socket.blocked = false;
  socket.SendPending();
  socket.RaiseOutcomes();
  ASSERT_EQ(socket.sent.size(), cap + 1);
  EXPECT_EQ(socket.sent[0], Bytes{0xFF});  // it was queued before the ones kept
  for (std::size_t i = 1; i <= cap; ++i) {
    const std::size_t n = pushed - cap + i - 1;  // the newest ones, in order
    EXPECT_EQ(socket.sent[i],
              (Bytes{static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)}));
  }
  EXPECT_EQ(events.sent, 1);
  EXPECT_EQ(socket.unreported_pending(), 0u);
}

}  // namespace
}  // namespace kivostrel
