// Legacy .xls: a BIFF5/BIFF7 ("Book") or BIFF8 ("Workbook") stream in an OLE2 compound file.
// The globals give the code page, the date system, number formats, fonts, cell formats, the
// sheets and the shared strings; each worksheet gives its cells (values, formulas as formula
// text with their cached results, styles), column widths and hidden rows and columns.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <unordered_map>

#include "grid/formula/formula.h"
#include "grid/grid_error.h"
#include "grid/io/common/cell_refs.h"
#include "grid/io/common/io_limits.h"
#include "grid/io/file_type.h"
#include "grid/io/workbook_io.h"
#include "grid/io/xls/biff_formulas.h"
#include "grid/io/xls/biff_records.h"
#include "grid/io/xls/ole2_reader.h"
#include "grid/io/xls/xls_styles.h"
#include "grid/io/xlsx/xlsx_session.h"
#include "grid/io/xlsx/xlsx_parts.h"
#include "grid/limits.h"
#include "grid/sheet.h"
#include "grid/workbook.h"
#include "text/utf8.h"

namespace ddt::grid::io {

namespace {

using namespace biff;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

std::string ReadWholeFile(const std::string& path) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw GridError("the file cannot be opened", platform::KindOfOpenErrno(errno));
  std::string bytes;
  char buf[64 * 1024];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, file.get())) > 0) {
    if (bytes.size() + n > kMaxXlsBytes)
      throw GridError("the .xls file is too large", ErrorKind::OverLimit);
    bytes.append(buf, n);
  }
  if (std::ferror(file.get())) throw GridError("the file cannot be read");
  return bytes;
}

// Versions before BIFF5 are not read; they are refused by their name.
[[noreturn]] void OldVersion(uint16_t bofType) {
  const char* which = bofType == kBof2 ? "Excel 2.x (BIFF2)"
                      : bofType == kBof3 ? "Excel 3.0 (BIFF3)"
                                         : "Excel 4.0 (BIFF4)";
  throw GridError(std::string("the file is an ") + which +
                  " workbook; only Excel 5.0 and later .xls files (BIFF5 to BIFF8) can be read");
}

constexpr uint8_t kSheetWorksheet = 0, kSheetVbModule = 6;

struct SheetEntry {
  std::string name;
  uint32_t offset = 0;
  uint8_t kind = 0;
  uint8_t visibility = 0;  // 0 visible, 1 hidden, 2 very hidden (shown only by a macro)
  int gridSheet = 0;  // 0 when the sheet is not kept (Visual Basic modules)
};

struct Globals {
  explicit Globals(bool b8) : biff8(b8), styles(b8) {}
  bool biff8;
  CodePage codePage;
  bool date1904 = false;
  int activeTab = 0;
  XlsStyleRecords styles;
  std::vector<SheetEntry> sheets;
  std::vector<SharedText> sst;  // shared by the cells that show them
  FormulaContext formulas;
  // The look of a cell whose format is the plain one but whose row or column has a format
  // of its own (made when first needed).
  StyleId plainInStyledLine = kDefaultStyle;
};

std::string CheckedText(std::string text, const std::string& where) {
  if (text::utf8::CountCharacters(text) > static_cast<size_t>(kMaxCellTextLength))
    throw GridError(where + ": a text is longer than 32767 characters", ErrorKind::OverLimit);
  return text;
}

void ReadSst(Pieces& p, std::vector<SharedText>& out) {
  p.U32();  // references in the workbook
  const uint32_t unique = p.U32();
  // The declared count is not trusted: some writers get it wrong. The strings run to the end
  // of the record and its continuations.
  out.reserve(std::min<size_t>(unique, p.Left() / 3));
  try {
    while (p.Left() >= 3) {
      const uint16_t count = p.U16();
      const uint8_t flags = p.U8();
      const uint16_t runs = (flags & 0x08) ? p.U16() : 0;
      const uint32_t ext = (flags & 0x04) ? p.U32() : 0;
      std::string s;
      p.Chars(count, flags & 1, s);
      p.Skip(size_t{runs} * 4);
      p.Skip(ext);
      if (text::utf8::CountCharacters(s) > static_cast<size_t>(kMaxCellTextLength))
        throw GridError(
            "shared string " + std::to_string(out.size()) + " is longer than 32767 characters",
            ErrorKind::OverLimit);
      out.push_back(std::move(s));
    }
  } catch (const GridError& e) {
    // A table cut short keeps the strings read before the cut; a string too long is refused.
    if (std::string_view(e.what()).find("longer than") != std::string_view::npos) throw;
  }
}

