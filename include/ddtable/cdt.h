// CDT: a data table, one workbook of parameter sheets held in a spreadsheet engine.
//
// In every sheet each column is a parameter: its header text is the parameter's name and
// row n below it is iteration n (cell row 1 is the first data row; the header texts are kept
// apart from the cells, see ddtable/dt_if.h). A data table is itself a child window; it owns
// its engine (CDT_F1 for DT_TYPE 0, CDT_QX for DT_TYPE 1) and the host window it creates
// when the caller gives none. The test input workbook (CDDTInput) and the results workbook
// (CDDTResults) derive from it and replace some of its virtual members; CDT calls its own
// virtual members virtually, so those replacements take effect inside CDT too.
//
// Counting: sheets, rows and columns from 1; sheet index 0 is the current sheet (for the
// members that fill or show a row-range list, every sheet). Results: 0 success, -1 failure
// unless a member says otherwise; a column lookup that finds nothing gives -1, a sheet lookup
// 0, a string member an empty string. Parameter names are found with GetColIndex: exact,
// case-sensitive, first match. An index the grid would refuse (a row, column or sheet out of
// range) makes the member fail with its failure result and changes no cell. No exception
// leaves a member (other than the constructor): a failing member returns its failure result
// and leaves its reason in the thread's last error (ddt::LastError(), ddtable.h). Every
// member that acts on the workbook clears that text when it begins, so it is empty after
// such a member succeeded, unless the member noted what it left undone. Members that only
// answer (the Get... members, ParamExists, HeaderValidityCheck, FileRead, and LockData,
// UnlockData, SetFileName) leave it as it is, so the reason of a failure can still be read
// after asking them.
//
// Threads: every member runs on the caller's thread and takes no lock; callers that need a
// consistent view across threads bracket their calls with LockData/UnlockData.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ddtable/critical_section.h"
#include "ddtable/dt_if.h"
#include "ddtable/dt_notify.h"
#include "ddtable/export.h"
#include "ddtable/row_range.h"
#include "ddtable/window.h"

class DDT_API CDT : public ddt::platform::Window {
 public:
  // The engine binding, chosen at construction.
  enum DT_TYPE {
    DT_TYPE_F1 = 0,  // interactive binding (editor); own host: modeless dialog, template 418
    DT_TYPE_QX = 1,  // headless binding (script functions); own host: hidden frame "Frame"
  };

  // Visual style of a parameter column or cell (pattern, colours 0x00BBGGRR). A value other
  // than 1 to 8 acts as DT_STYLE_PLAIN.
  enum DT_STYLE {
    DT_STYLE_PLAIN = 0,          // no fill
    DT_STYLE_BLUE_TEXT = 1,      // no fill, font and background 0xFF0000
    DT_STYLE_GREY_TEXT = 2,      // no fill, font and background 0x808080
    DT_STYLE_YELLOW = 3,         // solid 0x00FFFF
    DT_STYLE_LIGHT_RED = 4,      // solid 0x8080FF
    DT_STYLE_GREEN = 5,          // solid 0x00FF00
    DT_STYLE_WHITE_ON_BLUE = 6,  // pattern 3, 0xFFFFFF on 0xFF0000
    DT_STYLE_LIGHT_GREY = 7,     // solid 0xE0E0E0
    DT_STYLE_NONE = 8,           // leave the style as it is
  };

  // Creates the host window when parent is null (DT_TYPE 0: a modeless dialog from template
  // 418 with the system-menu bit, or a hidden frame when the host has not registered that
  // template; DT_TYPE 1: a hidden frame), this table's window as child 1 of the host, the
  // engine, and opens fileName (empty: one blank sheet "Sheet1"; a file that cannot be
  // opened is not reported here, the name stays stored). Throws std::invalid_argument for a
  // type other than 0 and 1. The parent, when given, must outlive the table.
  CDT(ddt::platform::Window* parent, DT_TYPE type, const std::string& fileName);
  // Deletes the engine, then the own host window if any.
  ~CDT() override;
  CDT(const CDT&) = delete;
  CDT& operator=(const CDT&) = delete;

  // --- Notification (one sink at a time; the table does not own it) ---------------------
  // 0 and nothing changes while a sink is registered; otherwise stores the sink (null is
  // accepted and then counts as no sink), hands it to the engine and returns 1.
  virtual int RegisterNotify(CDTNotify* pNotify);
  // -1 without a sink; otherwise forgets the sink, withdraws it from the engine and returns 0.
  virtual int UnRegisterNotify(int nUnused = 0);

