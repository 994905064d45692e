// The UDP socket component on Windows: Winsock, with events delivered on the thread that
// created it through a message-only window (WSAAsyncSelect and posted notifications).
//
// Operations do their work at once (bind, close, send) but only queue their outcome and post a
// message to the component's window; events are raised while that thread dispatches window
// messages (a host's message loop, a modal loop, a message-pumping wait), never from inside an
// operation.
//
// Outcomes, in the order of the calls that caused them:
//   OpenSocket   -> SocketReady, or SocketError (where "OpenSocket") when the bind fails
//   CloseSocket  -> SocketClosed (also when no socket was open)
//   SendDatagram -> DatagramSent, or SocketError (where "SendDatagram") then SocketReady
// A datagram Winsock cannot take yet (WSAEWOULDBLOCK) stays pending and goes out on FD_WRITE;
// closing or re-opening the socket reports each pending one as failed (WSAECANCELLED). A failed
// receive is reported as SocketError with where "Receive". At most kMaxDatagramsPerMessage
// datagrams are raised per message; the rest follow in later messages.
//
// Error codes in SocketError are WSA error numbers (10040 message too long, 11001 host not
// found, ...); descriptions name the host, port or size concerned.
//
// Not thread-safe: create, call and destroy it on one thread, the one that pumps its messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "transport/udp_socket.h"

namespace kivostrel {

// Automation errors of LocalAddressFor, the WSA numbers of the same meaning. The source is
// "WinsockUdpSocket:LocalAddressFor", the description names the host and the reason.
enum WinsockUdpSocketErrorNumber : std::int32_t {
  kWinsockErrNetworkUnreachable = 10051,  // WSAENETUNREACH: no route to the host
  kWinsockErrHostNotFound = 11001,        // WSAHOST_NOT_FOUND: neither an address nor a known name
};

struct WinsockUdpSocketOptions {
  // Dotted IPv4 address to bind; the empty text means all local addresses, as "0.0.0.0" does.
  std::string local_address = "0.0.0.0";
  // Port to bind when OpenSocket is given "0"; 0 lets the system choose a free one.
  std::uint16_t local_port = 0;
};

class WinsockUdpSocket final : public UdpSocket {
 public:
  static constexpr int kMaxDatagramsPerMessage = 32;
  // The largest IPv4 UDP payload; larger sends are reported as failed (WSAEMSGSIZE).
  static constexpr std::size_t kMaxDatagramSize = 65507;

  // Must be created on the thread that pumps window messages for the control (its apartment).
  // `events` must outlive the component. No socket is opened yet. Throws std::system_error when
  // Winsock cannot start or the message window cannot be created.
  explicit WinsockUdpSocket(UdpSocketEvents& events, WinsockUdpSocketOptions options = {});
  // Closes the socket and the window; no event is raised, and queued outcomes are dropped. May be
  // called from inside one of the component's own events.
  ~WinsockUdpSocket() override;
  WinsockUdpSocket(const WinsockUdpSocket&) = delete;
  WinsockUdpSocket& operator=(const WinsockUdpSocket&) = delete;

  // Closes any open socket (without SocketClosed) and binds a new one. `local_port` "0" or empty
  // uses the port of the options; another decimal port from 1 to 65535 is used instead of it.
  void OpenSocket(std::string_view local_port) override;
  void CloseSocket() override;
  // Never throws for a network reason; the empty message is sent as an empty datagram.
  void SendDatagram(std::string_view remote_address, std::string_view remote_port,
                    std::span<const std::uint8_t> message) override;
  // Connects a temporary UDP socket (no packet is sent) and reads its local address. May block
  // while a host name is resolved. Throws AutomationError kWinsockErrHostNotFound or
  // kWinsockErrNetworkUnreachable.
  std::string LocalAddressFor(std::string_view remote_address) override;

  bool IsOpen() const noexcept;
  // The port the socket is bound to, 0 when none is open.
  std::uint16_t LocalPort() const noexcept;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kivostrel