// The workbook globals, up to their EOF. BIFF5 3-D references carry their sheet indexes
// themselves; BIFF8 ones go through EXTERNSHEET and SUPBOOK.
void ReadGlobals(std::string_view stream, bool biff8, Globals& g) {
  g.codePage.Set(biff8 ? 1200 : 1252);
  const StringReader strings{biff8, g.codePage};
  RecordReader records(stream, 0);
  Record r;
  records.Next(&r);  // the BOF, checked by the caller
  std::vector<int> names;
  while (records.Next(&r)) {
    const std::string_view d = r.data;
    const char* p = d.data();
    switch (r.type) {
      case kEof: break;
      case kFilePass:
        throw GridError("the workbook is encrypted (password-protected)", ErrorKind::Encrypted);
      case kCodePage:
        if (d.size() >= 2 && !biff8) g.codePage.Set(U16(p));
        continue;
      case kDateMode:
        if (d.size() >= 2) g.date1904 = U16(p) == 1;
        continue;
      case kWindow1:
        if (d.size() >= 12) g.activeTab = U16(p + 10);
        continue;
      case kFormat:
        if (d.size() >= 3) {
          size_t at = 2;
          std::string code = strings.Read(d, &at, !biff8, true);
          g.styles.AddFormat(U16(p), std::move(code));
        }
        continue;
      case kFont: g.styles.AddFont(d); continue;
      case kXf: g.styles.AddXf(d); continue;
      case kPalette: g.styles.SetPalette(d); continue;
      case kBoundSheet: {
        if (d.size() < 7) Damaged("a sheet record is too short");
        if (g.sheets.size() >= static_cast<size_t>(kMaxSheets))
          throw GridError("the workbook has too many sheets", ErrorKind::OverLimit);
        size_t at = 6;
        SheetEntry s;
        s.offset = U32(p);
        s.visibility = static_cast<uint8_t>(p[4]) & 0x03;
        s.kind = static_cast<uint8_t>(p[5]);
        s.name = strings.Read(d, &at, true);
        g.sheets.push_back(std::move(s));
        continue;
      }
      case kSst: {
        Pieces pieces(d);
        while (records.PeekType() == kContinue && records.Next(&r)) pieces.Add(r.data);
        ReadSst(pieces, g.sst);
        continue;
      }
      case kSupBook:
        // ctab, then 0x0401 for this workbook's own sheets or 0x3A01 for add-in functions.
        g.formulas.supBookIsSelf.push_back(d.size() >= 4 && U16(p + 2) == 0x0401);
        g.formulas.supBookIsAddIn.push_back(d.size() >= 4 && U16(p + 2) == 0x3A01);
        g.formulas.externNames.emplace_back();
        continue;
      case kExternName:
        if (!g.formulas.externNames.empty()) {
          std::string name;
          if (d.size() >= 7) {
            size_t at = 6;
            try {
              name = strings.Read(d, &at, true);
            } catch (const GridError&) {
              name.clear();
            }
          }
          g.formulas.externNames.back().push_back(std::move(name));
        }
        continue;
      case kExternSheet:
        if (biff8 && d.size() >= 2) {
          const size_t count = std::min<size_t>(U16(p), (d.size() - 2) / 6);
          for (size_t i = 0; i < count; ++i) {
            const char* x = p + 2 + 6 * i;
            FormulaContext::SheetRange range;
            range.supBook = U16(x);
            range.first = static_cast<int16_t>(U16(x + 2));
            range.last = static_cast<int16_t>(U16(x + 4));
            g.formulas.externSheets.push_back(range);
          }
        }
        continue;
      case kName: {
        // Built-in names carry a one-character code instead of their name.
        static const char* const kBuiltin[] = {
            "Consolidate_Area", "Auto_Open",  "Auto_Close",  "Extract",     "Database",
            "Criteria",         "Print_Area", "Print_Titles", "Recorder",   "Data_Form",
            "Auto_Activate",    "Auto_Deactivate", "Sheet_Title", "_FilterDatabase"};
        std::string name;
        if (d.size() >= 14) {
          const uint16_t flags = U16(p);
          const size_t count = static_cast<uint8_t>(p[3]);
          try {
            if (biff8) {
              if (d.size() >= 15) {
                Pieces chars(d.substr(15));
                chars.Chars(count, p[14] & 1, name);
              }
            } else if (14 + count <= d.size()) {
              g.codePage.AppendUtf8(d.substr(14, count), name);
            }
          } catch (const GridError&) {
            name.clear();
          }
          if ((flags & 0x0020) && name.size() == 1 &&
              static_cast<uint8_t>(name[0]) < std::size(kBuiltin))
            name = kBuiltin[static_cast<uint8_t>(name[0])];
        }
        g.formulas.names.push_back(std::move(name));
        continue;
      }
      default: continue;
    }
    break;  // EOF of the globals
  }
  // EXTERNSHEET entries that name this workbook's own sheets.
  for (auto& range : g.formulas.externSheets) {
    range.internal = range.supBook >= 0 &&
                     static_cast<size_t>(range.supBook) < g.formulas.supBookIsSelf.size() &&
                     g.formulas.supBookIsSelf[range.supBook];
  }
}

