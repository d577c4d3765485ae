// Recursive-descent parser of A1 formulas into the canonical tree (ast.h).
//
// Precedence, loosest first: comparisons; &; + -; * /; ^; %; unary - +; the range ":".
// All binary operators are left-associative (2^3^2 is 64, as in Excel), and negation binds
// tighter than ^ (-2^2 is 4).
#include <cmath>
#include <cstdlib>
#include <string>

#include "grid/formula/a1.h"
#include "grid/formula/ast.h"
#include "grid/grid_error.h"
#include "text/ascii.h"

namespace ddt::grid::formula {

namespace {

constexpr size_t npos = std::string_view::npos;
// Deepest tree accepted: keeps recursion in evaluation and printing bounded.
constexpr int kMaxTreeDepth = 1000;

constexpr ErrorCode kErrorCodes[] = {ErrorCode::Null, ErrorCode::Div0, ErrorCode::Value,
                                     ErrorCode::Ref,  ErrorCode::Name, ErrorCode::Num,
                                     ErrorCode::NA,   ErrorCode::Spill, ErrorCode::Calc};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

using text::EqualsNoCase;

class Parser {
 public:
  Parser(std::string_view text, const SheetNames& sheets) : s_(text), sheets_(sheets) {}

  FormulaPtr Parse() {
    if (s_.size() > kMaxFormulaLength) Fail();
    SkipSpaces();
    if (pos_ < s_.size() && s_[pos_] == '=') ++pos_;
    SkipSpaces();
    if (pos_ >= s_.size()) Fail();
    f_.root = ParseCompare();
    SkipSpaces();
    if (pos_ != s_.size()) Fail();
    return MakeFormula(std::move(f_));
  }

 private:
  [[noreturn]] void Fail() { throw GridError(kInvalidFormulaSyntax, ErrorKind::BadArgument); }

  void SkipSpaces() {
    while (pos_ < s_.size() && IsSpace(s_[pos_])) ++pos_;
  }
  bool At(char c) const { return pos_ < s_.size() && s_[pos_] == c; }
  bool Eat(char c) {
    SkipSpaces();
    if (At(c)) {
      ++pos_;
      return true;
    }
    return false;
  }

  uint32_t Add(const Node& n, std::initializer_list<uint32_t> kids, int depth) {
    return AddKids(n, std::vector<uint32_t>(kids), depth);
  }
  uint32_t AddKids(Node n, const std::vector<uint32_t>& kids, int depth) {
    if (depth > kMaxTreeDepth) Fail();
    n.first = static_cast<uint32_t>(f_.kids.size());
    n.count = static_cast<uint32_t>(kids.size());
    f_.kids.insert(f_.kids.end(), kids.begin(), kids.end());
    f_.nodes.push_back(n);
    depths_.push_back(depth);
    return static_cast<uint32_t>(f_.nodes.size() - 1);
  }
  uint32_t Leaf(const Node& n) { return AddKids(n, {}, 1); }
  int Depth(uint32_t i) const { return depths_[i]; }

  uint32_t Binary(Op op, uint32_t a, uint32_t b) {
    Node n;
    n.kind = NodeKind::Binary;
    n.op = op;
    return Add(n, {a, b}, std::max(Depth(a), Depth(b)) + 1);
  }

  struct Nest {
    explicit Nest(Parser& p) : p(p) {
      if (++p.nesting_ > kMaxFormulaDepth) p.Fail();
    }
    ~Nest() { --p.nesting_; }
    Parser& p;
  };

  uint32_t ParseCompare() {
    Nest nest(*this);
    uint32_t left = ParseConcat();
    for (;;) {
      SkipSpaces();
      Op op;
      if (s_.compare(pos_, 2, "<>") == 0) op = Op::Ne, pos_ += 2;
      else if (s_.compare(pos_, 2, "<=") == 0) op = Op::Le, pos_ += 2;
      else if (s_.compare(pos_, 2, ">=") == 0) op = Op::Ge, pos_ += 2;
      else if (At('<')) op = Op::Lt, ++pos_;
      else if (At('>')) op = Op::Gt, ++pos_;
      else if (At('=')) op = Op::Eq, ++pos_;
      else return left;
      left = Binary(op, left, ParseConcat());
    }
  }

