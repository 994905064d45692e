#include "transport/win/winsock_udp_socket.h"

#include <memory>
#include <system_error>
#include <utility>

#include "transport/win/winsock_error_text.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace kivostrel {
namespace {

constexpr UINT kOutcomesMessage = WM_APP + 1;  // queued outcomes are waiting
constexpr UINT kSocketMessage = WM_APP + 2;    // WSAAsyncSelect: wParam socket, lParam event
constexpr UINT kReceiveMessage = WM_APP + 3;   // datagrams may wait that no FD_READ announces

// An FD_READ this soon after the last one that found a datagram was done, with nothing sent
// meanwhile, was already waiting for it: the datagrams come faster than they are raised. A
// request answered this fast is no burst: under Wine a whole exchange takes about this long, and
// reading it as one would cost two WSAAsyncSelect calls and a read that finds nothing for every
// answer.
constexpr auto kBurstGap = std::chrono::microseconds(500);

}  // namespace

WinsockUdpSocket::WinsockUdpSocket(UdpSocketEvents& events, UdpSocketOptions options)
    : BerkeleyUdpSocket(events, std::move(options)) {
  if (WinsockSession::error() != 0) {
    throw std::system_error(WinsockSession::error(), std::system_category(), "WSAStartup");
  }
  window_ = CreateMessageWindow(*this);
}

WinsockUdpSocket::~WinsockUdpSocket() {
  DetachMessageWindow(window_.get());
}

bool WinsockUdpSocket::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kOutcomesMessage:
      RaiseOutcomes();
      return true;
    case kReceiveMessage:
      receive_posted_ = false;
      if (IsOpen()) ReadWaiting();
      return true;
    case kSocketMessage:
      // A message left over from a socket since closed; its handle may even be reused.
      if (!IsOpen() || static_cast<SOCKET>(wparam) != native_socket()) return true;
      switch (WSAGETSELECTEVENT(lparam)) {
        case FD_WRITE:
          SendPending();
          break;
        case FD_READ:
          if (const int error = WSAGETSELECTERROR(lparam); error != 0) {
            ReportReceiveFailure(error);
          } else {
            OnReadable();
          }
          break;
        case FD_CLOSE:
          ReportClosedBySystem();
          break;
        default:
          break;
      }
      return true;
    default:
      return false;
  }
}

bool WinsockUdpSocket::Select() noexcept {
  const long events =
      FD_CLOSE | (reading_burst_ ? 0 : FD_READ) | (watching_writable_ ? FD_WRITE : 0);
  return ::WSAAsyncSelect(native_socket(), window_.get(), kSocketMessage, events) == 0;
}

// FD_WRITE only while datagrams wait: selecting it posts FD_WRITE at once when the socket is
// writable, which it nearly always is, and every FD_WRITE is a message to fetch for nothing.
void WinsockUdpSocket::WatchWritable(bool wanted) noexcept {
  if (!IsOpen() || wanted == watching_writable_) return;
  watching_writable_ = wanted;
  if (!Select()) watching_writable_ = !wanted;
}

// Winsock posts FD_READ once, and again only after a read: an FD_READ that came while reading
// was held back (a new socket not yet announced), or datagrams left when a wake-up's budget was
// spent, have no read to re-arm it. Rather than count on the system announcing them anew, the
// socket is read on a message of our own until it would block (or the budget is spent again, and
// another message follows); the read that finds nothing re-arms FD_READ for what comes next.
void WinsockUdpSocket::ReceiveLater() noexcept {
  if (!IsOpen() || receive_posted_) return;
  receive_posted_ = ::PostMessageW(window_.get(), kReceiveMessage, 0, 0) != FALSE;
}

void WinsockUdpSocket::ReadWaiting() {
  reads_left_ = kMaxDatagramsPerWakeUp;
  ReceiveDatagrams();
}

bool WinsockUdpSocket::Wake() noexcept {
  return ::PostMessageW(window_.get(), kOutcomesMessage, 0, 0) != FALSE;
}

// Every read re-arms FD_READ, and Winsock posts it again while datagrams wait. One read per
// FD_READ therefore needs no read that finds nothing, and costs a message per datagram. In a
// burst, FD_READ is turned off while a wake-up's budget is read, then turned on again, which
// posts it at once if datagrams still wait: two calls per batch instead of a message per
// datagram (each a wineserver round trip under Wine).
void WinsockUdpSocket::OnReadable() {
  const std::shared_ptr<const bool> alive = AliveToken();
  const std::uint64_t socket_generation = generation();
  const std::uint64_t sends_before = sends_;
  const bool burst =
      sends_before == sends_before_last_read_ && Clock::now() - last_read_done_ < kBurstGap;
  if (burst) {
    reading_burst_ = true;
    reading_burst_ = Select();
  }
  reads_left_ = burst ? kMaxDatagramsPerWakeUp : 1;
  found_datagram_ = false;
  ReceiveDatagrams();
  // A handler may have destroyed the component, or closed or replaced its socket.
  if (!*alive || generation() != socket_generation) return;
  if (std::exchange(reading_burst_, false)) Select();
  if (found_datagram_) {
    last_read_done_ = Clock::now();
    sends_before_last_read_ = sends_before;
  }
}

UdpSocketCore::Io WinsockUdpSocket::SendNative(const Endpoint& to,
                                               std::span<const std::uint8_t> bytes,
                                               std::int32_t& error) noexcept {
  ++sends_;
  return BerkeleyUdpSocket::SendNative(to, bytes, error);
}

UdpSocketCore::Io WinsockUdpSocket::ReceiveNative(std::span<std::uint8_t> buffer, std::size_t& size,
                                                  Endpoint& sender, std::int32_t& error) noexcept {
  if (reads_left_ == 0) return Io::kWouldBlock;
  --reads_left_;
  const Io result = BerkeleyUdpSocket::ReceiveNative(buffer, size, sender, error);
  found_datagram_ = found_datagram_ || result == Io::kDone;
  return result;
}

std::optional<UdpSocketCore::OpenFailure> WinsockUdpSocket::OpenNative(const Endpoint& local,
                                                                       bool dual_stack) {
  native::OwnedSocket created;
  if (auto failure = CreateBound(local, dual_stack, created)) return failure;
  // Without this an ICMP "port unreachable" for an earlier send fails the next receive.
  BOOL report_resets = FALSE;
  DWORD returned = 0;
  ::WSAIoctl(created.get(), SIO_UDP_CONNRESET, &report_resets, sizeof report_resets, nullptr, 0,
             &returned, nullptr, nullptr);
  // Also makes the socket non-blocking. Nothing waits to be sent on a new socket.
  if (::WSAAsyncSelect(created.get(), window_.get(), kSocketMessage, FD_READ | FD_CLOSE) != 0) {
    return OpenFailure{OpenStep::kWatch, ::WSAGetLastError()};
  }
  // Messages still queued for the socket this replaces name its handle, which no longer matches.
  Install(std::move(created), local);
  reading_burst_ = false;
  watching_writable_ = false;
  return std::nullopt;
}

std::string WinsockUdpSocket::ErrorText(std::int32_t code) const {
  return WinsockErrorText(code);
}

}  // namespace kivostrel
