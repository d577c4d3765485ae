// Run and Iteration: a data-driven run over an input workbook into a results workbook;
// Manager (external workbooks under aliases) and ParamName (parameter references).
#include <pybind11/stl.h>

#include <filesystem>
#include <functional>

#include "core.h"
#include "ddtable/param_name.h"
#include "ddtable/prm.h"
#include "results/journal.h"

namespace ddt::python {

namespace {

// ---- Run ----------------------------------------------------------------------------------

class Run {
 public:
  Run(py::object book, const std::string& path, const std::string& user,
      const std::string& group, const std::string& host, bool marks, bool merge)
      : book_(std::move(book)), path_(path) {
    CDDTInput& input = Input();
    // The interactive binding marks checked cells green or red; the headless one only checks.
    results_ = std::make_unique<CDDTResults>(nullptr, marks ? CDT::DT_TYPE_F1 : CDT::DT_TYPE_QX,
                                             user, group, host);
    std::error_code ec;
    if (merge && !path.empty() && std::filesystem::is_regular_file(path, ec)) {
      // The earlier results are the start; a journal an interrupted run left beside the
      // file is folded in by the open.
      if (results_->Open(path) != 0) RaiseReadError(path);
      merged_ = true;
    } else if (!path.empty()) {
      results_->SetFileName(path);
    }
    if (results_->PrepareResults(&input) != 0)
      Raise("Error", "the results workbook could not take the input's sheets");
    input.CaptureRowsList(nullptr);
  }

  CDDTInput& Input() const { return book_.cast<Workbook&>().Input(); }
  CDDTResults& Results() const {
    if (!results_) throw py::value_error("the run is closed");
    return *results_;
  }
  void Close() { results_.reset(); }
  bool Closed() const { return !results_; }
  std::string Path() const { return results_ ? results_->GetFileName() : path_; }
  // Something was copied or written since the last save.
  void Touch() { unsaved_ = true; }

  // Leaving the with block: the results are saved, whether the block ended normally or by
  // an exception, so that no row that ran is lost. A save that fails is a SaveWarning, not
  // an exception: it must not hide the block's own exception. A run without a results
  // file keeps nothing and says nothing.
  void Exit(bool failing) {
    if (!results_) return;
    const std::string target = results_->GetFileName();
    if (!target.empty() && unsaved_) {
      try {
        Save(target);
      } catch (py::error_already_set& error) {
        if (!error.matches(py::module_::import("ddtable.errors").attr("Error"))) {
          Close();
          if (failing) return;  // a SaveWarning made an error: the block's exception wins
          throw;
        }
        WarnUnsaved(target, py::str(error.value()).cast<std::string>(), failing);
      }
    }
    Close();
  }

  // Makes the business process the scope; UnknownNameError when the input has no such
  // business-process sheet.
  void Scope(const std::string& bp) {
    CDDTInput& input = Input();
    if (input.GetSheetIndex(bp) < 1 || KindOf(bp) != SheetKind::BusinessProcess)
      Raise("UnknownNameError", "no business process '" + bp + "' in " +
                                    book_.cast<Workbook&>().Path());
    CDDTResults& results = Results();
    input.SetSheet(bp);
    if (results.SetScope(&input, bp) != 0)
      Raise("RunError", "the results workbook has no sheet for '" + bp + "'");
  }

  // Copies input row `row` of the business process into the results and makes it current.
  void Goto(const std::string& bp, long row) {
    Scope(bp);
    CDDTResults& results = Results();
    const long last = Input().GetMaxIterations(bp);
    if (row < 1 || row > last)
      Raise("RunError", "'" + bp + "' has no row " + std::to_string(row) + " (rows 1 to " +
                            std::to_string(last) + ")");
    // Every row runs (CaptureRowsList without a list), so row r is run position r: a copy
    // counted from position r, starting afresh, copies exactly that row.
    results.m_CurrRows.SetLastSelectedRowEntry(bp, 0);
    Touch();
    ClearMerged(bp, row);
    if (results.CopyNextRow(&Input(), bp, 1, static_cast<int>(row), 1) != 0 ||
        results.GetCurrRunRow(bp) != row)
      Raise("RunError", "row " + std::to_string(row) + " of '" + bp + "' could not be copied");
  }

