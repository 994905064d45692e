#include "mib/value_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <type_traits>

namespace kivostrel::mib {
namespace {

// No text written here grows past this: a hint applied to the largest value a message can hold
// stays far below it, and what would pass it is not written at all.
constexpr std::size_t kMaxText = 1 << 20;
// Octet lengths and decimal-point shifts of a hint above these are not read.
constexpr std::uint32_t kMaxHintWidth = 65535;
constexpr std::uint32_t kMaxShift = 255;

template <typename Number>
void AppendNumber(std::string& out, Number number, int base = 10) {
  std::array<char, 72> digits;
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), number, base).ptr;
  out.append(digits.data(), end);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// What the ASCII locale of Net-SNMP's tools calls printable, and white space.
bool IsPrintable(std::uint8_t c) {
  return c >= 0x20 && c < 0x7F;
}
bool IsSpace(std::uint8_t c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The octets a value holds: an OCTET STRING's text (its chars taken as octets) or bytes.
std::optional<std::span<const std::uint8_t>> OctetsOf(const Variant& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return AsBytes(*text);
  if (const auto* bytes = std::get_if<Bytes>(&value)) return std::span<const std::uint8_t>(*bytes);
  return std::nullopt;
}

// One step of an OCTET STRING hint: [*]length format [separator [terminator]].
struct HintStep {
  bool counted = false;  // '*': the next octet of the value says how often it applies
  std::uint32_t width = 1;
  char format = 'd';
  char separator = 0;
  char terminator = 0;
};

// A separator or terminator is any character that does not start the next step. As
// Net-SNMP has it, a hint without a length ("x") takes a following 'x', 'd' or 'o' for the next
// step's format, and a length of 0 counts as 1.
bool IsDelimiter(std::string_view hint, std::size_t at, std::uint32_t width) {
  if (at >= hint.size()) return false;
  const char c = hint[at];
  if (c == '*' || IsDigit(c)) return false;
  return width != 0 || (c != 'x' && c != 'd' && c != 'o');
}

std::optional<std::vector<HintStep>> ParseOctetHint(std::string_view hint) {
  std::vector<HintStep> steps;
  std::size_t at = 0;
  while (at < hint.size()) {
    HintStep step;
    if (hint[at] == '*') {
      step.counted = true;
      ++at;
    }
    std::uint32_t width = 0;
    while (at < hint.size() && IsDigit(hint[at])) {
      width = width * 10 + static_cast<std::uint32_t>(hint[at++] - '0');
      if (width > kMaxHintWidth) return std::nullopt;
    }
    if (at == hint.size()) return std::nullopt;
    step.format = hint[at++];
    if (step.format != 'a' && step.format != 't' && step.format != 'x' && step.format != 'd' &&
        step.format != 'o') {
      return std::nullopt;
    }
    if (IsDelimiter(hint, at, width)) step.separator = hint[at++];
    if (IsDelimiter(hint, at, width)) step.terminator = hint[at++];
    step.width = width == 0 ? 1 : width;
    steps.push_back(step);
  }
  if (steps.empty()) return std::nullopt;
  return steps;
}

// Net-SNMP's "Hex-STRING" form: each octet as two upper-case digits and a blank, sixteen to a
// line.
void AppendHexLines(std::string& out, std::span<const std::uint8_t> octets) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < octets.size(); ++i) {
    if (i != 0 && i % 16 == 0) out += '\n';
    out += kDigits[octets[i] >> 4];
    out += kDigits[octets[i] & 0x0F];
    out += ' ';
  }
}

// An OCTET STRING without a hint as Net-SNMP writes it: quoted text ('"' and '\' escaped), or
// hex when an octet is neither printable nor white space.
std::string PlainOctetText(std::span<const std::uint8_t> octets) {
  if (octets.empty()) return "\"\"";
  bool text = true;
  for (const std::uint8_t c : octets) text = text && (IsPrintable(c) || IsSpace(c));
  std::string out;
  if (!text) {
    AppendHexLines(out, octets);
    return out;
  }
  out += '"';
  for (const std::uint8_t c : octets) {
    if (c == '"' || c == '\\') out += '\\';
    out += static_cast<char>(c);
  }
  out += '"';
  return out;
}

