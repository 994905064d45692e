#include "tools/ostrel/output_format.h"

#include <cmath>
#include <cstdio>
#include <span>
#include <variant>

#include "encoding/automation_error.h"
#include "encoding/ber_tags.h"
#include "encoding/hex.h"
#include "mib/mib_library.h"
#include "mib/value_text.h"
#include "tools/ostrel/command_line.h"
#include "tools/ostrel/objects.h"
#include "tools/ostrel/snmpv2_texts.h"

namespace kivostrel::ostrel {
namespace {

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

std::string EscapedByte(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "\\u%04x", static_cast<unsigned>(c));
  return text;
}

// OID2Name, or the OID itself when the control cannot translate it (error 6 for identifiers of
// more pieces than it counts).
std::string NameOf(const kivOstrel& control, const std::string& oid) {
  try {
    return control.OID2Name(oid);
  } catch (const AutomationError&) {
    return oid;
  }
}

// The loaded node of the object `oid` is (or is an instance of), with the arcs after it.
struct KnownObject {
  const mib::MibNode* node = nullptr;
  std::string suffix;  // ".3", "" for the node itself
};

std::optional<KnownObject> ObjectOf(const kivOstrel& control, const std::string& oid) {
  const mib::MibLibrary* mibs = control.mibs();
  if (mibs == nullptr || !IsNumericOid(oid)) return std::nullopt;
  const std::optional<mib::Oid> arcs = mibs->Resolve(oid);
  if (!arcs) return std::nullopt;
  const mib::MibNode* node = mibs->FindPrefix(*arcs);
  if (node == nullptr || node->label.empty()) return std::nullopt;
  KnownObject known{node, {}};
  for (std::size_t i = node->oid.size(); i < arcs->size(); ++i) {
    known.suffix += '.' + std::to_string((*arcs)[i]);
  }
  return known;
}

// The last label of a dotted name and what follows it: "sysDescr.0" of
// "iso.org.dod.internet.mgmt.mib.system.sysDescr.0"; a name of numbers alone stays whole.
std::string LastLabelOf(const std::string& name) {
  std::size_t start = name.size();
  std::size_t end = name.size();
  while (end > 0) {
    const std::size_t dot = name.rfind('.', end - 1);
    const std::size_t begin = dot == std::string::npos ? 0 : dot + 1;
    const std::string_view piece = std::string_view(name).substr(begin, end - begin);
    if (!piece.empty() && piece.find_first_not_of("0123456789") != std::string_view::npos) {
      start = begin;
      break;
    }
    if (dot == std::string::npos) break;
    end = dot;
  }
  return start == name.size() ? name : name.substr(start);
}

std::string JsonValue(const Variant& value) {
  struct {
    std::string operator()(std::monostate) const { return "null"; }
    std::string operator()(std::int32_t number) const { return std::to_string(number); }
    std::string operator()(double number) const {
      return std::isfinite(number) ? ValueToText(number) : "null";
    }
    std::string operator()(const std::string& text) const { return JsonString(text); }
    std::string operator()(const Bytes& bytes) const {
      return "{\"bytes\":\"" + ToHex(bytes, "") + "\"}";
    }
    // Exact: a JSON number has no limit of its own.
    std::string operator()(std::uint64_t number) const { return std::to_string(number); }
  } visitor;
  return std::visit(visitor, value);
}

// A value-less row: its type alone. Tags the control has no name for come as decimal numbers.
std::string TypeLabel(const std::string& type_name) {
  if (type_name.empty()) return "(no type)";
  if (type_name.find_first_not_of("0123456789") == std::string::npos) return "Tag " + type_name;
  return type_name;
}

std::string HexValue(const std::string& type_name, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return type_name + ": \"\"";
  return type_name + ": Hex: " + ToHex(bytes);
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text) noexcept {
  if (text.empty()) return 0;
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || at(1) < low || at(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsContinuation(at(i))) return 0;
  }
  return length;
}

