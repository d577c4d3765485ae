// CDDTInput: the data table that holds a test's input data.
//
// Its sheets have roles given by their names: the global sheet "Global" (data shared by the
// whole test, created by AddGlobals while the global-usage setting is on), the custom sheet
// "Custom" (custom parameters, one column each, rows 1 to 4 = value, prompt, server,
// mandatory), one business-process sheet per business process (any other name without
// "."), and child tables named business process + "." + table, whose rows are cut into
// blocks by terminator rows (column 1 beginning with ".End", any letter case).
//
// Before a run the workbook captures its run rows (which rows of which sheet run, in which
// order) and numbers the terminator rows of the child tables; the results workbook
// (CDDTResults, which derives from this class) asks for them while it copies rows.
//
// Results are 0 for success and -1 for failure unless a member says otherwise. Sheet names
// compare exactly (byte-wise, case-sensitive) unless a member says otherwise. Members run on
// the caller's thread and take no lock; the data lock (CDT::LockData) is the caller's.
#pragma once

#include <string>

#include "ddtable/export.h"
#include "ddtable/cdt.h"

class CPrm;
class CDDTResults;

class DDT_API CDDTInput : public CDT {
  // The manager calls SetGlobalUsage, DeleteBP and RenameBP; a results workbook reads the
  // run rows of the input workbook it copies from.
  friend class CPrm;
  friend class CDDTResults;

 public:
  // A workbook of one blank sheet "Sheet1" with an empty run-row list, global usage off and
  // no capture sheet. parent may be null: the data table then makes its own host window.
  CDDTInput(ddt::platform::Window* parent, DT_TYPE type);
  ~CDDTInput() override;

  // CDT::Open, then the global sheet when the global-usage setting is on and the open did
  // not fail, then, for the interactive binding while the settings switch "TOOLKIT_CHANGES"
  // (section "SLM" of "velmora.ini") is on, the custom sheet: inserted as sheet 1 when it is
  // missing, and its four row headings set. Returns what CDT::Open returned.
  int Open(const std::string& fileName) override;

  // Shows the host window in its normal state and makes it the active window.
  void OpenView();
  // The process's current parameter manager (set by every CPrm constructor); null when no
  // manager was ever constructed. Not owned.
  CPrm* GetPrmManager();

  // SyncSheetSelection(source, copy, nullptr).
  int Sync(CDDTInput* source, int copy);
  // Brings the source's sheets into this workbook: those named in sheets (every sheet when
  // null). copy != 0: each sheet is copied whole as a new sheet (a sheet of that name that
  // exists already is left alone). copy == 0: each sheet is created when missing and gets
  // the source's parameter columns it lacks, with the source column's style and number
  // format but no values; columns that exist are left as they are. A name that is not legal
  // here is changed, and with the interactive binding a message shows both names. 1 on
  // success; 0 when a sheet cannot be created (sheets handled before keep their changes) or
  // the source is null. The source must not be this workbook.
  int SyncSheetSelection(CDDTInput* source, int copy, const CStringList* sheets);

  // --- Run rows ---------------------------------------------------------------------------
  // Fills the run-row list and prepares the child tables of the business processes taking
  // part (bpNames: those named, null: every one). With the interactive binding and a
  // whole-row selection in the current sheet (which takes part), the selected rows run in
  // every sheet without "." that takes part (and in the global and custom sheets), and the
  // result is the number of selected rows. Otherwise every row runs: without a list each
  // sheet without "." gets all its rows (rows 1 to 16384 when it has none) and the result
  // is 0; with a list every listed business process, the global and the custom sheet get
  // rows 1 to the iteration count, which is the result. Remembers the current sheet for
  // OnEndExecution.
  int CaptureRowsList(const CStringList* bpNames);
  // The number of selected whole rows of the current sheet when it has a selection (and
  // takes part), else the counting rule: the rows of the shortest non-empty business-process
  // sheet taking part (global, custom and child tables never count), 1 when all are empty.
  // 0 when the rows cannot be listed.
  int GetIterationCount(const CStringList* bpNames);
  // The counting rule alone, without looking at the selection; never 0.
  int GetQXIterationCount(const CStringList* bpNames);
  // The last data row of the sheet (empty name: the current sheet); the current sheet is
  // kept. -1 when no sheet has the name.
  int GetMaxIterations(std::string sheetName);
  // Inserts whole rows at the selection of the current sheet and makes each a terminator
  // row (bare mark ".End" in column 1, DT_STYLE 6). 0; -1 with nothing inserted when there
  // is no selection or it spans every row of the sheet.
  int InsertTerminatorRow();
  // Makes the sheet that was current at the last capture current again. 0.
  int OnEndExecution();

