// BerkeleyUdpSocket: the socket calls of UdpSocketCore on the Berkeley socket API, which Linux
// and Windows Sockets share; native_socket.h holds the few differences. A back end derives from
// it and adds its event loop: it opens the socket with CreateBound and then watches it.
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

  // A UDP socket bound to `local`; on failure nothing stays open.
  std::optional<OpenFailure> CreateBound(const Endpoint& local);
  native::Socket native_socket() const noexcept { return socket_.get(); }

  void CloseNative() noexcept override;
  std::uint16_t NativeLocalPort() const noexcept override;
  Io SendNative(const Endpoint& to, std::span<const std::uint8_t> bytes,
                std::int32_t& error) noexcept override;
  Io ReceiveNative(std::span<std::uint8_t> buffer, std::size_t& size, Endpoint& sender,
                   std::int32_t& error) noexcept override;
  std::optional<LookupFailure> LookUpHost(const std::string& name,
                                          std::array<std::uint8_t, 4>& address) override;
  std::optional<std::uint16_t> LookUpService(const std::string& name) override;
  std::int32_t LocalAddressTowards(const Endpoint& remote, Endpoint& local) override;

 private:
  native::OwnedSocket socket_;
};

}  // namespace kivostrel