bool IsDisplayableText(std::string_view text) noexcept {
  while (!text.empty()) {
    const std::size_t length = Utf8SequenceLength(text);
    if (length == 0) return false;
    const auto c = static_cast<unsigned char>(text[0]);
    if (length == 1 && ((c < 0x20 && c != '\t') || c == 0x7F)) return false;
    text.remove_prefix(length);
  }
  return true;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  while (!text.empty()) {
    const auto c = static_cast<unsigned char>(text[0]);
    std::size_t length = 1;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        length = Utf8SequenceLength(text);
        if (length == 0 || c < 0x20 || c == 0x7F) {
          out += EscapedByte(c);
          length = 1;
        } else {
          out.append(text.substr(0, length));
        }
    }
    text.remove_prefix(length);
  }
  out += '"';
  return out;
}

std::string DatagramJson(const Datagram& datagram, const kivOstrel& control, std::size_t rows) {
  std::string json =
      "{\"RemoteIP\":" + JsonString(datagram.RemoteIP) +
      ",\"RemotePort\":" + JsonString(datagram.RemotePort) +
      ",\"Version\":" + std::to_string(datagram.Version) +
      ",\"Community\":" + JsonString(datagram.Community) +
      ",\"Command\":" + JsonString(datagram.Command) +
      ",\"RequestId\":" + std::to_string(datagram.RequestId) +
      ",\"ErrorStatus\":" + std::to_string(datagram.ErrorStatus) +
      ",\"ErrorStatusText\":" + JsonString(ErrorStatusName(datagram.ErrorStatus, control));
  if (datagram.Version == 3) json += ",\"SecurityError\":" + JsonString(datagram.SecurityError);
  json += ",\"Objects\":[";
  for (std::size_t i = 0; i < datagram.Objects.size() && i < rows; ++i) {
    const OstrelObject row = datagram.Objects[i];
    if (i > 0) json += ',';
    json += "{\"OIDName\":" + JsonString(row.OIDName) +
            ",\"Name\":" + JsonString(NameOf(control, row.OIDName)) + "," +
            ValueJson(row, control).substr(1);
  }
  json += "]}";
  return json;
}

std::string ValueJson(const OstrelObject& row, const kivOstrel& control) {
  std::string json = "{\"OIDType\":" + std::to_string(row.OIDType) +
                     ",\"OIDTypeName\":" + JsonString(row.OIDTypeName) +
                     ",\"OIDValue\":" + JsonValue(row.OIDValue);
  if (const auto text = DescribedValue(row, control)) json += ",\"Text\":" + JsonString(*text);
  return json + "}";
}

std::string ObjectName(const kivOstrel& control, const std::string& oid, NameStyle style) {
  if (style == NameStyle::kTable) return NameOf(control, oid);
  if (style == NameStyle::kNumeric) return IsNumericOid(oid) ? "." + oid : oid;
  const std::optional<KnownObject> known = ObjectOf(control, oid);
  if (known && style == NameStyle::kIndexed) {
    // The engine splits a row's instance by its entry's INDEX; an instance that does not
    // decode comes back as numbers, shown as -Os shows it.
    std::string indexed = control.IndexedName(oid);
    if (!IsNumericOid(indexed)) return indexed;
  }
  if (known) {
    const std::string name = known->node->label + known->suffix;
    return style == NameStyle::kModule && !known->node->module.empty()
               ? known->node->module + "::" + name
               : name;
  }
  return LastLabelOf(NameOf(control, oid));
}

std::optional<std::string> DescribedValue(const OstrelObject& row, const kivOstrel& control) {
  if (row.OIDType == -1 || IsException(row.OIDType) ||
      std::holds_alternative<std::monostate>(row.OIDValue)) {
    return std::nullopt;
  }
  const std::optional<KnownObject> known = ObjectOf(control, row.OIDName);
  if (!known || known->node->kind != mib::NodeKind::kObjectType) return std::nullopt;
  return mib::FormatValue(*known->node, row.OIDValue);
}

