// The UDP socket component: the one way the control reaches the network.
//
// Operations are called by the control on its host's thread. Events are raised to the
// UdpSocketEvents given at construction, on the same thread, and only from the host's event pump
// (a platform-specific call of each implementation), never from inside an operation. An event
// handler may call any operation, and may even destroy the component; implementations re-check
// their state after every event they raise.
//
// Outcomes of operations arrive as events:
//   OpenSocket   -> SocketReady (or SocketError)
//   CloseSocket  -> SocketClosed
//   SendDatagram -> DatagramSent, or SocketError (where "SendDatagram") followed by SocketReady.
//   SendUnreported -> nothing, whether it went out or not
//   Rebind       -> SocketClosed, after which OpenSocket("0") takes the socket it bound
// SendDatagram never fails synchronously for a network reason (unresolvable host, bad port text,
// oversized or unroutable datagram): every send is reported afterwards.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kivostrel {

class UdpSocketEvents {
 public:
  virtual ~UdpSocketEvents() = default;

  // `code` is the platform's error number, `description` a readable text, `where` the operation
  // that failed ("OpenSocket", "SendDatagram", "Receive", ...).
  virtual void SocketError(std::int32_t code, const std::string& description,
                           const std::string& where) = 0;
  // The sender's address (dotted IPv4, or IPv6 text such as "::1") and decimal port, and the
  // datagram's bytes (valid during the call only).
  virtual void DatagramReceived(const std::string& remote_address, const std::string& remote_port,
                                std::span<const std::uint8_t> data) = 0;
  virtual void SocketClosed() = 0;
  virtual void SocketReady() = 0;
  virtual void DatagramSent() = 0;
};

// Why an operation failed at once: the platform's error number and a description naming what
// was concerned.
struct SocketFailure {
  std::int32_t code = 0;
  std::string description;
};

class UdpSocket {
 public:
  virtual ~UdpSocket() = default;

  // Opens (or re-opens) the socket; the control always passes "0": the configured local endpoint.
  virtual void OpenSocket(std::string_view local_port) = 0;
  virtual void CloseSocket() = 0;
  // `remote_address`: a dotted IPv4 address, an IPv6 literal or a host name; `remote_port`:
  // decimal or a service name.
  virtual void SendDatagram(std::string_view remote_address, std::string_view remote_port,
                            std::span<const std::uint8_t> message) = 0;
  // The same send, in order with the others, whose outcome raises no event: for what the control
  // sends on its own (an inform's acknowledgement), which the host's send state knows nothing of.
  // A datagram that cannot be sent is dropped.
  virtual void SendUnreported(std::string_view remote_address, std::string_view remote_port,
                              std::span<const std::uint8_t> message) = 0;
  // The local address the system would use towards `remote_address`, as text. Raises an
  // AutomationError when there is none (an unresolvable or unreachable host).
  virtual std::string LocalAddressFor(std::string_view remote_address) = 0;
  // The address and port texts that DatagramReceived gives a datagram from the peer a send with
  // these texts reaches: a host name resolved as a send resolves it (which may block), a service
  // name as its number. Nullopt when a send there would fail.
  struct Peer {
    std::string address;
    std::string port;
    bool operator==(const Peer&) const = default;
    auto operator<=>(const Peer&) const = default;
  };
  virtual std::optional<Peer> PeerOf(std::string_view remote_address,
                                     std::string_view remote_port) = 0;

  // The port the socket is bound to now (also when the system chose it); 0 when none is open.
  virtual std::uint16_t LocalPort() const = 0;
  // Makes `local_address` and `local_port` the configured local endpoint and binds a socket
  // there at once. On failure nothing changes and the failure is returned. On success the new
  // socket replaces the open one, SocketClosed follows, and the next OpenSocket("0") takes the
  // new socket instead of binding again (the endpoint the socket has already keeps that socket,
  // with the same events). `local_address`: "" for every local address (IPv4 and
  // IPv6 on one socket), a dotted IPv4 address or an IPv6 literal of this machine, or
  // "localhost"; `local_port` 0 lets the system choose.
  virtual std::optional<SocketFailure> Rebind(std::string_view local_address,
                                              std::uint16_t local_port) = 0;
};

}  // namespace kivostrel