  uint32_t ParseConcat() {
    uint32_t left = ParseAdditive();
    while (Eat('&')) left = Binary(Op::Concat, left, ParseAdditive());
    return left;
  }

  uint32_t ParseAdditive() {
    uint32_t left = ParseMultiplicative();
    for (;;) {
      if (Eat('+')) left = Binary(Op::Add, left, ParseMultiplicative());
      else if (Eat('-')) left = Binary(Op::Sub, left, ParseMultiplicative());
      else return left;
    }
  }

  uint32_t ParseMultiplicative() {
    uint32_t left = ParsePower();
    for (;;) {
      if (Eat('*')) left = Binary(Op::Mul, left, ParsePower());
      else if (Eat('/')) left = Binary(Op::Div, left, ParsePower());
      else return left;
    }
  }

  uint32_t ParsePower() {
    uint32_t left = ParsePercent();
    while (Eat('^')) left = Binary(Op::Pow, left, ParsePercent());
    return left;
  }

  uint32_t ParsePercent() {
    uint32_t operand = ParseUnary();
    while (Eat('%')) {
      Node n;
      n.kind = NodeKind::Percent;
      operand = Add(n, {operand}, Depth(operand) + 1);
    }
    return operand;
  }

  uint32_t ParseUnary() {
    SkipSpaces();
    if (At('-') || At('+')) {
      Nest nest(*this);
      Node n;
      n.kind = NodeKind::Unary;
      n.op = At('-') ? Op::Neg : Op::Plus;
      ++pos_;
      uint32_t operand = ParseUnary();
      return Add(n, {operand}, Depth(operand) + 1);
    }
    return ParseRange();
  }

  uint32_t ParseRange() {
    uint32_t left = ParsePrimary();
    while (Eat(':')) left = Binary(Op::Range, left, ParsePrimary());
    return left;
  }

  uint32_t ParsePrimary() {
    SkipSpaces();
    if (pos_ >= s_.size()) Fail();
    char c = s_[pos_];
    if (c == '(') {
      ++pos_;
      uint32_t inner = ParseCompare();
      if (!Eat(')')) Fail();
      Node n;
      n.kind = NodeKind::Paren;
      return Add(n, {inner}, Depth(inner) + 1);
    }
    if (c == '"') return ParseString();
    if (c == '{') return ParseArray();
    if (c == '#') {
      Node n;
      n.kind = NodeKind::Error;
      n.error = ScanError();
      return Leaf(n);
    }
    if (c == '\'') {
      uint32_t sheet = ScanQuotedSheet();
      return ParseSheetRef(sheet);
    }
    // A name followed by "!" is a sheet.
    size_t wordEnd = pos_;
    while (wordEnd < s_.size() && IsNameChar(s_[wordEnd])) ++wordEnd;
    if (wordEnd > pos_ && wordEnd < s_.size() && s_[wordEnd] == '!') {
      uint32_t sheet = ResolveSheet(s_.substr(pos_, wordEnd - pos_));
      pos_ = wordEnd + 1;
      return ParseSheetRef(sheet);
    }
    uint32_t ref;
    if (TryRef(false, 0, &ref)) return ref;
    if (IsDigit(c) || c == '.') return ParseNumber();
    if (wordEnd > pos_) {
      std::string_view word = s_.substr(pos_, wordEnd - pos_);
      pos_ = wordEnd;
      if (At('(')) return ParseCall(word);
      if (EqualsNoCase(word, "TRUE") || EqualsNoCase(word, "FALSE")) {
        Node n;
        n.kind = NodeKind::Bool;
        n.boolean = EqualsNoCase(word, "TRUE");
        return Leaf(n);
      }
      Node n;
      n.kind = NodeKind::Name;
      n.data = AddText(word);
      return Leaf(n);
    }
    Fail();
  }

  uint32_t AddText(std::string_view text) {
    f_.texts.emplace_back(text);
    return static_cast<uint32_t>(f_.texts.size() - 1);
  }

  uint32_t ResolveSheet(std::string_view name) {
    uint32_t id = sheets_.IdOf(name);
    if (id == 0) Fail();
    return id;
  }

