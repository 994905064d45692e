// ReceivedMessage: one received datagram as the control's Response event reports it, in one
// value: its header fields, its rows as the decoder located them, and the datagram itself.
#pragma once

#include <cstdint>
#include <string>

#include "encoding/bytes.h"
#include "encoding/received_rows.h"

namespace kivostrel {

struct ReceivedMessage {
  // The sender's address and port, as the socket component gives them.
  std::string RemoteIP;
  std::string RemotePort;
  std::int16_t Version = 0;
  std::string Community = "0";
  std::string Command;
  std::int32_t RequestId = 0;
  std::int16_t ErrorStatus = 0;  // -1 ("FormatError") when the message could not be read
  std::int32_t ErrorIndex = 0;   // not an argument of Response
  // OCTET STRING values render as the datagram's octets; the objects collection a host is
  // handed converts their texts through its code page.
  ReceivedRows Objects;
  Bytes RawData;  // the datagram, unchanged
};

}  // namespace kivostrel
