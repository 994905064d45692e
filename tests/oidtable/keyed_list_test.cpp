#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "oidtable/keyed_list.h"

namespace kivostrel {
namespace {

std::vector<std::pair<std::string, std::string>> Contents(const KeyedList& list) {
  std::vector<std::pair<std::string, std::string>> out;
  for (std::int64_t i = 1; i <= list.Count(); ++i)
    out.emplace_back(list.At(i)->key, list.At(i)->item);
  return out;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(KeyedListTest, KeepsOrderAndFetchesByKeyAndPosition) {
  KeyedList list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.At(1), nullptr);
  EXPECT_EQ(list.Find("1"), nullptr);
  EXPECT_TRUE(list.Add("3", "three"));
  EXPECT_TRUE(list.Add("1", "one"));
  EXPECT_TRUE(list.Add("2", "two"));
  EXPECT_FALSE(list.Add("2", "again"));  // a present key changes nothing
  EXPECT_EQ(Contents(list), (Pairs{{"3", "three"}, {"1", "one"}, {"2", "two"}}));
  // A key that reads as a number is a key, not a position.
  ASSERT_NE(list.Find("1"), nullptr);
  EXPECT_EQ(*list.Find("1"), "one");
  EXPECT_EQ(list.At(1)->item, "three");
  EXPECT_EQ(list.At(0), nullptr);
  EXPECT_EQ(list.At(4), nullptr);
  EXPECT_EQ(list.At(-1), nullptr);
}

TEST(KeyedListTest, KeysIgnoreAsciiCaseOnly) {
  KeyedList list;
  ASSERT_TRUE(list.Add("iso.org", "1.3"));
  const struct {
    const char* key;
    bool found;
  } cases[] = {
      {"iso.org", true},   {"ISO.ORG", true}, {"Iso.Org", true},  {"iso.org ", false},
      {" iso.org", false}, {"iso.or", false}, {"iso_org", false}, {"", false},
      {"iso.org.", false}, {"isO.oRg", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(list.Find(c.key) != nullptr, c.found);
  }
  // Outside ASCII every byte counts: these are two keys.
  EXPECT_TRUE(list.Add("\xC3\xA4", "a-umlaut"));
  EXPECT_TRUE(list.Add("\xC3\x84", "A-umlaut"));
  // Leading zeros and spaces are not normalised.
  EXPECT_TRUE(list.Add("01.3", "x"));
  EXPECT_TRUE(list.Add("1.3 ", "y"));
  EXPECT_EQ(list.Count(), 5);
}

TEST(KeyedListTest, RemovingMovesLaterEntriesUp) {
  KeyedList list;
  for (const char* key : {"a", "b", "c", "d"}) ASSERT_TRUE(list.Add(key, key));
  EXPECT_FALSE(list.Remove("x"));
  EXPECT_EQ(list.Count(), 4);
  EXPECT_TRUE(list.Remove("B"));
  EXPECT_EQ(Contents(list), (Pairs{{"a", "a"}, {"c", "c"}, {"d", "d"}}));
  EXPECT_FALSE(list.Remove("b"));
  EXPECT_TRUE(list.Remove("a"));
  EXPECT_TRUE(list.Add("b", "again"));
  EXPECT_EQ(Contents(list), (Pairs{{"c", "c"}, {"d", "d"}, {"b", "again"}}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Find("c"), nullptr);
}

TEST(KeyedListTest, EmptyKeyIsAnOrdinaryKey) {
  KeyedList list;
  EXPECT_TRUE(list.Add("", "empty"));
  EXPECT_FALSE(list.Add("", "again"));
  ASSERT_NE(list.Find(""), nullptr);
  EXPECT_EQ(*list.Find(""), "empty");
  EXPECT_TRUE(list.Remove(""));
  EXPECT_EQ(list.Find(""), nullptr);
}

// Random adds and removes against a plain list scanned linearly: the hash index must agree with
// it on every key and every position after every step.
TEST(KeyedListTest, AgreesWithALinearModel) {
  std::mt19937 random(20240611);
  std::vector<std::string> universe;
  for (int i = 0; i < 60; ++i) universe.push_back("Key" + std::to_string(i * 7));
  const auto fold = [](std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    return text;
  };
  Pairs model;
  std::vector<std::string> model_folded;  // the model's keys, folded once
  const auto model_find = [&](const std::string& key) {
    const auto at = std::find(model_folded.begin(), model_folded.end(), fold(key));
    return at == model_folded.end() ? std::ptrdiff_t{-1} : at - model_folded.begin();
  };
  KeyedList list;
  for (int step = 0; step < 2000; ++step) {
    std::string key = universe[random() % universe.size()];
    if (random() % 2) key = fold(key);
    const std::ptrdiff_t at = model_find(key);
    if (random() % 3 == 0) {
      ASSERT_EQ(list.Remove(key), at >= 0);
      if (at >= 0) {
        model.erase(model.begin() + at);
        model_folded.erase(model_folded.begin() + at);
      }
    } else {
      const std::string item = std::to_string(step);
      ASSERT_EQ(list.Add(key, item), at < 0);
      if (at < 0) {
        model.emplace_back(key, item);
        model_folded.push_back(fold(key));
      }
    }
    ASSERT_EQ(Contents(list), model) << "step " << step;
    for (const std::string& probe : universe) {
      const std::ptrdiff_t i = model_find(probe);
      const std::string* item = list.Find(probe);
      ASSERT_EQ(item != nullptr, i >= 0) << probe;
      if (item != nullptr) {
        ASSERT_EQ(*item, model[static_cast<std::size_t>(i)].second);
      }
    }
  }
}

}  // namespace
}  // namespace kivostrel