  // --- File -------------------------------------------------------------------------------
  // Non-empty name: stores it, then reads the file (-1 if that fails, with the reason as the
  // last error; the name stays). Empty name: the workbook becomes one blank sheet "Sheet1".
  // Clears the changed state.
  virtual int Open(const std::string& fileName);
  // Writes the workbook to fileName (empty: the stored name; a non-zero setName also stores
  // a non-empty fileName). 0 means the file now holds this workbook: an unchanged workbook
  // is not written again when its file is still the one it read or wrote, and is written
  // when that file is missing. -1, with the reason as the last error, when there is no
  // target name, the write fails, or the save would destroy someone else's work: the file
  // is held open by another spreadsheet program (its lock file ".~lock.NAME#" beside it),
  // changed on disk (or appeared) since this workbook read or last wrote it, or could not
  // be read when this workbook opened it. A refused save leaves the workbook changed, so it
  // can be saved under another name. The registered sink is taken out during the write and
  // put back after.
  virtual int Save(const std::string& fileName, int setName);
  virtual std::string GetFileName();
  // Moves and sizes this window (Z order kept) and fits the engine's window into it.
  virtual void Resize(int x, int y, int width, int height);

  // --- Sheets -----------------------------------------------------------------------------
  // Names of all sheets in order (a name of the single byte 0xFF reads as empty). The list
  // belongs to the table and is refilled by the next call.
  virtual const CStringList& GetSheetList();
  // Inserts one blank sheet before position (0 or less: appends); then a blank placeholder
  // sheet "Sheet1" (sheet 2 when position was 1, else sheet 1) is removed. -1 for a position
  // beyond one past the last sheet or when the workbook holds the most sheets it may
  // (ddt::grid::kMaxSheets).
  virtual int InsertSheets(int position, int count);
  // -1 for an unknown name, else DeleteSheets(index, 1).
  virtual int DeleteSheet(const std::string& sheetName);
  // Deletes count sheets from first. -1 for first below 1, count below 0, or a range beyond
  // the last sheet; a count of 0 deletes nothing and gives 0. Deleting every sheet leaves
  // one blank sheet "Sheet1".
  virtual int DeleteSheets(int first, int count);
  virtual long GetNumSheets();
  // Index of the first sheet named exactly sheetName; 0 when none.
  virtual long GetSheetIndex(const std::string& sheetName);
  // Name of the sheet (0: current sheet); empty for an index out of range.
  virtual std::string GetSheetName(long sheet);
  // Renames the sheet oldName (empty: current sheet). -1 for an unknown old name, when a
  // sheet named newName exists, or for a name a workbook file cannot hold (control
  // characters, more than 32767 characters).
  virtual int SetSheetName(const std::string& oldName, const std::string& newName);
  // Makes the named sheet current; -1 for an unknown name.
  virtual int SetSheet(const std::string& sheetName);

  // --- Row selection (whole rows) ---------------------------------------------------------
  // Shows the list's ranges as whole-row selections of each sheet (sheet 0: every sheet,
  // the current sheet is restored; else that sheet, which stays current). Ranges whose first
  // row is below 1 are skipped. -1 for a sheet index out of range.
  virtual int SelectRows(const CWBRowsRangeList& rowsList, long sheet);
  // Replaces the selection by whole rows firstRow..lastRow (both -1: the whole sheet) of the
  // sheet (0: current; another index is made current first).
  virtual int SelectRows(long firstRow, long lastRow, long sheet);
  // Adds whole rows to a whole-row selection, else replaces the selection by them.
  virtual int AddSelectRows(long firstRow, long lastRow, long sheet);
  // Shrinks the selection of the sheet to cell (1, 1) and repaints.
  virtual int UnSelectRows(long sheet);
  // Selects the parameter's whole column in the sheet (0: current; another index is made
  // current), makes its row 1 active and, when show is set, scrolls to it. -1 for an empty
  // or unknown name.
  virtual int SelectParam(const std::string& paramName, long sheet, int show);
  // Fills the list with the whole-row selections of the sheet (0: every sheet); adjacent
  // ranges merge, partial-row selections are left out. The current sheet is restored.
  virtual int GetSelectedRows(CWBRowsRangeList& rowsList, long sheet);
  // Fills the list with (1, last data row) of each sheet, or no range for a sheet without
  // data. The current sheet is restored.
  virtual int GetAllRows(CWBRowsRangeList& rowsList, long sheet);

