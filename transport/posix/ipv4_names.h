// IPv4 addresses and UDP ports from the texts a host gives: dotted addresses or host names,
// decimal ports or service names.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivostrel {

// Why a text could not be read: `code` is an errno value or a resolver (EAI_*) code, and
// `description` names the text and the problem, e.g. "cannot resolve host 'x': Name or service
// not known".
struct NameError {
  std::int32_t code = 0;
  std::string description;
};

// A dotted address is read without the resolver; anything else is a host name looked up with
// getaddrinfo (IPv4 only; the first address wins). This may block while the system's resolver
// works. The empty text is refused without a lookup.
std::optional<NameError> ResolveHost(std::string_view host, in_addr& address);

// "1" to "65535", or the name of a UDP service known to the system (e.g. "snmp"). Port 0 and
// anything else are refused.
std::optional<NameError> ResolvePort(std::string_view port, std::uint16_t& port_number);

// "a.b.c.d".
std::string DottedText(in_addr address);

}  // namespace kivostrel
