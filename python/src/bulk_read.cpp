// Reading a sheet's values in bulk: one visit of the cells the sheet holds (CDT_IF::VisitRange),
// in row order, building each row's tuple (or each column's array) directly with the C API,
// instead of one library call (and one cell lookup) per cell. Values are typed as Row gives them: the same
// CellValue rules, with dates by number format.
#include <pybind11/numpy.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "core.h"

namespace ddt::python {

namespace {

using namespace pybind11::literals;

py::object Steal(PyObject* object) {
  if (object == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(object);
}

// Python str objects of the texts met so far, keyed by the text block's address: cells that
// share a block (a file's shared strings, copied texts) share one str, decoded once. An open
// hash table that grows with the distinct blocks met, up to kMaxSlots; past that it starts
// over empty, so a sheet of mostly distinct texts costs a bounded table, not one entry per
// cell. Valid only while no cell changes: one visit (formulas evaluated before it) at a time.
//
// The references Get hands out are counted in the table and added to each str by Settle():
// on a large sheet the strs lie all over memory, and touching one per text cell to count
// its reference was most of what a text cell cost. Until Settle() runs, the strs given out
// must not be released by anyone: the caller settles before its values can be dropped.
class TextCache {
 public:
  TextCache() : slots_(kMinSlots) {}
  ~TextCache() { Clear(); }
  TextCache(const TextCache&) = delete;
  TextCache& operator=(const TextCache&) = delete;

  // The str of the text, with a reference that counts once Settle() runs.
  PyObject* Get(std::string_view text) {
    const char* key = text.data();
    std::size_t at = Home(key);
    for (; slots_[at].key != nullptr; at = (at + 1) & (slots_.size() - 1)) {
      if (slots_[at].key == key) {
        ++slots_[at].owed;
        return slots_[at].str;
      }
    }
    PyObject* str = PyUnicode_DecodeUTF8(key, static_cast<Py_ssize_t>(text.size()), "replace");
    if (str == nullptr) throw py::error_already_set();
    if ((used_ + 1) * 2 > slots_.size()) {
      // At most half full, so that a probe ends soon at an empty slot.
      if (slots_.size() < kMaxSlots)
        Grow();
      else
        Clear();
      at = Home(key);
      while (slots_[at].key != nullptr) at = (at + 1) & (slots_.size() - 1);
    }
    slots_[at] = Slot{key, str, 1};  // the table's own reference is the one decoded
    ++used_;
    return str;
  }

  // Adds the references handed out since the last Settle() to their strs.
  void Settle() {
    for (Slot& slot : slots_) {
      if (slot.owed == 0) continue;
      Py_SET_REFCNT(slot.str, Py_REFCNT(slot.str) + slot.owed);
      slot.owed = 0;
    }
  }

 private:
  struct Slot {
    const char* key = nullptr;
    PyObject* str = nullptr;  // one reference owned by the table
    Py_ssize_t owed = 0;      // references handed out and not yet added
  };
  static constexpr std::size_t kMinSlots = 1024;
  static constexpr std::size_t kMaxSlots = std::size_t{1} << 18;  // 6 MiB of slots

  // Fibonacci hashing of the address: blocks lie at regular distances in memory, which a
  // plain modulo would crowd into few slots.
  std::size_t Home(const char* key) const {
    const std::uint64_t h = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key)) *
                            0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(h >> 40) & (slots_.size() - 1);
  }
  void Grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.key == nullptr) continue;
      std::size_t at = Home(slot.key);
      while (slots_[at].key != nullptr) at = (at + 1) & (slots_.size() - 1);
      slots_[at] = slot;
    }
  }
  // Settles, then drops the table's own references.
  void Clear() {
    Settle();
    for (Slot& slot : slots_) {
      Py_XDECREF(slot.str);
      slot = Slot{};
    }
    used_ = 0;
  }

  std::vector<Slot> slots_;
  std::size_t used_ = 0;
};

