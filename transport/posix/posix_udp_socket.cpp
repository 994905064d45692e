#include "transport/posix/posix_udp_socket.h"

#include <arpa/inet.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "encoding/automation_error.h"
#include "transport/posix/ipv4_names.h"

namespace kivostrel {
namespace {

constexpr const char* kWhereOpen = "OpenSocket";
constexpr const char* kWhereSend = "SendDatagram";
constexpr const char* kWhereReceive = "Receive";
constexpr const char* kLocalAddressSource = "PosixUdpSocket:LocalAddressFor";

// Any port will do for the probe in LocalAddressFor: connecting a UDP socket sends nothing.
constexpr std::uint16_t kProbePort = 9;

UniqueFd CheckedFd(int fd, const char* what) {
  if (fd < 0) throw std::system_error(errno, std::generic_category(), what);
  return UniqueFd(fd);
}

std::string SystemText(int error) {
  return std::strerror(error);
}

sockaddr_in Ipv4(in_addr address, std::uint16_t port) {
  sockaddr_in endpoint{};
  endpoint.sin_family = AF_INET;
  endpoint.sin_addr = address;
  endpoint.sin_port = htons(port);
  return endpoint;
}

using socket_outcome::LocalPortFrom;
using socket_outcome::Target;

}  // namespace

PosixUdpSocket::PosixUdpSocket(UdpSocketEvents& events, PosixUdpSocketOptions options)
    : events_(events),
      options_(std::move(options)),
      epoll_(CheckedFd(::epoll_create1(EPOLL_CLOEXEC), "epoll_create1")),
      wakeup_(CheckedFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC), "eventfd")),
      receive_buffer_(std::make_shared<std::vector<std::uint8_t>>(kReceiveBufferSize)),
      alive_(std::make_shared<bool>(true)) {
  epoll_event watch{};
  watch.events = EPOLLIN;
  watch.data.fd = wakeup_.get();
  if (::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, wakeup_.get(), &watch) != 0) {
    throw std::system_error(errno, std::generic_category(), "epoll_ctl");
  }
}

PosixUdpSocket::~PosixUdpSocket() {
  *alive_ = false;
}

std::uint16_t PosixUdpSocket::LocalPort() const noexcept {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (!socket_ || ::getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return 0;
  }
  return ntohs(local.sin_port);
}

void PosixUdpSocket::OpenSocket(std::string_view local_port) {
  DropSocket();

  std::uint16_t port = 0;
  if (!LocalPortFrom(local_port, options_.local_port, port)) {
    Queue(Failure{EINVAL, "bad local port '" + std::string(local_port) + "'", kWhereOpen});
    return;
  }
  in_addr address{};
  const std::string& local_address = options_.local_address;
  if (local_address.empty()) {
    address.s_addr = htonl(INADDR_ANY);
  } else if (::inet_pton(AF_INET, local_address.c_str(), &address) != 1) {
    Queue(Failure{EINVAL, "bad local address '" + local_address + "'", kWhereOpen});
    return;
  }
  const std::string bind_text = DottedText(address) + " port " + std::to_string(port);

  UniqueFd opened(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!opened) {
    const int error = errno;
    Queue(Failure{error, "cannot create a UDP socket: " + SystemText(error), kWhereOpen});
    return;
  }
  const sockaddr_in local = Ipv4(address, port);
  if (::bind(opened.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const int error = errno;
    Queue(Failure{error, "cannot bind " + bind_text + ": " + SystemText(error), kWhereOpen});
    return;
  }
  epoll_event watch{};
  watch.events = EPOLLIN;
  watch.data.fd = opened.get();
  if (::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, opened.get(), &watch) != 0) {
    const int error = errno;
    Queue(Failure{error, "cannot watch the socket: " + SystemText(error), kWhereOpen});
    return;
  }
  socket_ = std::move(opened);
  ++generation_;
  Queue(Ready{});
}

