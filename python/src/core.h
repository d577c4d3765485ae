// The Python face of ddtable: workbooks, sheets, rows and runs as Python objects.
//
// Ownership: a Workbook owns its CDDTInput and a Run its CDDTResults. Views (Sheet, Row,
// Iteration) hold a Python reference to the object they read from, so the owner outlives
// them; after close() every view of it raises ValueError instead of touching freed memory.
// All calls run with the GIL held, so Python threads never enter the library at once.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ddtable/cddt_input.h"
#include "ddtable/cddt_results.h"

namespace ddt::python {

namespace py = pybind11;

// ---- Errors (classes defined in ddtable/errors.py) --------------------------------------

// Raise the Python exception of that kind with the message. Kinds: "Error", "FileError",
// "MissingFileError", "UnknownNameError", "RunError".
[[noreturn]] void Raise(const char* kind, const std::string& message);
// FileError (MissingFileError when the file is not there) for a file that cannot be read.
[[noreturn]] void RaiseReadError(const std::string& path);
// FileError for a workbook that could not be written to path.
[[noreturn]] void RaiseWriteError(const std::string& path);
// A SaveWarning for each thing the save of `table` to path could not keep.
void WarnSaveNotes(CDT& table, const std::string& path);

// ---- Values -----------------------------------------------------------------------------

// A cell's value as Python: None, float, str, bool, or CellError (a str) for an error value;
// a number under a date or time format is a datetime.date, datetime.datetime,
// datetime.time or datetime.timedelta (see DateValue). When it is, and serial is given,
// *serial receives the number itself.
py::object CellValue(CDT& table, int sheet, int row, int col, py::object* serial = nullptr);
// The datetime object a serial number stands for under the number format: date for a
// format of days only, datetime for days and a clock, time for a clock only, timedelta for
// elapsed time ([h]); None when the format shows a plain number or the serial names no
// day (before the first, Excel's 29 February 1900, after 9999).
py::object DateValue(double serial, const std::string& format, bool date1904);
// Whether every number under the format reads as a plain float (DateValue gives None).
bool IsNumberFormat(const std::string& format);
// The text a Python value is entered as: str as it is, bool TRUE/FALSE, an integral float
// without ".0", None as "".
std::string EntryText(const py::handle& value);

// ---- Workbook, sheets, rows -------------------------------------------------------------

class Workbook {
 public:
  // Opens the file (FileError when it cannot be read); an empty path gives a new workbook
  // of one blank sheet.
  explicit Workbook(const std::string& path);
  ~Workbook();

  CDDTInput& Input();  // ValueError once closed
  bool Closed() const { return !input_; }
  void Close();
  std::string Path() const { return path_; }
  // Sheet index by exact name; UnknownNameError when there is none.
  long SheetIndex(const std::string& name);
  void Save(const std::string& path);

 private:
  std::unique_ptr<CDDTInput> input_;
  std::string path_;
};

// The parameter names of one sheet as a row sees them: column i + 1 is names[i].
struct Header {
  py::tuple names;   // every header text, "" for a column without one
  py::dict columns;  // name -> 0-based position of its first column
};
std::shared_ptr<Header> MakeHeader(const CStringList& names);

// How a sheet takes part in a test, from its name.
enum class SheetKind { BusinessProcess, ChildTable, Global, Custom };
SheetKind KindOf(const std::string& name);

class Sheet {
 public:
  Sheet(py::object book, std::string name) : book_(std::move(book)), name_(std::move(name)) {}
  Workbook& Book() const { return book_.cast<Workbook&>(); }
  const py::object& BookObject() const { return book_; }
  const std::string& Name() const { return name_; }
  long Index() const { return Book().SheetIndex(name_); }
  std::shared_ptr<Header> HeaderNow() const;
  // Column of the parameter; UnknownNameError when the sheet has none of that name.
  int Column(const std::string& param) const;
  long RowCount() const;

 private:
  py::object book_;
  std::string name_;
};

// One data row of a sheet: its values read when the row was made, its texts read on demand.
class Row {
 public:
  Row(py::object sheet, long number, std::shared_ptr<Header> header, py::tuple values,
      py::object serials)
      : sheet_(std::move(sheet)), number_(number), header_(std::move(header)),
        values_(std::move(values)), serials_(std::move(serials)) {}
  long Number() const { return number_; }
  const py::tuple& Values() const { return values_; }
  const Header& Names() const { return *header_; }
  // Position of the name among the values; UnknownNameError when the row has none.
  std::size_t Position(const py::handle& name) const;
  py::object Get(const py::handle& name, const py::object& fallback) const;
  py::object Item(const py::handle& name) const { return values_[Position(name)]; }
  // The value with a date left as its serial number.
  py::object Raw(const py::handle& name) const {
    const std::size_t at = Position(name);
    return serials_.is_none() ? values_[at] : py::object(serials_.cast<py::tuple>()[at]);
  }
  std::string Text(const py::handle& name) const;
  std::string Entry(const py::handle& name) const;

 private:
  py::object sheet_;
  long number_;
  std::shared_ptr<Header> header_;
  py::tuple values_;
  py::object serials_;  // None, or every value with dates as serial numbers
};

// Row `number` of the sheet with the header given.
Row ReadRow(const py::object& sheet, long number, const std::shared_ptr<Header>& header);

// ---- Choosing and naming rows (the ddtable command's --where, --rows and --id) ----------

// "3,5-9": row numbers from 1, sorted, each once; ValueError for other text.
std::vector<long> ParseRowList(const std::string& text);
// The rows of the sheet meeting every condition: strings "NAME=PATTERN" / "NAME!=PATTERN"
// (or lists of them) and keywords name=pattern. ValueError for a malformed condition,
// UnknownNameError for a parameter the sheet lacks.
py::list Where(const py::object& sheet, const py::args& args, const py::kwargs& kwargs);
// Every data row's name: "Sheet[<id>]" by the text of parameter id, or "Sheet[<row>]"
// without one. Error for a row whose id is empty or the same as another row's.
std::vector<std::string> RowNames(const Sheet& sheet, const py::object& id);

// Rows first..last (None: the last data row) of the sheet, each a tuple of every column's
// value typed as CellValue types it, read in one pass over the cells the sheet holds.
py::list SheetValues(const py::object& sheet, long first, const py::object& last);
// The same rows by column, for a data frame: per column (array, settled), a numpy float64
// array (empty cells NaN) for a column of plain numbers, else a numpy object array (empty
// cells None); settled is false when the values are of several kinds or other than texts
// and numbers, whose column type the caller infers.
py::list SheetColumns(const py::object& sheet, long first, const py::object& last);

void BindWorkbook(py::module_& m);
void BindRun(py::module_& m);
void BindSelection(py::module_& m);

}  // namespace ddt::python
