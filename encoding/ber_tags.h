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
  kTagCounter64 = 0x46,
  kTagNoSuchObject = 0x80,
  kTagNoSuchInstance = 0x81,
  kTagEndOfMibView = 0x82,
  kTagGetRequest = 0xA0,
  kTagGetNextRequest = 0xA1,
  kTagGetResponse = 0xA2,
  kTagSetRequest = 0xA3,
  kTagTrap = 0xA4,
  kTagGetBulkRequest = 0xA5,
  kTagInformRequest = 0xA6,
  kTagSnmpV2Trap = 0xA7,
  kTagReport = 0xA8,
};

struct TagName {
  BerTag tag;
  std::string_view name;
};

// The SNMPv1 tags in table order, then those SNMPv2 added.
inline constexpr std::array<TagName, 23> kTagNames{{
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
    {kTagCounter64, "Counter64"},
    {kTagNoSuchObject, "NoSuchObject"},
    {kTagNoSuchInstance, "NoSuchInstance"},
    {kTagEndOfMibView, "EndOfMibView"},
    {kTagGetBulkRequest, "GetBulkRequest"},
    {kTagInformRequest, "InformRequest"},
    {kTagSnmpV2Trap, "SNMPv2-Trap"},
    {kTagReport, "Report"},
}};

// A PDU: a constructed element that decoding steps into.
constexpr bool IsPduTag(std::uint8_t tag) noexcept {
  return tag >= kTagGetRequest && tag <= kTagReport;
}

// Every tag's type name by its value, for reading rows without a search.
inline constexpr std::array<std::string_view, 256> kTypeNameOfTag = [] {
  std::array<std::string_view, 256> names{};
  for (const auto& entry : kTagNames) names[entry.tag] = entry.name;
  return names;
}();

// The type name of a known tag; empty for a tag outside the table.
constexpr std::string_view TagTypeName(std::uint8_t tag) noexcept {
  return kTypeNameOfTag[tag];
}

// The number an integer-valued element carries on the wire. Counter, Gauge and TimeTicks are
// unsigned 32-bit numbers there, while a host holds numbers in 32 signed bits and is handed such
// a value of 2^31 or more as a negative number; so under these three tags a value from -2^31 to
// -1 goes out as its unsigned 32-bit equivalent (-1 as 4294967295), and what the host was
// handed goes back out unchanged. Every other value, and every value under any other tag, is
// written as it is.
constexpr std::int64_t WireValueOf(std::uint8_t tag, std::int64_t value) noexcept {
  constexpr std::int64_t kTwoTo32 = std::int64_t{1} << 32;
  const bool unsigned32 = tag == kTagCounter || tag == kTagGauge || tag == kTagTimeTicks;
  return unsigned32 && value < 0 && value >= -kTwoTo32 / 2 ? value + kTwoTo32 : value;
}

}  // namespace kivostrel
