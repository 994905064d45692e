// The BER identifier octets the control writes and reads, with the type names that name them
// everywhere else (the decoder's type names, `Command`, `Name2TypeID`).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kivostrel {

enum BerTag : std::uint8_t {
  kTagInteger = 0x02,
  kTagOctetString = 0x04,
  kTagNull = 0x05,
  kTagObjectId = 0x06,
  kTagSequence = 0x30,
  kTagIpAddress = 0x40,
  kTagCounter = 0x41,
  kTagGauge = 0x42,
  kTagTimeTicks = 0x43,
  kTagOpaque = 0x44,
  kTagGetRequest = 0xA0,
  kTagGetNextRequest = 0xA1,
  kTagGetResponse = 0xA2,
  kTagSetRequest = 0xA3,
  kTagTrap = 0xA4,
};

struct TagName {
  BerTag tag;
  std::string_view name;
};

// The fifteen tags in table order.
inline constexpr std::array<TagName, 15> kTagNames{{
    {kTagInteger, "Integer"},
    {kTagOctetString, "OctetString"},
    {kTagNull, "Null"},
    {kTagObjectId, "ObjectID"},
    {kTagSequence, "Sequence"},
    {kTagIpAddress, "IpAddress"},
    {kTagCounter, "Counter"},
    {kTagGauge, "Gauge"},
    {kTagTimeTicks, "TimeTicks"},
    {kTagOpaque, "Opaque"},
    {kTagGetRequest, "GetRequest"},
    {kTagGetNextRequest, "GetNextRequest"},
    {kTagGetResponse, "GetResponse"},
    {kTagSetRequest, "SetRequest"},
    {kTagTrap, "Trap"},
}};

// The type name of a known tag; empty for a tag outside the table.
constexpr std::string_view TagTypeName(std::uint8_t tag) noexcept {
  for (const auto& entry : kTagNames) {
    if (entry.tag == tag) return entry.name;
  }
  return {};
}

}  // namespace kivostrel
