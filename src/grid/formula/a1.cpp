#include "grid/formula/a1.h"

#include "grid/limits.h"

namespace ddt::grid::formula {

namespace {

constexpr size_t npos = std::string_view::npos;
constexpr int kMaxColumnLetters = 3;
constexpr int kMaxRowDigits = 7;

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Letters of a column at pos (with optional $); returns the end or npos.
size_t ScanColumn(std::string_view t, size_t pos, int* col, bool* abs) {
  *abs = pos < t.size() && t[pos] == '$';
  if (*abs) ++pos;
  size_t start = pos;
  while (pos < t.size() && IsLetter(t[pos]) && pos - start < kMaxColumnLetters + 1) ++pos;
  if (pos == start || pos - start > kMaxColumnLetters) return npos;
  *col = ColumnFromLetters(t.substr(start, pos - start));
  return *col ? pos : npos;
}

size_t ScanRow(std::string_view t, size_t pos, int* row, bool* abs, int minRow = 1) {
  *abs = pos < t.size() && t[pos] == '$';
  if (*abs) ++pos;
  size_t start = pos;
  long value = 0;
  while (pos < t.size() && IsDigit(t[pos])) {
    if (pos - start >= kMaxRowDigits) return npos;
    value = value * 10 + (t[pos] - '0');
    ++pos;
  }
  if (pos == start || value < minRow || value > kMaxRows) return npos;
  *row = static_cast<int>(value);
  return pos;
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
