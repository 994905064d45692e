#include "transport/posix/posix_udp_socket.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

namespace kivostrel {
namespace {

UniqueFd CheckedFd(int fd, const char* what) {
  if (fd < 0) throw std::system_error(errno, std::generic_category(), what);
  return UniqueFd(fd);
}

}  // namespace

// Up to a wake-up's budget of datagrams, read by one recvmmsg and handed to the core one by one.
// A read that finds fewer than it has room for has emptied the socket: the next one would find
// nothing, so it is not made until the socket is readable again.
struct PosixUdpSocket::Batch {
  static constexpr int kSlots = kMaxDatagramsPerWakeUp;
  // Room for any UDP payload, IPv6 ones included, so that every datagram arrives whole.
  static constexpr std::size_t kSlotSize = 65536;

  Batch() {
    for (int i = 0; i < kSlots; ++i) {
      vectors[i] = iovec{Slot(i), kSlotSize};
      headers[i].msg_hdr.msg_iov = &vectors[i];
      headers[i].msg_hdr.msg_iovlen = 1;
      headers[i].msg_hdr.msg_name = &senders[i];
    }
  }

  std::uint8_t* Slot(int i) noexcept {
    return bytes.get() + static_cast<std::size_t>(i) * kSlotSize;
  }
  bool Empty() const noexcept { return next == count; }
  // The next datagram read; not Empty().
  void Take(std::span<std::uint8_t> buffer, std::size_t& size, Endpoint& sender) noexcept {
    const int i = next++;
    size = std::min<std::size_t>(headers[i].msg_len, buffer.size());
    std::memcpy(buffer.data(), Slot(i), size);
    sender = EndpointFrom(senders[i]);
  }
  void Forget() noexcept { next = count = 0, drained = false; }

  // False with `error` when the system gave nothing.
  bool Read(int fd, std::int32_t& error) noexcept {
    for (mmsghdr& header : headers) header.msg_hdr.msg_namelen = sizeof(sockaddr_storage);
    int got = 0;
    do {
      got = ::recvmmsg(fd, headers.data(), kSlots, 0, nullptr);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
      error = errno;
      Forget();
      return false;
    }
    count = got;
    next = 0;
    drained = got < kSlots;
    return true;
  }

  // Not value-initialised: a page is touched only where a datagram lands, so the 2 MiB cost
  // little more memory than the datagrams themselves.
  std::unique_ptr<std::uint8_t[]> bytes{new std::uint8_t[kSlots * kSlotSize]};
  std::array<iovec, kSlots> vectors{};
  std::array<sockaddr_storage, kSlots> senders{};
  std::array<mmsghdr, kSlots> headers{};
  int count = 0;
  int next = 0;
  bool drained = false;
};

PosixUdpSocket::PosixUdpSocket(UdpSocketEvents& events, UdpSocketOptions options)
    : BerkeleyUdpSocket(events, std::move(options)),
      epoll_(CheckedFd(::epoll_create1(EPOLL_CLOEXEC), "epoll_create1")),
      wakeup_(CheckedFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC), "eventfd")),
      batch_(std::make_unique<Batch>()) {
  epoll_event watch{};
  watch.events = EPOLLIN;
  watch.data.fd = wakeup_.get();
  if (::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, wakeup_.get(), &watch) != 0) {
    throw std::system_error(errno, std::generic_category(), "epoll_ctl");
  }
}

PosixUdpSocket::~PosixUdpSocket() = default;

