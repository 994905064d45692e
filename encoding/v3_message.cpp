#include "encoding/v3_message.h"

#include "encoding/ber_writer.h"
#include "encoding/element_reader.h"

namespace kivostrel {
namespace {

// Reads elements one after another and fails for good at the first one that is not whole.
class StrictReader {
 public:
  explicit StrictReader(std::span<const std::uint8_t> data, std::size_t base = 0)
      : data_(data), base_(base) {}

  bool ok() const { return ok_; }
  bool at_end() const { return position_ == data_.size(); }
  // Where the next element's content would start, counted from the datagram's first octet.
  std::size_t offset() const { return base_ + position_; }

  // The content of the next element, which must have `tag` and all its octets.
  std::span<const std::uint8_t> Take(std::uint8_t tag, std::size_t* content_offset = nullptr) {
    if (!ok_) return {};
    const auto header = ReadElementHeader(Rest(data_, position_));
    if (!header || header->tag != tag || header->content.size() != header->length) {
      ok_ = false;
      return {};
    }
    if (content_offset) *content_offset = base_ + position_ + header->content_start;
    position_ += header->after_content();
    return header->content;
  }

  // An INTEGER from `low` to 2^31 - 1, in at most five content octets.
  std::int32_t TakeNumber(std::int64_t low) {
    const auto content = Take(kTagInteger);
    if (!ok_) return 0;
    if (content.empty() || content.size() > 5) return Fail();
    std::int64_t value = static_cast<std::int8_t>(content[0]);
    for (std::size_t i = 1; i < content.size(); ++i) value = value * 256 + content[i];
    if (value < low || value > 0x7FFFFFFF) return Fail();
    return static_cast<std::int32_t>(value);
  }

  // A nested reader over the next constructed element's content.
  StrictReader Enter(std::uint8_t tag) {
    std::size_t content_offset = 0;
    const auto content = Take(tag, &content_offset);
    StrictReader inner(content, content_offset);
    inner.ok_ = ok_;
    return inner;
  }

