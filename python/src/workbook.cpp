// Workbook, Sheet, Row and Block: reading (and a little editing of) an input workbook.
#include <pybind11/stl.h>

#include <cmath>
#include <cstdio>

#include "core.h"
#include "input/sheet_text.h"
#include "manager/module.h"

namespace ddt::python {

// ---- Values -----------------------------------------------------------------------------

namespace {

// The CellError class, looked up once and kept for the life of the process (a static
// py::object would be released after the interpreter has gone).
PyObject* CellErrorType() {
  static PyObject* type =
      py::object(py::module_::import("ddtable.errors").attr("CellError")).release().ptr();
  return type;
}

}  // namespace

py::object CellValue(CDT& table, int sheet, int row, int col, py::object* serial) {
  CDT_IF& engine = *table.m_pEngine;
  py::object result = py::none();
  engine.ForEachCell(sheet, row, col, row, col, [&](int, int, const CDT_IF::CellView& cell) {
    switch (cell.kind) {
      case CDT_IF::CellView::Number: {
        py::object date =
            DateValue(cell.number, std::string(cell.numberFormat), engine.Uses1904Dates());
        if (date.is_none()) {
          result = py::float_(cell.number);
          break;
        }
        if (serial != nullptr) *serial = py::float_(cell.number);
        result = date;
        break;
      }
      case CDT_IF::CellView::Text: result = py::str(std::string(cell.text)); break;
      case CDT_IF::CellView::Bool: result = py::bool_(cell.boolean); break;
      case CDT_IF::CellView::Error:
        result = py::reinterpret_borrow<py::object>(CellErrorType())(std::string(cell.text));
        break;
      default: break;
    }
  });
  return result;
}

std::string EntryText(const py::handle& value) {
  if (value.is_none()) return "";
  if (py::isinstance<py::bool_>(value)) return value.cast<bool>() ? "TRUE" : "FALSE";
  if (py::isinstance<py::float_>(value)) {
    const double d = value.cast<double>();
    // 1100.0 is entered and compared as 1100, the way the spreadsheet shows it.
    if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15) {
      char text[32];
      std::snprintf(text, sizeof text, "%.0f", d);
      return text;
    }
    return py::repr(value).cast<std::string>();
  }
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  return py::str(value).cast<std::string>();
}

// ---- Workbook -----------------------------------------------------------------------------

Workbook::Workbook(const std::string& path) : path_(path) {
  // The GIL stays held: the library keeps process-wide state (windows, the current
  // manager) that another Python thread could reach at the same time.
  input_ = std::make_unique<CDDTInput>(nullptr, CDT::DT_TYPE_QX);
  if (input_->Open(path) != 0) {
    input_.reset();
    RaiseReadError(path);
  }
}

Workbook::~Workbook() = default;

CDDTInput& Workbook::Input() {
  if (!input_) throw py::value_error("the workbook is closed");
  return *input_;
}

void Workbook::Close() { input_.reset(); }

long Workbook::SheetIndex(const std::string& name) {
  const long index = Input().GetSheetIndex(name);
  if (index < 1) Raise("UnknownNameError", "no sheet named '" + name + "' in " + path_);
  return index;
}

void Workbook::Save(const std::string& path) {
  CDDTInput& input = Input();
  const std::string target = path.empty() ? input.GetFileName() : path;
  if (target.empty()) Raise("Error", "the workbook has no file name: give save() a path");
  if (input.Save(target, 1) != 0) RaiseWriteError(target);
  path_ = target;
  WarnSaveNotes(input, target);
}

// ---- Sheets -------------------------------------------------------------------------------

SheetKind KindOf(const std::string& name) {
  if (name.find('.') != std::string::npos) return SheetKind::ChildTable;
  if (name == ddt::Shared().global) return SheetKind::Global;
  if (ddt::text::EqualsNoCase(name, "Custom")) return SheetKind::Custom;
  return SheetKind::BusinessProcess;
}

std::shared_ptr<Header> MakeHeader(const CStringList& names) {
  auto header = std::make_shared<Header>();
  header->names = py::tuple(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    py::str name(names[i]);
    header->names[i] = name;
    if (!names[i].empty() && !header->columns.contains(name)) header->columns[name] = i;
  }
  return header;
}

