#include "transport/win/winsock_udp_socket.h"

#include <winsock2.h>
// After winsock2.h, so that it does not bring in the old winsock.h.
#include <windows.h>

#include <ws2tcpip.h>

#include <deque>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

#include "encoding/automation_error.h"
#include "transport/socket_outcome.h"
#include "win/winsock_handles.h"
#include "transport/win/winsock_names.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace kivostrel {
namespace {

constexpr const char* kWhereOpen = "OpenSocket";
constexpr const char* kWhereSend = "SendDatagram";
constexpr const char* kWhereReceive = "Receive";
constexpr const char* kLocalAddressSource = "WinsockUdpSocket:LocalAddressFor";

// Any port will do for the probe in LocalAddressFor: connecting a UDP socket sends nothing.
constexpr std::uint16_t kProbePort = 9;

constexpr UINT kOutcomesMessage = WM_APP + 1;  // queued outcomes are waiting
constexpr UINT kSocketMessage = WM_APP + 2;    // WSAAsyncSelect: wParam socket, lParam event
constexpr UINT kReadMoreMessage = WM_APP + 3;  // wParam: the socket generation to read from

sockaddr_in Ipv4(in_addr address, std::uint16_t port) {
  sockaddr_in endpoint{};
  endpoint.sin_family = AF_INET;
  endpoint.sin_addr = address;
  endpoint.sin_port = htons(port);
  return endpoint;
}

using socket_outcome::LocalPortFrom;
using socket_outcome::Target;

// What the component's window forwards its messages to.
class MessageTarget {
 public:
  // False for messages that are not the target's own.
  virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam) = 0;

 protected:
  ~MessageTarget() = default;
};

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* target = reinterpret_cast<MessageTarget*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (target != nullptr) {
    try {
      if (target->OnMessage(message, wparam, lparam)) return 0;
    } catch (...) {
      // Nothing may unwind through the system's dispatcher; a failing handler loses its event.
      return 0;
    }
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

// Registered once per module, under the module that holds this code (the .ocx when loaded as
// one), and unregistered when that module goes away so that a reloaded module can register it
// again with its new window procedure.
class MessageWindowClass {
 public:
  MessageWindowClass() noexcept {
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&WindowProcedure), &module_);
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = &WindowProcedure;
    description.hInstance = module_;
    description.lpszClassName = kName;
    atom_ = ::RegisterClassExW(&description);
    if (atom_ == 0 && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
      // Left behind by an earlier load of this module at the same address.
      ::UnregisterClassW(kName, module_);
      atom_ = ::RegisterClassExW(&description);
    }
  }
  ~MessageWindowClass() {
    if (atom_ != 0) ::UnregisterClassW(kName, module_);
  }
  MessageWindowClass(const MessageWindowClass&) = delete;
  MessageWindowClass& operator=(const MessageWindowClass&) = delete;

  static constexpr const wchar_t* kName = L"kivOstrel.WinsockUdpSocket";

  ATOM atom() const noexcept { return atom_; }
  HINSTANCE module() const noexcept { return module_; }

 private:
  HMODULE module_ = nullptr;
  ATOM atom_ = 0;
};

const MessageWindowClass& WindowClass() {
  static const MessageWindowClass registered;
  return registered;
}

}  // namespace

struct WinsockUdpSocket::Impl final : MessageTarget {
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

  Impl(UdpSocketEvents& events, WinsockUdpSocketOptions options);
  ~Impl();

  void OpenSocket(std::string_view local_port);
  void CloseSocket();
  void SendDatagram(std::string_view remote_address, std::string_view remote_port,
                    std::span<const std::uint8_t> message);
  std::string LocalAddressFor(std::string_view remote_address) const;
  std::uint16_t LocalPort() const noexcept;

  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

  void Queue(Outcome outcome);
  void QueueSendFailure(std::int32_t code, std::string description);
  // Closes the socket and reports pending datagrams as failed; raises nothing itself.
  void DropSocket();
  SendResult TrySend(const sockaddr_in& destination, std::span<const std::uint8_t> bytes,
                     int& error) const noexcept;
  void SendPending();
  void RaiseOutcomes();
  void Raise(const Outcome& outcome);
  void ReceiveDatagrams();