  std::int32_t Fail() {
    ok_ = false;
    return 0;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t base_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

std::string_view AsText(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

std::optional<std::int32_t> MessageVersionOf(std::span<const std::uint8_t> data) {
  const auto message = ReadElementHeader(data);
  if (!message || message->tag != kTagSequence) return std::nullopt;
  const auto version = ReadElementHeader(Rest(data, message->content_start));
  if (!version || version->tag != kTagInteger) return std::nullopt;
  return ReadIntegerContent(*version);
}

std::optional<V3Message> ReadV3Message(std::span<const std::uint8_t> data) {
  V3Message m;
  StrictReader outer(data);
  StrictReader message = outer.Enter(kTagSequence);
  if (!outer.at_end() || message.TakeNumber(kSnmpV3) != kSnmpV3) return std::nullopt;

  StrictReader header = message.Enter(kTagSequence);
  m.message_id = header.TakeNumber(0);
  m.max_size = header.TakeNumber(484);
  const auto flags = header.Take(kTagOctetString);
  m.security_model = header.TakeNumber(1);
  if (!header.ok() || !header.at_end() || flags.size() != 1) return std::nullopt;
  m.flags = flags[0];

  StrictReader wrapper = message.Enter(kTagOctetString);
  StrictReader usm = wrapper.Enter(kTagSequence);
  m.engine_id = usm.Take(kTagOctetString);
  m.boots = usm.TakeNumber(0);
  m.time = usm.TakeNumber(0);
  m.user = AsText(usm.Take(kTagOctetString));
  m.auth = usm.Take(kTagOctetString, &m.auth_offset);
  m.priv = usm.Take(kTagOctetString);
  if (!usm.ok() || !usm.at_end() || !wrapper.at_end()) return std::nullopt;
  // An engine ID has 5 to 32 octets; none at all asks for the receiver's (discovery).
  const bool engine_id_fits = m.engine_id.empty() || (m.engine_id.size() >= kMinEngineIdSize &&
                                                      m.engine_id.size() <= kMaxEngineIdSize);
  if (!engine_id_fits || m.user.size() > kMaxUserNameSize) {
    return std::nullopt;
  }

  if (message.ok() && !message.at_end() && data[message.offset()] == kTagOctetString) {
    m.encrypted = true;
    m.scoped = message.Take(kTagOctetString);
  } else {
    const std::size_t start = message.offset();
    message.Take(kTagSequence);
    m.scoped = Rest(data, start).first(message.ok() ? message.offset() - start : 0);
  }
  if (!message.ok() || !message.at_end()) return std::nullopt;
  return m;
}

std::optional<ScopedPdu> ReadScopedPdu(std::span<const std::uint8_t> plaintext) {
  // What follows the SEQUENCE (a block cipher's padding) is not read.
  StrictReader outer(plaintext);
  StrictReader scoped = outer.Enter(kTagSequence);
  ScopedPdu s;
  s.context_engine_id = scoped.Take(kTagOctetString);
  s.context_name = AsText(scoped.Take(kTagOctetString));
  const std::size_t start = scoped.offset();
  if (!scoped.ok() || scoped.at_end()) return std::nullopt;
  s.pdu_tag = plaintext[start];
  if (!IsPduTag(s.pdu_tag)) return std::nullopt;
  scoped.Take(s.pdu_tag);
  if (!scoped.ok() || !scoped.at_end()) return std::nullopt;
  s.pdu = plaintext.subspan(start, scoped.offset() - start);
  return s;
}

std::optional<RequestMessage> ReadRequestPdu(std::span<const std::uint8_t> pdu) {
  if (pdu.empty() || !IsPduTag(pdu[0]) || pdu[0] == kTagTrap) return std::nullopt;
  RequestMessage m;
  m.pdu = static_cast<BerTag>(pdu[0]);
  StrictReader outer(pdu);
  StrictReader fields = outer.Enter(pdu[0]);
  m.request_id = fields.TakeNumber(INT32_MIN);
  m.error_status = fields.TakeNumber(INT32_MIN);
  m.error_index = fields.TakeNumber(INT32_MIN);
  m.bindings = fields.Take(kTagSequence);
  if (!fields.ok() || !fields.at_end()) return std::nullopt;
  return m;
}

BuiltV3Message BuildV3Message(const V3Fields& f, std::span<const std::uint8_t> scoped,
                              bool encrypted) {
  const std::size_t security_content =
      ElementSize(f.engine_id.size()) + ElementSize(IntegerContentSize(f.boots)) +
      ElementSize(IntegerContentSize(f.time)) + ElementSize(f.user.size()) +
      ElementSize(f.auth_size) + ElementSize(f.priv.size());
  const std::size_t header_content = ElementSize(IntegerContentSize(f.message_id)) +
                                     ElementSize(IntegerContentSize(f.max_size)) + ElementSize(1) +
                                     ElementSize(1);
  const std::size_t content = ElementSize(1) + ElementSize(header_content) +
                              ElementSize(ElementSize(security_content)) +
                              (encrypted ? ElementSize(scoped.size()) : scoped.size());
  BerWriter w(ElementSize(content));
  w.PrependBytes(scoped);
  if (encrypted) w.PrependHeader(kTagOctetString, scoped.size());

  const std::size_t security_end = w.size();
  w.PrependBytes(f.priv);
  w.PrependHeader(kTagOctetString, f.priv.size());
  for (std::size_t i = 0; i < f.auth_size; ++i) w.PrependByte(0);
  const std::size_t auth_from_end = w.size();
  w.PrependHeader(kTagOctetString, f.auth_size);
  w.PrependBytes(AsBytes(f.user));
  w.PrependHeader(kTagOctetString, f.user.size());
  w.PrependInteger(kTagInteger, f.time);
  w.PrependInteger(kTagInteger, f.boots);
  w.PrependBytes(f.engine_id);
  w.PrependHeader(kTagOctetString, f.engine_id.size());
  w.PrependConstructed(kTagSequence, security_end);
  w.PrependHeader(kTagOctetString, w.size() - security_end);

  const std::size_t header_end = w.size();
  w.PrependInteger(kTagInteger, kUserBasedSecurityModel);
  w.PrependByte(f.flags);
  w.PrependHeader(kTagOctetString, 1);
  w.PrependInteger(kTagInteger, f.max_size);
  w.PrependInteger(kTagInteger, f.message_id);
  w.PrependConstructed(kTagSequence, header_end);
  w.PrependInteger(kTagInteger, kSnmpV3);
  w.PrependConstructed(kTagSequence, 0);
  BuiltV3Message built;
  built.message = std::move(w).Finish();
  built.auth_offset = built.message.size() - auth_from_end;
  return built;
}

Bytes BuildScopedPdu(std::span<const std::uint8_t> context_engine_id, std::string_view context_name,
                     const RequestMessage& pdu) {
  const std::size_t content = ElementSize(context_engine_id.size()) +
                              ElementSize(context_name.size()) + RequestPduSize(pdu);
  BerWriter w(ElementSize(content));
  PrependRequestPdu(w, pdu);
  w.PrependBytes(AsBytes(context_name));
  w.PrependHeader(kTagOctetString, context_name.size());
  w.PrependBytes(context_engine_id);
  w.PrependHeader(kTagOctetString, context_engine_id.size());
  w.PrependConstructed(kTagSequence, 0);
  return std::move(w).Finish();
}

}  // namespace kivostrel
