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

#include "encoding/ascii_case.h"
#include "encoding/automation_error.h"

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

// What an entry whose key is not written is under: nothing.
struct NoUnwrittenKeys {
  explicit NoUnwrittenKeys(std::string_view) noexcept {}
  template <typename Entry>
  bool operator()(const Entry&) const noexcept {
    return false;
  }
};

// The entries of a collection in order, and how one is found: by a 1-based position, or by a
// key compared without regard to ASCII case. `Entry` has a `std::optional<std::string> key`;
// `UnwrittenKeys(key)` tells whether an entry whose key is not written is under `key`.
template <typename Entry, typename UnwrittenKeys = NoUnwrittenKeys>
class KeyedEntries {
 public:
  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(entries_.size()); }

  // Later items move up one position. Error 5 for a position or key that is not there.
  void Remove(std::int32_t position) { entries_.erase(entries_.begin() + IndexOf(position)); }
  void Remove(std::string_view key) { entries_.erase(entries_.begin() + IndexOf(key)); }

 protected:
  // Error 5 outside 1 to Count().
  std::ptrdiff_t IndexOf(std::int32_t position) const { return IndexOfPosition(position, Count()); }
  // Error 5 for an absent key.
  std::ptrdiff_t IndexOf(std::string_view key) const {
    const auto index = Find(key);
    if (!index) RaiseInvalidArgument();
    return *index;
  }

  // Error 457 when the key is taken.
  void Append(Entry entry) {
    if (entry.key && Find(*entry.key)) {
      throw AutomationError(kErrDuplicateKey, kLibraryName,
                            "This key is already associated with an element of this collection");
    }
    entries_.push_back(std::move(entry));
  }

  // A collection may fill an entry in when it is first read; what a host sees does not change.
  mutable std::vector<Entry> entries_;

 private:
  std::optional<std::ptrdiff_t> Find(std::string_view key) const {
    const UnwrittenKeys unwritten(key);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const Entry& entry = entries_[i];
      if (entry.key ? EqualIgnoringAsciiCase(*entry.key, key) : unwritten(entry)) {
        return static_cast<std::ptrdiff_t>(i);
      }
    }
    return std::nullopt;
  }
};

template <typename T>
struct KeyedItem {
  std::optional<std::string> key;
  T item;
};

template <typename T>
class Collection : public KeyedEntries<KeyedItem<T>> {
 public:
  // 1-based position; error 5 outside 1 to Count().
  const T& Item(std::int32_t position) const {
    return this->entries_[this->IndexOf(position)].item;
  }
  // Error 5 for an absent key.
  const T& Item(std::string_view key) const { return this->entries_[this->IndexOf(key)].item; }

  // Appends; error 457 when the key is taken.
  void Add(T item, std::optional<std::string> key = std::nullopt) {
    this->Append({std::move(key), std::move(item)});
  }

  // The key of the item at a 1-based position, if it has one.
  const std::optional<std::string>& KeyAt(std::int32_t position) const {
    return this->entries_[this->IndexOf(position)].key;
  }
};

}  // namespace kivostrel
