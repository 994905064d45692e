#include "transport/win/winsock_udp_socket.h"

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
            read_since_fd_read_ = false;
            ReceiveDatagrams();
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

bool WinsockUdpSocket::Wake() noexcept {
  return ::PostMessageW(window_.get(), kOutcomesMessage, 0, 0) != FALSE;
}

UdpSocketCore::Io WinsockUdpSocket::ReceiveNative(std::span<std::uint8_t> buffer, std::size_t& size,
                                                  Endpoint& sender, std::int32_t& error) noexcept {
  // One read per FD_READ. A read that leaves datagrams waiting makes Winsock post FD_READ again,
  // so reading on would cost a read that finds nothing, then that message for nothing as well.
  if (std::exchange(read_since_fd_read_, true)) return Io::kWouldBlock;
  return BerkeleyUdpSocket::ReceiveNative(buffer, size, sender, error);
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
  // Also makes the socket non-blocking.
  if (::WSAAsyncSelect(created.get(), window_.get(), kSocketMessage,
                       FD_READ | FD_WRITE | FD_CLOSE) != 0) {
    return OpenFailure{OpenStep::kWatch, ::WSAGetLastError()};
  }
  // Messages still queued for the socket this replaces name its handle, which no longer matches.
  Install(std::move(created), local);
  return std::nullopt;
}

std::string WinsockUdpSocket::ErrorText(std::int32_t code) const {
  return WinsockErrorText(code);
}

}  // namespace kivostrel
