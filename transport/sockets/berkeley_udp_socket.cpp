#include "transport/sockets/berkeley_udp_socket.h"

#include <array>
#include <cstring>
#include <memory>

namespace kivostrel {
namespace {

sockaddr_in SockaddrOf(const Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  std::memcpy(&address.sin_addr, endpoint.address.data(), endpoint.address.size());
  address.sin_port = htons(endpoint.port);
  return address;
}

Endpoint EndpointOf(const sockaddr_in& address) {
  Endpoint endpoint;
  std::memcpy(endpoint.address.data(), &address.sin_addr, endpoint.address.size());
  endpoint.port = ntohs(address.sin_port);
  return endpoint;
}

// The address a socket is bound to; false when the system cannot say.
bool BoundEndpoint(native::Socket socket, Endpoint& bound) noexcept {
  sockaddr_in address{};
  native::AddressLength length = sizeof address;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
  bound = EndpointOf(address);
  return true;
}

struct AddrinfoFree {
  void operator()(addrinfo* list) const noexcept { ::freeaddrinfo(list); }
};

}  // namespace

std::optional<UdpSocketCore::OpenFailure> BerkeleyUdpSocket::CreateBound(const Endpoint& local) {
  native::OwnedSocket opened(native::OpenUdpSocket());
  if (!opened) return OpenFailure{OpenStep::kCreate, native::LastError()};
  const sockaddr_in address = SockaddrOf(local);
  if (::bind(opened.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return OpenFailure{OpenStep::kBind, native::LastError()};
  }
  socket_ = std::move(opened);
  return std::nullopt;
}

void BerkeleyUdpSocket::CloseNative() noexcept {
  socket_.reset();
}

std::uint16_t BerkeleyUdpSocket::NativeLocalPort() const noexcept {
  Endpoint bound;
  return BoundEndpoint(socket_.get(), bound) ? bound.port : 0;
}

UdpSocketCore::Io BerkeleyUdpSocket::SendNative(const Endpoint& to,
                                                std::span<const std::uint8_t> bytes,
                                                std::int32_t& error) noexcept {
  const sockaddr_in destination = SockaddrOf(to);
  for (;;) {
    // The size is at most kMaxDatagramSize, checked before.
    if (::sendto(socket_.get(), reinterpret_cast<const char*>(bytes.data()),
                 static_cast<int>(bytes.size()), native::kSendFlags,
                 reinterpret_cast<const sockaddr*>(&destination), sizeof destination) >= 0) {
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
    sockaddr_in from{};
    native::AddressLength from_length = sizeof from;
    const auto length = ::recvfrom(
        socket_.get(), reinterpret_cast<native::BufferPointer>(buffer.data()),
        static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from), &from_length);
    if (length >= 0) {
      size = static_cast<std::size_t>(length);
      sender = EndpointOf(from);
      return Io::kDone;
    }
    error = native::LastError();
    if (native::Interrupted(error)) continue;
    if (native::WouldBlock(error)) return Io::kWouldBlock;
    return native::IcmpReport(error) ? Io::kNothing : Io::kFailed;
  }
}

std::optional<UdpSocketCore::LookupFailure> BerkeleyUdpSocket::LookUpHost(
    const std::string& name, std::array<std::uint8_t, 4>& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
  const std::unique_ptr<addrinfo, AddrinfoFree> list(found);
#ifdef _WIN32
  // The resolver's codes are WSA numbers like any other.
  if (status != 0) return LookupFailure{status, ErrorText(status)};
#else
  if (status == EAI_SYSTEM) return LookupFailure{errno, ErrorText(errno)};
  if (status != 0) return LookupFailure{status, ::gai_strerror(status)};
#endif
  for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addrlen < sizeof(sockaddr_in)) continue;
    sockaddr_in first{};
    std::memcpy(&first, entry->ai_addr, sizeof first);
    address = EndpointOf(first).address;
    return std::nullopt;
  }
  return LookupFailure{platform().no_ipv4_address, "no IPv4 address"};
}

std::optional<std::uint16_t> BerkeleyUdpSocket::LookUpService(const std::string& name) {
#ifdef _WIN32
  // Windows keeps the answer per thread; it is read before any other Winsock call.
  const servent* found = ::getservbyname(name.c_str(), "udp");
#else
  servent entry{};
  servent* found = nullptr;
  std::array<char, 1024> scratch{};
  if (::getservbyname_r(name.c_str(), "udp", &entry, scratch.data(), scratch.size(), &found) != 0) {
    found = nullptr;
  }
#endif
  if (found == nullptr) return std::nullopt;
  return ntohs(static_cast<std::uint16_t>(found->s_port));
}

std::int32_t BerkeleyUdpSocket::LocalAddressTowards(const Endpoint& remote, Endpoint& local) {
  // Connecting a UDP socket sends nothing; it only makes the system choose the route.
  const native::OwnedSocket probe(native::OpenUdpSocket());
  if (!probe) return native::LastError();
  const sockaddr_in destination = SockaddrOf(remote);
  if (::connect(probe.get(), reinterpret_cast<const sockaddr*>(&destination), sizeof destination) !=
          0 ||
      !BoundEndpoint(probe.get(), local)) {
    return native::LastError();
  }
  return 0;
}

}  // namespace kivostrel
