#include "tools/ostrel/snmpv2_texts.h"

#include <array>

#include "encoding/ber_tags.h"

namespace kivostrel::ostrel {
namespace {

constexpr std::int16_t kFirstSnmpV2Error = 6;

// Error statuses 6 to 18, in order.
constexpr std::array<std::string_view, 13> kSnmpV2ErrorNames{
    "noAccess",           "wrongType",         "wrongLength",         "wrongEncoding", "wrongValue",
    "noCreation",         "inconsistentValue", "resourceUnavailable", "commitFailed",  "undoFailed",
    "authorizationError", "notWritable",       "inconsistentName",
};

}  // namespace

std::optional<std::string_view> ExceptionText(std::int16_t type) noexcept {
  switch (type) {
    case kTagNoSuchObject:
      return "No Such Object available on this agent at this OID";
    case kTagNoSuchInstance:
      return "No Such Instance currently exists at this OID";
    case kTagEndOfMibView:
      return "No more variables left in this MIB View (It is past the end of the MIB tree)";
    default:
      return std::nullopt;
  }
}

bool IsException(std::int16_t type) noexcept {
  return ExceptionText(type).has_value();
}

std::string ErrorStatusName(std::int16_t error_status, const kivOstrel& control) {
  const int index = error_status - kFirstSnmpV2Error;
  if (index >= 0 && index < static_cast<int>(kSnmpV2ErrorNames.size())) {
    return std::string(kSnmpV2ErrorNames[static_cast<std::size_t>(index)]);
  }
  return control.Err2Str(error_status);
}

}  // namespace kivostrel::ostrel