  // --- Parameters and values --------------------------------------------------------------
  // Removes row `row` of the current sheet (rows below move up); -1 for a row below 1.
  virtual int DelRow(long row);
  // Removes the parameter's column from the current sheet; -1 for an empty or unknown name.
  virtual int DeleteParam(const std::string& paramName);
  // Adds a parameter column to the named sheet (unknown name: the current sheet) before the
  // column beforeName (empty or unknown: after the last column). paramName is replaced in
  // place by the legal, unique name used (GetSuggestion). Applies the style (unless
  // DT_STYLE_NONE), writes value into row 1 and, when show is set, scrolls to the column.
  // -1, with a message box, when the sheet already has 255 parameter columns; -1 when no
  // legal, unique name can be made of paramName (nothing is added then).
  virtual int AddParam(const std::string& sheetName, std::string& paramName,
                       const std::string& value, DT_STYLE style, const std::string& beforeName,
                       int show);
  // Clipboard of exactly one selected range: 1 when done, 0 (nothing done) otherwise.
  virtual int EditCopy();
  virtual int EditPaste();
  // Makes (row, parameter's column) the active cell of the sheet (0: current; another index
  // is made current first). 0 when done; -1 for an unknown name or a bad row or sheet.
  virtual int SetActiveCell(long row, const std::string& paramName, long sheet);
  // Number format of the parameter's cell; empty when the cell cannot be reached.
  virtual std::string GetNumberFormat(long row, const std::string& paramName, long sheet);
  // Sets the number format of the parameter's cell (that cell only); -1 when the cell
  // cannot be reached.
  virtual int SetNumberFormat(long row, const std::string& paramName, const std::string& format,
                              long sheet);
  // Hides or shows the parameter's column of the current sheet; nothing for an unknown name.
  virtual void SetColHidden(const std::string& paramName, bool hidden);
  // Styles the parameter's column (row 0), its cell at row, or with an empty name the whole
  // row. 0 without change on a DT_TYPE 1 table and for DT_STYLE_NONE; -1 for an unknown
  // name, an empty name with row 0, or a bad row.
  virtual int SetStyle(DT_STYLE style, const std::string& paramName, long row);
  // Style of the parameter's column (row 0: its first cell) or cell; DT_STYLE_PLAIN for an
  // unknown name.
  virtual DT_STYLE GetStyle(const std::string& paramName, long row);
  // The style a fill pattern, foreground colour and font colour stand for.
  virtual DT_STYLE ConvertToStyle(short pattern, uint32_t foreground, uint32_t fontColor);
  // Column of the parameter in the sheet (0: current): the first header text equal to the
  // name; -1 when none.
  virtual long GetColIndex(const std::string& paramName, long sheet);
  // 1 when GetColIndex finds the parameter, else 0.
  virtual int ParamExists(const std::string& paramName, long sheet);
  // The cell's entry without number formatting (formulas with "="); empty for an unknown
  // parameter or a bad row. A text cell that carries the apostrophe mark (typed with one, or
  // read from a file with the quote prefix) reads with it where the bare text would read as
  // another value ("'0123"), so that entering the text again gives the same cell; a text
  // cell without the mark reads bare.
  virtual std::string GetRawValue(long row, const std::string& paramName, long sheet);
  // The cell's value as displayed. The sheet-name form reads the current sheet when no sheet
  // has the name.
  virtual std::string GetParamValue(long row, const std::string& paramName,
                                    const std::string& sheetName);
  virtual std::string GetParamValue(long row, const std::string& paramName, long sheet);
  // Writes value, trimmed, into the parameter's cell as a user would type it; a text that
  // would lose a leading zero ("007", "0.50") is kept as text. recalc: recalculate what
  // changed. -1 for an unknown sheet name or parameter, a row below 1, or a value the
  // spreadsheet refuses.
  virtual int SetParamValue(long row, const std::string& paramName, const std::string& value,
                            const std::string& sheetName, int recalc);
  virtual int SetParamValue(long row, const std::string& paramName, const std::string& value,
                            long sheet, int recalc);