  void Save(const std::string& path) {
    CDDTResults& results = Results();
    const std::string target = path.empty() ? results.GetFileName() : path;
    if (target.empty()) Raise("Error", "the run has no results file name: give save() a path");
    if (results.Save(target, 1) != 0) RaiseWriteError(target);
    unsaved_ = false;
    WarnSaveNotes(results, target);
  }

  // In results merged from an earlier run, a row about to run again loses what the earlier
  // run wrote into it (values, marks, notes), so nothing of that run stays beside the new.
  void ClearMerged(const std::string& sheet, long row) {
    if (!merged_ || row < 1) return;
    CDDTResults& results = Results();
    const long index = results.GetSheetIndex(sheet);
    const CStringList* header = results.GetHeaderList(sheet);
    if (index < 1 || header == nullptr || header->empty()) return;
    results.SetSheet(sheet);
    try {
      results.m_pEngine->ClearRange(static_cast<int>(row), 1, static_cast<int>(row),
                                    static_cast<int>(header->size()), CDT_IF::DT_CLEAR_ALL);
    } catch (const std::exception&) {
      // A row the grid cannot clear is overwritten by the copy, marks aside.
    }
  }

  // Writes a note (such as a test's outcome) into column `name` of the results sheet at
  // row; the column is added when the sheet lacks it. passed marks the cell green or red.
  void Note(const std::string& sheet, long row, const std::string& name, const std::string& text,
            const py::object& passed) {
    CDDTResults& results = Results();
    const long index = results.GetSheetIndex(sheet);
    if (index < 1) Raise("UnknownNameError", "no sheet '" + sheet + "' in the results");
    if (row < 1) throw py::index_error("rows count from 1");
    if (results.GetColIndex(name, index) < 1) {
      std::string used = name;
      if (results.AddParam(sheet, used, "", CDT::DT_STYLE_NONE, "", 0) != 0 || used != name)
        Raise("Error", "cannot add column '" + name + "' to results sheet '" + sheet + "'");
    }
    Touch();
    if (results.SetParamValue(row, name, text, index, 1) != 0)
      Raise("Error", "cannot write '" + name + "' in row " + std::to_string(row));
    if (!passed.is_none()) {
      results.SetSheet(sheet);
      results.SetStyle(passed.cast<bool>() ? CDT::DT_STYLE_GREEN : CDT::DT_STYLE_LIGHT_RED, name,
                       row);
    }
  }

 private:
  void WarnUnsaved(const std::string& target, const std::string& reason, bool failing) {
    std::string message = "the run's results were not saved (" + reason + ")";
    std::error_code ec;
    const std::string journal = ddt::results::JournalPath(target);
    if (std::filesystem::exists(journal, ec))
      message += "; the rows journaled in " + journal +
                 " are brought in by the next run(..., merge=True) of " + target;
    py::object category = py::module_::import("ddtable.errors").attr("SaveWarning");
    if (PyErr_WarnEx(category.ptr(), message.c_str(), 1) != 0) {
      if (!failing) throw py::error_already_set();
      PyErr_Clear();  // the block's own exception goes on
    }
  }

  py::object book_;
  std::string path_;
  std::unique_ptr<CDDTResults> results_;
  bool merged_ = false;   // the results began as the file of an earlier run
  bool unsaved_ = true;   // copied or written since the last save (a new run: never saved)
};

// ---- Iteration ----------------------------------------------------------------------------

// One row of a loop: the scope's (table "") or one of its child tables'. It stays valid
// while the run's current row of that sheet is the one it was made for; once the run has
// moved on, using it raises RunError instead of reading another row.
class Iteration {
 public:
  Iteration(py::object run, std::string table) : run_(std::move(run)), table_(std::move(table)) {
    CDDTResults& results = TheRun().Results();
    sheet_ = table_.empty() ? results.m_strScope : results.m_strScope + "." + table_;
    row_ = results.GetCurrRunRow(sheet_);
  }
  Run& TheRun() const { return run_.cast<Run&>(); }
  const py::object& RunObject() const { return run_; }
  const std::string& Table() const { return table_; }
  const std::string& Sheet() const { return sheet_; }
  long Number() const { return row_; }

  // RunError unless the run still stands at this iteration's row (and scope).
  void Check() const {
    CDDTResults& results = TheRun().Results();
    const std::string scope =
        table_.empty() ? sheet_ : sheet_.substr(0, sheet_.size() - table_.size() - 1);
    if (results.m_strScope != scope || results.GetCurrRunRow(sheet_) != row_ || row_ < 1)
      Raise("RunError", "the run has moved on from row " + std::to_string(row_) + " of '" +
                            sheet_ + "'");
  }

