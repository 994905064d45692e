#include "control/objects_collection.h"

#include <charconv>

#include "control/host.h"
#include "encoding/automation_error.h"
#include "encoding/ber_tags.h"
#include "oidtable/ascii_case.h"

namespace kivostrel {
namespace {

// The row index `key` names when it is the decimal text a row's key is written as: digits only,
// no leading zero. Digits have no case, so this is the comparison that ignores it.
std::optional<std::size_t> RowIndexText(std::string_view key) {
  if (key.empty() || (key.size() > 1 && key.front() == '0')) return std::nullopt;
  std::size_t index = 0;
  const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), index);
  if (error != std::errc{} || end != key.data() + key.size()) return std::nullopt;
  return index;
}

}  // namespace

ObjectsCollection::ObjectsCollection(std::shared_ptr<const ReceivedMessage> message,
                                     std::shared_ptr<const CodePage> code_page)
    : message_(std::move(message)), code_page_(std::move(code_page)) {
  const std::size_t count = message_->Objects.size();
  entries_.resize(count);
  for (std::size_t k = 0; k < count; ++k) entries_[k].row = k;
}

void ObjectsCollection::Add(Object item, std::optional<std::string> key) {
  if (key && Find(*key)) {
    throw AutomationError(kErrDuplicateKey, kLibraryName,
                          "This key is already associated with an element of this collection");
  }
  entries_.push_back({std::move(key), std::move(item), kNoRow});
}

const std::optional<std::string>& ObjectsCollection::KeyAt(std::int32_t position) const {
  Entry& entry = entries_[IndexOf(position)];
  if (!entry.key && entry.row != kNoRow) entry.key = std::to_string(entry.row);
  return entry.key;
}

const ObjectsCollection::Object& ObjectsCollection::Rendered(std::ptrdiff_t index) const {
  Entry& entry = entries_[index];
  if (!entry.item && entry.row != kNoRow) {
    auto object = std::make_shared<OstrelObject>(message_->Objects[entry.row]);
    if (auto* text = std::get_if<std::string>(&object->OIDValue);
        text && object->OIDType == kTagOctetString) {
      *text = code_page_->FromAnsi(*text);
    }
    entry.item = std::move(object);
  }
  return entry.item;
}

std::optional<std::ptrdiff_t> ObjectsCollection::Find(std::string_view key) const {
  std::optional<std::size_t> row_index;
  bool row_index_read = false;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& entry = entries_[i];
    if (entry.key) {
      if (EqualIgnoringAsciiCase(*entry.key, key)) return static_cast<std::ptrdiff_t>(i);
    } else if (entry.row != kNoRow) {
      if (!row_index_read) {
        row_index = RowIndexText(key);
        row_index_read = true;
      }
      if (row_index == entry.row) return static_cast<std::ptrdiff_t>(i);
    }
  }
  return std::nullopt;
}

}  // namespace kivostrel
