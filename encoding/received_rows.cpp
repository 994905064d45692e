#include "encoding/received_rows.h"

#include <cstring>
#include <type_traits>
#include <utility>

namespace kivostrel {

void ReceivedRows::Reset(std::span<const std::uint8_t> datagram, std::int32_t string_type,
                         std::size_t rows) {
  clear();
  constexpr std::size_t kAlign = alignof(Row);
  rows_start_ = static_cast<std::uint32_t>((datagram.size() + kAlign - 1) / kAlign * kAlign);
  block_.reserve(rows_start_ + rows * sizeof(Row));
  block_.Append(datagram.data(), datagram.size());
  block_.Grow(rows_start_ - datagram.size());
  string_type_ = string_type;
}

ReceivedRows::Piece ReceivedRows::StoreText(std::string_view text) {
  const Piece piece{static_cast<std::uint32_t>(texts_.size()),
                    static_cast<std::uint32_t>(text.size()), 0, 0, Piece::kText};
  texts_ += text;
  return piece;
}

void ReceivedRows::AddFixedRow(std::string_view name, std::int16_t type, const Piece& value) {
  Row& row = NewRow(Row::kFixed);
  row.name = StoreText(name);
  row.value = value;
  row.type = type;
}

void ReceivedRows::clear() {
  block_.clear();
  rows_start_ = 0;
  texts_.clear();
}

std::span<const std::uint8_t> ReceivedRows::ContentOf(const Piece& piece) const {
  return std::span<const std::uint8_t>(block_.data(), block_.size())
      .subspan(piece.offset, piece.size);
}

void ReceivedRows::NameOf(const Row& row, std::string& name) const {
  name.clear();
  if (row.name.source == Piece::kText) {
    name.assign(texts_, row.name.offset, row.name.size);
  } else if (row.name.source == Piece::kElement) {
    const ElementHeader header{
        .tag = row.name.tag, .length = row.name.declared, .content = ContentOf(row.name)};
    if (!ReadNameText(header, string_type_, name)) name.clear();
  }
}

bool ReceivedRows::ReadValue(const Piece& value, Variant& out) const {
  switch (value.source) {
    case Piece::kElement: {
      const ElementHeader header{
          .tag = value.tag, .length = value.declared, .content = ContentOf(value)};
      return ReadElementValue(header, string_type_, out);
    }
    case Piece::kText:
      out = texts_.substr(value.offset, value.size);
      return true;
    case Piece::kNone:
      break;
  }
  return false;
}

ReceivedRows::Row ReceivedRows::RowAt(std::size_t index) const {
  static_assert(std::is_trivially_copyable_v<Row>);
  Row row;
  std::memcpy(&row, block_.data() + rows_start_ + index * sizeof(Row), sizeof(Row));
  return row;
}

OstrelObject ReceivedRows::operator[](std::size_t index) const {
  OstrelObject object;
  Render(index, object);
  return object;
}

void ReceivedRows::Render(std::size_t index, OstrelObject& object) const {
  const Row row = RowAt(index);
  NameOf(row, object.OIDName);
  std::uint8_t tag = 0;
  if (row.kind == Row::kFixed) {
    tag = static_cast<std::uint8_t>(row.type);
    if (!ReadValue(row.value, object.OIDValue)) object.OIDValue = std::monostate{};
  } else if (ReadValue(row.value, object.OIDValue)) {
    tag = row.value.tag;
  } else {
    object.OIDType = -1;
    object.OIDTypeName.clear();
    object.OIDValue = std::monostate{};
    return;
  }
  object.OIDType = tag;
  const std::string_view name = TagTypeName(tag);
  if (name.empty()) {
    object.OIDTypeName = std::to_string(tag);
  } else {
    object.OIDTypeName.assign(name);
  }
}

bool operator==(const ReceivedRows& rows, const std::vector<OstrelObject>& objects) {
  if (rows.size() != objects.size()) return false;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    if (rows[i] != objects[i]) return false;
  }
  return true;
}

bool operator==(const ReceivedRows& a, const ReceivedRows& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace kivostrel
