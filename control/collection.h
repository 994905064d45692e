// Collection: the ordered list object a control hands to its host — the objects of `Response`
// and the names `FindName` finds.
//
// Items keep the order in which they were added; positions count from 1. An item may have a
// key, unique within the collection and compared without regard to the case of ASCII letters.
// Failures are the automation collection's own errors: 5 for a position or key that is not
// there, 457 for a key that is already taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/automation_error.h"
#include "oidtable/ascii_case.h"

namespace kivostrel {

inline constexpr std::int32_t kErrInvalidArgument = 5;
inline constexpr std::int32_t kErrDuplicateKey = 457;

[[noreturn]] inline void RaiseInvalidArgument() {
  throw AutomationError(kErrInvalidArgument, kLibraryName, "Invalid procedure call or argument");
}

// The 0-based index of a 1-based position among `count` items; error 5 outside 1 to count.
inline std::ptrdiff_t IndexOfPosition(std::int32_t position, std::int32_t count) {
  if (position < 1 || position > count) RaiseInvalidArgument();
  return position - 1;
}

template <typename T>
class Collection {
 public:
  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(entries_.size()); }

  // 1-based position; error 5 outside 1 to Count().
  const T& Item(std::int32_t position) const { return entries_[IndexOf(position)].item; }
  // Error 5 for an absent key.
  const T& Item(std::string_view key) const { return entries_[IndexOf(key)].item; }

  // Appends; error 457 when the key is taken.
  void Add(T item, std::optional<std::string> key = std::nullopt) {
    if (key && Find(*key)) {
      throw AutomationError(kErrDuplicateKey, kLibraryName,
                            "This key is already associated with an element of this collection");
    }
    entries_.push_back({std::move(key), std::move(item)});
  }

  // Later items move up one position. Error 5 for a position or key that is not there.
  void Remove(std::int32_t position) { entries_.erase(entries_.begin() + IndexOf(position)); }
  void Remove(std::string_view key) { entries_.erase(entries_.begin() + IndexOf(key)); }

  // The key of the item at a 1-based position, if it has one.
  const std::optional<std::string>& KeyAt(std::int32_t position) const {
    return entries_[IndexOf(position)].key;
  }

 private:
  struct Entry {
    std::optional<std::string> key;
    T item;
  };

  std::ptrdiff_t IndexOf(std::int32_t position) const { return IndexOfPosition(position, Count()); }
  std::ptrdiff_t IndexOf(std::string_view key) const {
    const auto index = Find(key);
    if (!index) RaiseInvalidArgument();
    return *index;
  }
  std::optional<std::ptrdiff_t> Find(std::string_view key) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (entries_[i].key && EqualIgnoringAsciiCase(*entries_[i].key, key))
        return static_cast<std::ptrdiff_t>(i);
    }
    return std::nullopt;
  }

  std::vector<Entry> entries_;
};

}  // namespace kivostrel
