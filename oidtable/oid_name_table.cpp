#include "oidtable/oid_name_table.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "encoding/ascii_case.h"
#include "encoding/automation_error.h"
#include "encoding/integer_text.h"
#include "oidtable/default_rows.h"

namespace kivostrel {
namespace {

// Piece counts and positions are signed 16-bit numbers for the host.
constexpr std::size_t kMaxPieces = 32766;
constexpr std::size_t kFirstOverflowingPosition = 32767;  // 1-based, in host characters
constexpr std::int32_t kMaxSearchedEntries = 32766;

std::string_view TrimLeadingSpaces(std::string_view text) noexcept {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

// Calls `on_piece` for each piece of `text`, in order; the overflow checks run as the pieces are
// cut off, so an oversized text fails before the caller returns anything.
template <typename OnPiece>
void ForEachPiece(std::string_view text, char delimiter, OnPiece&& on_piece) {
  std::size_t count = 0;
  const auto emit = [&](std::string_view piece) {
    if (++count > kMaxPieces) RaiseOverflow();
    on_piece(piece);
  };
  std::string_view rest = TrimLeadingSpaces(text);
  while (!rest.empty()) {
    const std::size_t at = rest.find(delimiter);
    if (at == std::string_view::npos) break;
    // Utf16Length counts at most two host characters per byte, even in malformed text, so only
    // a far-off delimiter needs counting.
    if (2 * at + 1 >= kFirstOverflowingPosition &&
        Utf16Length(rest.substr(0, at)) + 1 >= kFirstOverflowingPosition) {
      RaiseOverflow();
    }
    emit(rest.substr(0, at));
    rest = TrimLeadingSpaces(rest.substr(at + 1));
  }
  if (!rest.empty()) emit(rest);
}

struct Prefix {
  std::size_t end;     // length of the prefix within the rebuilt text
  std::uint64_t hash;  // KeyedList::KeyHash of that prefix
};

std::string Translate(const KeyedList& list, std::string_view text) {
  // Rebuild the text from its pieces once; every candidate prefix is then a leading part of it,
  // hashed in the same single pass.
  std::string rebuilt;
  rebuilt.reserve(text.size());
  std::vector<Prefix> prefixes;
  KeyedList::KeyHasher hasher;
  ForEachPiece(text, '.', [&](std::string_view piece) {
    if (!prefixes.empty()) {
      rebuilt += '.';
      hasher.Update(".");
    }
    rebuilt += piece;
    hasher.Update(piece);
    prefixes.push_back(Prefix{rebuilt.size(), hasher.value()});
  });

  for (auto it = prefixes.rbegin(); it != prefixes.rend(); ++it) {
    const std::string* item =
        list.FindHashed(std::string_view(rebuilt).substr(0, it->end), it->hash);
    // An empty item is no translation: a shorter prefix may still have one.
    if (item == nullptr || item->empty()) continue;
    std::string result;
    result.reserve(item->size() + rebuilt.size() - it->end);
    result += *item;
    result.append(rebuilt, it->end);
    return result;
  }
  return std::string(text);
}

struct DefaultImage {
  std::shared_ptr<KeyedList> oid_to_name;
  std::shared_ptr<KeyedList> name_to_oid;
};

// Built once per process; every table that loads the default rows into empty lists shares it.
const DefaultImage& Defaults() {
  static const DefaultImage image = [] {
    DefaultImage built{std::make_shared<KeyedList>(), std::make_shared<KeyedList>()};
    built.oid_to_name->Reserve(kDefaultRowCount);
    built.name_to_oid->Reserve(kDefaultRowCount);
    for (const DefaultRow& row : kDefaultRows) {
      // Parents precede their children, so the parent's name is already in the list.
      std::string name;
      const std::size_t last_dot = row.oid.rfind('.');
      if (last_dot != std::string_view::npos) {
        if (const std::string* parent = built.oid_to_name->Find(row.oid.substr(0, last_dot))) {
          name.reserve(parent->size() + 1 + row.label.size());
          name += *parent;
          name += '.';
        }
      }
      name += row.label;
      built.oid_to_name->Add(std::string(row.oid), name);
      built.name_to_oid->Add(std::move(name), std::string(row.oid));
    }
    return built;
  }();
  return image;
}

const std::shared_ptr<KeyedList>& EmptyList() {
  static const std::shared_ptr<KeyedList> empty = std::make_shared<KeyedList>();
  return empty;
}

}  // namespace

std::vector<std::string_view> SplitText(std::string_view text, char delimiter) {
  std::vector<std::string_view> pieces;
  ForEachPiece(text, delimiter, [&](std::string_view piece) { pieces.push_back(piece); });
  return pieces;
}

OidNameTable::OidNameTable() : m_OIDToName(EmptyList()), m_NameToOID(EmptyList()) {}

KeyedList& OidNameTable::Writable(SharedList& list) {
  if (list.use_count() != 1) list = std::make_shared<KeyedList>(*list);
  return *list;
}

void OidNameTable::SetOID(std::string_view oid, std::string_view name) {
  KeyedList& oid_to_name = Writable(m_OIDToName);
  KeyedList& name_to_oid = Writable(m_NameToOID);
  oid_to_name.Remove(oid);
  name_to_oid.Remove(name);
  oid_to_name.Add(std::string(oid), std::string(name));
  name_to_oid.Add(std::string(name), std::string(oid));
}

void OidNameTable::SetOIDFirst(std::string_view oid, std::string_view name) {
  // Only a list that really gains an entry is copied out of a shared image.
  if (m_OIDToName->Find(oid) == nullptr) {
    Writable(m_OIDToName).Add(std::string(oid), std::string(name));
  }
  if (m_NameToOID->Find(name) == nullptr) {
    Writable(m_NameToOID).Add(std::string(name), std::string(oid));
  }
}

void OidNameTable::ClearOID() noexcept {
  m_OIDToName = EmptyList();
  m_NameToOID = EmptyList();
}

void OidNameTable::LoadDefaultOIDNames() {
  const DefaultImage& image = Defaults();
  if (m_OIDToName->Count() == 0 && m_NameToOID->Count() == 0) {
    m_OIDToName = image.oid_to_name;
    m_NameToOID = image.name_to_oid;
    return;
  }
  for (const KeyedList::Entry& row : image.oid_to_name->Entries()) SetOIDFirst(row.key, row.item);
}

std::string OidNameTable::OID2Name(std::string_view oid) const {
  return Translate(*m_OIDToName, oid);
}

std::string OidNameTable::Name2OID(std::string_view name) const {
  return Translate(*m_NameToOID, name);
}

std::vector<std::string> OidNameTable::FindName(std::string_view name, std::int16_t compare) const {
  if (m_OIDToName->Count() > kMaxSearchedEntries) RaiseOverflow();
  std::vector<std::string> found;
  for (const KeyedList::Entry& entry : m_OIDToName->Entries()) {
    const std::string& item = entry.item;
    if (item.empty()) continue;
    const bool contains = compare == 1
                              ? ContainsIgnoringAsciiCase(item, name)
                              : std::string_view(item).find(name) != std::string_view::npos;
    if (contains) found.push_back(item);
  }
  return found;
}

}  // namespace kivostrel