  uint32_t ScanQuotedSheet() {
    ++pos_;  // opening apostrophe
    std::string name;
    for (;;) {
      if (pos_ >= s_.size()) Fail();
      char c = s_[pos_++];
      if (c == '\'') {
        if (At('\'')) {
          name += '\'';
          ++pos_;
          continue;
        }
        break;
      }
      name += c;
    }
    if (!At('!')) Fail();
    ++pos_;
    return ResolveSheet(name);
  }

  // After "Sheet!": a reference, or #REF! for one that was deleted.
  uint32_t ParseSheetRef(uint32_t sheetId) {
    uint32_t node;
    if (TryRef(true, sheetId, &node)) return node;
    if (pos_ < s_.size() && s_[pos_] == '#') {
      size_t save = pos_;
      if (ScanError() == ErrorCode::Ref) {
        Reference r;
        r.hasSheet = true;
        r.sheetId = sheetId;
        r.invalid = true;
        return AddRef(r);
      }
      pos_ = save;
    }
    Fail();
  }

  uint32_t AddRef(const Reference& r) {
    f_.refs.push_back(r);
    Node n;
    n.kind = NodeKind::Ref;
    n.data = static_cast<uint32_t>(f_.refs.size() - 1);
    return Leaf(n);
  }

  bool TryRef(bool hasSheet, uint32_t sheetId, uint32_t* node) {
    ScannedCorner a, b;
    Reference r;
    r.hasSheet = hasSheet;
    r.sheetId = sheetId;
    size_t end;
    const int minRow = sheets_.MinRow();
    if ((end = ScanRowRange(s_, pos_, &a, &b, minRow)) != npos) {
      r.kind = Reference::Kind::Rows;
    } else if ((end = ScanColumnRange(s_, pos_, &a, &b)) != npos) {
      r.kind = Reference::Kind::Cols;
    } else if ((end = ScanCellRef(s_, pos_, &a, minRow)) != npos) {
      r.kind = Reference::Kind::Cell;
      // "A1:B2" is one area; "A1:" followed by anything else is the range operator.
      size_t p = end;
      while (p < s_.size() && IsSpace(s_[p])) ++p;
      if (p < s_.size() && s_[p] == ':') {
        size_t q = p + 1;
        while (q < s_.size() && IsSpace(s_[q])) ++q;
        size_t end2 = ScanCellRef(s_, q, &b, minRow);
        if (end2 != npos) {
          r.kind = Reference::Kind::Area;
          end = end2;
        }
      }
    } else {
      return false;
    }
    if (r.kind == Reference::Kind::Cell) b = a;
    // Corners are kept as written, normalised so that row1 <= row2 and col1 <= col2.
    if (r.kind != Reference::Kind::Cols && a.row > b.row) std::swap(a.row, b.row), std::swap(a.rowAbs, b.rowAbs);
    if (r.kind != Reference::Kind::Rows && a.col > b.col) std::swap(a.col, b.col), std::swap(a.colAbs, b.colAbs);
    r.row1 = a.row, r.col1 = a.col, r.row2 = b.row, r.col2 = b.col;
    r.row1Abs = a.rowAbs, r.col1Abs = a.colAbs, r.row2Abs = b.rowAbs, r.col2Abs = b.colAbs;
    if (r.kind == Reference::Kind::Cols) r.row1 = r.row2 = minRow;  // from a held header row
    if (r.kind == Reference::Kind::Rows) r.col1 = r.col2 = 1;
    pos_ = end;
    *node = AddRef(r);
    return true;
  }

  ErrorCode ScanError() {
    for (ErrorCode code : kErrorCodes) {
      std::string_view lit = ErrorText(code);
      if (pos_ + lit.size() <= s_.size() && EqualsNoCase(s_.substr(pos_, lit.size()), lit)) {
        pos_ += lit.size();
        return code;
      }
    }
    Fail();
  }

  double ScanNumber() {
    size_t start = pos_;
    while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    if (At('.')) {
      ++pos_;
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
    if (pos_ == start || (pos_ == start + 1 && s_[start] == '.')) Fail();
    if (At('e') || At('E')) {
      size_t save = pos_++;
      if (At('+') || At('-')) ++pos_;
      size_t digits = pos_;
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
      if (pos_ == digits) pos_ = save;
    }
    if (pos_ < s_.size() && IsNameChar(s_[pos_])) Fail();
    std::string text(s_.substr(start, pos_ - start));
    double v = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(v)) Fail();
    return v;
  }