std::string TimeTicksText(std::uint32_t ticks) {
  const std::uint32_t days = ticks / 8'640'000;
  const std::uint32_t hours = ticks / 360'000 % 24;
  const std::uint32_t minutes = ticks / 6'000 % 60;
  const std::uint32_t seconds = ticks / 100 % 60;
  const std::uint32_t hundredths = ticks % 100;
  char text[48];
  if (days > 0) {
    std::snprintf(text, sizeof text, "%ud %u:%02u:%02u.%02u", days, hours, minutes, seconds,
                  hundredths);
  } else {
    std::snprintf(text, sizeof text, "%u:%02u:%02u.%02u", hours, minutes, seconds, hundredths);
  }
  return text;
}

std::string ValueText(const OstrelObject& row, const kivOstrel& control, NameStyle style) {
  if (row.OIDType == -1) return "(undecodable value)";
  if (const auto exception = ExceptionText(row.OIDType)) return std::string(*exception);
  const std::string& type = row.OIDTypeName;
  if (const auto described = DescribedValue(row, control)) return type + ": " + *described;
  if (const auto* wide = std::get_if<std::uint64_t>(&row.OIDValue)) {
    return type + ": " + std::to_string(*wide);
  }
  if (std::holds_alternative<std::monostate>(row.OIDValue)) return TypeLabel(type);
  if (const auto* bytes = std::get_if<Bytes>(&row.OIDValue)) return HexValue(type, *bytes);
  if (const auto* number = std::get_if<std::int32_t>(&row.OIDValue)) {
    const auto as_unsigned = static_cast<std::uint32_t>(*number);
    switch (row.OIDType) {
      case kTagCounter:
      case kTagGauge:
        return type + ": " + std::to_string(as_unsigned);
      case kTagTimeTicks:
        return type + ": " + std::to_string(as_unsigned) + " (" + TimeTicksText(as_unsigned) + ")";
      default:
        return type + ": " + std::to_string(*number);
    }
  }
  if (const auto* text = std::get_if<std::string>(&row.OIDValue)) {
    if (row.OIDType != kTagOctetString && text->empty()) return TypeLabel(type);
    if (row.OIDType == kTagObjectId) return type + ": " + ObjectName(control, *text, style);
    if (text->empty()) return type + ": \"\"";
    if (IsDisplayableText(*text)) return type + ": " + *text;
    return HexValue(type, AsBytes(*text));
  }
  return type + ": " + ValueToText(row.OIDValue);
}

std::string CellText(const OstrelObject& row, const kivOstrel& control) {
  if (const auto described = DescribedValue(row, control)) return *described;
  const std::string text = ValueText(row, control);
  const std::string type = row.OIDTypeName + ": ";
  return text.starts_with(type) ? text.substr(type.size()) : text;
}

std::string BindingLine(const OstrelObject& row, const kivOstrel& control, NameStyle style) {
  const std::string name =
      row.OIDName.empty() ? "(undecodable name)" : ObjectName(control, row.OIDName, style);
  return name + " = " + ValueText(row, control, style);
}

std::string DatagramHeader(const Datagram& datagram, const kivOstrel& control) {
  std::string text = datagram.Command.empty() ? "(undecodable)" : datagram.Command;
  if (!datagram.RemoteIP.empty() || !datagram.RemotePort.empty()) {
    text += " from " + EndpointText(datagram.RemoteIP, datagram.RemotePort);
  }
  const bool v3 = datagram.Version == 3;
  text += ": version " + std::to_string(datagram.Version) + (v3 ? ", user " : ", community ") +
          JsonString(datagram.Community);
  // A message the security model refused has no PDU to show, only the reason.
  if (v3 && datagram.ErrorStatus == -1 && !datagram.SecurityError.empty()) {
    return text + ", refused: " + datagram.SecurityError;
  }
  text += ", request id " + std::to_string(datagram.RequestId) + ", " +
          ErrorStatusName(datagram.ErrorStatus, control) + " (" +
          std::to_string(datagram.ErrorStatus) + ")";
  if (!datagram.SecurityError.empty()) text += ", security error: " + datagram.SecurityError;
  return text;
}

}  // namespace kivostrel::ostrel
