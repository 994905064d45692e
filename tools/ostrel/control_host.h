// ControlHost: the host a kivOstrel control needs, for a program without windows or a message
// loop. It owns the control, keeps what the control's events report until the tool takes it,
// and drives the socket component's pump.
//
// Two kinds of socket:
//  - OnNetwork: the POSIX UDP socket component; Pump() waits for and raises its events.
//  - Offline: a socket that never touches the network; Replay() hands it a datagram as if it had
//    arrived, so the control decodes and reports it through Response exactly as a received one.
//    Translation and name search need no socket at all and use this kind too.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "control/kivostrel.h"
#include "tools/ostrel/command_line.h"
#include "tools/ostrel/datagram.h"

namespace kivostrel {
class PosixUdpSocket;
}

namespace kivostrel::ostrel {

class ReplaySocket;

using Clock = std::chrono::steady_clock;

// What WsError reported.
struct SocketFailure {
  std::int32_t code = 0;
  std::string description;
  std::string where;
};

// The local endpoint, as UdpSocketOptions takes it.
struct NetworkOptions {
  std::string local_address;     // "": every address, IPv4 and IPv6
  std::uint16_t local_port = 0;  // 0: the system chooses
};

class ControlHost final : private HostEvents, private Label {
 public:
  static std::unique_ptr<ControlHost> OnNetwork(const NetworkOptions& options);
  static std::unique_ptr<ControlHost> Offline();
  ~ControlHost() override;
  ControlHost(const ControlHost&) = delete;
  ControlHost& operator=(const ControlHost&) = delete;

  kivOstrel& control() noexcept { return *control_; }
  const kivOstrel& control() const noexcept { return *control_; }

  // --- OnNetwork only ---
  // Raises the socket's events that are due, waiting for the first of them until `deadline`.
  // Returns false once the deadline has passed.
  bool Pump(Clock::time_point deadline);
  // Pumps until the control can send (Stat() is 1). Throws ToolError when the deadline passes
  // first, or when the socket could not be opened or a send failed.
  void WaitReady(Clock::time_point deadline);
  // The local port of the socket, 0 before it is open.
  std::uint16_t LocalPort() const noexcept;
  // The address and port texts datagrams from this agent arrive with; nullopt when it cannot be
  // reached.
  std::optional<UdpSocket::Peer> PeerOf(const std::string& host, const std::string& port) const;

  // --- Offline only ---
  // The control receives `data` from `remote_address`:`remote_port` and reports it.
  void Replay(const std::string& remote_address, const std::string& remote_port,
              std::span<const std::uint8_t> data);

  // Datagrams reported by Response, oldest first.
  std::deque<Datagram>& received() noexcept { return received_; }
  // Failures reported by WsError, oldest first.
  std::deque<SocketFailure>& failures() noexcept { return failures_; }
  // Throws ToolError for a reported failure of OpenSocket or SendDatagram; other failures (a
  // receive that went wrong) are written to standard error and dropped.
  void ThrowOnSocketFailure();

 private:
  ControlHost() = default;
  HostEvents& AsEvents() noexcept { return *this; }
  Label& AsLabel() noexcept { return *this; }

  // HostEvents
  void Response(const ReceivedMessage& message,
                std::shared_ptr<ObjectsCollection>& /*Objects*/) override {
    received_.push_back({message, control_->SecurityError()});
  }
  void Ready() override {}
  void WsError(std::int32_t Ecode, const std::string& Description,
               const std::string& Where) override;
  // Label: the caption is the control's one-word status, of no use on a terminal.
  void SetCaption(const std::string& /*caption*/) override {}
  void Move(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}

  std::deque<Datagram> received_;
  std::deque<SocketFailure> failures_;
  PosixUdpSocket* network_socket_ = nullptr;  // owned by the control
  ReplaySocket* replay_socket_ = nullptr;     // owned by the control
  std::unique_ptr<kivOstrel> control_;        // last: destroyed first, while we still exist
};

}  // namespace kivostrel::ostrel