void PosixUdpSocket::CloseSocket() {
  DropSocket();
  Queue(Closed{});
}

void PosixUdpSocket::DropSocket() {
  if (!socket_) return;
  ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, socket_.get(), nullptr);
  socket_.reset();
  ++generation_;
  watching_writable_ = false;
  for (PendingDatagram& datagram : std::exchange(pending_, {})) {
    QueueSendFailure(ECANCELED,
                     "socket closed before the datagram to " + datagram.target + " could be sent");
  }
}

void PosixUdpSocket::SendDatagram(std::string_view remote_address, std::string_view remote_port,
                                  std::span<const std::uint8_t> message) {
  if (!socket_) {
    QueueSendFailure(EBADF, "cannot send to " + Target(remote_address, remote_port) +
                                ": the socket is not open");
    return;
  }
  // The port first: a bad port text costs no name lookup.
  std::uint16_t port = 0;
  if (auto error = ResolvePort(remote_port, port)) {
    QueueSendFailure(error->code, std::move(error->description));
    return;
  }
  in_addr address{};
  if (auto error = ResolveHost(remote_address, address)) {
    QueueSendFailure(error->code, std::move(error->description));
    return;
  }
  const sockaddr_in destination = Ipv4(address, port);

  // Datagrams already waiting go first, so that outcomes keep the order of the calls.
  int error = 0;
  const SendResult result =
      pending_.empty() ? TrySend(destination, message, error) : SendResult::kWouldBlock;
  switch (result) {
    case SendResult::kSent:
      Queue(Sent{});
      break;
    case SendResult::kWouldBlock:
      pending_.push_back({destination, std::vector<std::uint8_t>(message.begin(), message.end()),
                          Target(remote_address, remote_port)});
      WatchWritable(true);
      break;
    case SendResult::kFailed:
      QueueSendFailure(
          error, socket_outcome::CannotSendText(message.size(), Target(remote_address, remote_port),
                                                SystemText(error)));
      break;
  }
}

PosixUdpSocket::SendResult PosixUdpSocket::TrySend(const sockaddr_in& destination,
                                                   std::span<const std::uint8_t> bytes,
                                                   int& error) const noexcept {
  for (;;) {
    const ssize_t sent =
        ::sendto(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    if (sent >= 0) return SendResult::kSent;
    error = errno;
    if (error == EINTR) continue;
    if (error == EAGAIN || error == EWOULDBLOCK) return SendResult::kWouldBlock;
    return SendResult::kFailed;
  }
}

void PosixUdpSocket::SendPending() {
  while (socket_ && !pending_.empty()) {
    PendingDatagram& next = pending_.front();
    int error = 0;
    const SendResult result = TrySend(next.destination, next.bytes, error);
    if (result == SendResult::kWouldBlock) return;
    if (result == SendResult::kSent) {
      Queue(Sent{});
    } else {
      QueueSendFailure(
          error, socket_outcome::CannotSendText(next.bytes.size(), next.target, SystemText(error)));
    }
    pending_.pop_front();
  }
  WatchWritable(false);
}

std::string PosixUdpSocket::LocalAddressFor(std::string_view remote_address) {
  in_addr remote{};
  if (auto error = ResolveHost(remote_address, remote)) {
    throw AutomationError(kErrHostNotFound, kLocalAddressSource, std::move(error->description));
  }
  const auto unreachable = [&](int error) {
    return AutomationError(
        kErrNetworkUnreachable, kLocalAddressSource,
        "no local address towards '" + std::string(remote_address) + "': " + SystemText(error));
  };
  const UniqueFd probe(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!probe) throw unreachable(errno);
  const sockaddr_in destination = Ipv4(remote, kProbePort);
  if (::connect(probe.get(), reinterpret_cast<const sockaddr*>(&destination), sizeof destination) !=
      0) {
    throw unreachable(errno);
  }
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    throw unreachable(errno);
  }
  return DottedText(local.sin_addr);
}

