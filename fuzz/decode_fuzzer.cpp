// Any datagram, decoded as the control decodes what it receives: never a crash, an over-read or a
// leak, and the result keeps its promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "encoding/message_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> datagram(data, size);
  for (const std::int32_t string_type : {0, 1}) {
    const kivostrel::ReceivedMessage m = kivostrel::DecodeReceivedMessage(datagram, string_type);
    const kivostrel::DecodedMessage raw = kivostrel::DecodeMessage(datagram, string_type);
    // An undecodable header is a format error and carries no rows.
    if (!raw.ok && (m.ErrorStatus != -1 || !m.Objects.empty() || !raw.objects.empty())) {
      std::abort();
    }
    // Every row of a request or response comes from at least two octets.
    if (m.Command != "Trap" && m.Objects.size() > size / 2) std::abort();
  }
  return 0;
}