  UdpSocketEvents& events_;
  const WinsockUdpSocketOptions options_;
  WinsockSession session_;  // declared before the socket: closed before WSACleanup
  UniqueHwnd window_;
  UniqueSocket socket_;
  std::uint32_t generation_ = 0;  // changes whenever socket_ is closed or replaced
  bool outcomes_posted_ = false;
  bool read_more_posted_ = false;
  std::deque<Outcome> outcomes_;
  std::deque<PendingDatagram> pending_;
  // Shared with a running receive so that a datagram's bytes outlive a handler destroying us.
  std::shared_ptr<std::vector<std::uint8_t>> receive_buffer_;
  // False once the destructor has run; a message being handled holds a copy to notice it.
  std::shared_ptr<bool> alive_;
};

WinsockUdpSocket::Impl::Impl(UdpSocketEvents& events, WinsockUdpSocketOptions options)
    : events_(events),
      options_(std::move(options)),
      receive_buffer_(std::make_shared<std::vector<std::uint8_t>>(65536)),
      alive_(std::make_shared<bool>(true)) {
  if (session_.error() != 0) {
    throw std::system_error(session_.error(), std::system_category(), "WSAStartup");
  }
  const MessageWindowClass& window_class = WindowClass();
  if (window_class.atom() == 0) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "RegisterClassExW");
  }
  window_ = UniqueHwnd(::CreateWindowExW(0, MessageWindowClass::kName, L"", 0, 0, 0, 0, 0,
                                         HWND_MESSAGE, nullptr, window_class.module(), nullptr));
  if (!window_) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "CreateWindowExW");
  }
  ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(static_cast<MessageTarget*>(this)));
}