void PosixUdpSocket::Queue(Outcome outcome) {
  outcomes_.push_back(std::move(outcome));
  SyncWakeup();
}

void PosixUdpSocket::QueueSendFailure(std::int32_t code, std::string description) {
  // The host learns that the send is over, and that the socket takes the next one.
  Queue(Failure{code, std::move(description), kWhereSend});
  Queue(Ready{});
}

void PosixUdpSocket::SyncWakeup() noexcept {
  if (outcomes_.empty() == !wakeup_signalled_) return;
  std::uint64_t count = 1;
  // Neither call can fail on a valid non-blocking eventfd short of overflowing its counter,
  // which one write per transition never approaches.
  if (wakeup_signalled_) {
    [[maybe_unused]] const ssize_t done = ::read(wakeup_.get(), &count, sizeof count);
  } else {
    [[maybe_unused]] const ssize_t done = ::write(wakeup_.get(), &count, sizeof count);
  }
  wakeup_signalled_ = !wakeup_signalled_;
}

void PosixUdpSocket::WatchWritable(bool writable) noexcept {
  if (!socket_ || writable == watching_writable_) return;
  epoll_event watch{};
  watch.events = writable ? (EPOLLIN | EPOLLOUT) : EPOLLIN;
  watch.data.fd = socket_.get();
  if (::epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, socket_.get(), &watch) == 0) {
    watching_writable_ = writable;
  }
}

int PosixUdpSocket::Pump(int timeout_ms) {
  const std::shared_ptr<const bool> alive = alive_;
  std::array<epoll_event, 4> ready{};
  // What became ready is found by trying: every call below is non-blocking and cheap.
  (void)::epoll_wait(epoll_.get(), ready.data(), static_cast<int>(ready.size()), timeout_ms);

  SendPending();
  int raised = 0;
  // Only what is queued now: a handler that sends from DatagramSent must not keep us here.
  for (std::size_t due = outcomes_.size(); due > 0 && !outcomes_.empty(); --due) {
    const Outcome next = std::move(outcomes_.front());
    outcomes_.pop_front();
    SyncWakeup();
    Raise(next);
    ++raised;
    if (!*alive) return raised;
  }
  return raised + ReceiveDatagrams(alive);
}

void PosixUdpSocket::Raise(const Outcome& outcome) {
  socket_outcome::Raise(events_, outcome);
}

int PosixUdpSocket::ReceiveDatagrams(const std::shared_ptr<const bool>& alive) {
  const std::uint64_t generation = generation_;
  const std::shared_ptr<std::vector<std::uint8_t>> buffer = receive_buffer_;
  int raised = 0;
  while (raised < kMaxDatagramsPerPump) {
    // A handler may have closed or replaced the socket.
    if (!socket_ || generation_ != generation) break;
    sockaddr_in sender{};
    socklen_t sender_length = sizeof sender;
    const ssize_t length = ::recvfrom(socket_.get(), buffer->data(), buffer->size(), 0,
                                      reinterpret_cast<sockaddr*>(&sender), &sender_length);
    if (length < 0) {
      const int error = errno;
      if (error == EINTR) continue;
      if (error != EAGAIN && error != EWOULDBLOCK) {
        Queue(Failure{error, "cannot receive: " + SystemText(error), kWhereReceive});
      }
      break;
    }
    const std::string address = DottedText(sender.sin_addr);
    const std::string port = std::to_string(ntohs(sender.sin_port));
    events_.DatagramReceived(
        address, port,
        std::span<const std::uint8_t>(buffer->data(), static_cast<std::size_t>(length)));
    ++raised;
    if (!*alive) break;
    // An outcome a handler queued (the answer it just sent) is raised before any later
    // datagram, so that events keep the order in which things happened.
    if (!outcomes_.empty()) break;
  }
  return raised;
}

}  // namespace kivostrel
