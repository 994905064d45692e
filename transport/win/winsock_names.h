// IPv4 addresses, UDP ports and error texts for the Winsock component.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivostrel {

// Why a text could not be read: `code` is a WSA error number and `description` names the text
// and the problem, e.g. "cannot resolve host 'x': host not found".
struct WinsockNameError {
  std::int32_t code = 0;
  std::string description;
};

// A dotted address is read without the resolver; anything else is a host name looked up with
// getaddrinfo (IPv4 only; the first address wins), which may block while the resolver works.
// The empty text is refused without a lookup (WSAHOST_NOT_FOUND).
std::optional<WinsockNameError> ResolveWinsockHost(std::string_view host, in_addr& address);

// "1" to "65535" (WSAEINVAL otherwise), or the name of a UDP service known to the system, such
// as "snmp" (WSATYPE_NOT_FOUND when unknown).
std::optional<WinsockNameError> ResolveWinsockPort(std::string_view port,
                                                   std::uint16_t& port_number);

// "a.b.c.d".
std::string DottedText(in_addr address);

// A readable English text for a WSA error number, e.g. "message too long"; the system's own
// text for numbers outside the usual ones.
std::string WinsockErrorText(int error);

}  // namespace kivostrel
