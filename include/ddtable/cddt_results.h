// CDDTResults: the results workbook that a data-driven run fills while it runs.
//
// It starts as an empty copy of the input workbook's structure (same sheets, parameter
// columns and column styles, see PrepareResults) and receives, iteration by iteration, the
// input rows the run executes. A row keeps its number: input row r of a sheet is copied
// into results row r of the sheet of the same name, so rows not run stay empty. With each
// copied row the run context goes into row r of the global sheet ("Iter" = r, "VID",
// "Host", "Group") and the custom values (row 1 of the input's "Custom" sheet) into row r of
// the results' custom sheet, where those columns exist.
//
// For every sheet the workbook keeps its current row: the row most recently copied into it
// (0: none yet). Only PrepareResults, RefreshSheet and ResetLoop create a sheet's entry;
// copying into a sheet without one copies without recording the row.
//
// The loop sheet of a table name is the scope (the business-process sheet chosen with
// SetScope) when the name is empty, and scope + "." + table name (a child table) otherwise.
//
// Members that take a CDDTInput read from that workbook (the run's input; it must not be
// this workbook) and write into this one; the pointer is not kept. The input's data lock is
// held around each read of its row values. Host thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>
#include <array>

#include "ddtable/cddt_input.h"
#include "ddtable/export.h"
#include "ddtable/row_range.h"
#include "ddtable/substitute_callback.h"

class CParamName;
namespace ddt::results {
class RunJournal;
}

class DDT_API CDDTResults : public CDDTInput {
 public:
  // An empty results workbook (one blank sheet "Sheet1") for the run context given: the
  // virtual-user id, group and host are written beside every copied row. Change events of
  // the engine never refresh its header lists (the workbook's columns change only through
  // this class).
  CDDTResults(ddt::platform::Window* parent, DT_TYPE type, std::string virtualUserId,
              std::string groupName, std::string hostName);
  // Folds a run journal into the file first (see Save).
  ~CDDTResults() override;

  // --- Files ----------------------------------------------------------------------------
  // With the save-after-every-row setting on (headless binding), each copied row and each
  // verified output goes into a journal beside the file (results/journal.h) instead of a
  // rewrite of the whole workbook. Open brings in the rows of a journal left over beside the
  // file (a run that was killed) and folds them into the file; a successful Save writes
  // everything, so the journal of the file written is removed.
  int Open(const std::string& fileName) override;
  int Save(const std::string& fileName, int setName) override;

  // --- Structure ------------------------------------------------------------------------
  // Empties the workbook (Open with no name), gives it the input's structure, saves it under
  // its file name when it has one, and forgets every current row.
  void Reset(CDDTInput* input);
  // Copies the input's sheets, parameter columns (named by GetSuggestion below) and column
  // looks into this workbook. With the interactive binding only the sheets that have run
  // rows, never "Global", and each such sheet's current row becomes 0; a renamed column is
  // reported in a message box. A parameter that the sheet already has is added again under
  // a numbered name. 0, or -1 when a sheet cannot be created.
  int PrepareResults(CDDTInput* input);
  // Makes the business process the scope, then RefreshSheet of its sheet.
  int SetScope(CDDTInput* input, const std::string& bpName);
  // The sheet a table name stands for: the scope for "", else scope + "." + tableName.
  std::string LoopSheet(const std::string& tableName) const;

  // --- Iteration loops ------------------------------------------------------------------
  // Chooses the next row of the sheet and copies it. Mode: low byte 0 the next run row,
  // 1 the run rows at positions first to first + count - 1, 2 a random run row (seeded with
  // the tick count), 3 a random run row repeatable by first (seeded with first when nothing
  // was copied yet), other values the current row again; bit 0x100 starts again from the
  // beginning when the method finds no row. Only run rows of the sheet are ever copied.
  // 0 copied; -1 nothing to copy (no run rows, no current row recorded, no such sheet);
  // -2 end of rows.
  int CopyNextRow(CDDTInput* input, const std::string& sheetName, int mode, int first,
                  int count);
  // CopyNextRow of the scope.
  int CopyNextRunRow(CDDTInput* input, int mode, int first, int count);
  // Copies the next run row of the loop sheet. 0 while the loop goes on; -1 at its end:
  // nothing copied, the row copied lies beyond the sheet's first run range, or it is a
  // terminator row (column 1 beginning with ".End", any case; with the interactive binding
  // the results row is then styled DT_STYLE 6), or the loop sheet has no current row entry
  // (its loop could never advance).
  int AdvanceLoop(CDDTInput* input, const std::string& tableName);
  // Starts the loop sheet's block for the scope's current iteration n: after the input row
  // whose column 1 reads the terminator mark, one separator character and n - 1 (from the
  // first run row for n = 1), then AdvanceLoop. -1 without copying when the scope has no
  // current row, or no such terminator row exists.
  int ResetLoop(CDDTInput* input, const std::string& tableName);
  // The sheet's current row (empty name: the scope's); 0 when none is recorded.
  int GetCurrRunRow(std::string sheetName);
  // The results workbook's name rule: surrounding blanks removed, a leading "+", "-" or "="
  // and every "," made "_", then numbered 1 to 999 until unique in the sheet's header.
  // paramName receives the name; "" when nothing is left or every number is taken.
  std::string GetSuggestion(std::string& paramName, const std::string& sheetName) override;

