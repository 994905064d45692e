#include "control/objects_collection.h"

#include <charconv>

#include "control/host.h"
#include "encoding/ber_tags.h"

namespace kivostrel {

// Only the decimal text a row's key is written as names a row: digits only, no leading zero.
// Digits have no case, so this is the comparison that ignores it.
RowKeys::RowKeys(std::string_view key) noexcept {
  if (key.empty() || (key.size() > 1 && key.front() == '0')) return;
  std::size_t index = 0;
  const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), index);
  if (error == std::errc{} && end == key.data() + key.size()) row_ = index;
}

ObjectsCollection::ObjectsCollection(std::shared_ptr<const ReceivedMessage> message,
                                     std::shared_ptr<const CodePage> code_page)
    : message_(std::move(message)), code_page_(std::move(code_page)) {
  const std::size_t count = message_->Objects.size();
  entries_.resize(count);
  for (std::size_t k = 0; k < count; ++k) entries_[k].row = k;
}

const std::optional<std::string>& ObjectsCollection::KeyAt(std::int32_t position) const {
  ObjectsEntry& entry = entries_[IndexOf(position)];
  if (!entry.key && entry.row != ObjectsEntry::kNoRow) entry.key = std::to_string(entry.row);
  return entry.key;
}

const ObjectsCollection::Object& ObjectsCollection::Rendered(std::ptrdiff_t index) const {
  ObjectsEntry& entry = entries_[index];
  if (!entry.item && entry.row != ObjectsEntry::kNoRow) {
    auto object = std::make_shared<OstrelObject>(message_->Objects[entry.row]);
    if (auto* text = std::get_if<std::string>(&object->OIDValue);
        text && object->OIDType == kTagOctetString) {
      *text = code_page_->FromAnsi(*text);
    }
    entry.item = std::move(object);
  }
  return entry.item;
}

}  // namespace kivostrel