// "(123) 0:00:01.23", "(8640000) 1 day, 0:00:00.00": TimeTicks as Net-SNMP writes them.
std::string TicksText(std::uint32_t ticks) {
  std::string out = "(";
  AppendNumber(out, ticks);
  out += ") ";
  const std::uint32_t days = ticks / 8640000;
  if (days != 0) {
    AppendNumber(out, days);
    out += days == 1 ? " day, " : " days, ";
  }
  const auto two = [&out](std::uint32_t n) {
    out += static_cast<char>('0' + n / 10);
    out += static_cast<char>('0' + n % 10);
  };
  AppendNumber(out, ticks / 360000 % 24);
  out += ':';
  two(ticks / 6000 % 60);
  out += ':';
  two(ticks / 100 % 60);
  out += '.';
  two(ticks % 100);
  return out;
}

bool IsUnsigned32(BaseType base) {
  return base == BaseType::kUnsigned32 || base == BaseType::kCounter32 ||
         base == BaseType::kGauge32 || base == BaseType::kTimeTicks;
}

// The number a value holds, read as the base type has it: the 32-bit unsigned types' numbers
// arrive as signed 32-bit ones (4294967295 as -1), a host may give any whole double.
std::optional<std::int64_t> NumberOf(const Variant& value, BaseType base) {
  std::int64_t number = 0;
  if (const auto* small = std::get_if<std::int32_t>(&value)) {
    number = *small;
  } else if (const auto* big = std::get_if<std::uint64_t>(&value)) {
    if (*big > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return std::nullopt;
    }
    number = static_cast<std::int64_t>(*big);
  } else if (const auto* real = std::get_if<double>(&value)) {
    // Within +-2^53 every whole double is exact and converts without overflow.
    constexpr double kExact = 9007199254740992.0;
    if (!(*real >= -kExact && *real <= kExact) ||
        static_cast<double>(static_cast<std::int64_t>(*real)) != *real) {
      return std::nullopt;
    }
    number = static_cast<std::int64_t>(*real);
  } else {
    return std::nullopt;
  }
  if (IsUnsigned32(base)) {
    if (number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::uint32_t>::max()) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(static_cast<std::uint32_t>(number));
  }
  return number;
}

std::optional<std::string> WithUnits(std::optional<std::string> text, const MibNode& object) {
  if (text && !object.units.empty()) {
    *text += ' ';
    *text += object.units;
  }
  return text;
}

const NamedNumber* NameOf(const std::vector<NamedNumber>& names, std::int64_t number) {
  for (const NamedNumber& named : names) {
    if (named.value == number) return &named;
  }
  return nullptr;
}

std::optional<std::string> NumberValueText(const MibNode& object, const Variant& value) {
  const Syntax& syntax = object.syntax;
  if (syntax.base == BaseType::kCounter64) {
    // Net-SNMP gives Counter64 neither hint nor names, only units.
    if (object.units.empty()) return std::nullopt;
    std::string text;
    if (const auto* big = std::get_if<std::uint64_t>(&value)) {
      AppendNumber(text, *big);
    } else if (const auto number = NumberOf(value, syntax.base); number && *number >= 0) {
      AppendNumber(text, *number);
    } else {
      return std::nullopt;
    }
    return WithUnits(std::move(text), object);
  }
  const auto number = NumberOf(value, syntax.base);
  if (!number) return std::nullopt;
  if (syntax.base == BaseType::kTimeTicks) {
    // TimeTicks keep their own form whatever the hint; only units add to it.
    if (object.units.empty()) return std::nullopt;
    return WithUnits(TicksText(static_cast<std::uint32_t>(*number)), object);
  }
  if (syntax.base == BaseType::kInteger) {
    if (const NamedNumber* named = NameOf(syntax.named_numbers, *number)) {
      std::string text = named->label + '(';
      AppendNumber(text, *number);
      text += ')';
      return WithUnits(std::move(text), object);
    }
  }
  // Counter32 ignores a hint, as Net-SNMP does.
  const bool hinted = syntax.base != BaseType::kCounter32 && !syntax.DisplayHint().empty();
  std::optional<std::string> text;
  if (hinted) text = FormatInteger(syntax.DisplayHint(), *number);
  if (!text && (object.units.empty() && syntax.named_numbers.empty())) return std::nullopt;
  if (!text) {
    text.emplace();
    AppendNumber(*text, *number);
  }
  return WithUnits(std::move(text), object);
}