int PosixUdpSocket::Pump(int timeout_ms) {
  const std::shared_ptr<const bool> alive = AliveToken();
  std::array<epoll_event, 4> ready{};
  const int count =
      ::epoll_wait(epoll_.get(), ready.data(), static_cast<int>(ready.size()), timeout_ms);
  // A read is tried only when there is something to read: a wake-up for outcomes alone, or a
  // timeout, costs no read that finds nothing.
  bool readable = !batch_->Empty();
  for (int i = 0; i < count; ++i) {
    readable = readable ||
               (ready[i].data.fd != wakeup_.get() && (ready[i].events & (EPOLLIN | EPOLLERR)) != 0);
  }
  if (std::exchange(leftovers_signalled_, false)) Woken();
  // Sending is tried whatever woke us: cheap while nothing waits to go.
  SendPending();
  const int raised = RaiseOutcomes();
  if (!*alive || !readable) return raised;
  return raised + ReceiveDatagrams();
}

std::optional<UdpSocketCore::OpenFailure> PosixUdpSocket::OpenNative(const Endpoint& local,
                                                                     bool dual_stack) {
  native::OwnedSocket created;
  if (auto failure = CreateBound(local, dual_stack, created)) return failure;
  if (!Watch(EPOLL_CTL_ADD, created.get(), false)) return OpenFailure{OpenStep::kWatch, errno};
  if (IsOpen()) ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, native_socket(), nullptr);
  Install(std::move(created), local);
  watching_writable_ = false;
  batch_->Forget();
  return std::nullopt;
}

void PosixUdpSocket::CloseNative() noexcept {
  ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, native_socket(), nullptr);
  BerkeleyUdpSocket::CloseNative();
  watching_writable_ = false;
  batch_->Forget();
}

UdpSocketCore::Io PosixUdpSocket::ReceiveNative(std::span<std::uint8_t> buffer, std::size_t& size,
                                                Endpoint& sender, std::int32_t& error) noexcept {
  Batch& batch = *batch_;
  if (batch.Empty()) {
    if (std::exchange(batch.drained, false)) return Io::kWouldBlock;
    if (!batch.Read(native_socket(), error)) {
      return native::WouldBlock(error) ? Io::kWouldBlock : Io::kFailed;
    }
    if (batch.Empty()) return Io::kWouldBlock;
  }
  batch.Take(buffer, size, sender);
  return Io::kDone;
}

UdpSocketCore::Io PosixUdpSocket::ReceiveWaiting(std::span<std::uint8_t> buffer, std::size_t& size,
                                                 Endpoint& sender, std::int32_t& error) noexcept {
  if (batch_->Empty()) return BerkeleyUdpSocket::ReceiveWaiting(buffer, size, sender, error);
  batch_->Take(buffer, size, sender);
  return Io::kDone;
}

void PosixUdpSocket::ReceiveLater() noexcept {
  // The socket stays readable by itself for what it still holds; not for what was read already
  // (only a handler pumping from inside an event leaves that).
  if (batch_->Empty() || leftovers_signalled_) return;
  const std::uint64_t one = 1;
  leftovers_signalled_ = ::write(wakeup_.get(), &one, sizeof one) == sizeof one;
}

bool PosixUdpSocket::Watch(int operation, int fd, bool writable) noexcept {
  epoll_event watch{};
  watch.events = writable ? (EPOLLIN | EPOLLOUT) : EPOLLIN;
  watch.data.fd = fd;
  return ::epoll_ctl(epoll_.get(), operation, fd, &watch) == 0;
}

void PosixUdpSocket::WatchWritable(bool wanted) noexcept {
  if (!IsOpen() || wanted == watching_writable_) return;
  if (Watch(EPOLL_CTL_MOD, native_socket(), wanted)) watching_writable_ = wanted;
}

std::string PosixUdpSocket::ErrorText(std::int32_t code) const {
  return std::strerror(code);
}

bool PosixUdpSocket::Wake() noexcept {
  const std::uint64_t one = 1;
  return ::write(wakeup_.get(), &one, sizeof one) == sizeof one;
}

void PosixUdpSocket::Woken() noexcept {
  std::uint64_t count = 0;
  // Empties the counter; nothing to do when it already was.
  [[maybe_unused]] const ssize_t done = ::read(wakeup_.get(), &count, sizeof count);
}

}  // namespace kivostrel
