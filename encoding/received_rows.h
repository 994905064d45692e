// ReceivedRows: the rows of one received message, kept together and read on demand.
//
// The table holds, in one block (inside the table for a small message, on the heap past that),
// the message's one copy of the datagram and after it, per row, a small record of where its name
// and value lie in it. An OstrelObject is rendered from a row each
// time one is asked for, with the StringType that was in force when the message was decoded, so a
// row that is never read costs no text, no value and no allocation. Rendering the same row twice
// gives equal objects.
//
// Rows whose texts are not in the datagram as they stand (the constant names of a trap's
// notification form, its snmpTrapOID.0) keep them in a small text store of the same table.
// Once decoded, the table is only read.
//
// Copies and moves are deep and self-contained: rows refer to their own table by offsets only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/element_reader.h"
#include "encoding/ostrel_object.h"
#include "encoding/row_block.h"

namespace kivostrel {

class ReceivedRows {
 public:
  // Where a row's name or value comes from.
  struct Piece {
    enum Source : std::uint8_t { kNone, kElement, kText };
    std::uint32_t offset = 0;    // of the content in the datagram, or of the text in the store
    std::uint32_t size = 0;      // octets present (an element's content is clipped to them)
    std::uint32_t declared = 0;  // an element's declared length
    std::uint8_t tag = 0;        // an element's tag
    Source source = kNone;       // kNone: no name, or a value that could not be read
  };

  class const_iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = OstrelObject;
    using difference_type = std::ptrdiff_t;
    using reference = const OstrelObject&;
    using pointer = const OstrelObject*;

    const_iterator() = default;
    const_iterator(const ReceivedRows* rows, std::size_t index) : rows_(rows), index_(index) {}
    // The row rendered into an object the iterator keeps, whose texts keep their storage from
    // one row to the next: reading every row allocates only where a text outgrows the last.
    // Valid until the iterator moves on.
    const OstrelObject& operator*() const {
      rows_->Render(index_, current_);
      return current_;
    }
    const OstrelObject* operator->() const { return &**this; }
    const_iterator& operator++() {
      ++index_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++index_;
      return before;
    }
    friend bool operator==(const const_iterator& a, const const_iterator& b) {
      return a.rows_ == b.rows_ && a.index_ == b.index_;
    }

   private:
    const ReceivedRows* rows_ = nullptr;
    std::size_t index_ = 0;
    mutable OstrelObject current_;
  };
  using iterator = const_iterator;
  using value_type = OstrelObject;
  using size_type = std::size_t;

  ReceivedRows() = default;

  // Empties the table and makes it one over its own copy of `datagram` (shorter than 4 GiB),
  // whose OCTET STRING values render as `string_type` says (kStringTypeBytes: byte arrays;
  // otherwise text), with room for `rows` rows in the same block.
  void Reset(std::span<const std::uint8_t> datagram, std::int32_t string_type, std::size_t rows);

  // The piece for an element of the datagram whose first octet is at `position`.
  static Piece ElementAt(std::size_t position, const ElementHeader& header) {
    return {static_cast<std::uint32_t>(position + header.content_start),
            static_cast<std::uint32_t>(header.content.size()),
            static_cast<std::uint32_t>(header.length), header.tag, Piece::kElement};
  }
  // A text kept in the table's store.
  Piece StoreText(std::string_view text);

  // A variable binding: the name's text as ReadNameText gives it (empty when it fails), the
  // value's tag and type name, or OIDType -1 and no value when `value` cannot be read.
  void AddBinding(const Piece& name, const Piece& value) {
    Row& row = NewRow(Row::kBinding);
    row.name = name;  // stored an element earlier
    // Field by field: a record assembled elsewhere and copied whole would be read back wider
    // than it was just written, which stalls.
    row.value.offset = value.offset;
    row.value.size = value.size;
    row.value.declared = value.declared;
    row.value.tag = value.tag;
    row.value.source = value.source;
  }
  // A row of a fixed type (its type name from the tag table) whose value `value` always gives.
  void AddFixedRow(std::string_view name, std::int16_t type, const Piece& value);
  void clear();

  std::size_t size() const noexcept { return (block_.size() - rows_start_) / sizeof(Row); }
  bool empty() const noexcept { return block_.size() == rows_start_; }
  std::int32_t string_type() const noexcept { return string_type_; }
  // Row `index` (below size()) rendered.
  OstrelObject operator[](std::size_t index) const;
  // The same into `object`, overwriting every field and keeping its texts' storage.
  void Render(std::size_t index, OstrelObject& object) const;
  OstrelObject front() const { return (*this)[0]; }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

  // Row by row, as rendered.
  friend bool operator==(const ReceivedRows& rows, const std::vector<OstrelObject>& objects);
  friend bool operator==(const ReceivedRows& a, const ReceivedRows& b);

 private:
  struct Row {
    enum Kind : std::uint8_t { kBinding, kFixed };
    Piece name;
    Piece value;
    std::int16_t type = 0;  // for kFixed
    Kind kind = kBinding;
  };

  // A new record at the end of the block, where the records start at a multiple of their
  // alignment (the block itself is aligned to 8).
  Row& NewRow(Row::Kind kind) {
    Row* row = new (block_.Grow(sizeof(Row))) Row;
    row->kind = kind;
    return *row;
  }
  Row RowAt(std::size_t index) const;
  void NameOf(const Row& row, std::string& name) const;
  bool ReadValue(const Piece& value, Variant& out) const;
  std::span<const std::uint8_t> ContentOf(const Piece& piece) const;

  RowBlock block_;                // the datagram, then the row records
  std::uint32_t rows_start_ = 0;  // where the records start: after the datagram, aligned
  std::string texts_;
  std::int32_t string_type_ = 0;
};

}  // namespace kivostrel