// A formula cell waiting for the end of its sheet: shared and array formulas are defined
// after their first cell, and text results follow in a STRING record.
struct FormulaCell {
  int row, col;  // 0-based
  uint16_t xf;
  std::string_view rgce, extra;
  std::optional<Value> cached;
};

struct Block {  // a shared formula or an array formula
  int firstRow, lastRow, firstCol, lastCol;
  std::string_view rgce, extra;
  bool array;
};

class SheetReader {
 public:
  SheetReader(Globals& g, Workbook& book, const std::vector<StyleId>& styleIds,
              const std::vector<bool>& quotePrefix, ReadReport& report, int sheet,
              const std::string& name)
      : g_(g), book_(book), styleIds_(styleIds), quotePrefix_(quotePrefix), report_(report),
        sheet_(sheet), name_(name), strings_{g.biff8, g.codePage},
        lines_(book.SheetAt(sheet)), origin_(book.ReadOrigin()) {}

  void Read(std::string_view stream, size_t offset) {
    RecordReader records(stream, offset);
    Record r;
    if (!records.Next(&r) || r.type != kBof) Damaged("a sheet does not start with a BOF record");
    int depth = 1;  // embedded charts bring BOF/EOF pairs of their own
    int pendingString = -1;  // the formula cell whose text result comes next
    while (depth > 0 && records.Next(&r)) {
      if (r.type == kBof) {
        ++depth;
        continue;
      }
      if (r.type == kEof) {
        --depth;
        continue;
      }
      if (depth > 1) continue;
      const std::string_view d = r.data;
      const char* p = d.data();
      // The definition of a block (shared, array, data table) comes between a formula and
      // its text result.
      if (r.type != kString && r.type != kShrFmla && r.type != kArray && r.type != kTable &&
          r.type != kContinue)
        pendingString = -1;
      switch (r.type) {
        case kNumber:
          if (d.size() >= 14) Put(U16(p), U16(p + 2), U16(p + 4), Value(F64(p + 6)));
          break;
        case kRk:
          if (d.size() >= 10) Put(U16(p), U16(p + 2), U16(p + 4), Value(RkValue(U32(p + 6))));
          break;
        case kMulRk: {
          if (d.size() < 6) break;
          const int row = U16(p), first = U16(p + 2);
          const size_t n = (d.size() - 6) / 6;
          for (size_t i = 0; i < n; ++i) {
            const char* c = p + 4 + 6 * i;
            Put(row, first + static_cast<int>(i), U16(c), Value(RkValue(U32(c + 2))));
          }
          break;
        }
        case kLabelSst: {
          if (d.size() < 10) break;
          const uint32_t index = U32(p + 6);
          if (index >= g_.sst.size())
            throw GridError("sheet '" + name_ + "': shared string " + std::to_string(index) +
                                " is out of range",
                            ErrorKind::Damaged);
          PutText(U16(p), U16(p + 2), U16(p + 4), g_.sst[index]);
          break;
        }
        case kLabel:
        case kRString: {
          if (d.size() < 8) break;
          size_t at = 6;
          PutText(U16(p), U16(p + 2), U16(p + 4),
                  CheckedText(strings_.Read(d, &at, false), "sheet '" + name_ + "'"));
          break;
        }
        case kBlank:
          if (d.size() >= 6) Put(U16(p), U16(p + 2), U16(p + 4), Value());
          break;
        case kMulBlank: {
          if (d.size() < 6) break;
          const int row = U16(p), first = U16(p + 2);
          const size_t n = (d.size() - 6) / 2;
          for (size_t i = 0; i < n; ++i)
            Put(row, first + static_cast<int>(i), U16(p + 4 + 2 * i), Value());
          break;
        }
        case kBoolErr: {
          if (d.size() < 8) break;
          const uint8_t v = static_cast<uint8_t>(p[6]);
          if (p[7] == 0) {
            Put(U16(p), U16(p + 2), U16(p + 4), Value(v != 0));
          } else if (auto e = ErrorFromCode(v)) {
            Put(U16(p), U16(p + 2), U16(p + 4), Value(*e));
          }
          break;
        }
        case kFormula: pendingString = Formula(d); break;
        case kString:
          if (pendingString >= 0 && d.size() >= 2) {
            Pieces pieces(d);
            while (records.PeekType() == kContinue && records.Next(&r)) pieces.Add(r.data);
            formulas_[pendingString].cached = Value(StringResult(pieces));
          }
          pendingString = -1;
          break;
        case kShrFmla:
        case kArray: AddBlock(d, r.type == kArray); break;
        case kRow: RowRecord(d); break;
        case kColInfo: ColInfo(d); break;
        default: break;
      }
    }
    for (FormulaCell& f : formulas_) FinishFormula(f);
  }

