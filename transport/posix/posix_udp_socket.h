// The UDP socket component on Linux: one non-blocking IPv4 UDP socket driven by the host's loop.
//
// Every operation does its work at once (bind, close, send) but only queues its outcome; events
// are raised from Pump() alone, on the thread that calls it. A host either calls Pump() with a
// timeout as its loop, or adds fd() to its own poll/epoll set and calls Pump(0) whenever fd() is
// readable.
//
// Outcomes, in the order of the calls that caused them:
//   OpenSocket   -> SocketReady, or SocketError (where "OpenSocket") when the bind fails
//   CloseSocket  -> SocketClosed (also when no socket was open)
//   SendDatagram -> DatagramSent, or SocketError (where "SendDatagram") then SocketReady
// A datagram the kernel cannot take yet (EAGAIN) stays pending and goes out when the socket is
// writable; closing or re-opening the socket reports each pending one as failed (ECANCELED).
// A failed receive is reported as SocketError with where "Receive".
//
// Error codes in SocketError are errno values, or getaddrinfo's EAI_* codes (negative) for host
// names the resolver refused; descriptions name the host, port or size concerned.
//
// Not thread-safe: create, call and pump it on one thread.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "transport/posix/unique_fd.h"
#include "transport/socket_outcome.h"
#include "transport/udp_socket.h"

namespace kivostrel {

// Automation errors of LocalAddressFor, numbered as the Windows Sockets errors of the same
// meaning so that hosts see one number on every platform. The source is
// "PosixUdpSocket:LocalAddressFor", the description names the host and the system's reason.
enum UdpSocketErrorNumber : std::int32_t {
  kErrNetworkUnreachable = 10051,  // no route from this machine to the host
  kErrHostNotFound = 11001,        // the host text is neither a dotted address nor a known name
};

struct PosixUdpSocketOptions {
  // Dotted IPv4 address to bind; the empty text means all local addresses, as "0.0.0.0" does.
  std::string local_address = "0.0.0.0";
  // Port to bind when OpenSocket is given "0"; 0 lets the system choose a free one.
  std::uint16_t local_port = 0;
};

class PosixUdpSocket final : public UdpSocket {
 public:
  // Datagrams read by one Pump() call at most; the rest wait for the next call.
  static constexpr int kMaxDatagramsPerPump = 32;
  // Receive buffer: the largest IPv4 UDP payload (65507 bytes) arrives whole.
  static constexpr std::size_t kReceiveBufferSize = 65536;

  // `events` must outlive the component. No socket is opened yet. Throws std::system_error when
  // the system refuses the descriptors the pump needs (out of file descriptors).
  explicit PosixUdpSocket(UdpSocketEvents& events, PosixUdpSocketOptions options = {});
  // Closes the socket; no event is raised, and queued outcomes are dropped.
  ~PosixUdpSocket() override;
  PosixUdpSocket(const PosixUdpSocket&) = delete;
  PosixUdpSocket& operator=(const PosixUdpSocket&) = delete;

  // Closes any open socket (without SocketClosed) and binds a new one. `local_port` "0" or empty
  // uses the port of the options; another decimal port from 1 to 65535 is used instead of it.
  void OpenSocket(std::string_view local_port) override;
  void CloseSocket() override;
  // Never throws for a network reason; the empty message is sent as an empty datagram.
  void SendDatagram(std::string_view remote_address, std::string_view remote_port,
                    std::span<const std::uint8_t> message) override;
  // Connects a temporary UDP socket (no packet is sent) and reads its local address. May block
  // while a host name is resolved. Throws AutomationError kErrHostNotFound or
  // kErrNetworkUnreachable.
  std::string LocalAddressFor(std::string_view remote_address) override;

  // Waits up to `timeout_ms` milliseconds (negative: without limit, 0: not at all) until there
  // is something to do, then raises the queued outcomes and the datagrams waiting, at most
  // kMaxDatagramsPerPump of them. Outcomes queued by handlers during this call wait for the next
  // call. Returns the number of events raised. A handler may destroy the component: the call
  // then returns at once, touching nothing of it.
  int Pump(int timeout_ms);
  // A descriptor that is readable whenever Pump(0) has something to do: for the host's own
  // poll/epoll loop. Owned by the component; valid for its whole life.
  int fd() const noexcept { return epoll_.get(); }

  bool IsOpen() const noexcept { return static_cast<bool>(socket_); }
  // The port the socket is bound to, 0 when none is open.
  std::uint16_t LocalPort() const noexcept;

 private:
  using Failure = socket_outcome::Failure;
  using Ready = socket_outcome::Ready;
  using Sent = socket_outcome::Sent;
  using Closed = socket_outcome::Closed;
  using Outcome = socket_outcome::Outcome;

  struct PendingDatagram {
    sockaddr_in destination;
    std::vector<std::uint8_t> bytes;
    std::string target;  // the host's texts, for messages
  };
  enum class SendResult { kSent, kWouldBlock, kFailed };

  void Queue(Outcome outcome);
  void QueueSendFailure(std::int32_t code, std::string description);
  // Keeps the wake-up descriptor readable exactly while outcomes are queued.
  void SyncWakeup() noexcept;
  void WatchWritable(bool writable) noexcept;
  // Closes the socket and reports pending datagrams as failed; raises nothing itself.
  void DropSocket();
  SendResult TrySend(const sockaddr_in& destination, std::span<const std::uint8_t> bytes,
                     int& error) const noexcept;
  void SendPending();
  void Raise(const Outcome& outcome);
  // Returns the datagrams raised; stops at once when a handler destroys the component.
  int ReceiveDatagrams(const std::shared_ptr<const bool>& alive);

  UdpSocketEvents& events_;
  const PosixUdpSocketOptions options_;
  UniqueFd epoll_;
  UniqueFd wakeup_;  // eventfd, readable while outcomes_ is not empty
  UniqueFd socket_;
  std::uint64_t generation_ = 0;  // changes whenever socket_ is closed or replaced
  bool wakeup_signalled_ = false;
  bool watching_writable_ = false;
  std::deque<Outcome> outcomes_;
  std::deque<PendingDatagram> pending_;
  // Shared with a running Pump so that a datagram's bytes outlive a handler destroying us.
  std::shared_ptr<std::vector<std::uint8_t>> receive_buffer_;
  // False once the destructor has run; a Pump holds a copy to notice it.
  std::shared_ptr<bool> alive_;
};

}  // namespace kivostrel
