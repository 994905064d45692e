#include "tools/ostrel/control_host.h"

#include <algorithm>
#include <iostream>

#include "encoding/automation_error.h"
#include "security/openssl/openssl_crypto.h"
#include "transport/posix/posix_udp_socket.h"

namespace kivostrel::ostrel {

// A socket component that never reaches the network: it is always ready at once, refuses to
// send, and hands the control the datagrams it is given.
class ReplaySocket final : public UdpSocket {
 public:
  explicit ReplaySocket(UdpSocketEvents& events) : events_(events) {}

  void OpenSocket(std::string_view /*local_port*/) override {}
  void CloseSocket() override {}
  void SendDatagram(std::string_view /*remote_address*/, std::string_view /*remote_port*/,
                    std::span<const std::uint8_t> /*message*/) override {
    throw AutomationError(kErrNotReady, "ReplaySocket:SendDatagram", "Not connected to a network");
  }
  // What the control sends on its own (an inform's acknowledgement) goes nowhere.
  void SendUnreported(std::string_view /*remote_address*/, std::string_view /*remote_port*/,
                      std::span<const std::uint8_t> /*message*/) override {}
  std::string LocalAddressFor(std::string_view /*remote_address*/) override { return "0.0.0.0"; }
  std::optional<Peer> PeerOf(std::string_view remote_address,
                             std::string_view remote_port) override {
    return Peer{std::string(remote_address), std::string(remote_port)};
  }
  std::uint16_t LocalPort() const override { return 0; }
  std::optional<kivostrel::SocketFailure> Rebind(std::string_view /*local_address*/,
                                                 std::uint16_t /*local_port*/) override {
    return kivostrel::SocketFailure{kErrNotReady, "not connected to a network"};
  }

  void Deliver(const std::string& remote_address, const std::string& remote_port,
               std::span<const std::uint8_t> data) {
    events_.DatagramReceived(remote_address, remote_port, data);
  }

 private:
  UdpSocketEvents& events_;
};

std::unique_ptr<ControlHost> ControlHost::OnNetwork(const NetworkOptions& options) {
  std::unique_ptr<ControlHost> host(new ControlHost());
  ControlHost* self = host.get();
  const UdpSocketOptions socket_options{.local_address = options.local_address,
                                        .local_port = options.local_port};
  host->control_ = std::make_unique<kivOstrel>(
      self->AsEvents(), self->AsLabel(),
      [self, &socket_options](UdpSocketEvents& events) {
        auto socket = std::make_unique<PosixUdpSocket>(events, socket_options);
        self->network_socket_ = socket.get();
        return socket;
      },
      kivOstrel::Options{.crypto = std::make_shared<const OpenSslCrypto>()});
  return host;
}

std::unique_ptr<ControlHost> ControlHost::Offline() {
  std::unique_ptr<ControlHost> host(new ControlHost());
  ControlHost* self = host.get();
  host->control_ = std::make_unique<kivOstrel>(
      self->AsEvents(), self->AsLabel(),
      [self](UdpSocketEvents& events) {
        auto socket = std::make_unique<ReplaySocket>(events);
        self->replay_socket_ = socket.get();
        return socket;
      },
      kivOstrel::Options{.crypto = std::make_shared<const OpenSslCrypto>()});
  return host;
}

ControlHost::~ControlHost() = default;

bool ControlHost::Pump(Clock::time_point deadline) {
  const auto now = Clock::now();
  if (now >= deadline) return false;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  // Pump() takes an int; a far deadline is reached in several waits.
  network_socket_->Pump(static_cast<int>(std::min<long long>(left, 60'000)));
  return true;
}

void ControlHost::WaitReady(Clock::time_point deadline) {
  while (true) {
    ThrowOnSocketFailure();
    if (control_->Stat() == 1) return;
    if (!Pump(deadline)) throw ToolError(kExitFailure, "the socket did not become ready in time");
  }
}

std::uint16_t ControlHost::LocalPort() const noexcept {
  return network_socket_ != nullptr ? network_socket_->LocalPort() : 0;
}

std::optional<UdpSocket::Peer> ControlHost::PeerOf(const std::string& host,
                                                   const std::string& port) const {
  if (network_socket_ == nullptr) return UdpSocket::Peer{host, port};
  return network_socket_->PeerOf(host, port);
}

void ControlHost::Replay(const std::string& remote_address, const std::string& remote_port,
                         std::span<const std::uint8_t> data) {
  replay_socket_->Deliver(remote_address, remote_port, data);
}

void ControlHost::ThrowOnSocketFailure() {
  while (!failures_.empty()) {
    SocketFailure failure = std::move(failures_.front());
    failures_.pop_front();
    const std::string text = failure.description + " (" + std::to_string(failure.code) + ")";
    if (failure.where == "OpenSocket") throw ToolError(kExitFailure, "cannot open socket: " + text);
    if (failure.where == "SendDatagram") throw ToolError(kExitFailure, "cannot send: " + text);
    std::cerr << "ostrel: " << failure.where << ": " << text << "\n";
  }
}

void ControlHost::WsError(std::int32_t Ecode, const std::string& Description,
                          const std::string& Where) {
  failures_.push_back({Ecode, Description, Where});
}

}  // namespace kivostrel::ostrel
