/* ddtable script functions: the plain C interface a test-script interpreter drives a
 * data-driven run through.
 *
 * Handles are plain pointers to library objects that the caller passes back unchanged; they
 * are checked for null and nothing more. CDDTResults derives from CDDTInput, which derives
 * from CDT: a C caller passes a results or input handle where a CDT or CDDTInput handle is
 * asked for with a cast, e.g. (CDT*)input (the addresses are the same).
 *
 * Ownership:
 *   CPrm*           prm_init_data_manager .......... prm_release_data_manager
 *   CDDTInput*      open_workbook .................. close_input_workbook (exactly once)
 *   CDDTResults*    open_results ................... close_results (exactly once)
 *   CDDTResults*    prm_get_book, EXTERNAL_DATA* prm_open_external_workbook: the manager's
 *
 * Common rules:
 *   - Strings are zero-terminated UTF-8. A null string argument counts as "" unless a
 *     function says otherwise.
 *   - A null handle where a workbook is required gives -1 (null for pointer results) and
 *     nothing else happens.
 *   - Output buffers: the caller gives the size in bytes. At most size - 1 bytes are copied,
 *     the rest of the buffer up to size is set to 0, and no byte at or past size is ever
 *     written. A size below 1 is refused (-1) before any byte is written. A cut falls on a
 *     UTF-8 character boundary: no buffer ever ends in part of a character.
 *   - Limits: a workbook holds at most 4096 sheets, a sheet 1,048,575 data rows (row 1 of
 *     a file holds the parameter names) and 255
 *     parameter columns, a cell or parameter name 32767 characters; a sheet name holds no
 *     control characters. A call that would pass one fails with its failure result and
 *     writes nothing, so that every file the library writes reads back.
 *   - No C++ exception leaves any of these functions: a failure inside gives the function's
 *     failure result (-1, or null).
 *   - Every call runs on the caller's thread; the functions are not safe for concurrent use
 *     on the same handles.
 *   - Sheets, rows and columns count from 1; row 1 is the first data row below the
 *     parameter names.
 */
#ifndef DDTABLE_DDTABLE_H
#define DDTABLE_DDTABLE_H

#include <stdint.h>

#include "ddtable/export.h"
#include "ddtable/substitute_callback.h"
#include "ddtable/version.h"