// Where the walk below puts the values: one tuple per row (Sheet.values()) or one array per
// column (Sheet.to_pandas()). Rows come in order, each row's cells in column order; a
// position not given is an empty cell.
class RowSink {
 public:
  virtual ~RowSink() = default;
  virtual void BeginRow(std::size_t at) = 0;  // at: 0 for the first row read
  virtual void Number(std::size_t col, double number) = 0;  // a plain number (no date format)
  virtual void Object(std::size_t col, PyObject* value) = 0;  // steals the reference
  // A str (exactly) from the text cache; steals the reference. Known to be a str, so that
  // the sink need not look at the object (which costs a memory access per text cell).
  virtual void Text(std::size_t col, PyObject* str) = 0;
  virtual void EndRow() = 0;
};

class SheetReader final : public CDT_IF::CellVisitor {
 public:
  SheetReader(CDT& table, int index, std::size_t width)
      : table_(table), index_(index), width_(width), cache_(std::make_unique<TextCache>()) {}

  // Rows first..last (last >= first) into the sink; rows without cells are not given.
  void Read(long first, long last, RowSink& sink) {
    sink_ = &sink;
    first_ = first;
    row_ = 0;
    date1904_ = table_.m_pEngine->Uses1904Dates();
    // The texts' references are settled on every way out, before the sink (which may drop
    // its values when an exception passes) sees its caller again.
    struct SettleTexts {
      TextCache& cache;
      ~SettleTexts() { cache.Settle(); }
    } settle{*cache_};
    table_.m_pEngine->VisitRange(index_, static_cast<int>(first), 1, static_cast<int>(last),
                                 static_cast<int>(width_), *this);
    if (row_ != 0) sink.EndRow();
  }

  void Visit(int row, int col, const CDT_IF::CellView& cell) override {
    if (row != row_) {
      if (row_ != 0) sink_->EndRow();
      row_ = row;
      sink_->BeginRow(static_cast<std::size_t>(row - first_));
    }
    Convert(row, col, cell);
  }

 private:
  // The value of a cell, into the sink.
  void Convert(int row, int col, const CDT_IF::CellView& cell) {
    const std::size_t at = static_cast<std::size_t>(col - 1);
    switch (cell.kind) {
      case CDT_IF::CellView::Number: {
        if (!ShowsPlainNumber(cell)) {
          py::object date = DateValue(cell.number, std::string(cell.numberFormat), date1904_);
          if (!date.is_none()) return sink_->Object(at, date.release().ptr());
        }
        return sink_->Number(at, cell.number);
      }
      case CDT_IF::CellView::Text: return sink_->Text(at, cache_->Get(cell.text));
      case CDT_IF::CellView::Bool: return sink_->Object(at, py::bool_(cell.boolean).release().ptr());
      case CDT_IF::CellView::Error:
        return sink_->Object(at, CellValue(table_, index_, row, col).release().ptr());  // an error value
      default: return;
    }
  }

  // Whether numbers under the cell's style read as plain floats (its format shows no date
  // or time).
  bool ShowsPlainNumber(const CDT_IF::CellView& cell) {
    const std::size_t style = cell.styleId;
    if (style >= plain_.size()) plain_.resize(style + 1, -1);
    if (plain_[style] < 0) plain_[style] = IsNumberFormat(std::string(cell.numberFormat));
    return plain_[style] != 0;
  }

  CDT& table_;
  int index_;
  std::size_t width_;
  std::unique_ptr<TextCache> cache_;
  std::vector<int8_t> plain_;  // by style id: 1 plain number, 0 date or time, -1 not known yet
  bool date1904_ = false;
  RowSink* sink_ = nullptr;
  long first_ = 0;
  int row_ = 0;  // the row being given to the sink; 0 when none
};

// Whether the object can never be part of a reference cycle: a tuple holding only such
// values need not be watched by the garbage collector (CPython untracks them the same way,
// but only when a collection meets them).
bool Atomic(PyObject* value) {
  return value == Py_None || PyFloat_CheckExact(value) || PyUnicode_CheckExact(value) || PyBool_Check(value);
}

// One tuple per row; rows without cells share one tuple of None.
class TupleSink : public RowSink {
 public:
  TupleSink(std::size_t rows, std::size_t width) : width_(width), out_(Steal(PyList_New(static_cast<Py_ssize_t>(rows)))) {}

