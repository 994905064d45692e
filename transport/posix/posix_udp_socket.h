// The UDP socket component on Linux: one non-blocking UDP socket, watched with epoll and
// driven by the host's loop. What it reports, and when, is UdpSocketCore's.
//
// A host either calls Pump() with a timeout as its loop, or adds fd() to its own poll/epoll set
// and calls Pump(0) whenever fd() is readable.
//
// Error codes in SocketError are errno values, or getaddrinfo's EAI_* codes (negative) for host
// names the resolver refused.
#pragma once

#include <memory>

#include "transport/sockets/berkeley_udp_socket.h"
#include "transport/sockets/unique_fd.h"

namespace kivostrel {

class PosixUdpSocket final : public BerkeleyUdpSocket {
 public:
  // `events` must outlive the component. No socket is opened yet. Throws std::system_error when
  // the system refuses the descriptors the pump needs (out of file descriptors).
  explicit PosixUdpSocket(UdpSocketEvents& events, UdpSocketOptions options = {});
  ~PosixUdpSocket() override;

  // Waits up to `timeout_ms` milliseconds (negative: without limit, 0: not at all) until there
  // is something to do, then raises the queued outcomes and the datagrams waiting. Returns the
  // number of events raised. A handler may destroy the component: the call then returns at once,
  // touching nothing of it.
  int Pump(int timeout_ms);
  // A descriptor that is readable whenever Pump(0) has something to do: for the host's own
  // poll/epoll loop. Owned by the component; valid for its whole life.
  int fd() const noexcept { return epoll_.get(); }

 private:
  std::optional<OpenFailure> OpenNative(const Endpoint& local, bool dual_stack) override;
  void CloseNative() noexcept override;
  std::string ErrorText(std::int32_t code) const override;
  bool Wake() noexcept override;
  void Woken() noexcept override;
  void WatchWritable(bool wanted) noexcept override;
  // Hands out the datagrams of one recvmmsg, which reads a whole wake-up's worth at once.
  Io ReceiveNative(std::span<std::uint8_t> buffer, std::size_t& size, Endpoint& sender,
                   std::int32_t& error) noexcept override;
  // What the last recvmmsg left, then the socket.
  Io ReceiveWaiting(std::span<std::uint8_t> buffer, std::size_t& size, Endpoint& sender,
                    std::int32_t& error) noexcept override;
  void ReceiveLater() noexcept override;
  // Watches `fd` for reading, and for writing when `writable`.
  bool Watch(int operation, int fd, bool writable) noexcept;

  struct Batch;

  UniqueFd epoll_;
  UniqueFd wakeup_;  // eventfd, readable while outcomes or datagrams already read wait
  bool watching_writable_ = false;
  std::unique_ptr<Batch> batch_;
  // The eventfd was written for datagrams already read that a spent budget left over.
  bool leftovers_signalled_ = false;
};

}  // namespace kivostrel
