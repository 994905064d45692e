#include "tools/ostrel/datagram.h"

#include <variant>

#include "encoding/message_decoder.h"

namespace kivostrel::ostrel {

std::optional<std::int32_t> ErrorIndexOf(const Datagram& datagram) {
  const DecodedMessage message = DecodeMessage(datagram.RawData, 0);
  if (!message.ok) return std::nullopt;
  if (const auto* index = std::get_if<std::int32_t>(&message.slots[7].value)) return *index;
  return std::nullopt;
}

}  // namespace kivostrel::ostrel
