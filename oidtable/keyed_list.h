// The keyed list: an ordered list of string items, each under a unique string key.
//
// Entries keep the order in which they were added; positions count from 1, and removing an
// entry moves every later entry up one position. Keys are whole strings compared without regard
// to the letter case of the ASCII letters A-Z and a-z; every other byte, including each byte of
// a non-ASCII character, compares exactly ("ISO.ORG" equals "iso.org", "Ä" does not equal "ä").
// Nothing else is normalised: " 1.3" and "01.3" are keys of their own. A key is always a key,
// never a position, even when it reads as a number. The empty string is an ordinary key.
//
// Lookup by key is constant time on average: a hash index over the case-folded keys holds the
// position of each entry. Adding is amortised constant time; removing is linear in the count,
// since later entries move up.
//
// Pointers returned by `Find` and `At` stay valid until the list is next changed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivostrel {

class KeyedList {
 public:
  struct Entry {
    std::string key;
    std::string item;
    std::uint64_t hash = 0;  // KeyHash(key), kept for the index
  };

  // The hash of a key with its ASCII letters folded to lower case. Hashing a text piece by piece
  // gives the same value as hashing it whole, so callers can hash every prefix of a text in one
  // pass and look each prefix up with `FindHashed`.
  class KeyHasher {
   public:
    void Update(std::string_view text) noexcept;
    std::uint64_t value() const noexcept { return state_; }

   private:
    std::uint64_t state_ = 14695981039346656037ULL;
  };
  static std::uint64_t KeyHash(std::string_view key) noexcept;

  // Appends `item` under `key`. Returns false and changes nothing when the key is present.
  bool Add(std::string key, std::string item);

  // Removes the entry under `key`; later entries move up. Returns false and changes nothing when
  // the key is absent.
  bool Remove(std::string_view key);

  // Removes every entry.
  void Clear() noexcept;

  // The item under `key`, or nullptr when the key is absent.
  const std::string* Find(std::string_view key) const noexcept;

  // `Find` for a caller that already holds KeyHash(key).
  const std::string* FindHashed(std::string_view key, std::uint64_t hash) const noexcept;

  // The entry at 1-based `position`, or nullptr outside 1 to Count().
  const Entry* At(std::int64_t position) const noexcept;

  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(entries_.size()); }

  // Every entry, in list order.
  const std::vector<Entry>& Entries() const noexcept { return entries_; }

  void Reserve(std::size_t count);

 private:
  // Index slots hold an entry's 0-based index plus one; 0 marks a free slot.
  using Slot = std::uint32_t;

  std::size_t SlotOf(std::string_view key, std::uint64_t hash) const noexcept;
  void Rehash(std::size_t slot_count);

  std::vector<Entry> entries_;
  std::vector<Slot> slots_;  // open addressing, linear probing, power-of-two size
};

}  // namespace kivostrel
