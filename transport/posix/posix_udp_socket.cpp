#include "transport/posix/posix_udp_socket.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

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

PosixUdpSocket::PosixUdpSocket(UdpSocketEvents& events, UdpSocketOptions options)
    : BerkeleyUdpSocket(events, std::move(options)),
      epoll_(CheckedFd(::epoll_create1(EPOLL_CLOEXEC), "epoll_create1")),
      wakeup_(CheckedFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC), "eventfd")) {
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
  // What became ready is found by trying: every call below is non-blocking and cheap.
  (void)::epoll_wait(epoll_.get(), ready.data(), static_cast<int>(ready.size()), timeout_ms);
  SendPending();
  const int raised = RaiseOutcomes();
  if (!*alive) return raised;
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
  return std::nullopt;
}

void PosixUdpSocket::CloseNative() noexcept {
  ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, native_socket(), nullptr);
  BerkeleyUdpSocket::CloseNative();
  watching_writable_ = false;
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
