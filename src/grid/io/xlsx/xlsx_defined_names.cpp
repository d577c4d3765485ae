#include "grid/io/xlsx/xlsx_defined_names.h"

#include "grid/formula/a1.h"
#include "grid/limits.h"

namespace ddt::grid::io {

namespace {

// The items of a list of references at its top-level commas ('a,b'!A1 is one item).
std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  std::string item;
  bool quoted = false, literal = false;
  for (char ch : text) {
    if (ch == '\'' && !literal) quoted = !quoted;
    else if (ch == '"' && !quoted) literal = !literal;
    if (ch == ',' && !quoted && !literal) {
      items.push_back(std::move(item));
      item.clear();
      continue;
    }
    item += ch;
  }
  items.push_back(std::move(item));
  return items;
}

bool IsPrintRangeName(const std::string& name) {
  return name == "_xlnm.Print_Area" || name == "_xlnm.Print_Titles";
}

// Replaces every occurrence of `from` by `to`.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

std::string MovedDefinedName(const std::string& name, std::string text,
                             const std::vector<NamedSheetEdits>& sheets,
                             const std::vector<std::string>& goneSheets) {
  for (const NamedSheetEdits& s : sheets)
    MoveFormulaText(text, s.originalName, s.newName, *s.edits, false, true);
  // A deleted sheet takes every cell it had: its references are moved by an edit that
  // deletes all rows, which writes them as Gone!#REF!, then lose the sheet they named.
  static const std::vector<LineEdit> kWipe{LineEdit{true, false, 1, kMaxRows, 1, kMaxCols}};
  for (const std::string& gone : goneSheets) {
    if (MoveFormulaText(text, gone, gone, kWipe, false, true)) continue;
    std::string qualified;
    formula::AppendSheetName(qualified, gone);
    ReplaceAll(text, qualified + "!#REF!", "#REF!");
  }
  if (!IsPrintRangeName(name) || text.find("#REF!") == std::string::npos) return text;
  // What is printed is the ranges that remain; a deleted one in the list would make
  // spreadsheet programs drop the whole list.
  std::string kept;
  for (const std::string& item : SplitList(text)) {
    if (item.find("#REF!") != std::string::npos) continue;
    if (!kept.empty()) kept += ',';
    kept += item;
  }
  if (!kept.empty()) return kept;
  return SplitList(text).front();
}

std::string DefinedNameLabel(const std::string& attrs) {
  const size_t at = attrs.find(" name=\"");
  if (at == std::string::npos) return {};
  const size_t from = at + 7;
  return attrs.substr(from, attrs.find('"', from) - from);
}

}  // namespace ddt::grid::io
