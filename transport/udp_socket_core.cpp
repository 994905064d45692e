#include "transport/udp_socket_core.h"

#include <utility>

#include "encoding/automation_error.h"
#include "encoding/quoted.h"

namespace kivostrel {
namespace {

constexpr const char* kWhereOpen = "OpenSocket";
constexpr const char* kWhereSend = "SendDatagram";
constexpr const char* kWhereReceive = "Receive";

// Any port will do for the probe in LocalAddressFor: connecting a UDP socket sends nothing.
constexpr std::uint16_t kProbePort = 9;
constexpr std::size_t kReceiveBufferSize = 65536;
// What a replaced socket may hold at most: about what its receive buffer takes. A flood that goes
// on while it is read is cut there, as the system would drop it.
constexpr std::size_t kMaxHeldDatagrams = 16384;
constexpr std::size_t kMaxHeldBytes = 8 * 1024 * 1024;

template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

// "ADDRESS port PORT": how messages name a destination, in the host's own texts.
std::string Target(std::string_view address, std::string_view port) {
  return std::string(address) + " port " + std::string(port);
}

std::string CannotResolveText(std::string_view host, std::string_view reason) {
  return "cannot resolve host " + Quoted(host) + ": " + std::string(reason);
}

std::string BadPortText(std::string_view port, std::string_view reason) {
  return "bad port " + Quoted(port) + ": " + std::string(reason);
}

}  // namespace

UdpSocketCore::UdpSocketCore(UdpSocketEvents& events, UdpSocketOptions options,
                             const Platform& platform)
    : events_(events),
      options_(std::move(options)),
      platform_(platform),
      receive_buffer_(std::make_shared<std::vector<std::uint8_t>>(kReceiveBufferSize)),
      alive_(std::make_shared<bool>(true)) {}

UdpSocketCore::~UdpSocketCore() {
  *alive_ = false;
}

std::uint16_t UdpSocketCore::LocalPort() const noexcept {
  return open_ ? NativeLocalPort() : 0;
}

void UdpSocketCore::OpenSocket(std::string_view local_port) {
  const std::optional<std::uint16_t> port = ReadLocalPort(local_port, options_.local_port);
  if (unannounced_ > 0 && open_ && (local_port.empty() || local_port == "0")) {
    // The socket Rebind bound: nothing to bind again.
    --unannounced_;
    Queue(Ready{.announces_rebind = true});
    return;
  }
  unannounced_ = 0;
  ReleaseHeld();
  DropSocket();
  if (!port) {
    Queue(Failure{platform_.invalid_argument, "bad local port " + Quoted(local_port), kWhereOpen});
    return;
  }
  if (auto failure = Bind(options_.local_address, *port)) {
    Queue(Failure{failure->code, std::move(failure->description), kWhereOpen});
    return;
  }
  Queue(Ready{});
}

std::optional<SocketFailure> UdpSocketCore::Rebind(std::string_view local_address,
                                                   std::uint16_t local_port) {
  HoldWaitingDatagrams();
  // The endpoint the socket is bound to already: it stays, so that nothing sent to the port
  // meanwhile is refused, and is announced again as a new one would be.
  const bool same_endpoint = open_ && local_port != 0 && local_port == LocalPort() &&
                             local_address == options_.local_address;
  auto failure = same_endpoint ? std::nullopt : Bind(local_address, local_port);
  if (failure && failure->code == platform_.address_in_use && local_port != 0 &&
      local_port == LocalPort()) {
    // The port in use is the open socket's own (a new address for the same port, or the same
    // endpoint again): let it go for the new bind, and take it back if that still fails.
    const UdpSocketOptions old = options_;
    DropSocket();
    failure = Bind(local_address, local_port);
    if (failure && Bind(old.local_address, local_port)) {
      // Lost to another process in between: the usual reopen after SocketClosed tries again.
      unannounced_ = 0;
      Queue(Closed{});
    }
  }
  if (failure) {
    // The socket stays: what was read from it goes out as if it had just arrived.
    if (!holding_) ReleaseHeld();
    return failure;
  }
  options_ = UdpSocketOptions{std::string(local_address), local_port};
  ++unannounced_;
  holding_ = true;
  Queue(Closed{});
  return std::nullopt;
}

void UdpSocketCore::HoldWaitingDatagrams() {
  if (!open_) return;
  // Not the receive buffer: a handler may be reading the datagram in it.
  std::vector<std::uint8_t> buffer(kReceiveBufferSize);
  std::size_t bytes = 0;
  for (std::size_t count = 0; count < kMaxHeldDatagrams && bytes < kMaxHeldBytes; ++count) {
    std::size_t size = 0;
    Endpoint sender;
    std::int32_t error = 0;
    const Io result = ReceiveWaiting(buffer, size, sender, error);
    if (result == Io::kNothing) continue;
    if (result != Io::kDone) return;  // a failed read ends it: the socket is going anyway
    held_.push_back(
        {Unmapped(sender), std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + size)});
    bytes += size;
  }
}

