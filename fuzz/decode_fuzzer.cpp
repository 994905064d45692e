// Any datagram, decoded as the control decodes what it receives: never a crash, an over-read or a
// leak, and the result keeps its promises. Every row is rendered, so the rows' readers run on
// whatever the walk located.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <utility>

#include "encoding/ber_tags.h"
#include "encoding/message_decoder.h"

namespace {

using kivostrel::ReceivedMessage;
using kivostrel::ReceivedRows;

// Renders every row twice, through both ways of reading the table: the same row gives the same
// object each time.
void RenderEveryRow(const ReceivedRows& rows) {
  std::size_t index = 0;
  for (const kivostrel::OstrelObject& row : rows) {
    if (index >= rows.size() || row != rows[index]) std::abort();
    ++index;
  }
  if (index != rows.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> datagram(data, size);
  for (const std::int32_t string_type : {0, 1}) {
    const ReceivedMessage m = kivostrel::DecodeReceivedMessage(datagram, string_type);
    const kivostrel::DecodedMessage raw = kivostrel::DecodeMessage(datagram, string_type);
    // An undecodable header is a format error and carries no rows.
    if (!raw.ok && (m.ErrorStatus != -1 || !m.Objects.empty() || !raw.objects.empty())) {
      std::abort();
    }
    RenderEveryRow(m.Objects);
    if (m.Command != "Trap") {
      // Every row of a request or response comes from at least two octets, and reads as the
      // eager decoder reads it.
      if (m.Objects.size() > size / 2) std::abort();
      if (!m.Objects.empty() && !(m.Objects == raw.objects)) std::abort();
    } else if (!m.Objects.empty()) {
      // The notification form's own rows have their fixed types, whatever the datagram holds.
      const std::size_t n = m.Objects.size();
      if (n < 5 || m.Objects[0].OIDType != kivostrel::kTagTimeTicks ||
          m.Objects[1].OIDType != kivostrel::kTagObjectId ||
          m.Objects[n - 3].OIDType != kivostrel::kTagIpAddress ||
          m.Objects[n - 2].OIDType != kivostrel::kTagOctetString ||
          m.Objects[n - 1].OIDType != kivostrel::kTagObjectId) {
        std::abort();
      }
    }
    // Copies and moves own what they render.
    ReceivedMessage copy = m;
    const ReceivedMessage moved = std::move(copy);
    copy = moved;
    if (!(moved.Objects == m.Objects) || !(copy.Objects == m.Objects)) std::abort();
  }
  return 0;
}