  // Column of the parameter in the results sheet; UnknownNameError when none.
  int Column(const std::string& name) const {
    CDDTResults& results = TheRun().Results();
    const std::string sheet = Sheet();
    const long index = results.GetSheetIndex(sheet);
    const long col = index < 1 ? -1 : results.GetColIndex(name, index);
    if (col < 1) Raise("UnknownNameError", "no parameter '" + name + "' in '" + sheet + "'");
    return static_cast<int>(col);
  }
  py::object Value(const std::string& name) const {
    Check();
    const int col = Column(name);
    CDDTResults& results = TheRun().Results();
    return CellValue(results, static_cast<int>(results.GetSheetIndex(Sheet())),
                     static_cast<int>(row_), col);
  }
  py::object Raw(const std::string& name) const {
    Check();
    const int col = Column(name);
    CDDTResults& results = TheRun().Results();
    py::object serial;
    py::object value = CellValue(results, static_cast<int>(results.GetSheetIndex(Sheet())),
                                 static_cast<int>(row_), col, &serial);
    return serial ? serial : value;
  }
  std::string Text(const std::string& name) const {
    Check();
    Column(name);
    return TheRun().Results().GetValue(name, table_);
  }
  py::list Parameters() const {
    CDDTResults& results = TheRun().Results();
    py::list names;
    const int count = results.GetParamCount(table_);
    for (int i = 1; i <= count; ++i) {
      const std::string name = results.GetParamName(i, table_);
      if (!name.empty()) names.append(name);
    }
    return names;
  }
  std::string Substitute(const std::string& source) const {
    Check();
    std::string out;
    TheRun().Results().SubstituteParameters(source, out, nullptr, nullptr);
    return out;
  }

  // The reference text of a parameter of this loop's sheet.
  std::string Reference(const std::string& name) const {
    if (!name.empty() && name.front() == '<') return name;
    return "<" + (table_.empty() ? std::string() : table_ + "::") + name + ">";
  }

  // The expected-value parameter that goes with an output: X_exp for X_out or X.
  std::string ExpectedFor(const std::string& output) const {
    static const std::string out = "_out";
    std::string base = output;
    if (base.size() > out.size() && base.compare(base.size() - out.size(), out.size(), out) == 0)
      base.resize(base.size() - out.size());
    const std::string expected = base + "_exp";
    CDDTResults& results = TheRun().Results();
    const long index = results.GetSheetIndex(Sheet());
    return index > 0 && results.GetColIndex(expected, index) > 0 ? expected : std::string();
  }

  // Writes the output; checks it when verify is set. True match, False mismatch, None no check.
  py::object Output(const std::string& name, const py::handle& value, const py::object& expected,
                    bool verify) {
    Check();
    const std::string text = EntryText(value);
    std::string pattern;
    if (verify) {
      if (expected.is_none()) {
        const std::string exp = ExpectedFor(name);
        if (exp.empty()) verify = false;  // nothing to check against: record only
        else pattern = Reference(exp);
      } else {
        pattern = py::str(expected).cast<std::string>();
      }
    }
    const std::string reference = Reference(name);
    TheRun().Touch();
    const int verdict =
        TheRun().Results().SetAndVerifyOutput(reference.c_str(), text.c_str(), pattern.c_str(), verify);
    if (verdict < 0)
      Raise("RunError", "output " + reference + " could not be written in '" + Sheet() +
                            "' (no such parameter, or no current row)");
    if (!name.empty() && name.front() != '<') KeepType(name, value);
    py::object result = verdict == 0 ? py::object(py::none()) : py::object(py::bool_(verdict == 1));
    outputs_.append(py::make_tuple(name, text, pattern, result));
    return result;
  }
  const py::list& Outputs() const { return outputs_; }