 private:
  bool InGrid(int row, int col) const { return row < kMaxRows && col < kMaxCols; }
  // The grid's row of the file's 0-based row (a read in place holds the header row at 0).
  int GridRow(int row) const { return row + 1 - origin_; }

  StyleId StyleOf(uint16_t xf) const {
    return xf < styleIds_.size() ? styleIds_[xf] : kDefaultStyle;
  }

  // The style of a cell record. A cell's own format always wins over its row's and column's,
  // but the grid lets an unstyled cell show its row's or column's format; a cell whose format
  // looks like the default one inside a formatted row or column (writers that give whole
  // columns a currency format, say) gets a plain style that is not the default id.
  StyleId CellStyleOf(uint16_t xf, int row, int col) {
    const StyleId style = StyleOf(xf);
    if (style != kDefaultStyle) return style;
    if (lines_.rowStyles.Get(GridRow(row)) == kDefaultStyle &&
        lines_.colStyles.Get(col + 1) == kDefaultStyle)
      return style;
    if (g_.plainInStyledLine == kDefaultStyle) {
      Style plain;
      plain.extras = std::make_shared<StyleExtras>();
      g_.plainInStyledLine = book_.Styles().Intern(plain);
    }
    return g_.plainInStyledLine;
  }

  // A cell's value (Empty for a styled blank) and style; rows and columns are 0-based.
  void Put(int row, int col, uint16_t xf, Value v) {
    if (!InGrid(row, col)) return;
    if (!IsEmpty(v)) book_.SetCellValue(sheet_, GridRow(row), col + 1, std::move(v));
    const StyleId style = CellStyleOf(xf, row, col);
    if (style != kDefaultStyle) book_.SetCellStyle(sheet_, GridRow(row), col + 1, style);
  }

