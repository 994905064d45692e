#include "tools/ostrel/mib_table.h"

#include <algorithm>
#include <charconv>
#include <ostream>

#include "tools/ostrel/output_format.h"
#include "tools/ostrel/snmpv2_texts.h"

namespace kivostrel::ostrel {
namespace {

bool IsAskable(const mib::MibNode& node) {
  return node.kind == mib::NodeKind::kObjectType && node.access != "not-accessible" &&
         node.access != "accessible-for-notify";
}

}  // namespace

std::optional<TableLayout> TableLayoutOf(const mib::MibLibrary& mibs, std::string_view oid) {
  const std::optional<mib::Oid> arcs = mibs.Resolve(oid);
  if (!arcs) return std::nullopt;
  const mib::MibNode* node = mibs.FindNode(*arcs);
  if (node == nullptr || node->kind != mib::NodeKind::kObjectType) return std::nullopt;
  const mib::MibNode* entry = nullptr;
  if (node->syntax.base == mib::BaseType::kSequenceOf) {
    mib::Oid below = *arcs;
    below.push_back(1);
    entry = mibs.FindNode(below);
  } else if (node->syntax.base == mib::BaseType::kSequence) {
    entry = node;
  }
  if (entry == nullptr || entry->oid.size() < 2) return std::nullopt;
  TableLayout layout;
  layout.entry = mib::OidText(entry->oid);
  layout.table = mib::OidText(std::span(entry->oid).first(entry->oid.size() - 1));
  for (const mib::MibNode* column : mibs.Nodes()) {
    if (column->oid.size() != entry->oid.size() + 1 ||
        !std::equal(entry->oid.begin(), entry->oid.end(), column->oid.begin()) ||
        !IsAskable(*column)) {
      continue;
    }
    layout.columns.push_back({column->label, column->oid.back()});
  }
  if (layout.columns.empty()) return std::nullopt;
  return layout;
}

void TableRows::Add(const OstrelObject& row) {
  if (IsException(row.OIDType) || !IsBelow(layout_.entry, row.OIDName)) return;
  const std::string_view rest = std::string_view(row.OIDName).substr(layout_.entry.size() + 1);
  const std::size_t dot = rest.find('.');
  if (dot == std::string_view::npos) return;  // a column without an instance
  std::uint32_t arc = 0;
  const auto read = std::from_chars(rest.data(), rest.data() + dot, arc);
  if (read.ec != std::errc() || read.ptr != rest.data() + dot) return;
  const auto column = std::find_if(layout_.columns.begin(), layout_.columns.end(),
                                   [arc](const TableColumn& c) { return c.arc == arc; });
  if (column == layout_.columns.end()) return;
  Cells& cells = rows_[std::string(rest.substr(dot + 1))];
  cells.resize(layout_.columns.size());
  cells[static_cast<std::size_t>(column - layout_.columns.begin())] = row;
}

std::string TableRows::IndexText(const kivOstrel& control, const std::string& suffix,
                                 const Cells& cells) const {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!cells[i]) continue;
    // IndexedName writes the column's label, then the index parts in brackets.
    const std::string name = control.IndexedName(cells[i]->OIDName);
    const std::size_t bracket = name.find('[');
    if (bracket != std::string::npos &&
        std::string_view(name).substr(0, bracket).ends_with(layout_.columns[i].label)) {
      return name.substr(bracket);
    }
    break;
  }
  return suffix;
}

void TableRows::WriteText(const kivOstrel& control, std::string_view separator,
                          std::ostream& out) const {
  std::vector<std::vector<std::string>> lines;
  std::vector<std::string> header{"index"};
  for (const TableColumn& column : layout_.columns) header.push_back(column.label);
  lines.push_back(std::move(header));
  for (const auto& [suffix, cells] : rows_) {
    std::vector<std::string> line{IndexText(control, suffix, cells)};
    for (const auto& cell : cells) line.push_back(cell ? CellText(*cell, control) : "?");
    lines.push_back(std::move(line));
  }
  std::vector<std::size_t> widths(lines.front().size(), 0);
  for (const auto& line : lines) {
    for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
  }
  for (const auto& line : lines) {
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (i > 0) text += separator.empty() ? std::string_view(" ") : separator;
      if (separator.empty()) text.append(widths[i] - line[i].size(), ' ');
      text += line[i];
    }
    out << text << "\n";
  }
}

void TableRows::WriteJson(const kivOstrel& control, std::ostream& out) const {
  for (const auto& [suffix, cells] : rows_) {
    std::string json = "{\"Index\":" + JsonString(IndexText(control, suffix, cells)) +
                       ",\"Suffix\":" + JsonString(suffix) + ",\"Columns\":{";
    bool first = true;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (!cells[i]) continue;
      if (!first) json += ',';
      first = false;
      json += JsonString(layout_.columns[i].label) + ":" + ValueJson(*cells[i], control);
    }
    out << json << "}}\n";
  }
}

}  // namespace kivostrel::ostrel