  // The output cell holds the Python value's type: the library enters the value's text as
  // a user's typing would ("0.5" a number, "=x" a formula), so a str is put back as the text
  // it is (without surrounding blanks, as it was compared), an int or float as a number and
  // a bool as a truth value. The cell keeps its mark.
  void KeepType(const std::string& name, const py::handle& value) {
    // The typed set, once the cell is known: (sheet, row, column) of the results.
    std::function<void(CDT_IF&, int, int, int)> put;
    if (py::isinstance<py::bool_>(value)) {
      const bool truth = value.cast<bool>();
      put = [truth](CDT_IF& e, int s, int r, int c) { e.SetBool(s, r, c, truth); };
    } else if (py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value)) {
      const double number = PyFloat_AsDouble(value.ptr());
      if (number == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();  // an int too large for a double stays the library's entry
        return;
      }
      put = [number](CDT_IF& e, int s, int r, int c) { e.SetNumber(s, r, c, number); };
    } else if (py::isinstance<py::str>(value)) {
      const std::string text = value.cast<std::string>();
      const auto first = text.find_first_not_of(" \t\r\n");
      if (first == std::string::npos) return;  // blank: the cell is empty
      const auto last = text.find_last_not_of(" \t\r\n");
      std::string kept = text.substr(first, last - first + 1);
      put = [kept = std::move(kept)](CDT_IF& e, int s, int r, int c) { e.SetText(s, r, c, kept); };
    } else {
      return;
    }
    CDDTResults& results = TheRun().Results();
    const long index = results.GetSheetIndex(Sheet());
    const long col = index > 0 ? results.GetColIndex(name, index) : -1;
    if (col < 1 || results.m_pEngine == nullptr) return;
    try {
      put(*results.m_pEngine, static_cast<int>(index), static_cast<int>(row_),
          static_cast<int>(col));
    } catch (const std::exception&) {
      return;  // a text over the cell limit stays the library's entry
    }
    results.m_pEngine->RecalcIfNeeded();
  }

 private:
  py::object run_;
  std::string table_;
  std::string sheet_;  // the loop's sheet when the iteration was made
  long row_ = 0;       // its row then
  py::list outputs_;  // (name, value, expected, verdict) of every output written
};

// Iterates the run rows of a business process from its first row, copying each into the
// results. Every iteration() call starts afresh, wherever an earlier loop or goto() left
// the business process.
class IterationIterator {
 public:
  IterationIterator(py::object run, std::string bp) : run_(std::move(run)), bp_(std::move(bp)) {}
  Iteration Next() {
    Run& run = run_.cast<Run&>();
    if (done_) throw py::stop_iteration();
    if (!started_) {
      run.Scope(bp_);
      run.Results().m_CurrRows.SetLastSelectedRowEntry(bp_, 0);
      started_ = true;
    } else if (run.Results().m_strScope != bp_ || run.Results().GetCurrRunRow(bp_) != row_) {
      // Another loop or goto() moved the run meanwhile: go on after this loop's own row.
      if (run.Results().m_strScope != bp_) run.Scope(bp_);
      run.Results().m_CurrRows.SetLastSelectedRowEntry(bp_, row_);
    }
    run.Touch();
    // Every row runs (CaptureRowsList without a list): the next run row follows this one.
    run.ClearMerged(bp_, row_ + 1);
    if (run.Results().CopyNextRunRow(&run.Input(), 0, 0, 0) != 0) {
      done_ = true;
      throw py::stop_iteration();
    }
    row_ = run.Results().GetCurrRunRow(bp_);
    return Iteration(run_, "");
  }

 private:
  py::object run_;
  std::string bp_;
  long row_ = 0;  // the row this loop copied last
  bool started_ = false;
  bool done_ = false;
};

// Iterates the current iteration's block of a child table.
class BlockIterator {
 public:
  BlockIterator(py::object run, std::string table) : run_(std::move(run)), table_(std::move(table)) {}
  Iteration Next() {
    Run& run = run_.cast<Run&>();
    if (done_) throw py::stop_iteration();
    run.Touch();
    const int step = started_ ? run.Results().AdvanceLoop(&run.Input(), table_)
                              : run.Results().ResetLoop(&run.Input(), table_);
    started_ = true;
    if (step != 0) {
      done_ = true;
      throw py::stop_iteration();
    }
    return Iteration(run_, table_);
  }