WinsockUdpSocket::Impl::~Impl() {
  *alive_ = false;
  // Messages still queued for the window, or sent while it is destroyed, find no component.
  ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

std::uint16_t WinsockUdpSocket::Impl::LocalPort() const noexcept {
  sockaddr_in local{};
  int length = sizeof local;
  if (!socket_ || ::getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return 0;
  }
  return ntohs(local.sin_port);
}

void WinsockUdpSocket::Impl::OpenSocket(std::string_view local_port) {
  DropSocket();

  std::uint16_t port = 0;
  if (!LocalPortFrom(local_port, options_.local_port, port)) {
    Queue(Failure{WSAEINVAL, "bad local port '" + std::string(local_port) + "'", kWhereOpen});
    return;
  }
  in_addr address{};
  const std::string& local_address = options_.local_address;
  if (local_address.empty()) {
    address.s_addr = htonl(INADDR_ANY);
  } else if (::inet_pton(AF_INET, local_address.c_str(), &address) != 1) {
    Queue(Failure{WSAEINVAL, "bad local address '" + local_address + "'", kWhereOpen});
    return;
  }
  const std::string bind_text = DottedText(address) + " port " + std::to_string(port);

  UniqueSocket opened(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (!opened) {
    const int error = ::WSAGetLastError();
    Queue(Failure{error, "cannot create a UDP socket: " + WinsockErrorText(error), kWhereOpen});
    return;
  }
  const sockaddr_in local = Ipv4(address, port);
  if (::bind(opened.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const int error = ::WSAGetLastError();
    Queue(Failure{error, "cannot bind " + bind_text + ": " + WinsockErrorText(error), kWhereOpen});
    return;
  }
  // Without this an ICMP "port unreachable" for an earlier send fails the next receive.
  BOOL report_resets = FALSE;
  DWORD returned = 0;
  ::WSAIoctl(opened.get(), SIO_UDP_CONNRESET, &report_resets, sizeof report_resets, nullptr, 0,
             &returned, nullptr, nullptr);
  // Also makes the socket non-blocking.
  if (::WSAAsyncSelect(opened.get(), window_.get(), kSocketMessage,
                       FD_READ | FD_WRITE | FD_CLOSE) != 0) {
    const int error = ::WSAGetLastError();
    Queue(Failure{error, "cannot watch the socket: " + WinsockErrorText(error), kWhereOpen});
    return;
  }
  socket_ = std::move(opened);
  ++generation_;
  Queue(Ready{});
}

void WinsockUdpSocket::Impl::CloseSocket() {
  DropSocket();
  Queue(Closed{});
}

void WinsockUdpSocket::Impl::DropSocket() {
  if (!socket_) return;
  socket_.reset();
  ++generation_;
  for (PendingDatagram& datagram : std::exchange(pending_, {})) {
    QueueSendFailure(WSAECANCELLED,
                     "socket closed before the datagram to " + datagram.target + " could be sent");
  }
}

void WinsockUdpSocket::Impl::SendDatagram(std::string_view remote_address,
                                          std::string_view remote_port,
                                          std::span<const std::uint8_t> message) {
  const std::string target = Target(remote_address, remote_port);
  if (!socket_) {
    QueueSendFailure(WSAENOTSOCK, "cannot send to " + target + ": the socket is not open");
    return;
  }
  if (message.size() > kMaxDatagramSize) {
    QueueSendFailure(WSAEMSGSIZE, socket_outcome::CannotSendText(message.size(), target,
                                                                 WinsockErrorText(WSAEMSGSIZE)));
    return;
  }
  // The port first: a bad port text costs no name lookup.
  std::uint16_t port = 0;
  if (auto error = ResolveWinsockPort(remote_port, port)) {
    QueueSendFailure(error->code, std::move(error->description));
    return;
  }
  in_addr address{};
  if (auto error = ResolveWinsockHost(remote_address, address)) {
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
      // FD_WRITE follows once Winsock takes data again.
      pending_.push_back(
          {destination, std::vector<std::uint8_t>(message.begin(), message.end()), target});
      break;
    case SendResult::kFailed:
      QueueSendFailure(
          error, socket_outcome::CannotSendText(message.size(), target, WinsockErrorText(error)));
      break;
  }
}

WinsockUdpSocket::Impl::SendResult WinsockUdpSocket::Impl::TrySend(
    const sockaddr_in& destination, std::span<const std::uint8_t> bytes,
    int& error) const noexcept {
  const int sent = ::sendto(socket_.get(), reinterpret_cast<const char*>(bytes.data()),
                            static_cast<int>(bytes.size()), 0,
                            reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
  if (sent != SOCKET_ERROR) return SendResult::kSent;
  error = ::WSAGetLastError();
  return error == WSAEWOULDBLOCK ? SendResult::kWouldBlock : SendResult::kFailed;
}

void WinsockUdpSocket::Impl::SendPending() {
  while (socket_ && !pending_.empty()) {
    PendingDatagram& next = pending_.front();
    int error = 0;
    const SendResult result = TrySend(next.destination, next.bytes, error);
    if (result == SendResult::kWouldBlock) return;
    if (result == SendResult::kSent) {
      Queue(Sent{});
    } else {
      QueueSendFailure(error, socket_outcome::CannotSendText(next.bytes.size(), next.target,
                                                             WinsockErrorText(error)));
    }
    pending_.pop_front();
  }
}

std::string WinsockUdpSocket::Impl::LocalAddressFor(std::string_view remote_address) const {
  in_addr remote{};
  if (auto error = ResolveWinsockHost(remote_address, remote)) {
    throw AutomationError(kWinsockErrHostNotFound, kLocalAddressSource,
                          std::move(error->description));
  }
  const auto unreachable = [&](int error) {
    return AutomationError(kWinsockErrNetworkUnreachable, kLocalAddressSource,
                           "no local address towards '" + std::string(remote_address) +
                               "': " + WinsockErrorText(error));
  };
  const UniqueSocket probe(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (!probe) throw unreachable(::WSAGetLastError());
  const sockaddr_in destination = Ipv4(remote, kProbePort);
  if (::connect(probe.get(), reinterpret_cast<const sockaddr*>(&destination), sizeof destination) !=
      0) {
    throw unreachable(::WSAGetLastError());
  }
  sockaddr_in local{};
  int length = sizeof local;
  if (::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    throw unreachable(::WSAGetLastError());
  }
  return DottedText(local.sin_addr);
}

void WinsockUdpSocket::Impl::Queue(Outcome outcome) {
  outcomes_.push_back(std::move(outcome));
  // A failed post (a full message queue) is retried by the next outcome.
  if (!outcomes_posted_) {
    outcomes_posted_ = ::PostMessageW(window_.get(), kOutcomesMessage, 0, 0) != FALSE;
  }
}

void WinsockUdpSocket::Impl::QueueSendFailure(std::int32_t code, std::string description) {
  // The host learns that the send is over, and that the socket takes the next one.
  Queue(Failure{code, std::move(description), kWhereSend});
  Queue(Ready{});
}

bool WinsockUdpSocket::Impl::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kOutcomesMessage:
      RaiseOutcomes();
      return true;
    case kSocketMessage: {
      // A message left over from a socket since closed; its handle may even be reused.
      if (!socket_ || static_cast<SOCKET>(wparam) != socket_.get()) return true;
      const int error = WSAGETSELECTERROR(lparam);
      switch (WSAGETSELECTEVENT(lparam)) {
        case FD_WRITE:
          SendPending();
          break;
        case FD_READ:
          if (error != 0) {
            Queue(Failure{error, "cannot receive: " + WinsockErrorText(error), kWhereReceive});
          } else {
            ReceiveDatagrams();
          }
          break;
        case FD_CLOSE:
          DropSocket();
          Queue(Closed{});
          break;
        default:
          break;
      }
      return true;
    }
    case kReadMoreMessage:
      read_more_posted_ = false;
      if (static_cast<std::uint32_t>(wparam) == generation_) ReceiveDatagrams();
      return true;
    default:
      return false;
  }
}

void WinsockUdpSocket::Impl::RaiseOutcomes() {
  const std::shared_ptr<const bool> alive = alive_;
  outcomes_posted_ = false;
  // Only what is queued now: what handlers queue comes with the next message, so that a host
  // answering every DatagramSent with a send still lets other messages through.
  for (std::size_t due = outcomes_.size(); due > 0 && !outcomes_.empty(); --due) {
    const Outcome next = std::move(outcomes_.front());
    outcomes_.pop_front();
    Raise(next);
    if (!*alive) return;
  }
  if (!outcomes_.empty() && !outcomes_posted_) {
    outcomes_posted_ = ::PostMessageW(window_.get(), kOutcomesMessage, 0, 0) != FALSE;
  }
}

void WinsockUdpSocket::Impl::Raise(const Outcome& outcome) {
  socket_outcome::Raise(events_, outcome);
}

void WinsockUdpSocket::Impl::ReceiveDatagrams() {
  const std::shared_ptr<const bool> alive = alive_;
  const std::uint32_t generation = generation_;
  const std::shared_ptr<std::vector<std::uint8_t>> buffer = receive_buffer_;
  for (int attempts = 0; attempts < kMaxDatagramsPerMessage; ++attempts) {
    // A handler may have closed or replaced the socket.
    if (!socket_ || generation_ != generation) return;
    // An outcome queued before this read (the answer a handler just sent) is raised first, so
    // that events keep the order in which things happened: the system may have posted the next
    // FD_READ ahead of our outcomes message.
    if (!outcomes_.empty()) {
      RaiseOutcomes();
      if (!*alive || !socket_ || generation_ != generation) return;
    }
    sockaddr_in sender{};
    int sender_length = sizeof sender;
    const int length = ::recvfrom(socket_.get(), reinterpret_cast<char*>(buffer->data()),
                                  static_cast<int>(buffer->size()), 0,
                                  reinterpret_cast<sockaddr*>(&sender), &sender_length);
    if (length == SOCKET_ERROR) {
      const int error = ::WSAGetLastError();
      if (error == WSAEWOULDBLOCK) return;
      // An ICMP report about an earlier send, where the system still passes one on.
      if (error == WSAECONNRESET || error == WSAENETRESET) continue;
      Queue(Failure{error, "cannot receive: " + WinsockErrorText(error), kWhereReceive});
      return;
    }
    const std::string address = DottedText(sender.sin_addr);
    const std::string port = std::to_string(ntohs(sender.sin_port));
    events_.DatagramReceived(
        address, port,
        std::span<const std::uint8_t>(buffer->data(), static_cast<std::size_t>(length)));
    if (!*alive) return;
  }
  // The budget is spent: the rest waits for a later message, behind whatever else is queued.
  if (socket_ && generation_ == generation && !read_more_posted_) {
    read_more_posted_ = ::PostMessageW(window_.get(), kReadMoreMessage,
                                       static_cast<WPARAM>(generation_), 0) != FALSE;
  }
}

WinsockUdpSocket::WinsockUdpSocket(UdpSocketEvents& events, WinsockUdpSocketOptions options)
    : impl_(std::make_unique<Impl>(events, std::move(options))) {}

WinsockUdpSocket::~WinsockUdpSocket() = default;

void WinsockUdpSocket::OpenSocket(std::string_view local_port) {
  impl_->OpenSocket(local_port);
}

void WinsockUdpSocket::CloseSocket() {
  impl_->CloseSocket();
}

void WinsockUdpSocket::SendDatagram(std::string_view remote_address, std::string_view remote_port,
                                    std::span<const std::uint8_t> message) {
  impl_->SendDatagram(remote_address, remote_port, message);
}

std::string WinsockUdpSocket::LocalAddressFor(std::string_view remote_address) {
  return impl_->LocalAddressFor(remote_address);
}

bool WinsockUdpSocket::IsOpen() const noexcept {
  return static_cast<bool>(impl_->socket_);
}

std::uint16_t WinsockUdpSocket::LocalPort() const noexcept {
  return impl_->LocalPort();
}

}  // namespace kivostrel