  // --- Custom parameters ------------------------------------------------------------------
  // Reads the custom-parameter file that path stands for (path ending in "usr": the same
  // name ending in "prm"; a path of four characters or fewer is read as it is) and writes
  // each parameter into rows 1 to 4 of its column of the custom sheet. With the interactive
  // binding a missing column is appended (DT_STYLE 1); with the headless binding only
  // existing columns are written. Nothing is written without a custom sheet. path is given
  // back as it was passed. Always 0.
  int LoadCustomParameters(std::string& path);

  // --- Appending tables and columns -------------------------------------------------------
  // Inserts a new child table of the business process after its sheet and the existing
  // tables of that name. table is made legal first; when bp.table exists, the digits 1, 2,
  // ... are added to the first free name. table receives the name used (such as Orders2).
  void AppendTableByName(const std::string& bpName, std::string& tableName);
  // Adds a parameter column to the sheet, placed by its style: style 1 after the other
  // style-1 columns, style 2 right after its expected-value column (X_exp for X or X_out)
  // or else before the first style-3 column, style 3 right before its output column; others
  // last. The value goes into row 1. paramName receives the name used, enclosed in "<" and
  // ">" (also when the sheet does not exist and nothing is added).
  void AppendColumnByName(const std::string& sheetName, std::string& paramName,
                          const std::string& value, DT_STYLE style);
  // Adds a column to the child table bp.table with values[i] in row i + 1 and closes the
  // block: the terminator mark goes into column 1 of the first row after the values that is
  // empty in every column, unless a terminator row comes first (the block is closed then).
  // paramName receives the enclosed name used. 0; -1 when the child table does not exist
  // or the column could not be added.
  int AppendColumnByName(const std::string& bpName, const std::string& tableName,
                         std::string& paramName, const CStringList& values, DT_STYLE style);
  // Removes "[]" from every formula that has it; lists the sheets that such formulas refer
  // to but the workbook lacks (each once, in the order met) in a message box. True; false
  // when the engine failed otherwise than by refusing a formula (reason in the last error).
  bool CorrectReferenceCells();
  // Deletes every "[]" from text (also pairs that only meet after a deletion). 1 when
  // anything was deleted, else 0.
  int RemoveBrackets(std::string& text);

 protected:
  // Stores the global-usage setting; a non-zero value adds the global sheet at once.
  void SetGlobalUsage(int usage);
  // Creates the global sheet "Global" as sheet 1 with the columns Iter, VID, Host and Group
  // (values 1, 1, Local, None in row 1) when no sheet has that exact name.
  void AddGlobals();
  // First or next child table of a business process. For a business-process name: its first
  // child table in sheet order. For a child-table name: the next child table of the same
  // business process (0 after the last), or the first when no sheet has the name. 1 and
  // name replaced, or 0 and name unchanged.
  int GetChild(std::string& name);
  // Deletes the business-process sheet and all its child tables; the result of the last
  // deletion (-1 when there was nothing to delete).
  int DeleteBP(const std::string& name);
  // Renames the business-process sheet old to new and every child table old.T to new.T.
  // When the business-process sheet cannot take the new name nothing is renamed; a child
  // table whose new name is taken keeps its name and the others go on. 0 when every sheet
  // was renamed, -1 when a rename was refused.
  int RenameBP(const std::string& oldName, const std::string& newName);

  // Numbers the terminator rows of the child table up to the count-th (".End 1", ".End 2",
  // ...), closes the table with a terminator row when its last examined row is not one,
  // and sets the table's run rows to all its rows. The table stays current. A name without
  // "." is left alone. 0; -1 when the sheet is missing, or when the closing terminator
  // would have to replace data (the data reach the sheet's last row: the table is left
  // unclosed, its run rows still set).
  int PrepareTable(const std::string& name, long count);
  // Queries of the run-row list; an empty name or a sheet without ranges gives 0.
  long GetNumRunRows(const std::string& sheetName);
  // The k-th run row (from 1); 0 when there is none (also for k below 1).
  long GetRunRow(long k, const std::string& sheetName);
  // The run row after row (the first for row 0); 0 after the last or for a row in no range.
  long GetNextRunRow(long row, const std::string& sheetName);
  // The last row of the last range.
  long GetLastRunRow(const std::string& sheetName);

  int m_nGlobalUsage = 0;    // global-usage setting
  int m_nCaptureSheet = 0;   // sheet current at the last capture; 0 for none
  CWBRowsRangeList m_RunRows;  // run rows per sheet name, in run order

 private:
  // The sheet a formula refers to (see ddt::input::ReferencedSheetName).
  std::string FindReferencedSheetName(const std::string& formula);
  // AppendColumnByName with AddParam's result: 0 when the column was added.
  int AppendColumn(const std::string& sheetName, std::string& paramName,
                   const std::string& value, DT_STYLE style);
  // The counting rule over a row-range list filled by GetAllRows.
  int CountIterations(const CStringList* bpNames, const CWBRowsRangeList& rows);
  // Creates the custom sheet when missing and sets its row headings.
  void PrepareCustomSheet();
};