  void BeginRow(std::size_t at) override {
    FillEmpty(at);
    row_ = Steal(PyTuple_New(static_cast<Py_ssize_t>(width_)));
    at_ = at;
    filled_ = 0;
    atomic_ = true;
  }
  void Number(std::size_t col, double number) override { Put(col, Steal(PyFloat_FromDouble(number)).release().ptr()); }
  void Object(std::size_t col, PyObject* value) override {
    atomic_ = atomic_ && Atomic(value);
    Put(col, value);
  }
  void Text(std::size_t col, PyObject* str) override { Put(col, str); }
  void EndRow() override {
    PyObject* t = row_.ptr();
    for (; filled_ < width_; ++filled_) PyTuple_SET_ITEM(t, filled_, NewNone());
    if (atomic_ && PyObject_GC_IsTracked(t)) PyObject_GC_UnTrack(t);
    PyList_SET_ITEM(out_.ptr(), static_cast<Py_ssize_t>(at_), row_.release().ptr());
    next_ = at_ + 1;
  }
  py::list Finish() {
    FillEmpty(static_cast<std::size_t>(PyList_GET_SIZE(out_.ptr())));
    return py::reinterpret_steal<py::list>(out_.release());
  }

 private:
  static PyObject* NewNone() {
    Py_INCREF(Py_None);
    return Py_None;
  }
  void Put(std::size_t col, PyObject* value) {
    PyObject* t = row_.ptr();
    for (; filled_ < col; ++filled_) PyTuple_SET_ITEM(t, filled_, NewNone());
    PyTuple_SET_ITEM(t, col, value);
    filled_ = col + 1;
  }
  // Rows next_..end-1 had no cells.
  void FillEmpty(std::size_t end) {
    if (next_ >= end) return;
    if (!empty_) {
      empty_ = Steal(PyTuple_New(static_cast<Py_ssize_t>(width_)));
      for (std::size_t c = 0; c < width_; ++c) PyTuple_SET_ITEM(empty_.ptr(), c, NewNone());
    }
    for (; next_ < end; ++next_) PyList_SET_ITEM(out_.ptr(), static_cast<Py_ssize_t>(next_), empty_.inc_ref().ptr());
  }

  std::size_t width_;
  py::object out_, row_, empty_;
  std::size_t at_ = 0, next_ = 0, filled_ = 0;
  bool atomic_ = true;
};

// One array per column: float64 (empty cells NaN) for a column of plain numbers, else an
// object array of the values (empty cells None). A column of numbers takes no Python object
// per cell.
class ColumnSink : public RowSink {
 public:
  ColumnSink(std::size_t rows, std::size_t width) : rows_(rows), columns_(width) {}

  void BeginRow(std::size_t at) override { at_ = at; }
  void Number(std::size_t col, double number) override {
    Column& column = columns_[col];
    if (column.objects.empty()) {
      if (column.numbers.empty()) column.numbers.assign(rows_, std::numeric_limits<double>::quiet_NaN());
      column.numbers[at_] = number;
    } else {
      column.objects[at_] = PyFloat_FromDouble(number);
      if (column.objects[at_] == nullptr) throw py::error_already_set();
      column.onlyTexts = false;
    }
  }
  void Object(std::size_t col, PyObject* value) override {
    Put(col, value, PyUnicode_CheckExact(value));
  }
  void Text(std::size_t col, PyObject* str) override { Put(col, str, true); }
  void EndRow() override {}

