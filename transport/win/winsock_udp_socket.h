// The UDP socket component on Windows: Winsock, with events delivered on the thread that created
// it through a message-only window (WSAAsyncSelect and posted messages). What it reports, and
// when, is UdpSocketCore's; events are raised while that thread dispatches window messages (a
// host's message loop, a modal loop, a message-pumping wait).
//
// Error codes in SocketError are WSA error numbers (10040 message too long, 11001 host not
// found, ...).
#pragma once

#include <chrono>
#include <cstdint>

#include "transport/sockets/berkeley_udp_socket.h"
#include "transport/win/message_window.h"
#include "win/winsock_handles.h"

namespace kivostrel {

// The session is the first base: Winsock stays started until the socket, in the next base, has
// been closed.
class WinsockUdpSocket final : private WinsockSession,
                               public BerkeleyUdpSocket,
                               private MessageTarget {
 public:
  // Must be created on the thread that pumps window messages for the control (its apartment).
  // `events` must outlive the component. No socket is opened yet. Throws std::system_error when
  // Winsock cannot start or the message window cannot be created.
  explicit WinsockUdpSocket(UdpSocketEvents& events, UdpSocketOptions options = {});
  // May be called from inside one of the component's own events.
  ~WinsockUdpSocket() override;

 private:
  std::optional<OpenFailure> OpenNative(const Endpoint& local, bool dual_stack) override;
  std::string ErrorText(std::int32_t code) const override;
  bool Wake() noexcept override;
  void WatchWritable(bool wanted) noexcept override;
  // Posts kReceiveMessage, which reads what waits without waiting for an FD_READ.
  void ReceiveLater() noexcept override;
  Io SendNative(const Endpoint& to, std::span<const std::uint8_t> bytes,
                std::int32_t& error) noexcept override;
  Io ReceiveNative(std::span<std::uint8_t> buffer, std::size_t& size, Endpoint& sender,
                   std::int32_t& error) noexcept override;

  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnReadable();
  void ReadWaiting();
  // Asks for the socket's events: FD_CLOSE, FD_READ unless a burst is being read, FD_WRITE while
  // datagrams wait to be sent.
  bool Select() noexcept;

  UniqueHwnd window_;
  bool reading_burst_ = false;
  bool watching_writable_ = false;
  bool receive_posted_ = false;
  using Clock = std::chrono::steady_clock;
  // Reads the FD_READ being handled may still make, and whether one found a datagram.
  int reads_left_ = 0;
  bool found_datagram_ = false;
  // When the last FD_READ that found a datagram was done with it, and the datagrams sent before
  // its first read: one sent since (even by a handler of that read) makes the next FD_READ part of
  // an exchange of requests and answers, not of a burst.
  Clock::time_point last_read_done_;
  std::uint64_t sends_ = 0;
  std::uint64_t sends_before_last_read_ = 0;
};

}  // namespace kivostrel