  void PutText(int row, int col, uint16_t xf, const SharedText& text) {
    if (!InGrid(row, col)) return;
    if (xf < quotePrefix_.size() && quotePrefix_[xf] && !text.empty()) {
      book_.SetEntry(sheet_, GridRow(row), col + 1, "'" + text.str());
      const StyleId style = CellStyleOf(xf, row, col);
      if (style != kDefaultStyle) book_.SetCellStyle(sheet_, GridRow(row), col + 1, style);
      return;
    }
    Put(row, col, xf, text.empty() ? Value() : Value(text));
  }

  std::string StringResult(Pieces& p) {
    const uint16_t count = p.U16();
    std::string s;
    if (g_.biff8) {
      if (count > 0) {
        const bool wide = p.U8() & 1;
        p.Chars(count, wide, s);
      }
    } else {
      std::string bytes;
      for (uint16_t i = 0; i < count; ++i) bytes += static_cast<char>(p.U8());
      g_.codePage.AppendUtf8(bytes, s);
    }
    return CheckedText(std::move(s), "sheet '" + name_ + "'");
  }

  // Returns the index of the formula cell when its text result follows, else -1.
  int Formula(std::string_view d) {
    if (d.size() < 22) return -1;
    const char* p = d.data();
    const int row = U16(p), col = U16(p + 2);
    if (!InGrid(row, col)) return -1;
    FormulaCell f{row, col, U16(p + 4), {}, {}, std::nullopt};
    const size_t cce = U16(p + 20);
    f.rgce = d.substr(22, cce);  // cut short when the record is
    f.extra = 22 + cce < d.size() ? d.substr(22 + cce) : std::string_view();
    bool textFollows = false;
    if (static_cast<uint8_t>(p[12]) == 0xFF && static_cast<uint8_t>(p[13]) == 0xFF) {
      switch (static_cast<uint8_t>(p[6])) {
        case 0: textFollows = true; break;
        case 1: f.cached = Value(p[8] != 0); break;
        case 2:
          if (auto e = ErrorFromCode(static_cast<uint8_t>(p[8]))) f.cached = Value(*e);
          break;
        case 3: f.cached = Value(std::string()); break;
        default: break;
      }
    } else {
      f.cached = Value(F64(p + 6));
    }
    formulas_.push_back(f);
    return textFollows ? static_cast<int>(formulas_.size() - 1) : -1;
  }

  void AddBlock(std::string_view d, bool array) {
    const size_t head = array ? 14 : 10;  // range, then options (and a reserved word)
    if (d.size() < head) return;
    const char* p = d.data();
    Block b{U16(p), U16(p + 2), static_cast<uint8_t>(p[4]), static_cast<uint8_t>(p[5]), {}, {},
            array};
    const size_t cce = U16(p + head - 2);
    b.rgce = d.substr(head, cce);
    b.extra = head + cce < d.size() ? d.substr(head + cce) : std::string_view();
    blocks_.push_back(b);
  }

  const Block* FindBlock(const FormulaCell& f) const {
    // The token names the block's first cell; a token cut short still lies inside its block.
    const std::string_view t = f.rgce;
    const bool anchored = t.size() >= 5;
    const int anchorRow = anchored ? U16(t.data() + 1) : -1;
    const int anchorCol = anchored ? U16(t.data() + 3) : -1;
    const Block* inside = nullptr;
    for (const Block& b : blocks_) {
      if (anchored && b.firstRow == anchorRow && b.firstCol == anchorCol) return &b;
      if (!inside && f.row >= b.firstRow && f.row <= b.lastRow && f.col >= b.firstCol &&
          f.col <= b.lastCol)
        inside = &b;
    }
    return inside;
  }

  void Refused(int row, int col, const std::string& text) {
    if (report_.refusedFormulas++ == 0) {
      report_.firstRefused = name_ + "!";
      AppendCellRef(row + 1, col + 1, report_.firstRefused);
      report_.firstRefused += ": " + text;
    }
  }