// BITS as Net-SNMP writes them: each octet in hex, then each set bit's name and number, or its
// number alone when it has no name; every item followed by a blank.
std::string BitsText(std::span<const std::uint8_t> octets, const std::vector<NamedNumber>& names) {
  std::string out;
  AppendHexLines(out, octets);
  for (std::size_t i = 0; i < octets.size(); ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      if ((octets[i] & (0x80 >> bit)) == 0) continue;
      const auto number = static_cast<std::int64_t>(i * 8 + static_cast<std::size_t>(bit));
      if (const NamedNumber* named = NameOf(names, number)) {
        out += named->label;
        out += '(';
        AppendNumber(out, number);
        out += ')';
      } else {
        AppendNumber(out, number);
      }
      out += ' ';
    }
  }
  return out;
}

std::optional<std::string> OctetValueText(const MibNode& object, const Variant& value) {
  const auto octets = OctetsOf(value);
  if (!octets) return std::nullopt;
  if (object.syntax.base == BaseType::kBits) {
    // Net-SNMP writes no units after BITS.
    return BitsText(*octets, object.syntax.named_numbers);
  }
  const std::string& hint = object.syntax.DisplayHint();
  if (!hint.empty()) {
    if (auto text = FormatOctets(hint, *octets)) return WithUnits(std::move(text), object);
  }
  if (object.units.empty()) return std::nullopt;
  // Net-SNMP writes an empty string without its units.
  if (octets->empty()) return PlainOctetText(*octets);
  return WithUnits(PlainOctetText(*octets), object);
}

// --- instance names -------------------------------------------------------------------------

// Reads the parts of an instance suffix; every read checks what is left first.
class SuffixReader {
 public:
  explicit SuffixReader(std::span<const std::uint32_t> suffix) : rest_(suffix) {}
  bool empty() const { return rest_.empty(); }
  std::size_t size() const { return rest_.size(); }
  std::optional<std::uint32_t> Next() {
    if (rest_.empty()) return std::nullopt;
    const std::uint32_t first = rest_.front();
    rest_ = rest_.subspan(1);
    return first;
  }
  std::optional<std::span<const std::uint32_t>> Take(std::size_t count) {
    if (count > rest_.size()) return std::nullopt;
    const auto taken = rest_.first(count);
    rest_ = rest_.subspan(count);
    return taken;
  }

 private:
  std::span<const std::uint32_t> rest_;
};

bool InRanges(const std::vector<Range>& ranges, std::int64_t number) {
  if (ranges.empty()) return true;
  for (const Range& range : ranges) {
    if (number >= range.low && number <= range.high) return true;
  }
  return false;
}

// Each sub-identifier an octet; nullopt when one is above 255.
std::optional<Bytes> OctetsOfArcs(std::span<const std::uint32_t> arcs) {
  Bytes octets;
  octets.reserve(arcs.size());
  for (const std::uint32_t arc : arcs) {
    if (arc > 255) return std::nullopt;
    octets.push_back(static_cast<std::uint8_t>(arc));
  }
  return octets;
}

// An OCTET STRING index: by its hint when it has one, else quoted with '.' for what is not
// printable (Net-SNMP's -OX form).
std::string OctetIndexText(const MibNode& object, std::span<const std::uint8_t> octets) {
  const std::string& hint = object.syntax.DisplayHint();
  if (!hint.empty()) {
    if (auto text = FormatOctets(hint, octets)) return std::move(*text);
  }
  std::string out = "\"";
  for (const std::uint8_t c : octets) out += IsPrintable(c) ? static_cast<char>(c) : '.';
  out += '"';
  return out;
}

// The size an OCTET STRING index always has, when its SIZE allows one only.
std::optional<std::size_t> FixedSize(const Syntax& syntax) {
  if (syntax.sizes.size() != 1 || syntax.sizes[0].low != syntax.sizes[0].high ||
      syntax.sizes[0].low < 0) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(syntax.sizes[0].low);
}

