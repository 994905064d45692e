// BerkeleyUdpSocket: the socket calls of UdpSocketCore on the Berkeley socket API, which Linux
// and Windows Sockets share; native_socket.h holds the few differences. A back end derives from
// it and adds its event loop: it creates a socket with CreateBound, watches it, then Installs it.
//
// A socket bound to every address is an IPv6 one that takes IPv4 as well: IPv4 peers then show
// as IPv4-mapped IPv6 addresses, which the core turns back into IPv4.
#pragma once

#include <cstdint>
#include <utility>

#include "transport/sockets/native_socket.h"
#include "transport/udp_socket_core.h"

namespace kivostrel {

class BerkeleyUdpSocket : public UdpSocketCore {
 protected:
  BerkeleyUdpSocket(UdpSocketEvents& events, UdpSocketOptions options)
      : UdpSocketCore(events, std::move(options), native::kPlatform) {}

  // A UDP socket bound to `local` in `created`, not yet the component's. On failure `created`
  // is empty.
  std::optional<OpenFailure> CreateBound(const Endpoint& local, bool dual_stack,
                                         native::OwnedSocket& created);
  // Makes `created`, of the family of `local`, the component's socket; the one it had closes.
  void Install(native::OwnedSocket created, const Endpoint& local) noexcept;
  native::Socket native_socket() const noexcept { return socket_.get(); }
  // The endpoint in an address the system filled in; the empty endpoint for another family.
  static Endpoint EndpointFrom(const sockaddr_storage& address) noexcept;

  void CloseNative() noexcept override;
  std::uint16_t NativeLocalPort() const noexcept override;
  Io SendNative(const Endpoint& to, std::span<const std::uint8_t> bytes,
                std::int32_t& error) noexcept override;
  Io ReceiveNative(std::span<std::uint8_t> buffer, std::size_t& size, Endpoint& sender,
                   std::int32_t& error) noexcept override;
  // One read of the socket, as ReceiveNative here.
  Io ReceiveWaiting(std::span<std::uint8_t> buffer, std::size_t& size, Endpoint& sender,
                    std::int32_t& error) noexcept override;
  std::optional<LookupFailure> LookUpHost(const std::string& name, Endpoint& address) override;
  std::optional<std::uint16_t> LookUpService(const std::string& name) override;
  std::int32_t LocalAddressTowards(const Endpoint& remote, Endpoint& local) override;
  bool IsMachineAddress(const Endpoint& address) override;

 private:
  native::OwnedSocket socket_;
  bool ipv6_ = false;       // the family of socket_
  std::uint16_t port_ = 0;  // the port socket_ is bound to
};

}  // namespace kivostrel