  void KeepValue(FormulaCell& f) {
    Put(f.row, f.col, f.xf, f.cached ? std::move(*f.cached) : Value());
  }

  void FinishFormula(FormulaCell& f) {
    std::string_view rgce = f.rgce, extra = f.extra;
    bool shared = false;
    const Block* block = nullptr;
    if (!rgce.empty() && static_cast<uint8_t>(rgce[0]) == 0x02) return KeepValue(f);  // data table
    if (!rgce.empty() && static_cast<uint8_t>(rgce[0]) == 0x01) {
      const Block* b = block = FindBlock(f);
      if (!b) {
        Refused(f.row, f.col, "(shared formula without its definition)");
        return KeepValue(f);
      }
      // Cells of an array formula other than its first hold only their values.
      if (b->array && (f.row != b->firstRow || f.col != b->firstCol)) return KeepValue(f);
      rgce = b->rgce;
      extra = b->extra;
      shared = !b->array;
    }
    std::string text, why;
    if (!DecodeFormula(g_.formulas, rgce, extra, f.row, f.col, shared, &text, &why)) {
      Refused(f.row, f.col, "(" + why + ")");
      return KeepValue(f);
    }
    formula::FormulaPtr parsed;
    try {
      parsed = formula::ParseFormula(text, book_);
    } catch (const GridError&) {
      // Kept as decoded, with the result the file stored; reported all the same.
      Refused(f.row, f.col, text);
      parsed = formula::VerbatimFormula(text);
    }
    if (block && block->array)
      parsed = formula::AsArrayFormula(*parsed, std::max(1, block->lastRow - block->firstRow + 1),
                                       std::max(1, block->lastCol - block->firstCol + 1));
    // Decoded with the file's rows; a read in place moves the references with the cells.
    if (origin_ != 0) parsed = formula::Translated(*parsed, -origin_);
    std::optional<Value> cached;
    if (f.cached && !IsEmpty(*f.cached)) cached = std::move(f.cached);
    book_.SetCellFormula(sheet_, GridRow(f.row), f.col + 1, std::move(parsed), std::move(cached));
    const StyleId style = CellStyleOf(f.xf, f.row, f.col);
    if (style != kDefaultStyle) book_.SetCellStyle(sheet_, GridRow(f.row), f.col + 1, style);
  }

  void RowRecord(std::string_view d) {
    if (d.size() < 16) return;
    const char* p = d.data();
    if (U16(p) + 1 > kMaxRows) return;
    // Straight into the sheet's line maps: the held header row is no row the workbook's
    // line members take.
    const int row = GridRow(U16(p));
    const uint16_t flags = U16(p + 12);
    if (flags & 0x0020) lines_.rowHidden.Set(row, row, true);
    if (flags & 0x0080) {
      const StyleId style = StyleOf(U16(p + 14) & 0x0FFF);
      if (style != kDefaultStyle) lines_.rowStyles.Set(row, row, style);
    }
  }

  void ColInfo(std::string_view d) {
    if (d.size() < 10) return;
    const char* p = d.data();
    const int first = U16(p) + 1;
    const int last = std::min<int>(U16(p + 2) + 1, std::min(kMaxCols, 256));
    if (first > last) return;
    const double width = U16(p + 4) / 256.0;
    for (int c = first; c <= last; ++c) book_.SetColWidth(sheet_, c, GridColumnWidth(width));
    if (U16(p + 8) & 0x0001) book_.SetColsHidden(sheet_, first, last, true);
    const StyleId style = StyleOf(U16(p + 6));
    if (style != kDefaultStyle) book_.SetColStyle(sheet_, first, last, style);
  }

  Globals& g_;
  Workbook& book_;
  const std::vector<StyleId>& styleIds_;
  const std::vector<bool>& quotePrefix_;
  ReadReport& report_;
  int sheet_;
  const std::string& name_;
  StringReader strings_;
  Sheet& lines_;      // the sheet's row and column properties
  const int origin_;  // grid row = file row (1-based) - origin_
  std::vector<FormulaCell> formulas_;
  std::vector<Block> blocks_;
};

}  // namespace

