// ddtable convert: any workbook the library reads (.xlsx, .xlsm, .xls, .csv) to .xlsx, or one
// sheet of it to .csv (the values as displayed, parameter names in the first line).
#include <cstdio>
#include <fstream>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "ddtable/cddt_input.h"
#include "workbook_view.h"

namespace ddtcli {

int Convert(const ConvertOptions& options) {
  const std::string kind = Extension(options.out);
  if (kind != "xlsx" && kind != "xlsm" && kind != "csv")
    FailUsage(options.out + ": can write .xlsx or .csv, not '." + kind + "'");
  std::unique_ptr<CDDTInput> book = OpenWorkbook(options.in);
  if (kind != "csv") {
    if (!options.sheet.empty()) FailUsage("--sheet applies to a .csv output only");
    if (book->Save(options.out, 1) != 0) FailFile(options.out, WriteFailureReason(options.out));
    WarnSaveNotes(*book, options.out);
    return kExitOk;
  }
  const std::vector<SheetInfo> sheets = Sheets(*book);
  SheetInfo sheet = options.sheet.empty() ? sheets.front() : FindSheet(*book, options.sheet);
  if (options.sheet.empty() && sheets.size() > 1)
    Warn(options.in + ": " + std::to_string(sheets.size()) + " sheets; writing the first, '" +
         sheet.name + "' (--sheet chooses another)");
  std::string text;
  const long columns = static_cast<long>(sheet.params.size());
  for (long c = 0; c < columns; ++c) text += (c ? "," : "") + CsvField(sheet.params[c], true);
  text += "\r\n";
  // Which cells hold text: those are quoted where the file would otherwise read them back
  // as numbers, booleans or formulas ("007" stays "007").
  std::vector<char> isText(static_cast<std::size_t>(sheet.lastRow * columns), 0);
  if (sheet.lastRow > 0 && columns > 0)
    book->m_pEngine->ForEachCell(static_cast<int>(sheet.index), 1, 1, static_cast<int>(sheet.lastRow),
                                 static_cast<int>(columns),
                                 [&](int row, int col, const CDT_IF::CellView& cell) {
                                   if (cell.kind == CDT_IF::CellView::Text)
                                     isText[static_cast<std::size_t>((row - 1) * columns + col - 1)] = 1;
                                 });
  for (long r = 1; r <= sheet.lastRow; ++r) {
    for (long c = 1; c <= columns; ++c)
      text += (c > 1 ? "," : "") + CsvField(DisplayedText(*book, sheet.index, r, c),
                                            isText[static_cast<std::size_t>((r - 1) * columns + c - 1)]);
    text += "\r\n";
  }
  // Written beside the target and renamed over it, so a failed write leaves no half file.
  const std::string temp = options.out + ".tmp";
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    if (!file) FailFile(options.out, WriteFailureReason(options.out));
    file << text;
    file.close();
    if (!file) {
      std::remove(temp.c_str());
      FailFile(options.out, "could not be written completely");
    }
  }
  if (std::rename(temp.c_str(), options.out.c_str()) != 0) {
    std::remove(temp.c_str());
    FailFile(options.out, WriteFailureReason(options.out));
  }
  return kExitOk;
}

}  // namespace ddtcli