std::shared_ptr<Header> Sheet::HeaderNow() const {
  Index();  // UnknownNameError for a sheet that is gone
  const CStringList* names = Book().Input().GetHeaderList(name_);
  return MakeHeader(names != nullptr ? *names : CStringList{});
}

int Sheet::Column(const std::string& param) const {
  const long col = Book().Input().GetColIndex(param, Index());
  if (col < 1) Raise("UnknownNameError", "no parameter '" + param + "' in sheet '" + name_ + "'");
  return static_cast<int>(col);
}

long Sheet::RowCount() const {
  Index();
  return std::max(0, Book().Input().GetMaxIterations(name_));
}

namespace {

void CheckRow(long row) {
  if (row < 1) throw py::index_error("rows count from 1");
}

// A data row of the sheet, 1 to its row count: reading past the data is a mistake, not an
// empty row.
void CheckDataRow(const Sheet& sheet, long row) {
  CheckRow(row);
  const long count = sheet.RowCount();
  if (row > count)
    throw py::index_error("sheet '" + sheet.Name() + "' has no row " + std::to_string(row) +
                          " (rows 1 to " + std::to_string(count) + ")");
}

// Every sheet of a kind, in workbook order.
std::vector<Sheet> SheetsOf(const py::object& book, SheetKind kind) {
  std::vector<Sheet> sheets;
  for (const std::string& name : book.cast<Workbook&>().Input().GetSheetList())
    if (KindOf(name) == kind) sheets.emplace_back(book, name);
  return sheets;
}

std::string KindName(SheetKind kind) {
  switch (kind) {
    case SheetKind::ChildTable: return "child_table";
    case SheetKind::Global: return "global";
    case SheetKind::Custom: return "custom";
    default: return "business_process";
  }
}

// The child tables of a business-process sheet: the sheets named "<bp>.<table>".
std::vector<Sheet> ChildTables(const Sheet& sheet) {
  std::vector<Sheet> tables;
  if (KindOf(sheet.Name()) != SheetKind::BusinessProcess) return tables;
  const std::string prefix = sheet.Name() + ".";
  for (const std::string& name : sheet.Book().Input().GetSheetList())
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0)
      tables.emplace_back(sheet.BookObject(), name);
  return tables;
}

// Iterates rows first..last of a sheet.
class RowIterator {
 public:
  RowIterator(py::object sheet, long first, long last)
      : sheet_(std::move(sheet)), next_(first), last_(last),
        header_(sheet_.cast<Sheet&>().HeaderNow()) {}
  Row Next() {
    if (next_ > last_) throw py::stop_iteration();
    return ReadRow(sheet_, next_++, header_);
  }

 private:
  py::object sheet_;
  long next_, last_;
  std::shared_ptr<Header> header_;
};

// One block of a child table: the rows up to its terminator row.
struct Block {
  long number = 0;
  long endRow = 0;  // the terminator row; 0 for a last block that has none
  py::list rows;
};

bool IsTerminator(CDT& table, int sheet, long row) {
  return ddt::text::StartsWithNoCase(table.m_pEngine->GetValue(sheet, static_cast<int>(row), 1),
                                          ddt::Shared().end);
}

py::list Blocks(const py::object& sheetObject) {
  const Sheet& sheet = sheetObject.cast<Sheet&>();
  CDT& table = sheet.Book().Input();
  const int index = static_cast<int>(sheet.Index());
  const long last = sheet.RowCount();
  const auto header = sheet.HeaderNow();
  py::list blocks;
  Block block{1, 0, py::list()};
  for (long r = 1; r <= last; ++r) {
    if (IsTerminator(table, index, r)) {
      block.endRow = r;
      blocks.append(py::cast(std::move(block)));
      block = Block{static_cast<long>(py::len(blocks)) + 1, 0, py::list()};
    } else {
      block.rows.append(ReadRow(sheetObject, r, header));
    }
  }
  if (py::len(block.rows) > 0) blocks.append(py::cast(std::move(block)));
  return blocks;
}

}  // namespace

// ---- Rows ---------------------------------------------------------------------------------