// One INDEX object's share of the suffix, as text (without its brackets); nullopt when the
// suffix does not hold it.
std::optional<std::string> IndexPartText(const MibNode& object, bool implied,
                                         SuffixReader& suffix) {
  const Syntax& syntax = object.syntax;
  std::string text;
  switch (syntax.base) {
    case BaseType::kInteger:
    case BaseType::kUnsigned32:
    case BaseType::kGauge32:
    case BaseType::kCounter32:
    case BaseType::kTimeTicks: {
      const auto arc = suffix.Next();
      if (!arc || !InRanges(syntax.ranges, *arc)) return std::nullopt;
      if (syntax.base == BaseType::kInteger) {
        if (const NamedNumber* named = NameOf(syntax.named_numbers, *arc)) return named->label;
      }
      AppendNumber(text, *arc);
      return text;
    }
    case BaseType::kIpAddress: {
      const auto arcs = suffix.Take(4);
      if (!arcs) return std::nullopt;
      const auto octets = OctetsOfArcs(*arcs);
      if (!octets) return std::nullopt;
      for (std::size_t i = 0; i < octets->size(); ++i) {
        if (i != 0) text += '.';
        AppendNumber(text, (*octets)[i]);
      }
      return text;
    }
    case BaseType::kOctetString:
    case BaseType::kOpaque:
    case BaseType::kBits: {
      std::optional<std::size_t> length =
          implied ? std::optional(suffix.size()) : FixedSize(syntax);
      if (!length) {
        const auto prefix = suffix.Next();
        if (!prefix) return std::nullopt;
        length = *prefix;
      }
      const auto arcs = suffix.Take(*length);
      if (!arcs) return std::nullopt;
      const auto octets = OctetsOfArcs(*arcs);
      if (!octets) return std::nullopt;
      return OctetIndexText(object, *octets);
    }
    case BaseType::kObjectIdentifier: {
      std::size_t length = suffix.size();
      if (!implied) {
        const auto prefix = suffix.Next();
        if (!prefix) return std::nullopt;
        length = *prefix;
      }
      const auto arcs = suffix.Take(length);
      if (!arcs) return std::nullopt;
      for (std::size_t i = 0; i < arcs->size(); ++i) {
        if (i != 0) text += '.';
        AppendNumber(text, (*arcs)[i]);
      }
      return text;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> FormatOctets(std::string_view hint,
                                        std::span<const std::uint8_t> octets) {
  const auto steps = ParseOctetHint(hint);
  if (!steps) return std::nullopt;
  std::string out;
  std::size_t at = 0;
  std::size_t next_step = 0;
  const HintStep* step = &steps->front();
  while (at < octets.size()) {
    std::uint32_t repeat = 1;
    // The last step applies again, once each time, until the octets are used up.
    if (next_step < steps->size()) {
      step = &(*steps)[next_step++];
      if (step->counted) repeat = octets[at++];
    }
    for (; repeat != 0 && at < octets.size(); --repeat) {
      const std::size_t take = std::min<std::size_t>(step->width, octets.size() - at);
      if (step->format == 'a' || step->format == 't') {
        out.append(reinterpret_cast<const char*>(octets.data() + at), take);
      } else {
        // A number of `width` octets, big-endian; octets missing at the end count as zeros, and
        // a number wider than 64 bits keeps its low 64.
        std::uint64_t number = 0;
        for (std::size_t i = 0; i < take; ++i) number = number << 8 | octets[at + i];
        for (std::size_t i = take; i < step->width && i < take + 8; ++i) number <<= 8;
        if (step->format == 'x') {
          // Single hex digits run together ("1x": 0a0b, not ab) are given a 0, as Net-SNMP
          // does for the last step without a separator.
          if (number < 16 && step->width == 1 && step->separator == 0 && step == &steps->back()) {
            out += '0';
          }
          AppendNumber(out, number, 16);
        } else if (step->format == 'o') {
          AppendNumber(out, number, 8);
        } else {
          AppendNumber(out, static_cast<std::int64_t>(number));
        }
      }
      at += take;
      if (at < octets.size() && step->separator != 0) out += step->separator;
      if (out.size() > kMaxText) return std::nullopt;
    }
    if (at < octets.size() && step->terminator != 0) out += step->terminator;
  }
  return out;
}

std::optional<std::string> FormatInteger(std::string_view hint, std::int64_t value) {
  if (hint.empty()) return std::nullopt;
  const char format = hint[0];
  std::string out;
  if (format == 'd') {
    std::uint32_t shift = 0;
    if (hint.size() > 1) {
      if (hint[1] != '-' || hint.size() == 2) return std::nullopt;
      for (const char c : hint.substr(2)) {
        if (!IsDigit(c)) return std::nullopt;
        shift = shift * 10 + static_cast<std::uint32_t>(c - '0');
        if (shift > kMaxShift) return std::nullopt;
      }
    }
    // The magnitude as unsigned, so that the most negative number has one.
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits;
    AppendNumber(digits, magnitude);
    if (value < 0) out += '-';
    if (shift == 0) return out + digits;
    // As Net-SNMP writes it: no 0 before the point (".05"), zeros after it as needed.
    if (digits.size() <= shift) {
      out += '.';
      out.append(shift - digits.size(), '0');
      return out + digits;
    }
    out.append(digits, 0, digits.size() - shift);
    out += '.';
    out.append(digits, digits.size() - shift, shift);
    return out;
  }
  if (hint.size() != 1) return std::nullopt;
  // Negative numbers in two's complement: 64 bits for hex and octal, 32 bits for binary (more
  // when the number needs them), as Net-SNMP writes them.
  const auto bits = static_cast<std::uint64_t>(value);
  switch (format) {
    case 'x':
      AppendNumber(out, bits, 16);
      return out;
    case 'o':
      AppendNumber(out, bits, 8);
      return out;
    case 'b': {
      const bool fits32 = value >= std::numeric_limits<std::int32_t>::min() &&
                          value <= std::numeric_limits<std::uint32_t>::max();
      const std::uint64_t shown = fits32 ? (bits & 0xFFFFFFFFu) : bits;
      AppendNumber(out, shown, 2);
      if (out.size() < 32) out.insert(0, 32 - out.size(), '0');
      return out;
    }
    default:
      return std::nullopt;
  }
}

std::optional<std::string> FormatValue(const MibNode& object, const Variant& value) {
  switch (object.syntax.base) {
    case BaseType::kInteger:
    case BaseType::kUnsigned32:
    case BaseType::kCounter32:
    case BaseType::kGauge32:
    case BaseType::kCounter64:
    case BaseType::kTimeTicks:
      return NumberValueText(object, value);
    case BaseType::kOctetString:
    case BaseType::kOpaque:
    case BaseType::kBits:
      return OctetValueText(object, value);
    case BaseType::kObjectIdentifier: {
      // Units only (an identifier has neither hint nor names).
      const auto* text = std::get_if<std::string>(&value);
      if (text == nullptr || object.units.empty()) return std::nullopt;
      return WithUnits(*text, object);
    }
    default:
      // IpAddress: Net-SNMP writes no units after one; nothing else has a value to add to.
      return std::nullopt;
  }
}

std::optional<std::string> IndexedName(const MibNode& column, const MibNode& entry,
                                       std::span<const std::uint32_t> oid,
                                       const FindLabelFn& find_label) {
  const std::span<const std::uint32_t> prefix(column.oid);
  if (entry.index.empty() || oid.size() <= prefix.size() ||
      !std::equal(prefix.begin(), prefix.end(), oid.begin())) {
    return std::nullopt;
  }
  SuffixReader suffix(oid.subspan(prefix.size()));
  std::string name = column.label;
  for (std::size_t i = 0; i < entry.index.size(); ++i) {
    const IndexPart& part = entry.index[i];
    const bool last = i + 1 == entry.index.size();
    const bool implied = part.implied && last;
    // An IMPLIED last index that finds nothing left adds nothing, as in Net-SNMP's names.
    if (implied && suffix.empty()) return name;
    const MibNode* object = find_label ? find_label(part.label, entry.module) : nullptr;
    if (object == nullptr) return std::nullopt;
    const auto text = IndexPartText(*object, implied, suffix);
    if (!text) return std::nullopt;
    name += '[';
    name += *text;
    name += ']';
    if (name.size() > kMaxText) return std::nullopt;
  }
  if (!suffix.empty()) return std::nullopt;
  return name;
}

}  // namespace kivostrel::mib