  // --- Parameter access and substitution --------------------------------------------------
  // Number of parameters of the loop sheet; 0 without a header list.
  int GetParamCount(const std::string& tableName);
  // Header text of column index of the loop sheet (its letters when it has none); "" for an
  // index below 1 or an unknown sheet.
  std::string GetParamName(long index, const std::string& tableName);
  // The displayed value of the parameter (a plain name) in the loop sheet's current row;
  // "" for an unknown sheet or parameter, or a sheet without current row.
  std::string GetValue(const std::string& paramName, const std::string& tableName);
  // out = source with each parameter reference "<[alias@@][sheet::]name>" replaced by the
  // parameter's displayed value in the current iteration: the sheet part names a child
  // table of the scope ("Custom": the custom sheet; with an alias: a sheet of that external
  // workbook, read at the scope's current row). A known alias switches the workbook for
  // this and every later reference of the call. References to unknown parameters stay as
  // they are. With a callback, each substituted value is replaced by its conversion (two
  // calls per reference: size, then text). Always 0.
  int SubstituteParameters(const std::string& source, std::string& out,
                           DDT_SUBSTITUTE_CALLBACK callback, void* context);
  // Recalculates once per reference found in text. 0.
  int RefreshParameters(CDDTInput* input, const std::string& text);

  // --- Output verification ----------------------------------------------------------------
  // Writes value (trimmed) into the output parameter (a reference beginning with "<"; may
  // be empty or null: nothing is written) at the current iteration; when verify is set,
  // checks it against expected: the value of an expected parameter (a reference; a formula
  // showing TRUE, FALSE or #N/A decides by itself) or a pattern (fnmatch rules, multibyte
  // characters count as one). Marks: DT_STYLE 5 for a match, 4 for a mismatch, each on its
  // own cell; an expected cell marked 4 keeps that mark. -1 for an output that is not a
  // reference or could not be written (no sheet, column or current row); 0 no check asked;
  // 1 match; 2 mismatch (also when the expected parameter has no current row to read).
  int SetAndVerifyOutput(const char* outputName, const char* value, const char* expected,
                         bool verify);

  std::string m_strScope;      // current business-process sheet; empty until SetScope
  std::string m_strVID;        // virtual-user id, column "VID"
  std::string m_strHost;       // host name, column "Host"
  std::string m_strGroup;      // group name, column "Group"
  CLastSelectedRow m_CurrRows; // current row per sheet name

 protected:
  // Makes sure the results sheet matches the input sheet (interactive binding: a missing
  // sheet or differing header brings the input's missing sheets and columns in) and that
  // the sheet has a current-row entry. 0, or -1 (no input header for the sheet).
  int RefreshSheet(CDDTInput* input, const std::string& sheetName);
  // The reference that follows `reference` in source (see ddt::results::NextReference):
  // 1 with the reference, brackets included; 0 with reference emptied.
  int NextParameter(const std::string& source, std::string& reference);
  // Recalculates this workbook. 0; the arguments are not used.
  int RefreshParameter(CDDTInput* input, const std::string& paramName);

 private:
  // A parameter reference resolved for reading or writing in the current iteration.
  struct Resolved {
    CDT* book = nullptr;    // the workbook holding the parameter
    std::string fullSheet;  // its sheet there
    std::string name;       // its name
    long row = 0;           // this workbook's current row of the reference's row sheet
  };
  // Resolves a parsed reference; `book` is the workbook of the call so far and becomes the
  // external workbook of a known alias.
  Resolved Resolve(const CParamName& reference, CDT*& book);
  // The sheet's current row; 0 without an entry.
  long CurrentRow(const std::string& sheetName) const;
  // Sets the sheet's current row, adding the entry when it is missing.
  void SetOrAddCurrentRow(const std::string& sheetName, long row);
  int PrepareFrom(CDDTInput* input, bool missingOnly);
  int CopyRow(CDDTInput* input, const std::string& sheetName, long row, long position);
  void CopyValues(CDDTInput* input, long inputSheet, long sheet, long row,
                  const CStringList& header);
  void WriteRunContext(long row);
  void WriteCustomValues(CDDTInput* input, long row);

  // Journals rows (sheet index, row) or single cells (sheet index, row, column; column 0:
  // the row's parameter columns) of this workbook; starts the journal, after one full save,
  // when there is none yet. Nothing without the setting or a file name.
  void JournalCells(const std::vector<std::array<long, 3>>& cells);
  void JournalVerified(const Resolved* output, const Resolved* expected);
  void Recover(const std::string& fileName);
  std::unique_ptr<ddt::results::RunJournal> m_pJournal;

  // Position among the run rows of each sheet's current row, kept beside the current rows
  // so that overlapping run ranges are walked once (see results/row_choice.h).
  std::unordered_map<std::string, long> m_RunPositions;
};
