#include "encoding/element_reader.h"

#include <array>
#include <charconv>

namespace kivostrel {
namespace {

constexpr std::uint64_t kMaxSubidentifier = 0x7FFFFFFF;

std::string IpAddressText(std::span<const std::uint8_t> content) {
  std::string text;
  for (const std::uint8_t octet : content) {
    if (!text.empty()) text += '.';
    text += std::to_string(octet);
  }
  return text;
}

// Writes a number in decimal at `next` (room up to `end`); returns where it ends. Most arcs of
// an identifier are small: one and two digits are written without to_chars.
inline char* PutNumber(char* next, char* end, std::uint64_t number) {
  if (number < 10) {
    *next = static_cast<char>('0' + number);
    return next + 1;
  }
  if (number < 100) {
    next[0] = static_cast<char>('0' + number / 10);
    next[1] = static_cast<char>('0' + number % 10);
    return next + 2;
  }
  return std::to_chars(next, end, number).ptr;
}

std::string OctetText(std::span<const std::uint8_t> content) {
  return std::string(reinterpret_cast<const char*>(content.data()), content.size());
}

}  // namespace

// The first subidentifier s is split into two arcs as X.690 8.19.4 has it: "0." s below 40,
// "1." (s - 40) below 80, "2." (s - 80) from there on, so that the text encodes back to the same
// octets. One exception keeps the control's own one-piece encoding ("5" is the single octet 05)
// readable: content holding nothing but an s below 40 is that arc alone.
bool AppendObjectIdText(std::span<const std::uint8_t> content, std::string& out) {
  std::uint64_t first = 0;
  std::size_t i = 0;
  do {
    if (i == content.size()) return false;
    first = first * 128 + (content[i] & 0x7F);
    if (first > kMaxSubidentifier) return false;
  } while (content[i++] >= 0x80);

  // Every content octet adds at most four characters ("127." from one octet, "16383." from two,
  // ...), and the first subidentifier at most four more ("2.47" from one octet,
  // "2.2147483567" from five). An ordinary identifier is written on the stack and appended once;
  // a long one in place, then cut back.
  const std::size_t most = 4 * content.size() + 4;
  constexpr std::size_t kOnStack = 256;
  std::array<char, kOnStack> stack;
  const std::size_t used = out.size();
  const bool in_place = most > kOnStack;
  if (in_place) out.resize(used + most);
  char* const begin = in_place ? out.data() + used : stack.data();
  char* const end = begin + most;
  char* next = begin;
  if (i == content.size() && first < 40) {
    next = PutNumber(next, end, first);
  } else {
    const std::uint64_t top = first < 80 ? first / 40 : 2;
    next = PutNumber(next, end, top);
    *next++ = '.';
    next = PutNumber(next, end, first - 40 * top);
  }
  const std::uint8_t* octet = content.data() + i;
  const std::uint8_t* const stop = content.data() + content.size();
  while (octet != stop) {
    std::uint64_t sub = *octet++;
    if (sub >= 0x80) {
      // A subidentifier of several octets; one still open at the end adds nothing.
      sub &= 0x7F;
      std::uint8_t last = 0x80;
      while (octet != stop && last >= 0x80) {
        last = *octet++;
        sub = sub * 128 + (last & 0x7F);
        if (sub > kMaxSubidentifier) {
          if (in_place) out.resize(used);
          return false;
        }
      }
      if (last >= 0x80) break;
    }
    *next++ = '.';
    next = PutNumber(next, end, sub);
  }
  if (in_place) {
    out.resize(used + static_cast<std::size_t>(next - begin));
  } else {
    out.append(begin, next);
  }
  return true;
}

std::string TypeNameOf(std::uint8_t tag) {
  const std::string_view name = TagTypeName(tag);
  return name.empty() ? std::to_string(tag) : std::string(name);
}

bool ReadElementValue(const ElementHeader& header, std::int32_t string_type, Variant& value) {
  const auto content = header.content;
  switch (header.tag) {
    case kTagInteger:
    case kTagCounter:
    case kTagGauge:
    case kTagTimeTicks: {
      const auto number = ReadIntegerContent(header);
      if (!number) return false;
      value = *number;
      return true;
    }
    case kTagCounter64:
      value = ReadCounter64Content(content);
      return true;
    case kTagOctetString:
      if (string_type == kStringTypeBytes) {
        value = Bytes(content.begin(), content.end());
      } else {
        value = OctetText(content);
      }
      return true;
    case kTagObjectId: {
      std::string text;
      if (!AppendObjectIdText(content, text)) return false;
      value = std::move(text);
      return true;
    }
    case kTagIpAddress:
      value = IpAddressText(content);
      return true;
    case kTagNull:
    case kTagOpaque:
    case kTagSequence:
      value = std::string();
      return true;
    default:
      if (IsPduTag(header.tag)) {
        value = std::string();
      } else {
        // An exception value (noSuchObject, noSuchInstance, endOfMibView) or an unknown tag: no
        // value, skipped by its length.
        value = std::monostate{};
      }
      return true;
  }
}

bool ReadNameText(const ElementHeader& header, std::int32_t string_type, std::string& name) {
  if (header.tag == kTagObjectId) return AppendObjectIdText(header.content, name);
  Variant value;
  if (!ReadElementValue(header, string_type, value)) return false;
  name = ValueToText(value);
  return true;
}

}  // namespace kivostrel
