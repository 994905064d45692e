// What a control needs from the host that holds it: somewhere to raise its events, the label
// that is its face, and the container's property bag. The COM shell implements these over COM;
// native hosts and tests implement them directly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "control/collection.h"
#include "control/objects_collection.h"
#include "encoding/ostrel_object.h"
#include "encoding/received_message.h"
#include "encoding/variant.h"

namespace kivostrel {

using NamesCollection = Collection<std::string>;

// The control's three events. Each runs to completion on the host's thread before the control
// goes on; a handler may call any member of the control.
class HostEvents {
 public:
  virtual ~HostEvents() = default;

  // A datagram arrived. `Objects` and `RawData` are passed by reference: whatever collection
  // `Objects` refers to when the handler returns is the one the control keeps.
  virtual void Response(const std::string& RemoteIP, const std::string& RemotePort,
                        std::int16_t Version, const std::string& Community,
                        const std::string& Command, std::int32_t RequestId,
                        std::int16_t ErrorStatus, std::shared_ptr<ObjectsCollection>& Objects,
                        Bytes& RawData) = 0;
  // The control has become able to send.
  virtual void Ready() = 0;
  // The socket component reported an error.
  virtual void WsError(std::int32_t Ecode, const std::string& Description,
                       const std::string& Where) = 0;
};

// A Response's arguments as one value, the rows copied out of `Objects`.
ReceivedMessage CopyOfResponse(const std::string& RemoteIP, const std::string& RemotePort,
                               std::int16_t Version, const std::string& Community,
                               const std::string& Command, std::int32_t RequestId,
                               std::int16_t ErrorStatus, const ObjectsCollection& Objects,
                               const Bytes& RawData);

// The text label that fills the control's surface.
class Label {
 public:
  virtual ~Label() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void Move(std::int32_t left, std::int32_t top, std::int32_t width,
                    std::int32_t height) = 0;
};

// The container's property bag.
class PropertyBag {
 public:
  virtual ~PropertyBag() = default;
  // The stored value, or `default_value` when there is none.
  virtual Variant Read(const std::string& name, const Variant& default_value) = 0;
  virtual void Write(const std::string& name, const Variant& value,
                     const Variant& default_value) = 0;
};

// Texts cross the control's interface as UTF-8; OCTET STRING values are sent and received in
// the system's narrow (ANSI) code page. On Linux that code page is UTF-8 and nothing changes;
// the Windows shell converts through the ANSI code page.
class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual std::string ToAnsi(const std::string& utf8) const { return utf8; }
  virtual std::string FromAnsi(const std::string& ansi) const { return ansi; }
};

}  // namespace kivostrel