void UdpSocketCore::ReleaseHeld() {
  const bool was_holding = std::exchange(holding_, false);
  while (!held_.empty()) {
    ++released_;
    Queue(std::move(held_.front()));
    held_.pop_front();
  }
  // The socket was not read meanwhile: what waits there may have been announced already.
  if (was_holding && open_) ReceiveLater();
}

std::optional<SocketFailure> UdpSocketCore::ResolveLocal(std::string_view text, std::uint16_t port,
                                                         Endpoint& local, bool& dual_stack) {
  local = Endpoint{.port = port};
  dual_stack = text.empty();
  if (dual_stack) {
    local.ipv6 = true;
    return std::nullopt;
  }
  if (const auto literal = ReadAddressLiteral(text)) {
    local.ipv6 = literal->ipv6;
    local.address = literal->address;
  } else if (text == "localhost") {
    if (auto failure = ResolveHost(text, local)) return failure;
  } else {
    return SocketFailure{platform_.invalid_argument, "bad local address " + Quoted(text)};
  }
  if (!IsAnyAddress(local) && !IsMachineAddress(local)) {
    return SocketFailure{platform_.address_not_available,
                         "cannot bind " + Target(text, std::to_string(port)) + ": " +
                             ErrorText(platform_.address_not_available)};
  }
  return std::nullopt;
}

std::optional<SocketFailure> UdpSocketCore::Bind(std::string_view text, std::uint16_t port) {
  Endpoint local;
  bool dual_stack = false;
  if (auto failure = ResolveLocal(text, port, local, dual_stack)) return failure;
  auto failure = OpenNative(local, dual_stack);
  if (failure && dual_stack && failure->step == OpenStep::kCreate) {
    // A system without IPv6: every IPv4 address, then.
    local.ipv6 = false;
    failure = OpenNative(local, false);
  }
  if (failure) {
    const std::string reason = ErrorText(failure->code);
    const std::string shown = text.empty() ? "every local address" : std::string(text);
    switch (failure->step) {
      case OpenStep::kCreate:
        return SocketFailure{failure->code, "cannot create a UDP socket: " + reason};
      case OpenStep::kBind:
        return SocketFailure{failure->code,
                             "cannot bind " + Target(shown, std::to_string(port)) + ": " + reason};
      case OpenStep::kWatch:
        return SocketFailure{failure->code, "cannot watch the socket: " + reason};
    }
  }
  // The socket open until now, if any, is closed: its datagrams waiting to go fail.
  CancelPending();
  open_ = true;
  ++generation_;
  return std::nullopt;
}

void UdpSocketCore::CloseSocket() {
  unannounced_ = 0;
  ReleaseHeld();
  DropSocket();
  Queue(Closed{});
}

void UdpSocketCore::DropSocket() {
  if (!open_) return;
  CloseNative();
  open_ = false;
  ++generation_;
  CancelPending();
}

void UdpSocketCore::CancelPending() {
  WatchWritable(false);
  unreported_pending_ = 0;
  for (PendingDatagram& datagram : std::exchange(pending_, {})) {
    if (!datagram.reported) continue;
    QueueSendFailure(platform_.cancelled,
                     "socket closed before the datagram to " + datagram.target + " could be sent");
  }
}

void UdpSocketCore::SendDatagram(std::string_view remote_address, std::string_view remote_port,
                                 std::span<const std::uint8_t> message) {
  Send(remote_address, remote_port, message, true);
}

void UdpSocketCore::SendUnreported(std::string_view remote_address, std::string_view remote_port,
                                   std::span<const std::uint8_t> message) {
  Send(remote_address, remote_port, message, false);
}

