#include "transport/sockets/berkeley_udp_socket.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace kivostrel {
namespace {

// What a socket asks for to hold bursts: about 10,000 datagrams of a few hundred bytes.
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

// A sockaddr of either family, as the calls take and give it.
struct SocketAddress {
  sockaddr_storage storage{};
  native::AddressLength length = sizeof storage;

  const sockaddr* get() const noexcept { return reinterpret_cast<const sockaddr*>(&storage); }
  sockaddr* get() noexcept { return reinterpret_cast<sockaddr*>(&storage); }
};

// `endpoint` in the form a socket of the given family takes: an IPv6 socket reaches an IPv4
// endpoint through its IPv4-mapped address.
SocketAddress SockaddrOf(const Endpoint& endpoint, bool ipv6_socket) {
  SocketAddress address;
  if (ipv6_socket || endpoint.ipv6) {
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(endpoint.port);
    std::array<std::uint8_t, 16> octets = endpoint.address;
    if (!endpoint.ipv6) {
      octets = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
      std::memcpy(octets.data() + 12, endpoint.address.data(), 4);
    }
    std::memcpy(&v6.sin6_addr, octets.data(), octets.size());
    std::memcpy(&address.storage, &v6, sizeof v6);
    address.length = sizeof v6;
  } else {
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    v4.sin_port = htons(endpoint.port);
    std::memcpy(&v4.sin_addr, endpoint.address.data(), 4);
    std::memcpy(&address.storage, &v4, sizeof v4);
    address.length = sizeof v4;
  }
  return address;
}

// False for a family other than IPv4 and IPv6.
bool EndpointOf(const sockaddr* address, Endpoint& endpoint) noexcept {
  if (address->sa_family == AF_INET) {
    sockaddr_in v4{};
    std::memcpy(&v4, address, sizeof v4);
    endpoint = Endpoint{.port = ntohs(v4.sin_port)};
    std::memcpy(endpoint.address.data(), &v4.sin_addr, 4);
    return true;
  }
  if (address->sa_family == AF_INET6) {
    sockaddr_in6 v6{};
    std::memcpy(&v6, address, sizeof v6);
    endpoint = Endpoint{.ipv6 = true, .port = ntohs(v6.sin6_port)};
    std::memcpy(endpoint.address.data(), &v6.sin6_addr, 16);
    return true;
  }
  return false;
}

// The address a socket is bound to; false when the system cannot say.
bool BoundEndpoint(native::Socket socket, Endpoint& bound) noexcept {
  SocketAddress address;
  if (::getsockname(socket, address.get(), &address.length) != 0) return false;
  return EndpointOf(address.get(), bound);
}

struct AddrinfoFree {
  void operator()(addrinfo* list) const noexcept { ::freeaddrinfo(list); }
};

bool SameAddress(const Endpoint& a, const Endpoint& b) noexcept {
  return a.ipv6 == b.ipv6 && a.address == b.address;
}

bool IsLoopback(const Endpoint& address) noexcept {
  if (!address.ipv6) return address.address[0] == 127;
  constexpr std::array<std::uint8_t, 16> kLoopback = {0, 0, 0, 0, 0, 0, 0, 0,
                                                      0, 0, 0, 0, 0, 0, 0, 1};
  return address.address == kLoopback;
}

// Every unicast address of this machine's interfaces.
std::vector<Endpoint> MachineAddresses() {
  std::vector<Endpoint> found;
  native::ForEachInterfaceAddress([&](const sockaddr* address) {
    Endpoint endpoint;
    if (EndpointOf(address, endpoint)) found.push_back(endpoint);
  });
  return found;
}

}  // namespace

std::optional<UdpSocketCore::OpenFailure> BerkeleyUdpSocket::CreateBound(
    const Endpoint& local, bool dual_stack, native::OwnedSocket& created) {
  native::OwnedSocket opened(native::OpenUdpSocket(local.ipv6 ? AF_INET6 : AF_INET));
  if (!opened) return OpenFailure{OpenStep::kCreate, native::LastError()};
  if (local.ipv6) {
    const int v6_only = dual_stack ? 0 : 1;
    if (::setsockopt(opened.get(), IPPROTO_IPV6, IPV6_V6ONLY,
                     reinterpret_cast<native::OptionPointer>(&v6_only), sizeof v6_only) != 0) {
      return OpenFailure{OpenStep::kCreate, native::LastError()};
    }
  }
  // A burst outruns a host busy with each datagram; the default buffer holds a few hundred
  // small ones. The system may grant less (Linux: up to net.core.rmem_max): that will do.
  const int receive_buffer = kReceiveBufferBytes;
  ::setsockopt(opened.get(), SOL_SOCKET, SO_RCVBUF,
               reinterpret_cast<native::OptionPointer>(&receive_buffer), sizeof receive_buffer);
  const SocketAddress address = SockaddrOf(local, local.ipv6);
  if (::bind(opened.get(), address.get(), address.length) != 0) {
    return OpenFailure{OpenStep::kBind, native::LastError()};
  }
  created = std::move(opened);
  return std::nullopt;
}

