#include "encoding/hex.h"

namespace kivostrel {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ':';
}

}  // namespace

std::string ToHex(std::span<const std::uint8_t> bytes, std::string_view separator) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * (2 + separator.size()));
  for (const std::uint8_t b : bytes) {
    if (!text.empty()) text.append(separator);
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

bool FromHex(std::string_view text, std::vector<std::uint8_t>& out) {
  std::vector<std::uint8_t> bytes;
  int high = -1;
  for (const char c : text) {
    if (IsSpace(c)) {
      if (high >= 0) return false;  // a lone digit before a separator
      continue;
    }
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | digit));
      high = -1;
    }
  }
  if (high >= 0) return false;
  out = std::move(bytes);
  return true;
}

}  // namespace kivostrel
