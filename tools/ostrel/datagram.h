// Datagram: one received message as the control's Response event reports it.
#pragma once

#include "encoding/received_message.h"

namespace kivostrel::ostrel {

using Datagram = ReceivedMessage;

}  // namespace kivostrel::ostrel
