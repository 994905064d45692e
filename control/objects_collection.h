// ObjectsCollection: the objects of `Response`, a Collection of shared OstrelObject rows.
//
// It behaves as Collection<std::shared_ptr<OstrelObject>> does (positions from 1, keys compared
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

class ObjectsCollection {
 public:
  using Object = std::shared_ptr<OstrelObject>;

  ObjectsCollection() = default;
  // Every row of `message`, in order, keyed by its 0-based index in decimal; OCTET STRING texts
  // come through `code_page` when a row is rendered.
  ObjectsCollection(std::shared_ptr<const ReceivedMessage> message,
                    std::shared_ptr<const CodePage> code_page);

  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(entries_.size()); }

  // 1-based position; error 5 outside 1 to Count().
  const Object& Item(std::int32_t position) const { return Rendered(IndexOf(position)); }
  // Error 5 for an absent key.
  const Object& Item(std::string_view key) const { return Rendered(IndexOf(key)); }

  // Appends; error 457 when the key is taken.
  void Add(Object item, std::optional<std::string> key = std::nullopt);

  // Later items move up one position. Error 5 for a position or key that is not there.
  void Remove(std::int32_t position) { entries_.erase(entries_.begin() + IndexOf(position)); }
  void Remove(std::string_view key) { entries_.erase(entries_.begin() + IndexOf(key)); }

  // The key of the item at a 1-based position, if it has one.
  const std::optional<std::string>& KeyAt(std::int32_t position) const;

 private:
  static constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);

  struct Entry {
    std::optional<std::string> key;  // a row's key (its index) is written when first asked for
    Object item;                     // null until rendered
    std::size_t row = kNoRow;        // the row of the message it stands for, or kNoRow
  };

  const Object& Rendered(std::ptrdiff_t index) const;
  std::ptrdiff_t IndexOf(std::int32_t position) const { return IndexOfPosition(position, Count()); }
  std::ptrdiff_t IndexOf(std::string_view key) const {
    const auto index = Find(key);
    if (!index) RaiseInvalidArgument();
    return *index;
  }
  std::optional<std::ptrdiff_t> Find(std::string_view key) const;

  // Rendering and key texts fill entries in; what a host sees does not change.
  mutable std::vector<Entry> entries_;
  std::shared_ptr<const ReceivedMessage> message_;
  std::shared_ptr<const CodePage> code_page_;
};

}  // namespace kivostrel