void UdpSocketCore::Send(std::string_view remote_address, std::string_view remote_port,
                         std::span<const std::uint8_t> message, bool reported) {
  std::string target = Target(remote_address, remote_port);
  const auto fail = [&](std::int32_t code, std::string description) {
    if (reported) QueueSendFailure(code, std::move(description));
  };
  if (!open_) {
    fail(platform_.not_open, "cannot send to " + target + ": the socket is not open");
    return;
  }
  if (message.size() > kMaxDatagramSize) {
    fail(platform_.message_too_long,
         CannotSendText(message.size(), target, platform_.message_too_long));
    return;
  }
  // The port first: a bad port text costs no name lookup.
  Endpoint destination;
  if (auto failure = ResolvePort(remote_port, destination.port)) {
    fail(failure->code, std::move(failure->description));
    return;
  }
  if (auto failure = ResolveHost(remote_address, destination)) {
    fail(failure->code, std::move(failure->description));
    return;
  }

  // Datagrams already waiting go first, so that outcomes keep the order of the calls.
  std::int32_t error = 0;
  const Io result = pending_.empty() ? SendNative(destination, message, error) : Io::kWouldBlock;
  switch (result) {
    case Io::kDone:
      if (reported) Queue(Sent{});
      break;
    case Io::kWouldBlock:
      if (!reported && unreported_pending_ >= kMaxPendingUnreported) DropOldestUnreported();
      pending_.push_back({destination, std::vector<std::uint8_t>(message.begin(), message.end()),
                          std::move(target), reported});
      if (!reported) ++unreported_pending_;
      WatchWritable(true);
      break;
    case Io::kFailed:
    case Io::kNothing:
      fail(error, CannotSendText(message.size(), target, error));
      break;
  }
}

void UdpSocketCore::DropOldestUnreported() {
  for (auto datagram = pending_.begin(); datagram != pending_.end(); ++datagram) {
    if (datagram->reported) continue;
    pending_.erase(datagram);
    --unreported_pending_;
    ++unreported_dropped_;
    return;
  }
}

void UdpSocketCore::SendPending() {
  while (open_ && !pending_.empty()) {
    PendingDatagram& next = pending_.front();
    std::int32_t error = 0;
    const Io result = SendNative(next.destination, next.bytes, error);
    if (result == Io::kWouldBlock) return;
    if (!next.reported) {
      --unreported_pending_;  // nothing to tell
    } else if (result == Io::kDone) {
      Queue(Sent{});
    } else {
      QueueSendFailure(error, CannotSendText(next.bytes.size(), next.target, error));
    }
    pending_.pop_front();
  }
  WatchWritable(false);
}

std::string UdpSocketCore::CannotSendText(std::size_t size, std::string_view target,
                                          std::int32_t code) const {
  return "cannot send " + std::to_string(size) + " bytes to " + std::string(target) + ": " +
         ErrorText(code);
}

std::optional<SocketFailure> UdpSocketCore::ResolvePort(std::string_view text,
                                                        std::uint16_t& port) {
  switch (ReadRemotePort(text, port)) {
    case PortText::kNumber:
      return std::nullopt;
    case PortText::kOutOfRange:
      return SocketFailure{platform_.invalid_argument,
                           BadPortText(text, "not a number from 1 to 65535")};
    case PortText::kName:
      break;
  }
  // A text with a NUL inside would be looked up as its first part only.
  if (!text.empty() && text.find('\0') == std::string_view::npos) {
    if (const auto found = LookUpService(std::string(text))) {
      port = *found;
      return std::nullopt;
    }
  }
  return SocketFailure{platform_.unknown_service,
                       BadPortText(text, "not a port number or a known UDP service")};
}

std::optional<SocketFailure> UdpSocketCore::ResolveHost(std::string_view text, Endpoint& endpoint) {
  if (text.empty() || text.find('\0') != std::string_view::npos) {
    return SocketFailure{platform_.no_host_name, CannotResolveText(text, "no host name given")};
  }
  Endpoint found;
  if (const auto literal = ReadAddressLiteral(text)) {
    found = *literal;
  } else if (auto failure = LookUpHost(std::string(text), found)) {
    return SocketFailure{failure->code, CannotResolveText(text, failure->reason)};
  }
  endpoint.ipv6 = found.ipv6;
  endpoint.address = found.address;
  return std::nullopt;
}

std::optional<UdpSocket::Peer> UdpSocketCore::PeerOf(std::string_view remote_address,
                                                     std::string_view remote_port) {
  Endpoint peer;
  if (ResolvePort(remote_port, peer.port) || ResolveHost(remote_address, peer)) return std::nullopt;
  const Endpoint received = Unmapped(peer);
  return Peer{AddressTextOf(received), std::to_string(received.port)};
}

