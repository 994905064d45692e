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
  if (most > kOnStack) out.resize(used + most);
  char* const begin = most > kOnStack ? out.data() + used : stack.data();
  char* next = begin;
  char* const end = begin + most;
  // Most arcs are small: one and two digits are written without to_chars.
  const auto put_number = [&next, end](std::uint64_t number) {
    if (number < 10) {
      *next++ = static_cast<char>('0' + number);
    } else if (number < 100) {
      next[0] = static_cast<char>('0' + number / 10);
      next[1] = static_cast<char>('0' + number % 10);
      next += 2;
    } else {
      next = std::to_chars(next, end, number).ptr;
    }
  };
  if (i == content.size() && first < 40) {
    put_number(first);
  } else {
    const std::uint64_t top = first < 80 ? first / 40 : 2;
    put_number(top);
    *next++ = '.';
    put_number(first - 40 * top);
  }
  std::uint64_t sub = 0;
  for (; i < content.size(); ++i) {
    const std::uint8_t octet = content[i];
    if (sub == 0 && octet < 0x80) {  // a one-octet arc, the most common kind
      *next++ = '.';
      put_number(octet);
      continue;
    }
    sub = sub * 128 + (octet & 0x7F);
    if (sub > kMaxSubidentifier) {
      if (most > kOnStack) out.resize(used);
      return false;
    }
    if (octet < 0x80) {
      *next++ = '.';
      put_number(sub);
      sub = 0;
    }
  }
  // A later group still open (its final octet has the high bit) adds nothing.
  if (most > kOnStack) {
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
