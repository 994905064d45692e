// ObjectsCollection: the objects of `Response`, shared OstrelObject rows.
//
// Its items are found as a Collection's are (KeyedEntries: positions from 1, keys compared
// without regard to ASCII case, errors 5 and 457). A collection made over the rows of a received
// message holds them keyed "0" to "n-1", but renders a row as an object, and writes its key
// text, only when a host first asks for that item or key: a host that reads nothing pays for
// nearly nothing per row. Once rendered, a row is the same object every time it is asked for,
// so what a host writes into it stays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/collection.h"
#include "encoding/ostrel_object.h"
#include "encoding/received_message.h"

namespace kivostrel {

class CodePage;

// An entry of an ObjectsCollection: an object a host added, or a row of the received message.
struct ObjectsEntry {
  static constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);

  std::optional<std::string> key;      // a row's key (its index) is written when first asked for
  std::shared_ptr<OstrelObject> item;  // null until rendered
  std::size_t row = kNoRow;            // the row it stands for, or kNoRow
};

// A row whose key is not written yet is under the decimal text of its index.
class RowKeys {
 public:
  explicit RowKeys(std::string_view key) noexcept;
  bool operator()(const ObjectsEntry& entry) const noexcept {
    return entry.row != ObjectsEntry::kNoRow && entry.row == row_;
  }

 private:
  std::optional<std::size_t> row_;
};

class ObjectsCollection : public KeyedEntries<ObjectsEntry, RowKeys> {
 public:
  using Object = std::shared_ptr<OstrelObject>;

  ObjectsCollection() = default;
  // Every row of `message`, in order, keyed by its 0-based index in decimal; OCTET STRING texts
  // come through `code_page` when a row is rendered.
  ObjectsCollection(std::shared_ptr<const ReceivedMessage> message,
                    std::shared_ptr<const CodePage> code_page);

  // 1-based position; error 5 outside 1 to Count().
  const Object& Item(std::int32_t position) const { return Rendered(IndexOf(position)); }
  // Error 5 for an absent key.
  const Object& Item(std::string_view key) const { return Rendered(IndexOf(key)); }

  // Appends; error 457 when the key is taken.
  void Add(Object item, std::optional<std::string> key = std::nullopt) {
    Append({std::move(key), std::move(item)});
  }

  // The key of the item at a 1-based position, if it has one.
  const std::optional<std::string>& KeyAt(std::int32_t position) const;

 private:
  const Object& Rendered(std::ptrdiff_t index) const;

  std::shared_ptr<const ReceivedMessage> message_;
  std::shared_ptr<const CodePage> code_page_;
};

}  // namespace kivostrel