Row ReadRow(const py::object& sheetObject, long number, const std::shared_ptr<Header>& header) {
  const Sheet& sheet = sheetObject.cast<Sheet&>();
  CDT& table = sheet.Book().Input();
  const int index = static_cast<int>(sheet.Index());
  const std::size_t n = header->names.size();
  py::tuple values(n);
  py::tuple serials;  // made on the row's first date: the values with serial numbers
  for (std::size_t c = 0; c < n; ++c) {
    py::object serial;
    values[c] =
        CellValue(table, index, static_cast<int>(number), static_cast<int>(c + 1), &serial);
    if (serial && serials.size() == 0) {
      serials = py::tuple(n);
      for (std::size_t before = 0; before < c; ++before) serials[before] = values[before];
    }
    if (serials.size() != 0) serials[c] = serial ? serial : py::object(values[c]);
  }
  return Row(sheetObject, number, header, std::move(values),
             serials.size() != 0 ? py::object(std::move(serials)) : py::object(py::none()));
}

std::size_t Row::Position(const py::handle& name) const {
  PyObject* found = PyDict_GetItemWithError(header_->columns.ptr(), name.ptr());
  if (found == nullptr) {
    if (PyErr_Occurred()) throw py::error_already_set();
    Raise("UnknownNameError", "no parameter " + py::repr(name).cast<std::string>() + " in sheet '" +
                                  sheet_.cast<Sheet&>().Name() + "'");
  }
  return PyLong_AsSize_t(found);
}

py::object Row::Get(const py::handle& name, const py::object& fallback) const {
  PyObject* found = PyDict_GetItemWithError(header_->columns.ptr(), name.ptr());
  if (found == nullptr) {
    if (PyErr_Occurred()) throw py::error_already_set();
    return fallback;
  }
  return values_[PyLong_AsSize_t(found)];
}

std::string Row::Text(const py::handle& name) const {
  const Sheet& sheet = sheet_.cast<Sheet&>();
  const int col = static_cast<int>(Position(name)) + 1;
  return sheet.Book().Input().m_pEngine->GetFormattedText(static_cast<int>(sheet.Index()),
                                                          static_cast<int>(number_), col);
}

std::string Row::Entry(const py::handle& name) const {
  const Sheet& sheet = sheet_.cast<Sheet&>();
  const int col = static_cast<int>(Position(name)) + 1;
  return sheet.Book().Input().m_pEngine->GetValue(static_cast<int>(sheet.Index()),
                                                  static_cast<int>(number_), col);
}

// ---- Bindings -----------------------------------------------------------------------------

