// Any datagram, decoded as the control decodes what it receives: never a crash, an over-read or a
// leak, and the result keeps its promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "transport/message_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> datagram(data, size);
  for (const std::int32_t string_type : {0, 1}) {
    const kivostrel::ReceivedMessage m = kivostrel::DecodeReceivedMessage(datagram, string_type);
    // An undecodable message carries no rows, and every row comes from at least two octets.
    if (m.ErrorStatus == -1 && !m.Objects.empty() && m.Command != "Trap") std::abort();
    if (m.Command != "Trap" && m.Objects.size() > size / 2) std::abort();
    const kivostrel::DecodedMessage raw = kivostrel::DecodeMessage(datagram, string_type);
    if (!raw.ok && !raw.objects.empty()) std::abort();
  }
  return 0;
}
