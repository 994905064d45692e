#include "oidtable/keyed_list.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

#include "encoding/ascii_case.h"

namespace kivostrel {
namespace {

constexpr std::size_t kMinSlots = 16;

}  // namespace

void KeyedList::KeyHasher::Update(std::string_view text) noexcept {
  // FNV-1a: byte by byte, so a text hashed in pieces hashes the same as the whole text.
  std::uint64_t state = state_;
  for (const char c : text) {
    state ^= static_cast<unsigned char>(FoldAscii(c));
    state *= 1099511628211ULL;
  }
  state_ = state;
}

std::uint64_t KeyedList::KeyHash(std::string_view key) noexcept {
  KeyHasher hasher;
  hasher.Update(key);
  return hasher.value();
}

std::size_t KeyedList::SlotOf(std::string_view key, std::uint64_t hash) const noexcept {
  if (slots_.empty()) return 0;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot == 0) return slots_.size();
    const Entry& entry = entries_[slot - 1];
    if (entry.hash == hash && EqualIgnoringAsciiCase(entry.key, key)) return i;
  }
}

const std::string* KeyedList::FindHashed(std::string_view key, std::uint64_t hash) const noexcept {
  const std::size_t i = SlotOf(key, hash);
  if (i >= slots_.size()) return nullptr;
  return &entries_[slots_[i] - 1].item;
}

const std::string* KeyedList::Find(std::string_view key) const noexcept {
  return FindHashed(key, KeyHash(key));
}

const KeyedList::Entry* KeyedList::At(std::int64_t position) const noexcept {
  if (position < 1 || position > static_cast<std::int64_t>(entries_.size())) return nullptr;
  return &entries_[static_cast<std::size_t>(position - 1)];
}

void KeyedList::Rehash(std::size_t slot_count) {
  std::vector<Slot> slots(slot_count, 0);
  const std::size_t mask = slot_count - 1;
  for (std::size_t e = 0; e < entries_.size(); ++e) {
    std::size_t i = entries_[e].hash & mask;
    while (slots[i] != 0) i = (i + 1) & mask;
    slots[i] = static_cast<Slot>(e + 1);
  }
  slots_ = std::move(slots);
}

void KeyedList::Reserve(std::size_t count) {
  entries_.reserve(count);
  std::size_t wanted = kMinSlots;
  while (wanted < count * 2) wanted *= 2;
  if (wanted > slots_.size()) Rehash(wanted);
}

bool KeyedList::Add(std::string key, std::string item) {
  const std::uint64_t hash = KeyHash(key);
  if (SlotOf(key, hash) < slots_.size()) return false;
  // Positions and the count are signed 32-bit numbers for the callers.
  if (entries_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::length_error("keyed list is full");
  }
  // Keep the index at most half full, so probe runs stay short.
  if ((entries_.size() + 1) * 2 > slots_.size()) {
    Rehash(std::max(kMinSlots, slots_.size() * 2));
  }
  entries_.push_back(Entry{std::move(key), std::move(item), hash});
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = static_cast<Slot>(entries_.size());
  return true;
}

bool KeyedList::Remove(std::string_view key) {
  std::size_t hole = SlotOf(key, KeyHash(key));
  if (hole >= slots_.size()) return false;
  const Slot removed = slots_[hole];

  // Backward-shift deletion: pull later members of the probe run into the hole, so lookups
  // never need tombstones.
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t next = (hole + 1) & mask; slots_[next] != 0; next = (next + 1) & mask) {
    const std::size_t home = entries_[slots_[next] - 1].hash & mask;
    // The entry at `next` may fill the hole only if its home slot is not in (hole, next].
    const bool stays = hole <= next ? (hole < home && home <= next) : (hole < home || home <= next);
    if (stays) continue;
    slots_[hole] = slots_[next];
    hole = next;
  }
  slots_[hole] = 0;

  // Later entries move up one position.
  for (Slot& slot : slots_) {
    if (slot > removed) --slot;
  }
  entries_.erase(entries_.begin() + (removed - 1));
  return true;
}

void KeyedList::Clear() noexcept {
  entries_.clear();
  slots_.clear();
}

}  // namespace kivostrel
