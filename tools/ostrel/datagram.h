// Datagram: one received message as the control's Response event reports it.
#pragma once

#include <cstdint>
#include <optional>

#include "encoding/received_message.h"

namespace kivostrel::ostrel {

// The arguments of one Response, copied out of the event.
using Datagram = ReceivedMessage;

// The error-index of a request or response, which Response does not report: read again from the
// raw bytes. Empty when the header does not hold an integer there.
std::optional<std::int32_t> ErrorIndexOf(const Datagram& datagram);

}  // namespace kivostrel::ostrel
