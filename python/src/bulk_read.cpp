// Reading a sheet's values in bulk: one pass over the cells the sheet holds, in row order,
// building each row's tuple directly with the C API, instead of one library call (and one
// cell lookup) per cell. Values are typed as Row gives them: the same CellValue rules, with
// dates by number format.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "core.h"
#include "grid/sheet.h"
#include "grid/style.h"
#include "grid/workbook.h"

namespace ddt::python {

namespace {

namespace grid = ddt::grid;

py::object Steal(PyObject* object) {
  if (object == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(object);
}

// Python str objects of the texts met so far, keyed by the text block's address: cells that
// share a block (a file's shared strings, copied texts) share one str. Direct-mapped, so its
// size stays fixed however many distinct texts a sheet holds. Valid only while no cell
// changes: cleared whenever a formula is evaluated.
class TextCache {
 public:
  PyObject* Get(const grid::SharedText& text) {
    const char* key = text.data();
    Slot& slot = slots_[(reinterpret_cast<std::uintptr_t>(key) >> 4) % slots_.size()];
    if (slot.key != key || slot.str.ptr() == nullptr) {
      slot.str = Steal(PyUnicode_DecodeUTF8(key, static_cast<Py_ssize_t>(text.size()), "replace"));
      slot.key = key;
    }
    return slot.str.inc_ref().ptr();
  }
  void Clear() {
    for (Slot& slot : slots_) slot = Slot{};
  }

 private:
  struct Slot {
    const char* key = nullptr;
    py::object str;
  };
  std::array<Slot, 8192> slots_{};
};

class SheetReader {
 public:
  SheetReader(CDT& table, int index, std::size_t width)
      : table_(table), book_(*table.m_pEngine->GetBook()),
        index_(index), width_(width), cache_(std::make_unique<TextCache>()) {
    for (std::size_t c = 1; c <= width_; ++c)
      colStyles_.push_back(book_.ColStyle(index_, static_cast<int>(c)));
  }

  // Rows first..last (last >= first), one tuple each.
  py::list Read(long first, long last) {
    py::list out(static_cast<std::size_t>(last - first + 1));
    long next = first;  // the next row to put out
    const grid::Sheet& sheet = book_.SheetAt(index_);
    std::size_t i = LowerRow(sheet, first);
    while (i < sheet.Rows().size() && sheet.Rows()[i].row <= last) {
      const grid::Sheet::RowEntry& entry = sheet.Rows()[i];
      for (; next < entry.row; ++next) Put(out, first, next, EmptyRow());
      const long row = entry.row;
      if (NeedsEvaluation(entry)) {
        // A formula's value may be computed now, which can change the sheet's cells: this
        // row is read cell by cell, and the walk finds its place again afterwards.
        Put(out, first, next++, SlowRow(row));
        cache_->Clear();
        i = LowerRow(sheet, row + 1);
        continue;
      }
      Put(out, first, next++, FastRow(entry));
      ++i;
    }
    for (; next <= last; ++next) Put(out, first, next, EmptyRow());
    return out;
  }

 private:
  static std::size_t LowerRow(const grid::Sheet& sheet, long row) {
    const auto& rows = sheet.Rows();
    return static_cast<std::size_t>(
        std::lower_bound(rows.begin(), rows.end(), row,
                         [](const grid::Sheet::RowEntry& e, long r) { return e.row < r; }) -
        rows.begin());
  }

  static void Put(py::list& out, long first, long row, py::object tuple) {
    PyList_SET_ITEM(out.ptr(), row - first, tuple.release().ptr());
  }

  bool NeedsEvaluation(const grid::Sheet::RowEntry& entry) const {
    for (const auto& c : entry.cells) {
      if (c.col > width_) break;
      if (c.cell.formula != nullptr || c.cell.dirty) return true;
    }
    return false;
  }

  py::object EmptyRow() {
    if (!empty_) {
      empty_ = Steal(PyTuple_New(static_cast<Py_ssize_t>(width_)));
      for (std::size_t c = 0; c < width_; ++c)
        PyTuple_SET_ITEM(empty_.ptr(), c, py::none().release().ptr());
    }
    return empty_;
  }

  py::object SlowRow(long row) {
    py::object tuple = Steal(PyTuple_New(static_cast<Py_ssize_t>(width_)));
    for (std::size_t c = 0; c < width_; ++c)
      PyTuple_SET_ITEM(tuple.ptr(), c,
                       CellValue(table_, index_, static_cast<int>(row), static_cast<int>(c + 1))
                           .release()
                           .ptr());
    return tuple;
  }

  py::object FastRow(const grid::Sheet::RowEntry& entry) {
    py::object tuple = Steal(PyTuple_New(static_cast<Py_ssize_t>(width_)));
    PyObject* t = tuple.ptr();
    const grid::StyleId rowStyle = book_.RowStyle(index_, entry.row);
    std::size_t c = 0;  // 0-based position to fill next
    for (const auto& e : entry.cells) {
      if (e.col > width_) break;
      for (; c + 1 < e.col; ++c) PyTuple_SET_ITEM(t, c, py::none().release().ptr());
      PyTuple_SET_ITEM(t, c, Convert(entry.row, e.col, e.cell, rowStyle));
      ++c;
    }
    for (; c < width_; ++c) PyTuple_SET_ITEM(t, c, py::none().release().ptr());
    return tuple;
  }

  // A new reference to the value of a constant cell.
  PyObject* Convert(int row, int col, const grid::Cell& cell, grid::StyleId rowStyle) {
    switch (cell.value.index()) {
      case 1: {
        const double number = std::get<double>(cell.value);
        grid::StyleId style = cell.style;
        if (style == grid::kDefaultStyle) style = rowStyle;
        if (style == grid::kDefaultStyle) style = colStyles_[static_cast<std::size_t>(col - 1)];
        if (style == grid::kDefaultStyle) style = book_.SheetAt(index_).sheetStyle;
        if (!ShowsPlainNumber(style)) {
          py::object date =
              DateValue(number, book_.Styles().Get(style).numberFormat, book_.Date1904());
          if (!date.is_none()) return date.release().ptr();
        }
        return Steal(PyFloat_FromDouble(number)).release().ptr();
      }
      case 2:
        return cache_->Get(std::get<grid::SharedText>(cell.value));
      case 3:
        return py::bool_(std::get<bool>(cell.value)).release().ptr();
      case 4:
        return CellValue(table_, index_, row, col).release().ptr();  // an error value
      default:
        return py::none().release().ptr();
    }
  }

  // Whether numbers under the style read as plain floats (its format shows no date or time).
  bool ShowsPlainNumber(grid::StyleId style) {
    if (style >= plain_.size()) plain_.resize(style + 1, -1);
    if (plain_[style] < 0) plain_[style] = IsNumberFormat(book_.Styles().Get(style).numberFormat);
    return plain_[style] != 0;
  }

  CDT& table_;
  grid::Workbook& book_;
  int index_;
  std::size_t width_;
  std::unique_ptr<TextCache> cache_;
  std::vector<grid::StyleId> colStyles_;
  std::vector<int8_t> plain_;  // by style id: 1 plain number, 0 date or time, -1 not known yet
  py::object empty_;
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