  uint32_t ParseNumber() {
    Node n;
    n.kind = NodeKind::Number;
    n.number = ScanNumber();
    return Leaf(n);
  }

  std::string ScanString() {
    ++pos_;  // opening quote
    std::string text;
    for (;;) {
      if (pos_ >= s_.size()) Fail();
      char c = s_[pos_++];
      if (c == '"') {
        if (At('"')) {
          text += '"';
          ++pos_;
          continue;
        }
        return text;
      }
      text += c;
    }
  }

  uint32_t ParseString() {
    Node n;
    n.kind = NodeKind::Text;
    n.data = AddText(ScanString());
    return Leaf(n);
  }

  Value ScanArrayElement() {
    SkipSpaces();
    if (At('"')) return ScanString();
    if (At('#')) return ScanError();
    bool negative = false;
    if (At('-') || At('+')) {
      negative = At('-');
      ++pos_;
      SkipSpaces();
    }
    if (pos_ < s_.size() && (IsDigit(s_[pos_]) || s_[pos_] == '.')) {
      double v = ScanNumber();
      return negative ? -v : v;
    }
    size_t end = pos_;
    while (end < s_.size() && IsNameChar(s_[end])) ++end;
    std::string_view word = s_.substr(pos_, end - pos_);
    if (!negative && (EqualsNoCase(word, "TRUE") || EqualsNoCase(word, "FALSE"))) {
      pos_ = end;
      return EqualsNoCase(word, "TRUE");
    }
    Fail();
  }

  uint32_t ParseArray() {
    ++pos_;  // {
    auto m = std::make_shared<Matrix>();
    std::vector<Value> row;
    for (;;) {
      row.push_back(ScanArrayElement());
      SkipSpaces();
      if (At(',')) {
        ++pos_;
        continue;
      }
      if (m->rows == 0) m->cols = static_cast<int>(row.size());
      if (static_cast<int>(row.size()) != m->cols) Fail();
      m->cells.insert(m->cells.end(), row.begin(), row.end());
      ++m->rows;
      row.clear();
      if (At(';')) {
        ++pos_;
        continue;
      }
      if (At('}')) {
        ++pos_;
        break;
      }
      Fail();
    }
    f_.arrays.push_back(std::move(m));
    Node n;
    n.kind = NodeKind::Array;
    n.data = static_cast<uint32_t>(f_.arrays.size() - 1);
    return Leaf(n);
  }

  uint32_t ParseCall(std::string_view name) {
    ++pos_;  // (
    Node n;
    n.kind = NodeKind::Call;
    n.fn = Functions().Find(name);
    n.filePrefix = name.size() > 6 && EqualsNoCase(name.substr(0, 6), "_xlfn.");
    if (!n.fn) n.data = AddText(name);
    else if (n.fn->isVolatile) f_.isVolatile = true;
    std::vector<uint32_t> args;
    int depth = 0;
    SkipSpaces();
    if (At(')')) {
      ++pos_;
    } else {
      for (;;) {
        SkipSpaces();
        uint32_t arg;
        if (At(',') || At(')')) {
          Node missing;
          missing.kind = NodeKind::Missing;
          arg = Leaf(missing);
        } else {
          arg = ParseCompare();
        }
        args.push_back(arg);
        depth = std::max(depth, Depth(arg));
        if (args.size() > static_cast<size_t>(kMaxFunctionArgs)) Fail();
        if (Eat(',')) continue;
        if (Eat(')')) break;
        Fail();
      }
    }
    return AddKids(n, args, depth + 1);
  }

  std::string_view s_;
  size_t pos_ = 0;
  const SheetNames& sheets_;
  Formula f_;
  std::vector<int> depths_;
  int nesting_ = 0;
};

}  // namespace

FormulaPtr ParseFormula(std::string_view text, const SheetNames& sheets) {
  return Parser(text, sheets).Parse();
}

}  // namespace ddt::grid::formula
