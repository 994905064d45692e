// `ostrel table`: a conceptual table of the loaded MIB modules, its columns and the rows an agent
// answers, laid out as snmptable lays them out, with the row's index (decoded by the entry's
// INDEX, as IndexedName writes it: "[3]", "[2][10.0.0.1]") in a first column of its own.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/kivostrel.h"
#include "mib/mib_library.h"
#include "tools/ostrel/objects.h"

namespace kivostrel::ostrel {

struct TableColumn {
  std::string label;
  std::uint32_t arc = 0;  // the last arc of its OID, below the entry
};

struct TableLayout {
  std::string table;  // OID texts
  std::string entry;
  // The columns an agent can be asked for (not those not-accessible or accessible-for-notify),
  // in OID order.
  std::vector<TableColumn> columns;
};

// The table `oid` names (the table itself, SEQUENCE OF, or its entry); nullopt when it is
// neither, or no loaded module defines it, or it has no column to ask for.
std::optional<TableLayout> TableLayoutOf(const mib::MibLibrary& mibs, std::string_view oid);

// The rows of one table as a walk below its entry finds them, in index order.
class TableRows {
 public:
  explicit TableRows(TableLayout layout) : layout_(std::move(layout)) {}

  // A row of the walk: the cell of its column and instance. Rows of columns not shown and
  // exception values are left out.
  void Add(const OstrelObject& row);
  bool empty() const noexcept { return rows_.empty(); }

  // A header of the column labels after "index", then a line per row; a cell the agent did not
  // answer is "?". Cells are padded to the width of their column and right-aligned, as snmptable
  // writes them, or with `separator` between them (snmptable -Cf) and no padding.
  void WriteText(const kivOstrel& control, std::string_view separator, std::ostream& out) const;
  // A line per row: {"Index":"[1]","Suffix":"1","Columns":{"ifDescr":{"OIDType":4,...},...}},
  // each cell as DatagramJson writes a row's value (its "Text" when a module describes it).
  void WriteJson(const kivOstrel& control, std::ostream& out) const;

 private:
  struct OidLess {
    bool operator()(const std::string& a, const std::string& b) const {
      return CompareOids(a, b) == std::strong_ordering::less;
    }
  };
  using Cells = std::vector<std::optional<OstrelObject>>;

  // "[1]" for the row of instance `suffix` ("1"), or the suffix when it does not decode.
  std::string IndexText(const kivOstrel& control, const std::string& suffix,
                        const Cells& cells) const;

  TableLayout layout_;
  std::map<std::string, Cells, OidLess> rows_;  // by instance, "1" or "2.10.0.0.1"
};

}  // namespace kivostrel::ostrel