 private:
  py::object run_;
  std::string table_;
  bool started_ = false;
  bool done_ = false;
};

// ---- Manager ------------------------------------------------------------------------------

class Manager {
 public:
  Manager() : prm_(std::make_unique<CPrm>(CDT::DT_TYPE_QX)) {}
  CPrm& Prm() const {
    if (!prm_) throw py::value_error("the manager is closed");
    return *prm_;
  }
  void Close() { prm_.reset(); }
  void OpenExternal(const std::string& alias, const std::string& path, const std::string& folder) {
    EXTERNAL_DATA* record = Prm().LoadExternalWorkbook(alias, path, folder, nullptr);
    if (record == nullptr || record->pWorkbook == nullptr) {
      const std::string full = folder.empty() || (!path.empty() && path.front() == '/')
                                   ? path
                                   : folder + "/" + path;
      RaiseReadError(full);
    }
  }
  py::dict Externals() const {
    py::dict aliases;
    // A record without workbook (its file could not be read) names nothing usable.
    for (const EXTERNAL_DATA* record : Prm().m_ExternList)
      if (record->pWorkbook != nullptr && !aliases.contains(record->strAlias)) aliases[py::str(record->strAlias)] = record->strFileName;
    return aliases;
  }

 private:
  std::unique_ptr<CPrm> prm_;
};

}  // namespace

