// ddtable check: lints a data workbook the way the library will read it. Each finding names
// the sheet, the cell where there is one, and what the library will do with it.
#include <cstdlib>
#include <iostream>
#include <set>

#include <nlohmann/json.hpp>

#include "cli_common.h"
#include "commands.h"
#include "ddtable/cddt_input.h"
#include "ddtable/param_name.h"
#include "references.h"
#include "run_columns.h"
#include "workbook_view.h"

namespace ddtcli {

namespace {

struct Finding {
  std::string sheet;
  std::string cell;  // "B3", a column "B", or ""
  std::string kind;
  std::string message;
  bool note = false;  // worth knowing, but not a fault: does not fail the check
};

std::string Letters(long col) {
  std::string letters;
  for (; col > 0; col = (col - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (col - 1) % 26));
  return letters;
}

std::string CellName(long row, long col) { return Letters(col) + std::to_string(row + 1); }

bool Has(const std::vector<std::string>& params, const std::string& name) {
  for (const std::string& p : params) {
    if (p == name) return true;
  }
  return false;
}

bool IsErrorValue(const std::string& text) {
  static const char* const kErrors[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A"};
  for (const char* error : kErrors) {
    if (text == error) return true;
  }
  return false;
}

void CheckNames(const SheetInfo& sheet, std::vector<Finding>& findings) {
  std::set<std::string> seen;
  for (std::size_t i = 0; i < sheet.params.size(); ++i) {
    const long col = static_cast<long>(i) + 1;
    const std::string& name = sheet.params[i];
    std::string legal = name;
    CDT::GetSuggestionNotUnique(legal);
    if (name.empty()) {
      findings.push_back({sheet.name, Letters(col), "name", "column " + Letters(col) + " has no parameter name"});
    } else if (legal != name) {
      findings.push_back({sheet.name, Letters(col), "name",
                          "parameter name '" + name + "' is not legal; it becomes '" + legal + "'"});
    }
    if (!name.empty() && seen.count(name) != 0) {
      std::string numbered;
      for (int k = 1; k < 1000; ++k) {
        numbered = name + std::to_string(k);
        if (!Has(sheet.params, numbered)) break;
      }
      findings.push_back({sheet.name, Letters(col), "duplicate",
                          "parameter '" + name + "' appears again; its values are never read by name, "
                          "and the results workbook calls this column '" + numbered + "'"});
    }
    seen.insert(name);
    // An expected value X_exp belongs to an output X or X_out.
    if (name.size() > 4 && name.compare(name.size() - 4, 4, "_exp") == 0) {
      const std::string base = name.substr(0, name.size() - 4);
      if (!Has(sheet.params, base) && !Has(sheet.params, base + "_out"))
        findings.push_back({sheet.name, Letters(col), "expected",
                            "expected-value parameter '" + name + "' has no output parameter '" + base +
                                "' or '" + base + "_out'"});
    }
  }
  if (sheet.params.size() > 255)
    findings.push_back({sheet.name, "", "limit",
                        std::to_string(sheet.params.size()) + " parameter columns; a sheet holds at most 255"});
}

void CheckBlocks(CDDTInput& book, const SheetInfo& sheet, const std::vector<SheetInfo>& sheets,
                 std::vector<Finding>& findings) {
  const std::string owner = OwnerOf(sheet.name);
  const SheetInfo* bp = nullptr;
  for (const SheetInfo& s : sheets) {
    if (s.name == owner && s.role == SheetRole::BusinessProcess) bp = &s;
  }
  if (bp == nullptr) {
    findings.push_back({sheet.name, "", "orphan",
                        "child table of business process '" + owner + "', which has no sheet; it never runs"});
  }
  const std::vector<Block> blocks = Blocks(book, sheet);
  long number = 0;
  for (const Block& block : blocks) {
    if (block.terminatorRow == 0) {
      findings.push_back({sheet.name, "A" + std::to_string(block.firstRow + 1), "unclosed",
                          "rows " + std::to_string(block.firstRow) + " to " + std::to_string(block.lastRow) +
                              " are not closed by a '.End' row"});
      continue;
    }
    ++number;
    // ".End" alone is numbered at run time; a number written in must count up from 1.
    const std::string rest = block.mark.size() > 5 ? block.mark.substr(5) : "";
    if (!rest.empty() && rest != std::to_string(number)) {
      findings.push_back({sheet.name, "A" + std::to_string(block.terminatorRow + 1), "numbering",
                          "terminator '" + block.mark + "' closes block " + std::to_string(number) +
                              "; the run looks for '.End " + std::to_string(number) + "'"});
    }
  }
  if (bp != nullptr && number > 0 && number < bp->lastRow)
    findings.push_back({sheet.name, "", "blocks",
                        std::to_string(number) + " blocks for " + std::to_string(bp->lastRow) + " rows of '" +
                            owner + "'; the later rows find no block"});
}

void CheckCells(CDDTInput& book, const SheetInfo& sheet, const std::vector<SheetInfo>& sheets,
                std::vector<Finding>& findings) {
  const std::string scope = sheet.role == SheetRole::ChildTable ? OwnerOf(sheet.name)
                            : sheet.role == SheetRole::BusinessProcess ? sheet.name
                                                                       : "";
  const long columns = static_cast<long>(sheet.params.size());
  const std::string child = sheet.role == SheetRole::ChildTable ? sheet.name.substr(scope.size() + 1) : "";
  const ReferenceScope references(book, scope, child);
  for (long r = 1; r <= sheet.lastRow; ++r) {
    for (long c = 1; c <= columns; ++c) {
      const std::string entry = EnteredText(book, sheet.index, r, c);
      if (entry.empty()) continue;
      if (entry.size() > kMaxCellText) {
        findings.push_back({sheet.name, CellName(r, c), "limit",
                            std::to_string(entry.size()) + " characters; a cell holds at most " +
                                std::to_string(kMaxCellText)});
      }
      if (entry[0] == '=') {
        const std::string shown = DisplayedText(book, sheet.index, r, c);
        if (IsErrorValue(shown))
          findings.push_back({sheet.name, CellName(r, c), "formula", "formula " + entry + " gives " + shown});
        continue;
      }
      if (scope.empty()) continue;
      // References as a run resolves them; in a child table's cells an unqualified name is
      // the child's parameter first, then the business process's.
      for (const std::string& token : CParamName::FindAll(entry)) {
        CParamName ref(token.c_str());
        if (!ref.GetExternAlias().empty() || ref.GetName().empty()) continue;
        if (!references.Resolve(token).empty()) continue;
        findings.push_back({sheet.name, CellName(r, c), "reference",
                            "reference " + token + " names no parameter of sheet '" + ref.GetFullSheet(scope) +
                                "'; a run makes this row an error"});
      }
    }
  }
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n\v\f") == std::string::npos; }

// Rows that hold nothing but blanks run as empty iterations: a cell of spaces far below the
// data makes every row up to it an iteration.
void CheckBlankRows(CDDTInput& book, const SheetInfo& sheet, std::vector<Finding>& findings) {
  const long columns = static_cast<long>(sheet.params.size());
  long lastContent = 0;
  std::vector<std::pair<long, long>> blankCells;  // (row, column) of cells of blanks only
  for (long r = 1; r <= sheet.lastRow; ++r) {
    bool content = false;
    std::vector<std::pair<long, long>> blanks;
    for (long c = 1; c <= columns; ++c) {
      const std::string entry = EnteredText(book, sheet.index, r, c);
      if (entry.empty()) continue;
      if (IsBlank(entry)) {
        blanks.emplace_back(r, c);
      } else {
        content = true;
      }
    }
    if (content) {
      lastContent = r;
    } else if (!blanks.empty()) {
      blankCells.insert(blankCells.end(), blanks.begin(), blanks.end());
      if (r < sheet.lastRow)
        findings.push_back({sheet.name, CellName(r, blanks.front().second), "blank",
                            "row " + std::to_string(r) + " holds only blanks; it runs as an empty iteration"});
    }
  }
  if (sheet.lastRow > lastContent && !blankCells.empty()) {
    const auto& [row, col] = blankCells.back();
    findings.push_back({sheet.name, CellName(row, col), "blank",
                        "rows " + std::to_string(lastContent + 1) + " to " + std::to_string(sheet.lastRow) +
                            " hold nothing but blanks (this cell holds only spaces); they run as empty iterations"});
  }
}

// A parameter that a child table and its business process both have: inside a run over the
// child table, "<Name>" means the child's.
void CheckShadowedNames(const SheetInfo& sheet, const std::vector<SheetInfo>& sheets, std::vector<Finding>& findings) {
  const std::string owner = OwnerOf(sheet.name);
  for (const SheetInfo& bp : sheets) {
    if (bp.name != owner || bp.role != SheetRole::BusinessProcess) continue;
    for (std::size_t i = 0; i < sheet.params.size(); ++i) {
      const std::string& name = sheet.params[i];
      if (name.empty() || !Has(bp.params, name)) continue;
      Finding note{sheet.name, Letters(static_cast<long>(i) + 1), "shadow",
                   "parameter '" + name + "' is in '" + owner + "' too; in a run over this table <" + name +
                       "> is this table's, and the business process's cannot be reached by that name"};
      note.note = true;
      findings.push_back(note);
    }
  }
}

}  // namespace

int Check(const CheckOptions& options) {
  std::unique_ptr<CDDTInput> book = OpenWorkbook(options.file);
  const std::vector<SheetInfo> sheets = Sheets(*book);
  std::vector<Finding> findings;
  for (const SheetInfo& sheet : sheets) {
    CheckNames(sheet, findings);
    if (sheet.role == SheetRole::ChildTable) CheckBlocks(*book, sheet, sheets, findings);
    CheckCells(*book, sheet, sheets, findings);
    if (sheet.role == SheetRole::BusinessProcess || sheet.role == SheetRole::ChildTable)
      CheckBlankRows(*book, sheet, findings);
    if (sheet.role == SheetRole::ChildTable) CheckShadowedNames(sheet, sheets, findings);
  }
  std::size_t faults = 0;
  for (const Finding& f : findings) faults += f.note ? 0 : 1;
  if (options.format == Format::Json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Finding& f : findings)
      list.push_back({{"sheet", f.sheet}, {"cell", f.cell}, {"kind", f.kind}, {"message", f.message},
                      {"severity", f.note ? "note" : "fault"}});
    std::cout << JsonDocument({{"file", options.file}, {"findings", std::move(list)}}) << '\n';
  } else if (options.format == Format::Csv) {
    std::cout << "sheet,cell,kind,message\r\n";
    for (const Finding& f : findings)
      std::cout << CsvField(f.sheet) << ',' << CsvField(f.cell) << ',' << CsvField(f.kind) << ','
                << CsvField(f.message) << "\r\n";
  } else {
    for (const Finding& f : findings)
      std::cout << options.file << ": " << f.sheet << (f.cell.empty() ? "" : "!" + f.cell) << ": "
                << (f.note ? "note: " : "") << f.message << '\n';
    if (findings.empty()) Warn(options.file + ": no findings");
  }
  return faults == 0 ? kExitOk : kExitChecksFailed;
}

}  // namespace ddtcli
