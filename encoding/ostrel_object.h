// OstrelObject: one variable binding of a received message.
#pragma once

#include <cstdint>
#include <string>

#include "encoding/variant.h"

namespace kivostrel {

struct OstrelObject {
  std::string OIDName;       // dotted decimal object identifier
  std::int16_t OIDType = 0;  // tag byte of the value's element, -1 when it failed to decode
  std::string OIDTypeName;   // "Integer", "OctetString", ... as Name2TypeID reads them
  Variant OIDValue;

  friend bool operator==(const OstrelObject&, const OstrelObject&) = default;
};

}  // namespace kivostrel