void BindRun(py::module_& m) {
  py::class_<Iteration>(m, "Iteration",
                        "The current row of a run: of a business process or, inside block(), "
                        "of one of its child tables.\n\n"
                        "Values are read from the results workbook's current row; output() "
                        "writes there and checks the value.")
      .def_property_readonly("number", &Iteration::Number,
                             "The current run row's number (0 when none).")
      .def_property_readonly("sheet", &Iteration::Sheet, "The sheet this loop reads.")
      .def_property_readonly(
          "table", [](const Iteration& i) -> py::object {
            return i.Table().empty() ? py::object(py::none()) : py::object(py::str(i.Table()));
          },
          "The child table's name, or None for the business process itself.")
      .def_property_readonly("parameters", &Iteration::Parameters)
      .def("__getitem__", &Iteration::Value, py::arg("name"),
           "The typed value (dates as datetime objects, see Row).")
      .def("raw", &Iteration::Raw, py::arg("name"),
           "The value with a date or time left as its serial number (a float).")
      .def("__contains__",
           [](const Iteration& i, const std::string& name) {
             CDDTResults& results = i.TheRun().Results();
             const long index = results.GetSheetIndex(i.Sheet());
             return index > 0 && results.GetColIndex(name, index) > 0;
           })
      .def("text", &Iteration::Text, py::arg("name"), "The value as displayed.")
      .def(
          "as_dict",
          [](const Iteration& i) {
            py::dict d;
            for (auto name : i.Parameters())
              if (!d.contains(name)) d[name] = i.Value(name.cast<std::string>());
            return d;
          },
          "Every parameter's typed value.")
      .def("substitute", &Iteration::Substitute, py::arg("text"),
           "The text with each reference '<[alias@@][table::]name>' replaced by its value.")
      .def("output", &Iteration::Output, py::arg("name"), py::arg("value"),
           py::arg("expected") = py::none(), py::arg("verify") = true,
           "Writes value into the output parameter `name` of this row and checks it.\n\n"
           "expected: a pattern ('*', '?', '[...]') or a reference '<param>'; by default the\n"
           "parameter X_exp that goes with X_out (or X), and no check when there is none.\n"
           "Returns True (match), False (mismatch) or None (not checked); the results\n"
           "workbook marks the cells green or red. RunError when nothing could be written.\n\n"
           "The cell takes the value's type: a str stays text exactly as given (\"0.5\",\n"
           "\"007\", \"=A1\" are text; surrounding blanks are dropped), an int or float is a\n"
           "number, a bool TRUE/FALSE. Other values are entered as their str() would be typed.")
      .def_property_readonly("outputs", &Iteration::Outputs,
                             "(name, value, expected, verdict) of each output() call so far.")
      .def(
          "block",
          [](const Iteration& i, const std::string& table) {
            if (!i.Table().empty())
              Raise("RunError", "block() runs from a business-process iteration");
            i.Check();
            const std::string sheet = i.Sheet() + "." + table;
            if (i.TheRun().Input().GetSheetIndex(sheet) < 1)
              Raise("UnknownNameError", "no child table '" + sheet + "'");
            return BlockIterator(i.RunObject(), table);
          },
          py::arg("table"),
          "Iterates this iteration's block of the child table: each row up to its '.End'.")
      .def("__repr__", [](const Iteration& i) {
        return "<Iteration '" + i.Sheet() + "' row " + std::to_string(i.Number()) + ">";
      });

  py::class_<IterationIterator>(m, "_IterationIterator")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", &IterationIterator::Next);
  py::class_<BlockIterator>(m, "_BlockIterator")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", &BlockIterator::Next);

  py::class_<Run>(m, "Run",
                  "A data-driven run: input rows copied one by one into a results workbook.\n\n"
                  "Made by Workbook.run(). At the end of a with block the results are saved to\n"
                  "the run's file, even when the block raised, so no row that ran is lost; a\n"
                  "save that fails is a SaveWarning naming the file and the reason (and the\n"
                  "journal that keeps the rows, when there is one). close() drops the results.")
      .def(py::init<py::object, const std::string&, const std::string&, const std::string&,
                    const std::string&, bool, bool>(),
           py::arg("workbook"), py::arg("results") = "", py::arg("user") = "1",
           py::arg("group") = "None", py::arg("host") = "Local", py::arg("marks") = true,
           py::arg("merge") = false)
      .def_property_readonly("path", &Run::Path, "The results workbook's file name.")
      .def_property_readonly("closed", &Run::Closed)
      .def(
          "iterations",
          [](py::object self, const std::string& bp) {
            self.cast<Run&>().Scope(bp);
            return IterationIterator(self, bp);
          },
          py::arg("bp"),
          "Iterates the business process's rows, copying each into the results first.\n\n"
          "Each call starts at the first row again (a second loop copies the rows anew).\n"
          "Every row of the sheet runs; a sheet without data rows runs 16,384 empty rows, "
          "as the library's capture of an empty sheet gives.")
      .def(
          "goto",
          [](py::object self, const std::string& bp, long row) {
            self.cast<Run&>().Goto(bp, row);
            return Iteration(self, "");
          },
          py::arg("bp"), py::arg("row"), "Copies that row of the business process and returns it.")
      .def("note", &Run::Note, py::arg("sheet"), py::arg("row"), py::arg("name"),
           py::arg("text"), py::arg("passed") = py::none(),
           "Writes text into column `name` (added when missing) of a results sheet's row; "
           "passed=True/False marks it green/red.")
      .def(
          "save", [](Run& r, py::object path) {
            r.Save(path.is_none() ? std::string() : py::str(path).cast<std::string>());
          },
          py::arg("path") = py::none(), "Writes the results workbook; FileError on failure.")
      .def("close", &Run::Close, "Frees the run without saving.")
      .def("__enter__", [](py::object self) { return self; })
      .def(
          "__exit__",
          [](Run& r, const py::object& type, const py::object&, const py::object&) {
            r.Exit(!type.is_none());
          },
          "Saves what is not saved yet (also when the block raised; SaveWarning when the "
          "file cannot be written), then closes the run.");

  py::class_<Manager>(m, "Manager",
                      "The parameter manager: holds external workbooks that references name "
                      "by alias ('<alias@@sheet::name>'). The newest manager is the current "
                      "one.")
      .def(py::init<>())
      .def(
          "open_external",
          [](Manager& mgr, const std::string& alias, py::object path, py::object folder) {
            mgr.OpenExternal(alias, py::str(path).cast<std::string>(),
                             folder.is_none() ? std::string() : py::str(folder).cast<std::string>());
          },
          py::arg("alias"), py::arg("path"), py::arg("folder") = py::none(),
          "Opens a workbook under an alias; FileError when it cannot be read.")
      .def_property_readonly("externals", &Manager::Externals, "alias -> file name.")
      .def("close", &Manager::Close)
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](Manager& mgr, py::args) { mgr.Close(); });

  py::class_<CParamName>(m, "ParamName",
                         "A parameter reference '<alias@@sheet::name>' taken apart.")
      .def(py::init([](const std::string& text) { return CParamName(text.c_str()); }),
           py::arg("text"))
      .def_property_readonly("name", &CParamName::GetName)
      .def_property_readonly("sheet", &CParamName::GetSheet)
      .def_property_readonly("alias", &CParamName::GetExternAlias)
      .def_property_readonly("is_reference", [](const CParamName& p) { return p.IsParam() != 0; },
                             "True when the text began with '<'.")
      .def_property_readonly("full_name", &CParamName::GetFullName)
      .def("full_sheet", &CParamName::GetFullSheet, py::arg("scope"),
           "The sheet the parameter is read from when `scope` is the business process.")
      .def("__str__", &CParamName::GetText)
      .def("__repr__", [](const CParamName& p) { return "<ParamName '" + p.GetText() + "'>"; });
}

}  // namespace ddt::python