std::string UdpSocketCore::LocalAddressFor(std::string_view remote_address) {
  const std::string source = std::string(platform_.component) + ":LocalAddressFor";
  Endpoint remote{.port = kProbePort};
  if (auto failure = ResolveHost(remote_address, remote)) {
    throw AutomationError(kErrHostNotFound, source, std::move(failure->description));
  }
  // An IPv4-mapped host is an IPv4 one: an IPv6 probe may not reach it (Winsock's are IPv6-only).
  Endpoint local;
  if (const std::int32_t error = LocalAddressTowards(Unmapped(remote), local); error != 0) {
    throw AutomationError(
        kErrNetworkUnreachable, source,
        "no local address towards " + Quoted(remote_address) + ": " + ErrorText(error));
  }
  return AddressTextOf(Unmapped(local));
}

void UdpSocketCore::Queue(Outcome outcome) {
  outcomes_.push_back(std::move(outcome));
  if (!wake_requested_) wake_requested_ = Wake();
}

void UdpSocketCore::QueueSendFailure(std::int32_t code, std::string description) {
  // The host learns that the send is over, and that the socket takes the next one.
  Queue(Failure{code, std::move(description), kWhereSend});
  Queue(Ready{});
}

void UdpSocketCore::Raise(const Outcome& outcome) {
  std::visit(Overloaded{
                 [&](const Failure& failure) {
                   events_.SocketError(failure.code, failure.description, failure.where);
                 },
                 [&](Ready ready) {
                   // The last socket Rebind bound is announced: reading goes on after this.
                   if (ready.announces_rebind && holding_ && unannounced_ == 0) ReleaseHeld();
                   events_.SocketReady();
                 },
                 [&](Sent) { events_.DatagramSent(); },
                 [&](Closed) { events_.SocketClosed(); },
                 [&](const Received& datagram) {
                   --released_;
                   events_.DatagramReceived(AddressTextOf(datagram.sender),
                                            std::to_string(datagram.sender.port), datagram.bytes);
                 },
             },
             outcome);
}

int UdpSocketCore::RaiseOutcomes() {
  const std::shared_ptr<const bool> alive = alive_;
  // Only a wake-up that was asked for needs resetting: spares a system call on every other pass.
  if (std::exchange(wake_requested_, false)) Woken();
  int raised = 0;
  // Only what is queued now: what handlers queue comes with the next wake-up, so that a host
  // answering every DatagramSent with a send still lets everything else through.
  for (std::size_t due = outcomes_.size(); due > 0 && !outcomes_.empty(); --due) {
    const Outcome next = std::move(outcomes_.front());
    outcomes_.pop_front();
    Raise(next);
    ++raised;
    if (!*alive) return raised;
  }
  if (!outcomes_.empty() && !wake_requested_) wake_requested_ = Wake();
  return raised;
}

int UdpSocketCore::ReceiveDatagrams() {
  const std::shared_ptr<const bool> alive = alive_;
  const std::uint64_t generation = generation_;
  const std::shared_ptr<std::vector<std::uint8_t>> buffer = receive_buffer_;
  int raised = 0;
  for (int attempt = 0; attempt < kMaxDatagramsPerWakeUp; ++attempt) {
    // A handler may have closed or replaced the socket.
    if (!open_ || generation_ != generation) return raised;
    // An outcome queued before this read (the answer a handler just sent) is raised first, so
    // that events keep the order in which things happened.
    if (!outcomes_.empty()) {
      raised += RaiseOutcomes();
      if (!*alive) return raised;
      if (!open_ || generation_ != generation) return raised;
    }
    // Nothing is read before a new socket is announced, nor before what its predecessors held.
    if (holding_) return raised;
    if (released_ > 0) continue;
    std::size_t size = 0;
    Endpoint sender;
    std::int32_t error = 0;
    switch (ReceiveNative(*buffer, size, sender, error)) {
      case Io::kDone:
        break;
      case Io::kNothing:
        continue;
      case Io::kWouldBlock:
        return raised;
      case Io::kFailed:
        ReportReceiveFailure(error);
        return raised;
    }
    const Endpoint from = Unmapped(sender);
    events_.DatagramReceived(AddressTextOf(from), std::to_string(from.port),
                             std::span<const std::uint8_t>(buffer->data(), size));
    ++raised;
    if (!*alive) return raised;
  }
  // The budget is spent: the rest waits for a later wake-up, behind whatever else is due.
  if (open_ && generation_ == generation) ReceiveLater();
  return raised;
}

void UdpSocketCore::ReportReceiveFailure(std::int32_t code) {
  Queue(Failure{code, "cannot receive: " + ErrorText(code), kWhereReceive});
}

void UdpSocketCore::ReportClosedBySystem() {
  DropSocket();
  Queue(Closed{});
}

}  // namespace kivostrel