void ReadXls(const std::string& path, Workbook& book, ReadReport& report) {
  std::string file = ReadWholeFile(path);
  // Excel 2.x to 4.0 wrote the BIFF stream as the whole file.
  if (file.size() >= 2) {
    const uint16_t first = U16(file.data());
    if (first == kBof2 || first == kBof3 || first == kBof4) OldVersion(first);
  }
  size_t which = 0;
  std::optional<std::string> stream = ReadCompoundStream(file, {"Workbook", "Book"}, &which);
  if (!stream) {
    // Password-protected .xlsx files come in this container too.
    if (ReadCompoundStream(file, "EncryptedPackage"))
      throw GridError("the workbook is encrypted (password-protected)", ErrorKind::Encrypted);
    throw GridError("the file holds no workbook stream", ErrorKind::NotAWorkbook);
  }
  std::string().swap(file);  // the stream is a copy: the file's bytes are not needed again
  RecordReader head(*stream, 0);
  Record bof;
  if (!head.Next(&bof)) Damaged("the stream is empty");
  if (bof.type == kBof2 || bof.type == kBof3 || bof.type == kBof4) OldVersion(bof.type);
  if (bof.type != kBof || bof.data.size() < 4) Damaged("no BOF record at the start");
  const uint16_t version = U16(bof.data.data());
  // BIFF5 and BIFF7 say 0x0500; a version some writers leave out follows the stream's name.
  const bool biff8 = version == kBiff5 ? false : version == kBiff8 ? true : which == 0;

  Globals g(biff8);
  ReadGlobals(*stream, biff8, g);
  std::vector<SheetEntry>& sheets = g.sheets;
  int count = 0;
  for (SheetEntry& s : sheets)
    if (s.kind != kSheetVbModule) s.gridSheet = ++count;
  if (count == 0) throw GridError("the workbook has no sheets", ErrorKind::Damaged);

  book.SetDate1904(g.date1904);
  book.SetSheetCount(count);
  for (const SheetEntry& s : sheets) {
    g.formulas.sheetNames.push_back(s.gridSheet ? s.name : std::string());
    if (s.gridSheet == 0) continue;
    book.SetSheetName(s.gridSheet, s.name.empty() ? "Sheet" : s.name);
    // Hidden sheets stay hidden when the workbook is saved as .xlsx.
    if (s.visibility == 1 || s.visibility == 2) {
      XlsxSession* session = XlsxSession::Of(book);
      if (!session) {
        auto made = std::make_shared<XlsxSession>();
        session = made.get();
        book.SetExtras(std::move(made));
      }
      auto extras = std::make_shared<SheetExtras>();
      extras->originalName = s.name;
      extras->state = s.visibility == 1 ? "hidden" : "veryHidden";
      session->SetSheet(book.SheetId(s.gridSheet), std::move(extras));
    }
  }
  g.formulas.biff8 = biff8;
  g.formulas.codePage = &g.codePage;

  std::vector<StyleId> styleIds;
  const std::vector<Style> styles = g.styles.Styles();
  styleIds.reserve(styles.size());
  for (const Style& s : styles) styleIds.push_back(book.Styles().Intern(s));
  const std::vector<bool> quotePrefix = g.styles.QuotePrefixes();

  for (const SheetEntry& s : sheets) {
    if (s.gridSheet == 0 || s.kind != kSheetWorksheet) continue;
    if (s.offset >= stream->size()) Damaged("a sheet lies beyond the end of the stream");
    SheetReader reader(g, book, styleIds, quotePrefix, report, s.gridSheet, s.name);
    reader.Read(*stream, s.offset);
  }
  if (g.activeTab >= 0 && static_cast<size_t>(g.activeTab) < sheets.size() &&
      sheets[g.activeTab].gridSheet)
    book.SetCurrentSheet(sheets[g.activeTab].gridSheet);
  report.fileType = kFileTypeXls;
}

}  // namespace ddt::grid::io
