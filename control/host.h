// What a control needs from the host that holds it: somewhere to raise its events, the label
// that is its face, and the code page of its texts. The COM shell implements these over COM;
// native hosts and tests implement them directly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "control/collection.h"
#include "control/objects_collection.h"
#include "encoding/ostrel_object.h"
#include "encoding/received_message.h"

namespace kivostrel {

using NamesCollection = Collection<std::string>;

// The control's three events. Each runs to completion on the host's thread before the control
// goes on; a handler may call any member of the control.
class HostEvents {
 public:
  virtual ~HostEvents() = default;

  // A datagram arrived: `message` as decoded, with the sender and the datagram itself (its
  // Community through the code page). `Objects` is the collection of its rows the host sees,
  // passed by reference: whatever collection it refers to when the handler returns is the one
  // the control keeps. `message` lives until the handler returns.
  virtual void Response(const ReceivedMessage& message,
                        std::shared_ptr<ObjectsCollection>& Objects) = 0;
  // The control has become able to send.
  virtual void Ready() = 0;
  // The socket component reported an error.
  virtual void WsError(std::int32_t Ecode, const std::string& Description,
                       const std::string& Where) = 0;
};

// The text label that fills the control's surface.
class Label {
 public:
  virtual ~Label() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void Move(std::int32_t left, std::int32_t top, std::int32_t width,
                    std::int32_t height) = 0;
};

// Texts cross the control's interface as UTF-8; OCTET STRING values are sent and received in
// the system's narrow (ANSI) code page. On Linux that code page is UTF-8 and nothing changes;
// the Windows shell converts through the ANSI code page.
class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual std::string ToAnsi(std::string_view utf8) const { return std::string(utf8); }
  virtual std::string FromAnsi(const std::string& ansi) const { return ansi; }
};

}  // namespace kivostrel
