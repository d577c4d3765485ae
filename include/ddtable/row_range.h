// Row ranges per sheet: how a data table hands selected, run or all rows of its sheets to
// its callers, and the last row a results workbook worked on per sheet.
//
// Sheet names are keys compared exactly (byte-wise, case-sensitive). A sheet can be present
// with no ranges, which is different from being absent. The lists are plain values owned
// by whoever made them; a data table keeps none.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "ddtable/export.h"

// One range of rows, both ends inclusive; it covers m_nLastRow - m_nFirstRow + 1 rows.
struct CRowsRange {
  int m_nFirstRow = 0;
  int m_nLastRow = 0;
  bool operator==(const CRowsRange& other) const {
    return m_nFirstRow == other.m_nFirstRow && m_nLastRow == other.m_nLastRow;
  }
  bool operator!=(const CRowsRange& other) const { return !(*this == other); }
};

// The row ranges of every sheet of a workbook, each sheet's ranges in the order added.
// Results: 0 success, -1 failure (absent sheet, index out of range) unless stated otherwise.
class DDT_API CWBRowsRangeList {
 public:
  CWBRowsRangeList() = default;
  virtual ~CWBRowsRangeList();

  // Forgets every sheet and its ranges.
  void ClearWBRowsRangeList();
  // Adds the sheet with no ranges; -1 if it is already present (its ranges are kept).
  int AddSheetEntry(std::string sheet);
  // Appends a copy of the range; returns its index (0 for the first), -1 for an absent sheet.
  int AddRowsRangeEntry(std::string sheet, const CRowsRange& range);
  // Number of ranges of the sheet; count untouched on failure.
  int GetRowsRangeCount(std::string sheet, int& count) const;
  // Number of rows over all ranges of the sheet (0 for none); count untouched on failure.
  int GetRowsCount(std::string sheet, int& count) const;
  // Copies the range at index; -1 for an absent sheet or an index not below the count.
  int GetRowsRangeEntry(std::string sheet, int index, CRowsRange& range) const;
  // Overwrites the range at index; -1 for an absent sheet or an index not below the count.
  int SetRowsRangeEntry(std::string sheet, int index, const CRowsRange& range);
  // Empty name: true when no sheet has any range. A name: true when that sheet has no range
  // or is absent.
  bool IsEmptyRowsList(std::string sheet) const;

 private:
  std::unordered_map<std::string, std::vector<CRowsRange>> m_Sheets;
};

// The last row worked on, per sheet name.
class DDT_API CLastSelectedRow {
 public:
  CLastSelectedRow() = default;
  virtual ~CLastSelectedRow();

  // Adds an entry; -1 if the sheet already has one (its row is not changed).
  int AddLastSelectedRowEntry(std::string sheet, long row);
  // Replaces the row of an existing entry; -1 if the sheet has none (nothing is added).
  int SetLastSelectedRowEntry(std::string sheet, long row);
  // The sheet's row; -1 if it has no entry (row untouched).
  int GetLastSelectedRow(std::string sheet, long& row) const;
  // Removes every entry.
  void ClearLastSelectedRow();

 private:
  std::unordered_map<std::string, int> m_Rows;
};