#ifdef __cplusplus
#include <string>
#include <vector>
class CPrm;
class CDT;
class CDDTInput;
class CDDTResults;
struct EXTERNAL_DATA;
extern "C" {
#else
typedef struct CPrm CPrm;
typedef struct CDT CDT;
typedef struct CDDTInput CDDTInput;
typedef struct CDDTResults CDDTResults;
typedef struct EXTERNAL_DATA EXTERNAL_DATA;
#endif

/* DDT_SUBSTITUTE_CALLBACK, the host's conversion of a substituted value, is declared in
 * ddtable/substitute_callback.h. */

/* ---- Errors and files ------------------------------------------------------------------ */

/* Why the last call on this thread failed, or what it left undone although it returned its
 * result: UTF-8 text naming the file, sheet or parameter and the reason; "" when the last
 * call succeeded. The text stays valid until the next call of this library on the thread.
 *
 * Every function of this header sets it when it fails (with a null handle or buffer, too)
 * and clears it when it succeeds, except for these results that are returned all the same
 * with the text set:
 *   open_workbook, open_results: the file could not be read (the workbook is empty; a
 *       results file that does not exist yet is no error);
 *   prm_open_external_workbook: the file could not be read (the record's workbook is null)
 *       or does not exist (an empty workbook);
 *   set_bp: the input workbook has no such business process;
 *   get_param_value: no such parameter or sheet (the value reads as empty), or the value
 *       was cut (-1);
 *   prm_set_cell, prm_set_cell2, prm_get_cell, prm_get_cell2, prm_insert_row,
 *   prm_delete_row: no sheet of that name (the current sheet was used);
 *   prm_get_cell, prm_get_cell2, get_parameter_name, compare_table_sheets: a text cut to
 *       the buffer;
 *   get_parameter_count: no such sheet (0).
 * Results that are no failure (the end of a loop or of the run rows) may leave a text that
 * explains them. The members of the exported classes set it when they fail as well, and
 * clear it when they begin (see ddtable/cdt.h). */
DDT_API const char* ddt_last_error(void);

/* The kind of the failure ddt_last_error describes, so that a caller can choose what to do
 * (an exit code, an exception, a retry under another name) without reading the text or
 * looking at the file again. DDT_ERROR_NONE exactly when ddt_last_error is "". */
typedef enum ddt_error_kind {
  DDT_ERROR_NONE = 0,            /* the last call succeeded */
  DDT_ERROR_OTHER = 1,           /* none of the kinds below (out of memory, ...) */
  DDT_ERROR_MISSING = 2,         /* the file does not exist */
  DDT_ERROR_NOT_A_WORKBOOK = 3,  /* the file is not a workbook (text named .xlsx, a folder) */
  DDT_ERROR_DAMAGED = 4,         /* a damaged or truncated workbook file, or an empty one */
  DDT_ERROR_ENCRYPTED = 5,       /* a password-protected workbook, which is not read */
  DDT_ERROR_CHANGED_ON_DISK = 6, /* a save refused: the file changed (or appeared) since the
                                    workbook read or last wrote it */
  DDT_ERROR_LOCKED = 7,          /* a save refused: another program holds the file open */
  DDT_ERROR_NOT_WRITABLE = 8,    /* the file or its folder cannot be written */
  DDT_ERROR_OVER_LIMIT = 9,      /* a row, column, sheet count, text length or file size
                                    beyond the limits above */
  DDT_ERROR_BAD_ARGUMENT = 10    /* an argument the call refuses: a null handle or buffer, an
                                    unknown sheet, a row below 1, a bad formula */
} ddt_error_kind;

/* The kind of the last error of this thread; it is set and cleared together with
 * ddt_last_error, also for a result returned although part of the call was not done. */
DDT_API ddt_error_kind ddt_last_error_kind(void);

/* 1 when the workbook's file was read by its last open; 0 when the file could not be read
 * (missing, damaged, not a workbook: the workbook is empty, ddt_last_error says why) or the
 * workbook was opened without a file; -1 for a null handle. Takes any workbook handle, e.g.
 * (CDT*)input, so that a script can stop before a run of 0 iterations. */
DDT_API int ddt_workbook_file_read(const CDT* table);

/* ---- Data manager, workbooks and cells ------------------------------------------------- */

/* The current parameter manager, created first (headless binding) when there is none.
 * Calling it twice returns the same manager. Null only when it could not be created. */
DDT_API CPrm* prm_init_data_manager(void);
/* Deletes the current manager with its workbooks and external records; later calls see no
 * manager. Nothing happens without one. */
DDT_API void prm_release_data_manager(void);

/* Opens an input workbook (headless, no window). A file name containing "null.xls" anywhere
 * stands for "no data table": null, nothing opened. A file that cannot be read still gives
 * a workbook (empty). Null also for a null name. The caller owns the result. */
DDT_API CDDTInput* open_workbook(const char* fileName);
/* Deletes an input workbook from open_workbook. 0, or -1 for null. */
DDT_API int close_input_workbook(CDDTInput* input);

/* The external workbook the current manager holds under alias (exact, case-sensitive); null
 * without a manager or for an unknown alias. Owned by the manager. */
DDT_API CDDTResults* prm_get_book(const char* alias);
/* Opens fileName (relative to directory when that is not empty) as an external workbook
 * under alias, or finds the record of that file (case-insensitive file name; the first alias
 * stays). A missing file gives an empty workbook; a file that cannot be read a record with a
 * null workbook. Null without a manager. Owned by the manager. */
DDT_API EXTERNAL_DATA* prm_open_external_workbook(const char* alias, const char* fileName,
                                                  const char* directory);

/* Makes the business process bpName current in the input workbook and the scope of the
 * results workbook. The result of the results workbook's scope change (0 or -1); -1 for a
 * null handle. */
DDT_API int set_bp(CDDTInput* input, CDDTResults* results, const char* bpName);

/* Copies the displayed value of parameter name in the current run row of the scope (table:
 * a child table of it, "" or null for the business process itself) into buffer; *size is
 * the buffer size in bytes. 0 when the whole value fitted; -1 when it was cut. In both cases
 * *size receives the value's full length in bytes without the terminator, so a caller can
 * call again with *size + 1. -1 with nothing written for a null handle, a null size or
 * buffer, or *size below 1. */
DDT_API int get_param_value(CDDTResults* results, const char* name, char* buffer, int* size,
                            const char* table);

/* Reads the custom-parameter file that path stands for (a name ending in "usr" reads the
 * same name ending in "prm") into the custom sheet. 0; -1 for a null handle. path is not
 * changed. */
DDT_API int load_custom_parameters(CDDTInput* input, char* path);

/* Writes value as text (never converted to a number or formula) into the cell of parameter
 * name at row of the named sheet (unknown sheet: the current sheet). Row 0 or below appends
 * below the last used row of the current sheet. -1, nothing written, for an unknown
 * parameter name or a null handle; -1 when the cell cannot be written. */
DDT_API int prm_set_cell(CDT* table, const char* sheet, long row, const char* name,
                         const char* value);
/* As prm_set_cell with a column number (from 1); -1 for a column below 1. */
DDT_API int prm_set_cell2(CDT* table, const char* sheet, long row, long column,
                          const char* value);
/* Copies the cell of parameter name at row of the named sheet as displayed (number format
 * applied) into buffer (size bytes). 0; -1 with an empty buffer for an unknown parameter
 * name or a cell that cannot be read; -1 with nothing written for a null handle or buffer or
 * a size below 1. An empty cell gives 0 and "". */
DDT_API int prm_get_cell(CDT* table, const char* sheet, long row, const char* name,
                         char* buffer, int size);
/* As prm_get_cell with a column number (from 1); -1 for a column below 1. The table's data
 * lock is held while the cell is read. */
DDT_API int prm_get_cell2(CDT* table, const char* sheet, long row, long column, char* buffer,
                          int size);
/* Makes the named sheet current (unknown: the current sheet stays) and inserts a whole row
 * at row; the rows below move down. 0; -1 for a null handle or a row the sheet refuses. */
DDT_API int prm_insert_row(CDT* table, const char* sheet, long row);
/* As prm_insert_row, deleting the row; the rows below move up. */
DDT_API int prm_delete_row(CDT* table, const char* sheet, long row);

/* ---- Results, run rows and loops ------------------------------------------------------- */

/* Opens a results workbook (headless, no window). A file name containing "null.xls" gives
 * null. With a null group the run context is virtual-user id "1", group "None", host "Local"
 * and id and host are ignored; otherwise id in decimal, group and host (null: ""). The
 * workbook is returned even when the file cannot be read. The caller owns it. */
DDT_API CDDTResults* open_results(const char* fileName, int virtualUserId, const char* group,
                                  const char* host);
/* Saves the results workbook under fileName (null or "": its own name); setName != 0 makes
 * fileName its name. 0 means the file now holds the workbook (a missing file is written
 * even when nothing changed). -1, with the reason in ddt_last_error, when there is no name,
 * the write fails, or the save would overwrite someone else's work: the file changed on
 * disk (or appeared) since this workbook read or last wrote it, another spreadsheet program
 * holds it open (its lock file ".~lock.NAME#" beside it), or it could not be read when the
 * workbook was opened. The workbook stays in memory, changed: save it under another name. */
DDT_API int save_results_as(CDDTResults* results, const char* fileName, int setName);
/* Gives the results workbook the input's sheets, parameter columns and column styles.
 * Columns the results workbook already has (read from an earlier run) are reused, so a
 * results sheet keeps one column per parameter. 0, or -1 (a null handle, or a sheet that
 * cannot be created). */
DDT_API int prepare_results(CDDTResults* results, CDDTInput* input);
/* Deletes a results workbook from open_results. 0, or -1 for null. */
DDT_API int close_results(CDDTResults* results);
/* Recalculates the results workbook for the references in name. 0; -1 for a null handle. */
DDT_API int refresh_parameters(CDDTInput* input, CDDTResults* results, const char* name);

/* Clears the current sheet's row selection (the run rows a script chooses). 0 or -1. */
DDT_API int clear_runrows(CDT* table);
/* Adds whole rows first..last to the current sheet's selection. 0 or -1. */
DDT_API int add_runrows(CDT* table, long firstRow, long lastRow);
/* Fills the input's run-row list and numbers the terminator rows of the child tables: the
 * selected rows of the current sheet when there are any, else every row of every sheet. 0
 * when selected rows were taken; -1 when every row was taken (always so for the headless
 * workbooks of open_workbook, which do not use the selection) or for a null handle. */
DDT_API int capture_runrows(CDDTInput* input);
/* Copies the next run row of the scope from input to results. mode: low byte 0 next row,
 * 1 the rows at positions first..first+count-1, 2 random, 3 random repeatable by first;
 * bit 0x100 starts again at the end. 0 copied, -1 nothing to copy or a null handle, -2 end
 * of rows. */
DDT_API int next_runrow(CDDTInput* input, CDDTResults* results, int mode, int first,
                        int count);
/* Starts the loop over the child table `table` of the scope (""/null: the business process
 * sheet) for the current iteration and copies its first row. 0, or -1. */
DDT_API int reset_loop(CDDTInput* input, CDDTResults* results, const char* table);
/* Copies the next row of that loop. 0 while the loop goes on; -1 at its end or for a null
 * handle. */
DDT_API int advance_loop(CDDTInput* input, CDDTResults* results, const char* table);

/* Number of parameters of the scope's sheet (sheet: child table name or ""). -1 for a null
 * handle or sheet. */
DDT_API int get_parameter_count(CDDTResults* results, const char* sheet);
/* Copies the name of parameter index (from 1) of that sheet into buffer (size bytes; a
 * longer name is cut, noted in ddt_last_error). The buffer is emptied first. 0; -1 for a
 * null handle or buffer or a size below 2. */
DDT_API int get_parameter_name(CDDTResults* results, const char* sheet, long index,
                               char* buffer, int size);
/* Replaces each parameter reference "<[alias@@][sheet::]name>" in source by its value in
 * the current iteration (callback, when not null, converts each value; context is passed to
 * it). *size: the buffer size in; the output's length in bytes (without terminator) out.
 * 0 when the output was copied whole with its terminator; -1, buffer untouched, when buffer
 * is null (a size query) or too small (length >= *size). Without a results workbook the
 * source is copied unchanged (cut to *size - 1 bytes, when *size >= 1 and buffer is not
 * null), *size receives its length, and the result is -1. -1 for a null size. */
DDT_API int substitute_parameters(CDDTResults* results, const char* source, char* buffer,
                                  int* size, DDT_SUBSTITUTE_CALLBACK callback, void* context);
/* Writes value into the output parameter outputName ("<name>") at the current iteration and,
 * when verify != 0, checks it against expected (a parameter reference or a pattern). -1
 * (could not write, or a null handle), 0 no check, 1 match, 2 mismatch. */
DDT_API int prm_set_and_verify_output(CDDTResults* results, const char* outputName,
                                      const char* value, const char* expected, int verify);
/* The scope's current run row; 0 when none; -1 for a null handle. */
DDT_API int prm_get_current_run_row(CDDTResults* results);
/* Makes the named sheet current and returns its last used data row (0 when empty). -1 for a
 * null handle, -2 when no sheet has that name. */
DDT_API long get_last_res_row(CDT* table, const char* sheet);

/* ---- Table transfer and comparison ----------------------------------------------------- */

/* Appends a table of rows x columns strings to a sheet as one block closed by a terminator
 * row ".End N" (N counts the blocks this function wrote). cells is row-major: cells[r *
 * columns + c]; row 0 holds the column names (a null cell counts as ""). A missing sheet is
 * created with one column per name (an empty name becomes "#<column>"); on an existing
 * sheet table columns go to sheet columns by position. 1; -1 with nothing written for a null
 * handle, sheet or cells, or rows/columns below 0 (rows below 1 is fine: nothing but the
 * terminator row). The form for callers in other languages than C++. */
DDT_API int table2sheet_cells(const char* const* cells, int rows, int columns,
                              CDDTInput* table, const char* sheet);

/* Compares columns firstColumn..lastColumn (""/null: first/last) and iterations
 * firstIteration..lastIteration (decimal text; "": 1/the last row) of the results sheet
 * rsheet with the current block of the external sheet named by reference "alias@@sheet":
 * expected value at external row start + i, actual at results row base + i. Matching cells
 * are styled green, others light red (interactive binding only); an expected "<N/A>" is
 * skipped. Result: -1 null argument or no external header; 32 unknown alias; 128 no such
 * external sheet; 256 no such results sheet; 16 the block would start after row 1's
 * terminator (buffer: the current run row); otherwise bits 1 some matched, 2 some did not,
 * 4 nothing compared, 8 external columns missing from the results (buffer: "<A> <B> ",
 * cut to size - 1 bytes). A size below 1 gives -1 with nothing written. */
DDT_API int compare_table_sheets(CDDTResults* results, const char* rsheet,
                                 const char* reference, const char* firstColumn,
                                 const char* lastColumn, const char* firstIteration,
                                 const char* lastIteration, int base, char* buffer, int size);

/* Writes a suggested name for a new column into buffer (size bytes). */
DDT_API void GetColumnNameSuggestion(char* buffer, int size);

/* ---- Library and workbook information ------------------------------------------------- */

/* The version of the loaded library, "MAJOR.MINOR.PATCH" (static text, never null). It
 * equals DDT_VERSION_STRING of the headers the library was built with. */
DDT_API const char* ddt_version(void);

/* Number of sheets of the workbook (any workbook handle, cast to CDT*). -1 for a null
 * handle. */
DDT_API int get_sheet_count(CDT* table);
/* Copies the name of sheet index (from 1, in workbook order) into buffer; *size is the
 * buffer size in bytes. 0 when the whole name fitted; -1 when it was cut (the buffer holds
 * its first *size - 1 bytes, terminated). In both cases *size receives the name's full
 * length in bytes without the terminator, so a caller can call again with *size + 1.
 * -1 with nothing written for a null handle, size or buffer, *size below 1, or an index
 * outside 1..get_sheet_count. */
DDT_API int get_sheet_name(CDT* table, long index, char* buffer, int* size);

/* ---- Last-error text: why the last script function on this thread failed (to come) ---- */

#ifdef __cplusplus
}  /* extern "C" */

namespace ddt {
/* ddt_last_error for C++ callers and the members of the exported classes. */
DDT_API std::string LastError();
/* ddt_last_error_kind for C++ callers. */
DDT_API ddt_error_kind LastErrorKind();
}  // namespace ddt

/* table2sheet for C++ callers: the table is the standard library's vector of rows, each a
 * vector of strings; row 0 holds the column names. Every row must have at least as many
 * cells as row 0: a shorter row, or a row 0 without cells on a sheet that already has data,
 * gives -1 with nothing written. Otherwise as table2sheet_cells. */
extern "C" DDT_API int table2sheet(const std::vector<std::vector<std::string>>& table,
                                   CDDTInput* input, const char* sheet);
#endif

#endif /* DDTABLE_DDTABLE_H */
