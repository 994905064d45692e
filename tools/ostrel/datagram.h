// Datagram: one received message as the control's Response event reports it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "encoding/ostrel_object.h"
#include "encoding/variant.h"

namespace kivostrel::ostrel {

// The arguments of one Response, copied out of the event.
struct Datagram {
  std::string RemoteIP;
  std::string RemotePort;
  std::int16_t Version = 0;
  std::string Community;
  std::string Command;
  std::int32_t RequestId = 0;
  std::int16_t ErrorStatus = 0;
  std::vector<OstrelObject> Objects;
  Bytes RawData;
};

// The error-index of a request or response, which Response does not report: read again from the
// raw bytes. Empty when the header does not hold an integer there.
std::optional<std::int32_t> ErrorIndexOf(const Datagram& datagram);

}  // namespace kivostrel::ostrel