void BindWorkbook(py::module_& m) {
  py::class_<Row>(m, "Row",
                  "One data row of a sheet, read as a mapping from parameter name to value.\n\n"
                  "Values are typed: str, float, bool, None for an empty cell, CellError for an\n"
                  "error value; a number under a date format is a datetime.date (days only),\n"
                  "datetime.datetime (days and a clock), datetime.time (a clock only) or\n"
                  "datetime.timedelta (elapsed time, [h]), and raw(name) gives its serial\n"
                  "number. text(name) gives the value as the sheet shows it (number\n"
                  "format applied), entry(name) as it was typed (formulas with '=').")
      .def_property_readonly("number", &Row::Number, "The row number (1 = first data row).")
      .def_property_readonly("values", &Row::Values, "Every column's value, in column order.")
      .def_property_readonly(
          "parameters", [](const Row& r) { return r.Names().names; },
          "The sheet's parameter names, in column order.")
      .def("__getitem__", &Row::Item, py::arg("name"))
      .def("raw", &Row::Raw, py::arg("name"),
           "The value with a date or time left as its serial number (days since the\n"
           "workbook's date origin, a float), as the cell holds it; other values as row[name].")
      .def("get", &Row::Get, py::arg("name"), py::arg("default") = py::none(),
           "The value of the parameter, or default when the row has no such parameter.")
      .def("text", &Row::Text, py::arg("name"), "The value as the sheet displays it.")
      .def("entry", &Row::Entry, py::arg("name"), "The value as typed (formulas with '=').")
      .def("__contains__",
           [](const Row& r, const py::handle& name) { return r.Names().columns.contains(name); })
      .def("__len__", [](const Row& r) { return r.Names().columns.size(); })
      .def("__iter__", [](const Row& r) { return py::iter(r.Names().columns); })
      .def("keys", [](const Row& r) { return py::list(r.Names().columns); })
      .def("items",
           [](const Row& r) {
             py::list items;
             for (auto item : r.Names().columns)
               items.append(py::make_tuple(item.first, r.Values()[item.second.cast<std::size_t>()]));
             return items;
           })
      .def("as_dict",
           [](const Row& r) {
             py::dict d;
             for (auto item : r.Names().columns)
               d[item.first] = r.Values()[item.second.cast<std::size_t>()];
             return d;
           },
           "The row as a dict of parameter name to value.")
      .def("__repr__", [](const Row& r) {
        py::dict d;
        for (auto item : r.Names().columns) d[item.first] = r.Values()[item.second.cast<std::size_t>()];
        return "<Row " + std::to_string(r.Number()) + " " + py::repr(d).cast<std::string>() + ">";
      });

  py::class_<RowIterator>(m, "_RowIterator")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", &RowIterator::Next);

  py::class_<Block>(m, "Block",
                    "The rows of a child table up to (not including) one terminator row.")
      .def_readonly("number", &Block::number, "The block's number, from 1.")
      .def_property_readonly(
          "end_row", [](const Block& b) -> py::object {
            return b.endRow > 0 ? py::object(py::int_(b.endRow)) : py::object(py::none());
          },
          "The terminator row's number; None for a last block without one.")
      .def_readonly("rows", &Block::rows, "The block's rows.")
      .def("__iter__", [](const Block& b) { return py::iter(b.rows); })
      .def("__len__", [](const Block& b) { return py::len(b.rows); })
      .def("__getitem__", [](const Block& b, py::handle i) { return b.rows[i]; })
      .def("__repr__", [](const Block& b) {
        return "<Block " + std::to_string(b.number) + ": " + std::to_string(py::len(b.rows)) +
               " rows>";
      });

  py::class_<Sheet>(m, "Sheet",
                    "A sheet of a workbook: each column a parameter, each row an iteration.")
      .def_property_readonly("name", &Sheet::Name)
      .def_property_readonly(
          "kind", [](const Sheet& s) { return KindName(KindOf(s.Name())); },
          "'business_process', 'child_table', 'global' or 'custom' (from the name).")
      .def_property_readonly(
          "parameters",
          [](const Sheet& s) {
            py::list names;
            const auto header = s.HeaderNow();
            for (auto name : header->names)
              if (py::len(name) > 0) names.append(name);
            return names;
          },
          "The parameter names (column headers), in column order.")
      .def("__len__", &Sheet::RowCount, "The number of data rows (the last used row).")
      .def(
          "row",
          [](py::object self, long number) {
            CheckDataRow(self.cast<Sheet&>(), number);
            return ReadRow(self, number, self.cast<Sheet&>().HeaderNow());
          },
          py::arg("number"),
          "Row `number`, from 1 to len(sheet); IndexError outside (no negative indexing).")
      .def(
          "rows",
          [](py::object self, long first, py::object last) {
            CheckRow(first);
            const long count = self.cast<Sheet&>().RowCount();
            const long end = last.is_none() ? count : std::min(count, last.cast<long>());
            return RowIterator(self, first, end);
          },
          py::arg("first") = 1, py::arg("last") = py::none(),
          "Iterates rows first..last (default: every data row); like a slice, the range "
          "stops at the last data row.")
      .def("__iter__",
           [](py::object self) { return RowIterator(self, 1, self.cast<Sheet&>().RowCount()); })
      .def_property_readonly(
          "_header", [](const Sheet& s) { return s.HeaderNow()->names; },
          "Every column's header text, '' for a column without one (the columns of values()).")
      .def("values", &SheetValues, py::arg("first") = 1, py::arg("last") = py::none(),
           "Rows first..last (default: every data row) as tuples of every column's value,\n"
           "typed as row.values types them (dates as datetime objects), read in one pass:\n"
           "the fast way to read a whole sheet. Like rows(), the range stops at the last\n"
           "data row.")
      .def("_columns", &SheetColumns, py::arg("first") = 1, py::arg("last") = py::none(),
           "Rows first..last by column: (numpy array, settled) per column (see to_pandas()).")
      .def(
          "value",
          [](const Sheet& s, long row, const std::string& name) {
            CheckDataRow(s, row);
            return CellValue(s.Book().Input(), static_cast<int>(s.Index()),
                             static_cast<int>(row), s.Column(name));
          },
          py::arg("row"), py::arg("name"),
          "The typed value of one cell; IndexError for a row outside 1 to len(sheet).")
      .def(
          "text",
          [](const Sheet& s, long row, const std::string& name) {
            CheckDataRow(s, row);
            s.Column(name);  // UnknownNameError for an unknown parameter
            return s.Book().Input().GetParamValue(row, name, s.Index());
          },
          py::arg("row"), py::arg("name"), "The value of one cell as displayed.")
      .def(
          "column",
          [](const Sheet& s, const std::string& name) {
            const int col = s.Column(name);
            const int index = static_cast<int>(s.Index());
            const long last = s.RowCount();
            py::list values;
            for (long r = 1; r <= last; ++r)
              values.append(CellValue(s.Book().Input(), index, static_cast<int>(r), col));
            return values;
          },
          py::arg("name"), "Every row's value of one parameter.")
      .def(
          "set",
          [](const Sheet& s, long row, const std::string& name, py::handle value) {
            CheckRow(row);
            s.Column(name);
            if (s.Book().Input().SetParamValue(row, name, EntryText(value), s.Index(), 1) != 0)
              Raise("Error", "cannot set '" + name + "' in row " + std::to_string(row) +
                                 " of sheet '" + s.Name() + "'");
          },
          py::arg("row"), py::arg("name"), py::arg("value"),
          "Enters a value into a cell as a user would type it.")
      .def(
          "add_parameter",
          [](const Sheet& s, const std::string& name, py::handle value) {
            s.Index();
            std::string used = name;
            if (s.Book().Input().AddParam(s.Name(), used, EntryText(value), CDT::DT_STYLE_NONE,
                                          "", 0) != 0)
              Raise("Error", "cannot add parameter '" + name + "' to sheet '" + s.Name() + "'");
            return used;
          },
          py::arg("name"), py::arg("value") = py::none(),
          "Adds a parameter column (value in row 1); returns the name used, made legal and "
          "unique.")
      .def("where", &Where,
           "The rows meeting every condition, in order, as the ddtable command's --where\n"
           "chooses them.\n\n"
           "where('Tag=smoke', 'Env!=prod*') or where(Tag='smoke'): NAME=PATTERN keeps the\n"
           "rows whose NAME matches PATTERN, NAME!=PATTERN the others. The cell's text as\n"
           "displayed (surrounding blanks aside) is matched: '*' any characters, '?' one,\n"
           "'[...]' one of a set ('[!...]' none of it), a backslash makes the next character\n"
           "literal. A cell holding a list ('smoke, nightly', commas or semicolons) matches\n"
           "when one of its words or the whole text does. ValueError for a condition without\n"
           "'=', UnknownNameError for a parameter the sheet lacks.")
      .def("names", &RowNames, py::arg("id") = py::none(),
           "Every data row's name as the ddtable command writes it: 'Login[alice]' by the\n"
           "text of parameter `id`, 'Login[3]' by row number without one. Error naming the\n"
           "rows when an id is empty or two rows have the same id.")
      .def_property_readonly("tables", &ChildTables,
                             "The child tables of a business process ('<bp>.<table>').")
      .def(
          "table",
          [](const Sheet& s, const std::string& name) {
            const std::string full = s.Name() + "." + name;
            s.Book().SheetIndex(full);
            return Sheet(s.BookObject(), full);
          },
          py::arg("name"), "The child table '<bp>.<name>' of this business process.")
      .def_property_readonly(
          "table_name",
          [](const Sheet& s) -> py::object {
            const auto dot = s.Name().find('.');
            if (dot == std::string::npos) return py::none();
            return py::str(s.Name().substr(dot + 1));
          },
          "For a child table the part after the first '.', else None.")
      .def("blocks", &Blocks,
           "The blocks of a child table: its rows cut at each terminator row ('.End').")
      .def("__eq__",
           [](const Sheet& a, const Sheet& b) {
             return a.BookObject().is(b.BookObject()) && a.Name() == b.Name();
           })
      .def("__hash__", [](const Sheet& s) { return py::hash(py::str(s.Name())); })
      .def("__repr__", [](const Sheet& s) { return "<Sheet '" + s.Name() + "'>"; });

  py::class_<Workbook>(m, "Workbook",
                       "A data workbook opened for reading (and editing).\n\n"
                       "Use ddtable.open(path); the workbook closes at the end of a with block.")
      .def(py::init<const std::string&>(), py::arg("path") = "",
           "Opens the file; FileError (MissingFileError) when it cannot be read. Without a "
           "path: a new workbook of one blank sheet.")
      .def_property_readonly("path", &Workbook::Path)
      .def_property_readonly("closed", &Workbook::Closed)
      .def("close", &Workbook::Close, "Frees the workbook; later use raises ValueError.")
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](Workbook& w, py::args) { w.Close(); })
      .def_property_readonly(
          "sheet_names", [](Workbook& w) { return w.Input().GetSheetList(); },
          "Every sheet's name, in order.")
      .def(
          "sheet",
          [](py::object self, const std::string& name) {
            self.cast<Workbook&>().SheetIndex(name);
            return Sheet(self, name);
          },
          py::arg("name"), "The sheet of that exact name; UnknownNameError when none.")
      .def("__getitem__",
           [](py::object self, const std::string& name) {
             self.cast<Workbook&>().SheetIndex(name);
             return Sheet(self, name);
           })
      .def("__contains__",
           [](Workbook& w, const std::string& name) { return w.Input().GetSheetIndex(name) > 0; })
      .def("__len__", [](Workbook& w) { return w.Input().GetNumSheets(); })
      .def("__iter__",
           [](py::object self) {
             py::list sheets;
             for (const std::string& name : self.cast<Workbook&>().Input().GetSheetList())
               sheets.append(Sheet(self, name));
             return py::iter(sheets);
           })
      .def_property_readonly(
          "business_processes",
          [](py::object self) { return SheetsOf(self, SheetKind::BusinessProcess); },
          "The business-process sheets (no '.', not Global or Custom), in order.")
      .def(
          "bp",
          [](py::object self, const std::string& name) {
            self.cast<Workbook&>().SheetIndex(name);
            if (KindOf(name) != SheetKind::BusinessProcess)
              Raise("UnknownNameError", "'" + name + "' is not a business process");
            return Sheet(self, name);
          },
          py::arg("name"), "The business-process sheet of that name.")
      .def_property_readonly(
          "global_sheet",
          [](py::object self) -> py::object {
            auto sheets = SheetsOf(self, SheetKind::Global);
            return sheets.empty() ? py::none() : py::cast(sheets.front());
          },
          "The 'Global' sheet, or None.")
      .def_property_readonly(
          "custom_sheet",
          [](py::object self) -> py::object {
            auto sheets = SheetsOf(self, SheetKind::Custom);
            return sheets.empty() ? py::none() : py::cast(sheets.front());
          },
          "The 'Custom' sheet, or None.")
      .def(
          "add_sheet",
          [](py::object self, const std::string& name) {
            const int made = self.cast<Workbook&>().Input().NewSheet(name);
            if (made == -1) Raise("Error", "a sheet named '" + name + "' exists already");
            if (made != 0) Raise("Error", "no sheet can be named '" + name + "'");
            return Sheet(self, name);
          },
          py::arg("name"), "Appends a sheet.")
      .def(
          "save", [](Workbook& w, py::object path) {
            w.Save(path.is_none() ? std::string() : py::str(path).cast<std::string>());
          },
          py::arg("path") = py::none(),
          "Writes the workbook (.xlsx) to path, or to its own file; FileError on failure.")
      .def("__repr__", [](Workbook& w) {
        return std::string("<Workbook '") + w.Path() + "'" + (w.Closed() ? " closed>" : ">");
      });
}

}  // namespace ddt::python