void BerkeleyUdpSocket::Install(native::OwnedSocket created, const Endpoint& local) noexcept {
  socket_ = std::move(created);
  ipv6_ = local.ipv6;
  // Asked once: hosts may read the port often, and under Wine every call is a round trip.
  Endpoint bound;
  port_ = BoundEndpoint(socket_.get(), bound) ? bound.port : 0;
}

Endpoint BerkeleyUdpSocket::EndpointFrom(const sockaddr_storage& address) noexcept {
  Endpoint endpoint;
  if (!EndpointOf(reinterpret_cast<const sockaddr*>(&address), endpoint)) return Endpoint{};
  return endpoint;
}

void BerkeleyUdpSocket::CloseNative() noexcept {
  socket_.reset();
  port_ = 0;
}

std::uint16_t BerkeleyUdpSocket::NativeLocalPort() const noexcept {
  return port_;
}

UdpSocketCore::Io BerkeleyUdpSocket::SendNative(const Endpoint& to,
                                                std::span<const std::uint8_t> bytes,
                                                std::int32_t& error) noexcept {
  const SocketAddress destination = SockaddrOf(to, ipv6_);
  for (;;) {
    // The size is at most kMaxDatagramSize, checked before.
    if (::sendto(socket_.get(), reinterpret_cast<const char*>(bytes.data()),
                 static_cast<int>(bytes.size()), native::kSendFlags, destination.get(),
                 destination.length) >= 0) {
      return Io::kDone;
    }
    error = native::LastError();
    if (!native::Interrupted(error)) {
      // A writability report follows once the system takes data again.
      return native::WouldBlock(error) ? Io::kWouldBlock : Io::kFailed;
    }
  }
}

UdpSocketCore::Io BerkeleyUdpSocket::ReceiveNative(std::span<std::uint8_t> buffer,
                                                   std::size_t& size, Endpoint& sender,
                                                   std::int32_t& error) noexcept {
  for (;;) {
    SocketAddress from;
    const auto length =
        ::recvfrom(socket_.get(), reinterpret_cast<native::BufferPointer>(buffer.data()),
                   static_cast<int>(buffer.size()), 0, from.get(), &from.length);
    if (length >= 0) {
      size = static_cast<std::size_t>(length);
      sender = EndpointFrom(from.storage);
      return Io::kDone;
    }
    error = native::LastError();
    if (native::Interrupted(error)) continue;
    if (native::WouldBlock(error)) return Io::kWouldBlock;
    return native::IcmpReport(error) ? Io::kNothing : Io::kFailed;
  }
}

UdpSocketCore::Io BerkeleyUdpSocket::ReceiveWaiting(std::span<std::uint8_t> buffer,
                                                    std::size_t& size, Endpoint& sender,
                                                    std::int32_t& error) noexcept {
  return BerkeleyUdpSocket::ReceiveNative(buffer, size, sender, error);
}

std::optional<UdpSocketCore::LookupFailure> BerkeleyUdpSocket::LookUpHost(const std::string& name,
                                                                          Endpoint& address) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
  const std::unique_ptr<addrinfo, AddrinfoFree> list(found);
  if (status != 0) {
    const int code = native::LookupErrorCode(status);
    const char* reason = native::LookupErrorReason(status);
    return LookupFailure{code, reason != nullptr ? std::string(reason) : ErrorText(code)};
  }
  // IPv4 first: a peer known by name most often listens there, and every socket reaches it.
  for (const int family : {AF_INET, AF_INET6}) {
    for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
      if (entry->ai_family == family && EndpointOf(entry->ai_addr, address)) return std::nullopt;
    }
  }
  return LookupFailure{platform().no_address, "no IPv4 or IPv6 address"};
}

std::optional<std::uint16_t> BerkeleyUdpSocket::LookUpService(const std::string& name) {
  return native::UdpServicePort(name);
}

std::int32_t BerkeleyUdpSocket::LocalAddressTowards(const Endpoint& remote, Endpoint& local) {
  // Connecting a UDP socket sends nothing; it only makes the system choose the route.
  const native::OwnedSocket probe(native::OpenUdpSocket(remote.ipv6 ? AF_INET6 : AF_INET));
  if (!probe) return native::LastError();
  const SocketAddress destination = SockaddrOf(remote, remote.ipv6);
  if (::connect(probe.get(), destination.get(), destination.length) != 0 ||
      !BoundEndpoint(probe.get(), local)) {
    return native::LastError();
  }
  return 0;
}

bool BerkeleyUdpSocket::IsMachineAddress(const Endpoint& address) {
  if (IsLoopback(address)) return true;
  for (const Endpoint& own : MachineAddresses()) {
    if (SameAddress(Unmapped(own), address)) return true;
  }
  return false;
}

}  // namespace kivostrel
