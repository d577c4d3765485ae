// What the reader fuzz targets do with a file: read it into a workbook that holds a cell,
// then check that a refusal left the workbook as it was, or that what was read is usable.
#pragma once

#include <cstdio>
#include <string>

#include "grid/grid_error.h"
#include "grid/io/file_type.h"
#include "grid/workbook.h"

namespace ddt::fuzz {

inline void ReadAndUse(const std::string& path, int fileType) {
  ddt::grid::Workbook book;
  book.SetEntry(1, 1, 1, "before");
  try {
    book.ReadFile(path, fileType);
  } catch (const ddt::grid::GridError&) {
    // A refused file leaves the workbook as it was.
    if (book.SheetCount() != 1 || book.GetEntry(1, 1, 1) != "before") __builtin_trap();
    return;
  }
  // What was read must be usable: walk every cell, show it, compute it, save it again, and
  // what the library saved it must read back.
  for (int s = 1; s <= book.SheetCount(); ++s) {
    book.ForEachCell(s, [](int, int, const ddt::grid::Cell&) {});
    (void)book.GetFormattedText(s, 1, 1);
    (void)book.GetEntry(s, 1, 1);
  }
  book.Recalc();
  const std::string out = path + ".out.xlsx";
  bool saved = true;
  try {
    book.WriteFile(out, ddt::grid::io::kFileTypeXlsx);
  } catch (const ddt::grid::GridError&) {
    saved = false;
  }
  if (saved) {
    ddt::grid::Workbook back;
    try {
      back.ReadFile(out, ddt::grid::io::kFileTypeXlsx);
    } catch (const ddt::grid::GridError& e) {
      std::fprintf(stderr, "the saved workbook does not read back: %s\n", e.what());
      __builtin_trap();
    }
    if (back.SheetCount() != book.SheetCount()) __builtin_trap();
  }
  std::remove(out.c_str());
}

}  // namespace ddt::fuzz
