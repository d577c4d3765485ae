// ddtable show: the sheets of a workbook with their roles, parameters, rows and child-table
// blocks, or the rows of one sheet as a table, CSV or JSON.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli_common.h"
#include "commands.h"
#include "ddtable/cddt_input.h"
#include "workbook_view.h"

namespace ddtcli {

namespace {

// Display width of UTF-8 text: one column per character.
std::size_t Width(const std::string& text) {
  std::size_t width = 0;
  for (unsigned char c : text) width += (c & 0xC0) != 0x80;
  return width;
}

std::string Fit(const std::string& text, std::size_t width) {
  std::string flat;
  for (char c : text) flat += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
  if (Width(flat) <= width) return flat + std::string(width - Width(flat), ' ');
  std::string cut;
  std::size_t w = 0;
  for (std::size_t i = 0; i < flat.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(flat[i]);
    if ((c & 0xC0) != 0x80) {
      if (w + 1 >= width) break;
      ++w;
    }
    cut += flat[i];
  }
  return cut + "~" + std::string(width - w - 1, ' ');
}

void PrintTable(const std::vector<std::vector<std::string>>& rows) {
  constexpr std::size_t kMaxWidth = 40;
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t c = 0; c < row.size(); ++c)
      widths[c] = std::min(kMaxWidth, std::max(widths[c], Width(row[c])));
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::string line;
    for (std::size_t c = 0; c < rows[r].size(); ++c) line += (c ? "  " : "") + Fit(rows[r][c], widths[c]);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::cout << line << '\n';
    if (r == 0) {
      std::string rule;
      for (std::size_t c = 0; c < widths.size(); ++c) rule += (c ? "  " : "") + std::string(widths[c], '-');
      std::cout << rule << '\n';
    }
  }
}

void PrintCsv(const std::vector<std::vector<std::string>>& rows) {
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) line += (c ? "," : "") + CsvField(row[c]);
    std::cout << line << "\r\n";
  }
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

int ShowWorkbook(CDDTInput& book, const ShowOptions& options) {
  const std::vector<SheetInfo> sheets = Sheets(book);
  if (options.format == Format::Json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const SheetInfo& s : sheets) {
      nlohmann::ordered_json sheet = {{"name", s.name}, {"role", RoleName(s.role)}};
      if (s.role == SheetRole::ChildTable) sheet["business_process"] = OwnerOf(s.name);
      sheet["parameters"] = s.params;
      sheet["rows"] = s.lastRow;
      if (s.role == SheetRole::ChildTable) {
        nlohmann::ordered_json blocks = nlohmann::ordered_json::array();
        for (const Block& block : Blocks(book, s))
          blocks.push_back(
              {{"first_row", block.firstRow}, {"last_row", block.lastRow}, {"terminator_row", block.terminatorRow}});
        sheet["blocks"] = std::move(blocks);
      }
      list.push_back(std::move(sheet));
    }
    std::cout << JsonDocument({{"file", options.file}, {"sheets", std::move(list)}}) << '\n';
    return kExitOk;
  }
  std::vector<std::vector<std::string>> rows = {{"sheet", "role", "rows", "blocks", "parameters"}};
  for (const SheetInfo& s : sheets) {
    std::string role = RoleName(s.role);
    if (s.role == SheetRole::ChildTable) role += " of " + OwnerOf(s.name);
    std::string blocks;
    if (s.role == SheetRole::ChildTable) {
      const std::vector<Block> list = Blocks(book, s);
      blocks = std::to_string(list.size());
      if (!list.empty() && list.back().terminatorRow == 0) blocks += " (last not closed)";
    }
    if (options.format == Format::Csv) {
      rows.push_back({s.name, role, std::to_string(s.lastRow), blocks, Join(s.params)});
    } else {
      rows.push_back({s.name, role, std::to_string(s.lastRow), blocks, std::to_string(s.params.size())});
    }
  }
  if (options.format == Format::Csv) {
    PrintCsv(rows);
    return kExitOk;
  }
  PrintTable(rows);
  for (const SheetInfo& s : sheets) {
    if (!s.params.empty()) std::cout << "\n" << s.name << ": " << Join(s.params) << '\n';
  }
  return kExitOk;
}

int ShowSheet(CDDTInput& book, const ShowOptions& options) {
  const SheetInfo sheet = FindSheet(book, options.sheet);
  const long columns = static_cast<long>(sheet.params.size());
  std::vector<std::vector<std::string>> rows;
  rows.push_back(sheet.params);
  for (long r = 1; r <= sheet.lastRow; ++r) {
    std::vector<std::string> row;
    for (long c = 1; c <= columns; ++c) row.push_back(DisplayedText(book, sheet.index, r, c));
    rows.push_back(std::move(row));
  }
  if (options.format == Format::Csv) {
    PrintCsv(rows);
  } else if (options.format == Format::Json) {
    // A name given twice keeps the last column's value, as a reader of repeated keys would.
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (std::size_t r = 1; r < rows.size(); ++r) {
      nlohmann::ordered_json row = nlohmann::ordered_json::object();
      for (std::size_t c = 0; c < rows[r].size(); ++c) row[sheet.params[c]] = rows[r][c];
      list.push_back(std::move(row));
    }
    std::cout << JsonDocument({{"sheet", sheet.name}, {"role", RoleName(sheet.role)}, {"parameters", sheet.params},
                               {"rows", std::move(list)}})
              << '\n';
  } else {
    for (std::size_t r = 0; r < rows.size(); ++r) rows[r].insert(rows[r].begin(), r == 0 ? "row" : std::to_string(r));
    PrintTable(rows);
  }
  return kExitOk;
}

}  // namespace

int Show(const ShowOptions& options) {
  std::unique_ptr<CDDTInput> book = OpenWorkbook(options.file);
  return options.sheet.empty() ? ShowWorkbook(*book, options) : ShowSheet(*book, options);
}

}  // namespace ddtcli
