// Workbook: sheets, cells, headings, extents and state. Ranges live in workbook_ranges.cpp,
// formats in workbook_styles.cpp, blocks of cells in workbook_blocks.cpp.
#include "grid/workbook.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <unordered_map>

#include "grid/format/entry.h"
#include "grid/format/number_format.h"
#include "grid/formula/a1.h"
#include "grid/formula/formula.h"
#include "grid/sheet.h"
#include "text/utf8.h"

namespace ddt::grid {

namespace {

// Live workbooks by handle, for CopyRangeFrom.
struct Registry {
  std::mutex mutex;
  std::unordered_map<uint32_t, Workbook*> books;
  uint32_t next = 1;
};
Registry& Books() {
  static Registry r;
  return r;
}

uint32_t Register(Workbook* book) {
  Registry& r = Books();
  std::lock_guard lock(r.mutex);
  uint32_t h = r.next++;
  if (r.next == 0) r.next = 1;
  r.books[h] = book;
  return h;
}

// Whoever keeps blocks of cells beyond their workbook's life (the engine's clipboard).
// A plain pointer needs no destruction, so workbooks destroyed at exit can still read it;
// atomic, since workbooks of other threads read it while it is set.
using ContentsGoing = void (*)(const Workbook&);
std::atomic<ContentsGoing> g_contentsGoing{nullptr};

}  // namespace

void Workbook::SetContentsGoingListener(void (*listener)(const Workbook&)) {
  g_contentsGoing.store(listener);
}

Workbook::Workbook() : handle_(Register(this)) {
  sheets_.push_back(std::make_unique<Sheet>(nextSheetId_++, "Sheet1"));
  calc_ = std::make_unique<formula::Calculator>(*this);
}

Workbook::~Workbook() {
  if (ContentsGoing going = g_contentsGoing.load()) going(*this);
  Registry& r = Books();
  std::lock_guard lock(r.mutex);
  r.books.erase(handle_);
}

Workbook* Workbook::FromHandle(uint32_t handle) {
  Registry& r = Books();
  std::lock_guard lock(r.mutex);
  auto it = r.books.find(handle);
  return it == r.books.end() ? nullptr : it->second;
}

void Workbook::Changed() {
  modified_ = true;
  if (listener_) {
    auto listener = listener_;  // the listener may replace itself
    listener();
  }
}

void Workbook::ShowDialog(std::string_view dialog) const {
  if (ui_.dialog) ui_.dialog(dialog);
}
void Workbook::Print(int flag) const {
  if (ui_.print) ui_.print(flag);
}

// --- Sheets ---------------------------------------------------------------------------------

int Workbook::ResolveSheet(int sheet) const {
  if (sheet == 0) return current_;
  if (sheet < 1 || sheet > SheetCount())
    throw GridError("Invalid sheet index.", ErrorKind::BadArgument);
  return sheet;
}

Sheet& Workbook::SheetAt(int sheet) { return *sheets_[ResolveSheet(sheet) - 1]; }
const Sheet& Workbook::SheetAt(int sheet) const { return *sheets_[ResolveSheet(sheet) - 1]; }

void Workbook::CheckCell(int row, int col) const {
  // A file read in place writes its header row at row 0.
  if (row < 1 - readOrigin_ || row > kMaxRows || col < 1 || col > kMaxCols)
    throw GridError("Invalid row or column.", ErrorKind::BadArgument);
}

int Workbook::SheetCount() const { return static_cast<int>(sheets_.size()); }

void Workbook::SetSheetCount(int count) {
  if (count < 1 || count > kMaxSheets)
    throw GridError("Invalid sheet count.", ErrorKind::BadArgument);
  if (count == SheetCount()) return;
  if (count > SheetCount()) {
    InsertSheets(SheetCount() + 1, count - SheetCount());
  } else {
    DeleteSheets(count + 1, SheetCount() - count);
  }
}

int Workbook::CurrentSheet() const { return current_; }

void Workbook::SetCurrentSheet(int sheet) { current_ = ResolveSheet(sheet); }

std::string Workbook::SheetName(int sheet) const { return SheetAt(sheet).Name(); }

void Workbook::SetSheetName(int sheet, std::string_view name) {
  Sheet& s = SheetAt(sheet);
  if (name.empty()) throw GridError("Invalid sheet name.", ErrorKind::BadArgument);
  s.SetName(std::string(name));
  TellStructure([&](StructureListener& l) { l.SheetRenamed(s.Id(), s.Name()); });
  Changed();
}

int Workbook::FindSheet(std::string_view name) const {
  for (size_t i = 0; i < sheets_.size(); ++i)
    if (sheets_[i]->Name() == name) return static_cast<int>(i) + 1;
  return 0;
}

// "SheetN" with the smallest N that no sheet uses yet.
std::string Workbook::NewSheetName(int /*taken*/) const {
  std::set<std::string> used;
  for (const auto& s : sheets_) used.insert(s->Name());
  for (int n = 1;; ++n) {
    std::string name = "Sheet" + std::to_string(n);
    if (!used.count(name)) return name;
  }
}

void Workbook::InsertSheets(int before, int count) {
  if (before < 1 || before > SheetCount() + 1)
    throw GridError("Invalid sheet index.", ErrorKind::BadArgument);
  if (count < 0 || count > kMaxSheets - SheetCount())
    throw GridError("Invalid sheet count.", ErrorKind::BadArgument);
  if (count == 0) return;
  std::vector<std::unique_ptr<Sheet>> added;
  for (int i = 0; i < count; ++i) {
    // Names must differ from each other too: insert each before naming the next.
    auto sheet = std::make_unique<Sheet>(nextSheetId_++, NewSheetName(0));
    sheets_.insert(sheets_.begin() + (before - 1) + i, std::move(sheet));
  }
  if (current_ >= before) current_ += count;
  Calc().StructureChanged();
  Changed();
}

void Workbook::DeleteSheets(int first, int count) {
  if (count < 0 || first < 1 || first > SheetCount() || count > SheetCount() - first + 1)
    throw GridError("Invalid sheet index.", ErrorKind::BadArgument);
  if (count == 0) return;
  if (count == SheetCount())
    throw GridError("A workbook must keep at least one sheet.", ErrorKind::BadArgument);
  for (int i = first; i < first + count; ++i) {
    const uint32_t id = sheets_[static_cast<size_t>(i - 1)]->Id();
    TellStructure([&](StructureListener& l) { l.SheetRemoved(id); });
  }
  sheets_.erase(sheets_.begin() + (first - 1), sheets_.begin() + (first - 1 + count));
  if (current_ >= first + count) {
    current_ -= count;
  } else if (current_ >= first) {
    current_ = std::min(first, SheetCount());
  }
  Calc().StructureChanged();
  Changed();
}

void Workbook::AddStructureListener(StructureListener* listener) {
  if (listener) structureListeners_.push_back(listener);
}

void Workbook::RemoveStructureListener(StructureListener* listener) {
  structureListeners_.erase(
      std::remove(structureListeners_.begin(), structureListeners_.end(), listener),
      structureListeners_.end());
}

void Workbook::TellStructure(const std::function<void(StructureListener&)>& tell) {
  if (extras_) tell(*extras_);
  for (StructureListener* l : structureListeners_) tell(*l);
}

uint32_t Workbook::SheetId(int sheet) const { return SheetAt(sheet).Id(); }

int Workbook::SheetIndexOfId(uint32_t id) const {
  for (size_t i = 0; i < sheets_.size(); ++i)
    if (sheets_[i]->Id() == id) return static_cast<int>(i) + 1;
  return 0;
}

// --- Cells ----------------------------------------------------------------------------------

void Workbook::ClearContent(Sheet& s, int row, int col) {
  Cell* c = s.FindMutable(row, col);
  if (!c) return;
  c->value = Empty{};
  c->formula.reset();
  c->forcedText = false;
  c->dirty = false;
  s.NoteContentRemoved(col);
  s.EraseIfUnused(row, col);
}

void Workbook::CheckArrayEdit(const Sheet& s, const Range& r) const {
  // A spilled cell can be typed over: the spill then gives #SPILL! until it is cleared.
  for (const Range& a : calc_->ArraysOverlapping(s.Id(), r, /*spills=*/false)) {
    if (a.firstRow >= r.firstRow && a.lastRow <= r.lastRow && a.firstCol >= r.firstCol &&
        a.lastCol <= r.lastCol)
      continue;
    RefuseArrayEdit(a);
  }
}

void Workbook::RefuseArrayEdit(const Range& a) {
  throw GridError("Cannot change part of an array formula (" + formula::ColumnLetters(a.firstCol) +
                  std::to_string(a.firstRow) + ":" + formula::ColumnLetters(a.lastCol) +
                  std::to_string(a.lastRow) + ").");
}

void Workbook::PutFormula(Sheet& s, int row, int col, formula::FormulaPtr f) {
  Cell& c = s.At(row, col);
  c.formula = std::move(f);
  c.value = Empty{};
  c.forcedText = false;
  c.dirty = true;
  s.mayHaveFormulas = true;
  s.NoteContent(col);
  AddArrayCells(s, row, col);
}

void Workbook::AddArrayCells(Sheet& s, int row, int col) {
  const Cell* anchor = s.Find(row, col);
  int rows = 1, cols = 1;
  if (!anchor || !anchor->formula || !formula::FillsArrayCells(*anchor->formula, &rows, &cols))
    return;
  // The other cells of an array formula exist from the start, so that computing it only
  // writes values (cells kept for their content: a file's stored results stay).
  for (int r = row; r < row + rows && r <= kMaxRows; ++r)
    for (int k = col; k < col + cols && k <= kMaxCols; ++k) {
      if (r == row && k == col) continue;
      Cell& m = s.At(r, k);
      if (!HasContent(m)) m.dirty = true;
    }
}

void Workbook::SetEntry(int sheet, int row, int col, std::string_view text) {
  Sheet& s = SheetAt(sheet);
  CheckCell(row, col);
  CheckArrayEdit(s, Range{row, col, row, col});
  format::ParsedEntry e = format::ParseEntry(text);
  switch (e.kind) {
    case format::ParsedEntry::Kind::Empty:
      ClearContent(s, row, col);
      break;
    case format::ParsedEntry::Kind::Formula:
      // Parse first: a refused formula leaves the cell as it was.
      PutFormula(s, row, col, formula::AsEnteredFormula(formula::ParseFormula(e.formula, *this)));
      break;
    case format::ParsedEntry::Kind::Constant: {
      if (auto* t = std::get_if<SharedText>(&e.value); t && t->size() > kMaxCellTextLength)
        throw GridError("Text is longer than 32767 characters.", ErrorKind::OverLimit);
      std::string code = e.numberFormat;
      Cell& c = s.At(row, col);
      c.value = std::move(e.value);
      c.formula.reset();
      c.forcedText = e.forcedText;
      c.dirty = false;
      s.NoteContent(col);
      // A percentage typed into a General cell gives the cell its percent format.
      if (!code.empty()) {
        Style st = CellStyle(sheet, row, col);
        if (st.numberFormat == "General") {
          st.numberFormat = code;
          s.At(row, col).style = styles_.Intern(st);
          s.mayHaveCellStyles = true;
        }
      }
      break;
    }
  }
  Calc().CellChanged(s.Id(), row, col);
  Changed();
}

std::string Workbook::GetEntry(int sheet, int row, int col) {
  const Sheet& s = SheetAt(sheet);
  CheckCell(row, col);
  const Cell* c = s.Find(row, col);
  if (!c) return {};
  if (c->formula) return std::string("=").append(formula::PrintFormula(*c->formula, *this));
  return format::EntryText(c->value, c->forcedText);
}

std::string Workbook::GetFormattedText(int sheet, int row, int col) {
  Value v = GetCellValue(sheet, row, col);
  if (auto* d = std::get_if<double>(&v))
    return format::FormatNumber(*d, CellStyle(sheet, row, col).numberFormat, date1904_);
  if (auto* t = std::get_if<SharedText>(&v))
    return format::FormatText(*t, CellStyle(sheet, row, col).numberFormat);
  // Logical values show through the code's text section (as TEXT() gives them).
  if (auto* b = std::get_if<bool>(&v))
    return format::FormatLogical(*b, CellStyle(sheet, row, col).numberFormat);
  if (auto* e = std::get_if<ErrorCode>(&v)) return ErrorText(*e);
  return {};
}

void Workbook::SetFormula(int sheet, int row, int col, std::string_view text) {
  Sheet& s = SheetAt(sheet);
  CheckCell(row, col);
  CheckArrayEdit(s, Range{row, col, row, col});
  if (text.empty() || text == "=") {
    if (text == "=") throw GridError(kInvalidFormulaSyntax, ErrorKind::BadArgument);
    ClearContent(s, row, col);
  } else {
    PutFormula(s, row, col, formula::AsEnteredFormula(formula::ParseFormula(text, *this)));
  }
  Calc().CellChanged(s.Id(), row, col);
  Changed();
}

std::string Workbook::GetFormula(int sheet, int row, int col) {
  const Sheet& s = SheetAt(sheet);
  CheckCell(row, col);
  const Cell* c = s.Find(row, col);
  if (c && c->formula) return formula::PrintFormula(*c->formula, *this);
  // A cell an array formula fills (or spills over) shows that formula.
  if (auto anchor = calc_->ArrayAnchor(s.Id(), row, col)) {
    if (const Cell* a = s.Find(anchor->first, anchor->second); a && a->formula)
      return formula::PrintFormula(*a->formula, *this);
  }
  if (!c) return {};
  return format::EntryText(c->value, c->forcedText);
}

void Workbook::SetCellValue(int sheet, int row, int col, Value value) {
  Sheet& s = SheetAt(sheet);
  CheckCell(row, col);
  if (IsEmpty(value)) {
    ClearContent(s, row, col);
  } else {
    Cell& c = s.At(row, col);
    c.value = std::move(value);
    c.formula.reset();
    c.forcedText = false;
    c.dirty = false;
    s.NoteContent(col);
  }
  Calc().CellChanged(s.Id(), row, col);
  Changed();
}

void Workbook::SetCellFormula(int sheet, int row, int col,
                              formula::FormulaPtr f,
                              std::optional<Value> cachedResult) {
  Sheet& s = SheetAt(sheet);
  CheckCell(row, col);
  if (!f) throw GridError(kInvalidFormulaSyntax, ErrorKind::BadArgument);
  PutFormula(s, row, col, std::move(f));
  if (cachedResult) {
    Cell& c = s.At(row, col);
    c.value = std::move(*cachedResult);
    c.dirty = false;
  }
  Calc().CellChanged(s.Id(), row, col);
  Changed();
}

void Workbook::SetCellStyle(int sheet, int row, int col, StyleId style) {
  Sheet& s = SheetAt(sheet);
  CheckCell(row, col);
  if (style >= styles_.size()) throw GridError("Invalid style.", ErrorKind::BadArgument);
  if (style == kDefaultStyle) {
    if (Cell* c = s.FindMutable(row, col)) {
      c->style = kDefaultStyle;
      s.EraseIfUnused(row, col);
    }
  } else {
    s.At(row, col).style = style;
    s.mayHaveCellStyles = true;
  }
  Changed();
}

Value Workbook::GetCellValue(int sheet, int row, int col) {
  int index = ResolveSheet(sheet);
  CheckCell(row, col);
  // A formula waiting for its result may spill over this cell.
  Calc().ComputePendingSpills();
  const Cell* c = sheets_[index - 1]->Find(row, col);
  if (!c) return Empty{};
  // A cell an array formula fills is stale while its array is.
  if (!c->formula && !c->dirty) return c->value;
  return Calc().Evaluate(index, row, col);
}

const Cell* Workbook::FindCell(int sheet, int row, int col) const {
  const Sheet& s = SheetAt(sheet);
  // A held header row (row 0) can be looked at, not written through the cell members.
  if (row != 0 || rowOrigin_ == 0) CheckCell(row, col);
  else CheckCell(1, col);
  return s.Find(row, col);
}

const Style& Workbook::CellStyle(int sheet, int row, int col) const {
  const Sheet& s = SheetAt(sheet);
  CheckCell(row, col);
  const Cell* c = s.Find(row, col);
  if (c && c->style != kDefaultStyle) return styles_.Get(c->style);
  if (StyleId r = s.rowStyles.Get(row); r != kDefaultStyle) return styles_.Get(r);
  if (StyleId k = s.colStyles.Get(col); k != kDefaultStyle) return styles_.Get(k);
  return styles_.Get(s.sheetStyle);
}

void Workbook::ForEachCell(int sheet,
                           const std::function<void(int, int, const Cell&)>& fn) const {
  SheetAt(sheet).ForEachIn(1, 1, kMaxRows, kMaxCols, fn);
}

void Workbook::ForEachCellIn(int sheet, const Range& range,
                             const std::function<void(int, int, const Cell&)>& fn) const {
  const Sheet& s = SheetAt(sheet);
  Range r = NormalizeRange(range);
  s.ForEachIn(r.firstRow, r.firstCol, r.lastRow, r.lastCol, fn);
}

// --- Headings and columns -------------------------------------------------------------------

std::string Workbook::ColHeading(int col) const {
  if (col < 1 || col > kMaxCols) throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  return Current().colHeadings.Get(col);
}

void Workbook::SetColHeading(int col, std::string_view text) {
  if (col < 1 || col > kMaxCols) throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  Current().colHeadings.Set(col, col, std::string(text));
  Changed();
}

std::string Workbook::RowHeading(int row) const {
  if (row < 1 || row > kMaxRows) throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  return Current().rowHeadings.Get(row);
}

void Workbook::SetRowHeading(int row, std::string_view text) {
  if (row < 1 || row > kMaxRows) throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  Current().rowHeadings.Set(row, row, std::string(text));
  Changed();
}

double Workbook::ColWidth(int sheet, int col) const {
  const Sheet& s = SheetAt(sheet);
  if (col < 1 || col > kMaxCols) throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  return s.colWidths.Get(col);
}

void Workbook::SetColWidth(int sheet, int col, double width) {
  Sheet& s = SheetAt(sheet);
  if ((col < 1 && col != kAll) || col > kMaxCols)
    throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  if (!(width >= 0 && width <= kMaxColWidth))
    throw GridError("Invalid column width.", ErrorKind::BadArgument);
  if (col == kAll) s.colWidths.Set(1, kMaxCols, width);
  else s.colWidths.Set(col, col, width);
  Changed();
}

namespace {
// Room beside the text, in characters, when a column is fitted to its contents.
constexpr double kFitPadding = 1.0;
}  // namespace

void Workbook::FitColumns(const Range& range) {
  Range r = NormalizeRange(range);
  Sheet& s = Current();
  // Positions first: evaluating formulas for their text must not run inside the walk.
  std::vector<std::pair<int, int>> used;
  s.ForEachIn(r.firstRow, r.firstCol, r.lastRow, r.lastCol, [&](int row, int col, const Cell& c) {
    if (HasContent(c)) used.emplace_back(row, col);
  });
  std::unordered_map<int, size_t> widest;
  for (auto [row, col] : used) {
    size_t& w = widest[col];
    w = std::max(w, text::utf8::CountCharacters(GetFormattedText(0, row, col)));
  }
  s.colHeadings.ForEach([&](int first, int last, const std::string& text) {
    for (int col = std::max(first, r.firstCol); col <= std::min(last, r.lastCol); ++col) {
      size_t& w = widest[col];
      w = std::max(w, text::utf8::CountCharacters(text));
    }
  });
  for (auto [col, chars] : widest) {
    if (chars == 0) continue;
    double width = std::min(kMaxColWidth, static_cast<double>(chars) + kFitPadding);
    s.colWidths.Set(col, col, width);
  }
  Changed();
}

namespace {
void CheckLines(int first, int last, int limit) {
  if (first == kAll && last == kAll) return;
  if (first < 1 || last < first || last > limit)
    throw GridError("Invalid row or column.", ErrorKind::BadArgument);
}
}  // namespace

void Workbook::SetRowsHidden(int sheet, int firstRow, int lastRow, bool hidden) {
  Sheet& s = SheetAt(sheet);
  CheckLines(firstRow, lastRow, kMaxRows);
  if (firstRow == kAll) firstRow = 1, lastRow = kMaxRows;
  s.rowHidden.Set(firstRow, lastRow, hidden);
  Changed();
}

void Workbook::SetColsHidden(int sheet, int firstCol, int lastCol, bool hidden) {
  Sheet& s = SheetAt(sheet);
  CheckLines(firstCol, lastCol, kMaxCols);
  if (firstCol == kAll) firstCol = 1, lastCol = kMaxCols;
  s.colHidden.Set(firstCol, lastCol, hidden);
  Changed();
}

bool Workbook::RowHidden(int sheet, int row) const {
  const Sheet& s = SheetAt(sheet);
  // A held header row can be looked at (SUBTOTAL over a range that starts in it).
  if (row < (rowOrigin_ != 0 ? 0 : 1) || row > kMaxRows)
    throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  return s.rowHidden.Get(row);
}

bool Workbook::ColHidden(int sheet, int col) const {
  const Sheet& s = SheetAt(sheet);
  if (col < 1 || col > kMaxCols) throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  return s.colHidden.Get(col);
}

StyleId Workbook::RowStyle(int sheet, int row) const {
  const Sheet& s = SheetAt(sheet);
  if (row < 1 || row > kMaxRows) throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  return s.rowStyles.Get(row);
}

StyleId Workbook::ColStyle(int sheet, int col) const {
  const Sheet& s = SheetAt(sheet);
  if (col < 1 || col > kMaxCols) throw GridError("Invalid row or column.", ErrorKind::BadArgument);
  return s.colStyles.Get(col);
}

StyleId Workbook::SheetStyle(int sheet) const { return SheetAt(sheet).sheetStyle; }

void Workbook::SetColStyle(int sheet, int firstCol, int lastCol, StyleId style) {
  Sheet& s = SheetAt(sheet);
  CheckLines(firstCol, lastCol, kMaxCols);
  if (style >= styles_.size()) throw GridError("Invalid style.", ErrorKind::BadArgument);
  if (firstCol == kAll) firstCol = 1, lastCol = kMaxCols;
  s.colStyles.Set(firstCol, lastCol, style);
  Changed();
}

void Workbook::SetRowStyle(int sheet, int firstRow, int lastRow, StyleId style) {
  Sheet& s = SheetAt(sheet);
  CheckLines(firstRow, lastRow, kMaxRows);
  if (style >= styles_.size()) throw GridError("Invalid style.", ErrorKind::BadArgument);
  if (firstRow == kAll) firstRow = 1, lastRow = kMaxRows;
  s.rowStyles.Set(firstRow, lastRow, style);
  Changed();
}

// --- Extents --------------------------------------------------------------------------------

int Workbook::LastUsedRow() const { return Current().LastRow(); }
int Workbook::LastUsedCol() const { return Current().LastCol(); }

// --- Calculation ----------------------------------------------------------------------------

void Workbook::Recalc() { Calc().RecalcAll(); }
void Workbook::RecalcIfNeeded() { Calc().RecalcIfNeeded(); }

// --- Whole contents -------------------------------------------------------------------------

void Workbook::ReplaceContents(Workbook&& other) {
  if (&other == this) return;
  // Blocks taken from either workbook refer to sheets that are about to change hands.
  if (ContentsGoing going = g_contentsGoing.load()) {
    going(*this);
    going(other);
  }
  sheets_ = std::move(other.sheets_);
  current_ = std::clamp(other.current_, 1, static_cast<int>(sheets_.size()));
  nextSheetId_ = std::max(nextSheetId_, other.nextSheetId_);
  date1904_ = other.date1904_;
  rowOrigin_ = other.rowOrigin_;
  other.rowOrigin_ = 0;
  styles_ = std::move(other.styles_);
  extras_ = std::move(other.extras_);
  // Leave the other workbook valid: one empty sheet.
  other.sheets_.clear();
  other.sheets_.push_back(std::make_unique<Sheet>(other.nextSheetId_++, "Sheet1"));
  other.current_ = 1;
  other.styles_ = StyleTable();
  other.Calc().StructureChanged();
  Calc().StructureChanged();
  Changed();
}

// --- State ----------------------------------------------------------------------------------

void Workbook::SetFlag(int id, bool on) {
  for (auto& [k, v] : flags_)
    if (k == id) {
      v = on;
      return;
    }
  flags_.emplace_back(id, on);
}

bool Workbook::Flag(int id) const {
  for (const auto& [k, v] : flags_)
    if (k == id) return v;
  return false;
}

void Workbook::SetSetting(int id, int value) {
  for (auto& [k, v] : settings_)
    if (k == id) {
      v = value;
      return;
    }
  settings_.emplace_back(id, value);
}

int Workbook::Setting(int id) const {
  for (const auto& [k, v] : settings_)
    if (k == id) return v;
  return 0;
}

void Workbook::SetDefaultFont(std::string_view face, int charset, int size) {
  fontFace_ = std::string(face);
  fontCharset_ = charset;
  fontSize_ = size;
}

}  // namespace ddt::grid
