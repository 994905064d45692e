// LruMap: the one bounded table for whatever traffic or a host can make grow. It holds at most
// `capacity` entries; a new key beyond that evicts the entry used least recently. Finding an entry
// counts as a use, peeking does not. Tests read size() and evictions().
//
// Keys are found by anything `Compare` orders against them (a transparent comparator such as
// std::less<> finds a std::string by a std::string_view). References and pointers to values stay
// valid until their entry is erased or evicted.
#pragma once

#include <cstddef>
#include <functional>
#include <iterator>
#include <list>
#include <map>
#include <utility>

namespace kivostrel {

template <class Key, class Value, class Compare = std::less<>>
class LruMap {
 public:
  explicit LruMap(std::size_t capacity) : capacity_(capacity < 1 ? 1 : capacity) {}
  // A copy has the same entries in the same order of use.
  LruMap(const LruMap& other) : capacity_(other.capacity_), evictions_(other.evictions_) {
    for (auto entry = other.order_.rbegin(); entry != other.order_.rend(); ++entry) {
      Put((*entry)->first, (*entry)->second.value);
    }
  }
  LruMap& operator=(const LruMap& other) {
    if (this != &other) {
      LruMap copy(other);
      *this = std::move(copy);
    }
    return *this;
  }
  // Moving keeps every entry's place: list and map iterators stay valid in the moved-to table.
  LruMap(LruMap&&) noexcept = default;
  LruMap& operator=(LruMap&&) noexcept = default;

  // The value under `key`, now the most recently used; null when there is none.
  template <class K>
  Value* Find(const K& key) {
    const auto found = index_.find(key);
    if (found == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, found->second.position);
    return &found->second.value;
  }
  // The same without counting as a use.
  template <class K>
  const Value* Peek(const K& key) const {
    const auto found = index_.find(key);
    return found == index_.end() ? nullptr : &found->second.value;
  }
  // Inserts or replaces the value under `key`, the most recently used from now on.
  Value& Put(Key key, Value value) {
    auto found = index_.find(key);
    if (found != index_.end()) {
      found->second.value = std::move(value);
      order_.splice(order_.begin(), order_, found->second.position);
      return found->second.value;
    }
    if (index_.size() >= capacity_) {
      index_.erase(order_.back());
      order_.pop_back();
      ++evictions_;
    }
    found = index_.emplace(std::move(key), Node{std::move(value), {}}).first;
    order_.push_front(found);
    found->second.position = order_.begin();
    return found->second.value;
  }
  // False when there was no such key.
  template <class K>
  bool Erase(const K& key) {
    const auto found = index_.find(key);
    if (found == index_.end()) return false;
    order_.erase(found->second.position);
    index_.erase(found);
    return true;
  }
  // Erases every entry whose key and value `erase(key, value)` is true for.
  template <class Predicate>
  void EraseIf(Predicate erase) {
    for (auto entry = index_.begin(); entry != index_.end();) {
      if (erase(entry->first, std::as_const(entry->second.value))) {
        order_.erase(entry->second.position);
        entry = index_.erase(entry);
      } else {
        ++entry;
      }
    }
  }
  void Clear() {
    order_.clear();
    index_.clear();
  }

  std::size_t size() const { return index_.size(); }
  std::size_t capacity() const { return capacity_; }
  // Entries evicted to make room since the table was made.
  std::size_t evictions() const { return evictions_; }

 private:
  struct Node;
  using Index = std::map<Key, Node, Compare>;
  struct Node {
    Value value;
    typename std::list<typename Index::iterator>::iterator position;
  };

  std::size_t capacity_;
  std::size_t evictions_ = 0;
  Index index_;
  std::list<typename Index::iterator> order_;  // most recently used first
};

}  // namespace kivostrel