  // --- Header row -------------------------------------------------------------------------
  // The sheet's header texts, entry i-1 for column i; owned by the engine and valid until
  // the sheet's columns or the number of sheets change. Null for an unknown sheet.
  virtual CStringList* GetHeaderList(const std::string& sheetName);
  // 0 when the sheet's header equals the expected list; else the 1-based position of the
  // first difference (a position where one list has ended counts). -1 for an unknown sheet
  // or a null list.
  virtual int HeaderValidityCheck(const CStringList* expected, const std::string& sheetName);
  // Header text of the column (its letters when it has none); empty for an unknown sheet.
  virtual std::string GetHeader(const std::string& sheetName, long col);
  // Column letters of the parameter in the current sheet; empty for an unknown name.
  virtual std::string GetParamLetters(const std::string& paramName);
  // Makes paramName legal and unique among the sheet's header texts in place (suffixes 1 to
  // 999) and returns it; empty when the name is empty once legal or every suffix is taken.
  virtual std::string GetSuggestion(std::string& paramName, const std::string& sheetName);

  // --- Data lock (re-entrant on the holding thread, blocking for others) ------------------
  virtual void LockData();
  // Requires that the calling thread holds the lock.
  virtual void UnlockData();

  // --- Non-virtual members ----------------------------------------------------------------
  void SetFileName(const std::string& fileName);
  // True when the last Open read its file; false for a file that could not be read (the
  // workbook is then empty; ddt::LastError() says why) and for a workbook opened empty.
  bool FileRead() const;
  // What the last successful Save could not keep in the file (parts a structural edit made
  // wrong, a macro project saved under a name that cannot hold one), one sentence each;
  // empty when it kept everything or nothing was saved yet. The file was written all the
  // same: a caller shows these as warnings.
  std::vector<std::string> GetSaveNotes() const;
  // Appends a sheet named sheetName. -1 if it exists; -2 if it could not be made or given
  // the name (an empty name, a name a file cannot hold, the sheet limit: nothing is added).
  int NewSheet(const std::string& sheetName);
  // Copies the whole sheet to the clipboard; -1 for an unknown sheet.
  int CopySheet(const std::string& sheetName);
  // Makes a new sheet and pastes the clipboard into it; -1 when the sheet cannot be made
  // (it exists, or cannot be named).
  int PasteSheet(const std::string& sheetName);
  // Copies source rows sr1..sr2 (both -1: every row) of columns 1 to the source sheet's last
  // used column of `source`'s sheet into rows tr1..tr2 of a new sheet targetSheet (empty:
  // the source sheet's name) of this table, with the header texts of those columns. The
  // column bounds are not used. -1 when the target sheet exists or cannot be made, the
  // source sheet is unknown, or a row bound is out of range (checked before anything is
  // made).
  int CopyRange(CDT* source, const std::string& sourceSheet, const std::string& targetSheet,
                long tr1, long tc1, long tr2, long tc2, long sr1, long sc1, long sr2, long sc2);
  // Makes name legal in place (see ddt::table::MakeLegalName) and returns it.
  static std::string GetSuggestionNotUnique(std::string& name);

  // --- Fields -------------------------------------------------------------------------------
  CDT_IF* m_pEngine = nullptr;                   // owned
  DT_TYPE m_nType;
  ddt::platform::Window* m_pHostWnd = nullptr;   // owned only when equal to m_pOwnHostWnd
  std::string m_strFileName;
  CDTNotify* m_pNotify = nullptr;                // not owned
  CStringList m_SheetList;                       // filled by GetSheetList
  ddt::platform::Window* m_pOwnHostWnd = nullptr;  // owned
  ddt::platform::CriticalSection m_DataLock;

 protected:
  // Sheets a row-list member works on: sheet 0 gives 1..GetNumSheets(), another index just
  // itself; current is the engine's current sheet. -1 for an index out of range.
  long GetRequestedSheets(long sheet, long& first, long& last, long& current);
  // Makes each sheet GetRequestedSheets names current in turn and calls visit with its name
  // (a sheet without a name is passed over); then makes the sheet that was current before
  // current again when restore is true. -1 for an index out of range.
  long ForEachRequestedSheet(long sheet, bool restore,
                             const std::function<void(const std::string& name)>& visit);

 private:
  // Makes sheet current unless it is 0 or already current; false for an index out of range.
  bool SwitchToSheet(long sheet);
  // Has the engine read the current sheet's header texts again. The headless engine hears of
  // no changes, so after a change of columns that no header text accompanies (a deleted
  // column, pasted or copied cells) its header list would be stale.
  void RefreshHeader();
};
