// ddtable check: lints a data workbook the way the library will read it. Each finding names
// the sheet, the cell where there is one, and what the library will do with it.
#include <cstdlib>
#include <iostream>
#include <set>

#include "cli_common.h"
#include "commands.h"
#include "input/cddt_input.h"
#include "manager/param_name.h"
#include "run_columns.h"
#include "workbook_view.h"

namespace ddtcli {

namespace {

struct Finding {
  std::string sheet;
  std::string cell;  // "B3", a column "B", or ""
  std::string kind;
  std::string message;
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
      // References as the run substitutes them: from "<" to the first ">" after it.
      std::size_t at = 0;
      while ((at = entry.find('<', at)) != std::string::npos) {
        const std::size_t end = entry.find('>', at);
        if (end == std::string::npos) break;
        const std::string token = entry.substr(at, end - at + 1);
        at = end + 1;
        CParamName ref(token.c_str());
        if (!ref.GetExternAlias().empty() || ref.GetName().empty()) continue;
        const std::string target = ref.GetFullSheet(scope);
        bool found = false;
        for (const SheetInfo& s : sheets) {
          if (s.name == target) found = Has(s.params, ref.GetName());
        }
        if (!found)
          findings.push_back({sheet.name, CellName(r, c), "reference",
                              "reference " + token + " names no parameter of sheet '" + target +
                                  "'; it stays as it is"});
      }
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
  }
  if (options.format == Format::Json) {
    std::cout << "{\"file\": " << JsonString(options.file) << ", \"findings\": [";
    for (std::size_t i = 0; i < findings.size(); ++i) {
      const Finding& f = findings[i];
      std::cout << (i ? "," : "") << "\n  {\"sheet\": " << JsonString(f.sheet) << ", \"cell\": "
                << JsonString(f.cell) << ", \"kind\": " << JsonString(f.kind)
                << ", \"message\": " << JsonString(f.message) << "}";
    }
    std::cout << "\n]}\n";
  } else if (options.format == Format::Csv) {
    std::cout << "sheet,cell,kind,message\r\n";
    for (const Finding& f : findings)
      std::cout << CsvField(f.sheet) << ',' << CsvField(f.cell) << ',' << CsvField(f.kind) << ','
                << CsvField(f.message) << "\r\n";
  } else {
    for (const Finding& f : findings)
      std::cout << options.file << ": " << f.sheet << (f.cell.empty() ? "" : "!" + f.cell) << ": "
                << f.message << '\n';
    if (findings.empty()) Warn(options.file + ": no findings");
  }
  return findings.empty() ? kExitOk : kExitChecksFailed;
}

}  // namespace ddtcli