  // (array, settled) per column: settled when the array is what the column's values make
  // (floats, or texts and None); otherwise an object array whose type pandas infers.
  py::list Finish() {
    py::module_ numpy = py::module_::import("numpy");
    py::list out;
    for (Column& column : columns_) {
      if (column.objects.empty() && !column.numbers.empty()) {
        py::array_t<double> array(static_cast<py::ssize_t>(rows_));
        std::copy(column.numbers.begin(), column.numbers.end(), array.mutable_data());
        column.numbers = {};
        out.append(py::make_tuple(std::move(array), true));
        continue;
      }
      // numpy.empty of objects is filled with None.
      py::array array = numpy.attr("empty")(rows_, "dtype"_a = "O");
      PyObject** data = static_cast<PyObject**>(array.mutable_data());
      for (std::size_t r = 0; r < column.objects.size(); ++r) {
        if (column.objects[r] == nullptr) continue;
        Py_XDECREF(data[r]);
        data[r] = std::exchange(column.objects[r], nullptr);
      }
      out.append(py::make_tuple(std::move(array), column.onlyTexts));
    }
    return out;
  }
  ~ColumnSink() override {
    for (Column& column : columns_) {
      for (PyObject* value : column.objects) Py_XDECREF(value);
    }
  }

 private:
  // A value (not a number) into its column; isStr: it is a str, not a subclass.
  void Put(std::size_t col, PyObject* value, bool isStr) {
    Column& column = columns_[col];
    if (column.objects.empty()) {
      // The column holds something else than numbers: the numbers read so far become floats.
      column.objects.assign(rows_, nullptr);
      column.onlyTexts = column.numbers.empty();
      for (std::size_t r = 0; r < column.numbers.size(); ++r) {
        if (!std::isnan(column.numbers[r])) {
          column.objects[r] = PyFloat_FromDouble(column.numbers[r]);
          if (column.objects[r] == nullptr) throw py::error_already_set();
        }
      }
      column.numbers = {};
    }
    column.objects[at_] = value;
    column.onlyTexts = column.onlyTexts && isStr;
  }

  struct Column {
    std::vector<double> numbers;     // while the column holds only numbers (NaN: empty)
    std::vector<PyObject*> objects;  // once it holds something else (nullptr: empty)
    bool onlyTexts = true;           // every value in objects is a str (not a subclass)
  };
  std::size_t rows_;
  std::size_t at_ = 0;
  std::vector<Column> columns_;
};

// The garbage collector off while a bulk read makes its many objects: they hold no cycles,
// and collections triggered by the allocations would walk every tuple made so far.
class CollectorPause {
 public:
  CollectorPause() : wasOn_(PyGC_Disable() != 0) {}
  ~CollectorPause() {
    if (wasOn_) PyGC_Enable();
  }
  CollectorPause(const CollectorPause&) = delete;
  CollectorPause& operator=(const CollectorPause&) = delete;

 private:
  bool wasOn_;
};

struct Range {
  long first = 0, last = -1;
  std::size_t width = 0;
  std::size_t Rows() const { return last < first ? 0 : static_cast<std::size_t>(last - first + 1); }
};

Range RangeOf(const Sheet& sheet, long first, const py::object& lastObject) {
  if (first < 1) throw py::index_error("rows count from 1");
  const long count = sheet.RowCount();
  Range range;
  range.first = first;
  range.last = lastObject.is_none() ? count : std::min(count, lastObject.cast<long>());
  range.width = static_cast<std::size_t>(py::len(sheet.HeaderNow()->names));
  return range;
}

}  // namespace

py::list SheetValues(const py::object& sheetObject, long first, const py::object& lastObject) {
  const Sheet& sheet = sheetObject.cast<Sheet&>();
  const Range range = RangeOf(sheet, first, lastObject);
  if (range.Rows() == 0) return py::list();
  CollectorPause pause;
  SheetReader reader(sheet.Book().Input(), static_cast<int>(sheet.Index()), range.width);
  TupleSink sink(range.Rows(), range.width);
  reader.Read(range.first, range.last, sink);
  return sink.Finish();
}

py::list SheetColumns(const py::object& sheetObject, long first, const py::object& lastObject) {
  const Sheet& sheet = sheetObject.cast<Sheet&>();
  const Range range = RangeOf(sheet, first, lastObject);
  CollectorPause pause;
  SheetReader reader(sheet.Book().Input(), static_cast<int>(sheet.Index()), range.width);
  ColumnSink sink(range.Rows(), range.width);
  if (range.Rows() > 0) reader.Read(range.first, range.last, sink);
  return sink.Finish();
}

}  // namespace ddt::python
