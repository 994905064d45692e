// Datagram: one received message as the control's Response event reports it, with the
// control's SecurityError at that moment (why an SNMPv3 message was refused, or what the Report
// it is names; "" otherwise).
#pragma once

#include <string>

#include "encoding/received_message.h"

namespace kivostrel::ostrel {

struct Datagram : ReceivedMessage {
  std::string SecurityError;
};

}  // namespace kivostrel::ostrel
