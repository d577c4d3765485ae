#include "grid/formula/a1.h"

#include <algorithm>

#include "grid/limits.h"

namespace ddt::grid::formula {

namespace {

constexpr size_t npos = std::string_view::npos;
constexpr int kMaxColumnLetters = 3;
constexpr int kMaxRowDigits = 7;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where A1 numbers stop growing: far past the grid, far below overflow.
constexpr int64_t kSaturated = int64_t{1} << 40;

// Reads column letters (either case) from t[pos]: returns where they end, their column
// number (saturated) in *col.
size_t ReadLetters(std::string_view t, size_t pos, int64_t* col) {
  int64_t c = 0;
  for (; pos < t.size(); ++pos) {
    const unsigned letter = static_cast<unsigned>((t[pos] | 0x20) - 'a');
    if (letter >= 26) break;
    c = std::min(kSaturated, c * 26 + letter + 1);
  }
  *col = c;
  return pos;
}

// Reads decimal digits from t[pos]: returns where they end, their value (saturated) in *row.
size_t ReadDigits(std::string_view t, size_t pos, int64_t* row) {
  int64_t r = 0;
  for (; pos < t.size() && IsDigit(t[pos]); ++pos)
    r = std::min(kSaturated, r * 10 + (t[pos] - '0'));
  *row = r;
  return pos;
}

// Letters of a column at pos (with optional $); returns the end or npos.
size_t ScanColumn(std::string_view t, size_t pos, int* col, bool* abs) {
  *abs = pos < t.size() && t[pos] == '$';
  if (*abs) ++pos;
  int64_t value = 0;
  const size_t end = ReadLetters(t, pos, &value);
  if (end == pos || end - pos > kMaxColumnLetters || value > kMaxCols) return npos;
  *col = static_cast<int>(value);
  return end;
}

size_t ScanRow(std::string_view t, size_t pos, int* row, bool* abs, int minRow = 1) {
  *abs = pos < t.size() && t[pos] == '$';
  if (*abs) ++pos;
  int64_t value = 0;
  const size_t end = ReadDigits(t, pos, &value);
  if (end == pos || end - pos > kMaxRowDigits || value < minRow || value > kMaxRows) return npos;
  *row = static_cast<int>(value);
  return end;
}

// A reference ends where no name character, "(" or "!" follows.
bool EndsHere(std::string_view t, size_t pos) {
  return pos >= t.size() || (!IsNameChar(t[pos]) && t[pos] != '(' && t[pos] != '!' &&
                             t[pos] != '$');
}

}  // namespace

int ColumnFromLetters(std::string_view letters) {
  const int col = text::ColumnFromLetters(letters);
  return col <= kMaxCols ? col : 0;
}

size_t ScanCellRef(std::string_view t, size_t pos, ScannedCorner* c, int minRow) {
  size_t p = ScanColumn(t, pos, &c->col, &c->colAbs);
  if (p == npos) return npos;
  p = ScanRow(t, p, &c->row, &c->rowAbs, minRow);
  if (p == npos || !EndsHere(t, p)) return npos;
  return p;
}

size_t ScanColumnRange(std::string_view t, size_t pos, ScannedCorner* a, ScannedCorner* b) {
  size_t p = ScanColumn(t, pos, &a->col, &a->colAbs);
  if (p == npos || p >= t.size() || t[p] != ':') return npos;
  p = ScanColumn(t, p + 1, &b->col, &b->colAbs);
  if (p == npos || !EndsHere(t, p)) return npos;
  return p;
}

size_t ScanRowRange(std::string_view t, size_t pos, ScannedCorner* a, ScannedCorner* b,
                    int minRow) {
  size_t p = ScanRow(t, pos, &a->row, &a->rowAbs, minRow);
  if (p == npos || p >= t.size() || t[p] != ':') return npos;
  p = ScanRow(t, p + 1, &b->row, &b->rowAbs, minRow);
  if (p == npos || !EndsHere(t, p)) return npos;
  return p;
}

size_t ScanRefPart(std::string_view t, size_t pos, ScannedCorner* part) {
  ScannedCorner p;
  size_t end = ScanColumn(t, pos, &p.col, &p.colAbs);
  if (end != npos) {
    const size_t rowEnd = ScanRow(t, end, &p.row, &p.rowAbs);
    if (rowEnd != npos) end = rowEnd;
    else p.rowAbs = false;
  } else {
    p = ScannedCorner{};
    end = ScanRow(t, pos, &p.row, &p.rowAbs);
  }
  if (end == npos || !EndsHere(t, end)) return npos;
  *part = p;
  return end;
}

bool ParsePlainCellRef(std::string_view t, int64_t* row, int64_t* col) {
  int64_t c = 0, r = 0;
  const size_t letters = ReadLetters(t, 0, &c);
  if (letters == 0 || letters == t.size()) return false;
  if (ReadDigits(t, letters, &r) != t.size()) return false;
  *row = r;
  *col = c;
  return r > 0;
}

bool SheetNameNeedsQuotes(std::string_view name) {
  if (name.empty()) return true;
  if (IsDigit(name[0]) || name[0] == '.') return true;
  for (char c : name) {
    if (!IsNameChar(c) || c == '?' || c == '\\') return true;
  }
  // Names that read as a cell reference, a column/row label or R1C1 would be misread.
  ScannedCorner corner;
  if (ScanCellRef(name, 0, &corner) == name.size()) return true;
  if (ColumnFromLetters(name)) return true;
  char first = static_cast<char>(name[0] | 0x20);
  if (first == 'r' || first == 'c') {
    bool rest = true;
    for (size_t i = 1; i < name.size(); ++i) {
      char c = static_cast<char>(name[i] | 0x20);
      if (!IsDigit(name[i]) && c != 'r' && c != 'c') rest = false;
    }
    if (rest) return true;
  }
  // Non-ASCII names are quoted too: always safe to read back.
  for (char c : name)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

void AppendSheetName(std::string& out, std::string_view name) {
  if (!SheetNameNeedsQuotes(name)) {
    out += name;
    return;
  }
  out += '\'';
  for (char c : name) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
}

}  // namespace ddt::grid::formula
