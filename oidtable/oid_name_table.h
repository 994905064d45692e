// The OID name table of one control instance: OID texts paired with dotted names, edited by the
// host and read by translation and name search.
//
// The table is two keyed lists written by the same operations but never forced to mirror each
// other: `m_OIDToName` (OID text -> dotted name) answers `OID2Name` and `FindName`,
// `m_NameToOID` (dotted name -> OID text) answers `Name2OID`. Neither OIDs nor names are
// validated; any text, the empty one included, is stored unchanged.
//
// Every control instance loads the same 731 default rows, so the lists are shared copy-on-write:
// a freshly loaded table points at one prebuilt image per process and takes a private copy of a
// list only when it first changes it. Copying a table is cheap for the same reason, and the copy
// is independent of the original. A table is used by one thread at a time; distinct tables
// (even ones sharing an image) may be used on different threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "oidtable/keyed_list.h"

namespace kivostrel {

// The pieces of `text` between `delimiter` characters, as views into `text`.
// Only ASCII spaces count as spaces: those before a piece are dropped, those after a piece stay
// in it. A trailing delimiter adds no piece; a leading one, or two in a row, give an empty
// piece; an empty or all-space text gives no piece ("1 .3" -> "1 ", "3"; "1.3." -> "1", "3";
// "." -> "").
// Error 6 (overflow) for more than 32,766 pieces, or when a delimiter stands at host character
// position 32,767 or beyond of the text that remains after the earlier pieces are cut off.
std::vector<std::string_view> SplitText(std::string_view text, char delimiter);

class OidNameTable {
 public:
  // Both lists empty; a control calls LoadDefaultOIDNames next.
  OidNameTable();

  // Replaces the pairing of this OID and this name: removes the OID from `m_OIDToName` and the
  // name from `m_NameToOID` where present, then appends the pair to both, so it ends up last in
  // each. A former partner of either stays in the other list and still translates.
  void SetOID(std::string_view oid, std::string_view name);

  // Appends the pair to `m_OIDToName` unless the OID is present there, and independently to
  // `m_NameToOID` unless the name is present there.
  void SetOIDFirst(std::string_view oid, std::string_view name);

  // Empties both lists. The default rows are not loaded again.
  void ClearOID() noexcept;

  // Calls SetOIDFirst for each default row in load order. On empty lists (the control's
  // initialisation) this only shares the prebuilt image.
  void LoadDefaultOIDNames();

  // Translates the longest leading run of whole pieces that is a key of the list with a
  // non-empty item, and appends the remaining pieces after "." each; the result is rebuilt from
  // the pieces. When no prefix matches, the input comes back unchanged.
  // Error 6 as for SplitText, raised before any result.
  std::string OID2Name(std::string_view oid) const;
  std::string Name2OID(std::string_view name) const;

  // The non-empty items of `m_OIDToName`, in list order, that contain `name`. `compare` 1
  // ignores the case of ASCII letters (the same folding as keys); every other value, 0 the
  // default included, compares exactly. An empty `name` matches every non-empty item.
  // Error 6 (overflow) when `m_OIDToName` holds 32,767 entries or more.
  std::vector<std::string> FindName(std::string_view name, std::int16_t compare = 0) const;

  const KeyedList& OIDToName() const noexcept { return *m_OIDToName; }
  const KeyedList& NameToOID() const noexcept { return *m_NameToOID; }

 private:
  // A list is written only while this table holds the one pointer to it; otherwise the table
  // copies it first (the default image and the empty list are always shared).
  using SharedList = std::shared_ptr<KeyedList>;
  static KeyedList& Writable(SharedList& list);

  SharedList m_OIDToName;
  SharedList m_NameToOID;
};

}  // namespace kivostrel
