// Reading a sheet's values in bulk: one visit of the cells the sheet holds (CDT_IF::VisitRange),
// in row order, building each row's tuple directly with the C API, instead of one library
// call (and one cell lookup) per cell. Values are typed as Row gives them: the same CellValue
// rules, with dates by number format.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "core.h"

namespace ddt::python {

namespace {

py::object Steal(PyObject* object) {
  if (object == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(object);
}

// Python str objects of the texts met so far, keyed by the text block's address: cells that
// share a block (a file's shared strings, copied texts) share one str. Direct-mapped, so its
// size stays fixed however many distinct texts a sheet holds. Valid only while no cell
// changes: one visit (formulas evaluated before it) at a time.
class TextCache {
 public:
  PyObject* Get(std::string_view text) {
    const char* key = text.data();
    Slot& slot = slots_[(reinterpret_cast<std::uintptr_t>(key) >> 4) % slots_.size()];
    if (slot.key != key || slot.str.ptr() == nullptr) {
      slot.str = Steal(PyUnicode_DecodeUTF8(key, static_cast<Py_ssize_t>(text.size()), "replace"));
      slot.key = key;
    }
    return slot.str.inc_ref().ptr();
  }

 private:
  struct Slot {
    const char* key = nullptr;
    py::object str;
  };
  std::array<Slot, 8192> slots_{};
};

class SheetReader final : public CDT_IF::CellVisitor {
 public:
  SheetReader(CDT& table, int index, std::size_t width)
      : table_(table), index_(index), width_(width), cache_(std::make_unique<TextCache>()) {}

  // Rows first..last (last >= first), one tuple each.
  py::list Read(long first, long last) {
    out_ = py::list(static_cast<std::size_t>(last - first + 1));
    first_ = first;
    next_ = first;
    date1904_ = table_.m_pEngine->Uses1904Dates();
    table_.m_pEngine->VisitRange(index_, static_cast<int>(first), 1, static_cast<int>(last),
                                 static_cast<int>(width_), *this);
    EndRow();
    for (; next_ <= last; ++next_) Put(next_, EmptyRow());
    return std::move(out_);
  }

  void Visit(int row, int col, const CDT_IF::CellView& cell) override {
    if (row != row_) {
      EndRow();
      for (; next_ < row; ++next_) Put(next_, EmptyRow());
      row_ = row;
      tuple_ = Steal(PyTuple_New(static_cast<Py_ssize_t>(width_)));
      filled_ = 0;
    }
    PyObject* t = tuple_.ptr();
    const std::size_t c = static_cast<std::size_t>(col - 1);
    for (; filled_ < c; ++filled_) PyTuple_SET_ITEM(t, filled_, py::none().release().ptr());
    PyTuple_SET_ITEM(t, c, Convert(row, col, cell));
    filled_ = c + 1;
  }

 private:
  // Puts out the row being built, its cells past the last visited one empty.
  void EndRow() {
    if (row_ == 0) return;
    PyObject* t = tuple_.ptr();
    for (; filled_ < width_; ++filled_) PyTuple_SET_ITEM(t, filled_, py::none().release().ptr());
    Put(next_++, std::move(tuple_));
    row_ = 0;
  }

  void Put(long row, py::object tuple) {
    PyList_SET_ITEM(out_.ptr(), row - first_, tuple.release().ptr());
  }

  py::object EmptyRow() {
    if (!empty_) {
      empty_ = Steal(PyTuple_New(static_cast<Py_ssize_t>(width_)));
      for (std::size_t c = 0; c < width_; ++c)
        PyTuple_SET_ITEM(empty_.ptr(), c, py::none().release().ptr());
    }
    return empty_;
  }

  // A new reference to the value of a cell.
  PyObject* Convert(int row, int col, const CDT_IF::CellView& cell) {
    switch (cell.kind) {
      case CDT_IF::CellView::Number: {
        if (!ShowsPlainNumber(cell)) {
          py::object date = DateValue(cell.number, std::string(cell.numberFormat), date1904_);
          if (!date.is_none()) return date.release().ptr();
        }
        return Steal(PyFloat_FromDouble(cell.number)).release().ptr();
      }
      case CDT_IF::CellView::Text: return cache_->Get(cell.text);
      case CDT_IF::CellView::Bool: return py::bool_(cell.boolean).release().ptr();
      case CDT_IF::CellView::Error:
        return CellValue(table_, index_, row, col).release().ptr();  // an error value
      default:
        return py::none().release().ptr();
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
  py::object empty_;
  bool date1904_ = false;
  py::list out_;
  long first_ = 0;
  long next_ = 0;           // the next row to put out
  int row_ = 0;             // the row being built; 0 when none
  py::object tuple_;        // its tuple
  std::size_t filled_ = 0;  // its items set so far
};

}  // namespace

py::list SheetValues(const py::object& sheetObject, long first, const py::object& lastObject) {
  if (first < 1) throw py::index_error("rows count from 1");
  const Sheet& sheet = sheetObject.cast<Sheet&>();
  const long count = sheet.RowCount();
  const long last = lastObject.is_none() ? count : std::min(count, lastObject.cast<long>());
  if (last < first) return py::list();
  const std::size_t width = py::len(sheet.HeaderNow()->names);
  SheetReader reader(sheet.Book().Input(), static_cast<int>(sheet.Index()), width);
  return reader.Read(first, last);
}

}  // namespace ddt::python
