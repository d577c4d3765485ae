// Printing the canonical tree back to formula text.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "grid/formula/a1.h"
#include "grid/formula/ast.h"


namespace ddt::grid::formula {

namespace {

// Functions newer than the original file format: files write them with "_xlfn.".
constexpr std::string_view kPrefixedInFiles[] = {
    "IFS", "SWITCH", "XOR", "IFNA", "CONCAT", "TEXTJOIN", "MAXIFS", "MINIFS", "DAYS",
    "ISOWEEKNUM", "CEILING.MATH", "FLOOR.MATH", "CEILING.PRECISE", "FLOOR.PRECISE",
    "STDEV.S", "STDEV.P", "VAR.S", "VAR.P", "MODE.SNGL", "RANK.EQ", "RANK.AVG",
    "PERCENTILE.INC", "PERCENTILE.EXC", "QUARTILE.INC", "QUARTILE.EXC", "XLOOKUP",
    "XMATCH", "UNIQUE", "SORT", "FILTER", "SEQUENCE", "NUMBERVALUE", "UNICHAR", "UNICODE",
    "AGGREGATE", "ACOT", "ACOTH", "COT", "COTH", "CSC", "CSCH", "SEC", "SECH", "ARABIC",
    "BASE", "DECIMAL", "BITAND", "BITOR", "BITXOR", "BITLSHIFT", "BITRSHIFT", "COMBINA",
    "ERF.PRECISE", "ERFC.PRECISE", "GAMMA", "GAMMALN.PRECISE", "GAUSS", "PHI", "ISO.CEILING",
    "IMCOSH", "IMCOT", "IMCSC", "IMCSCH", "IMSEC", "IMSECH", "IMSINH", "IMTAN", "PDURATION",
    "RRI", "ISFORMULA", "FORMULATEXT", "SHEET", "SHEETS", "NETWORKDAYS.INTL", "WORKDAY.INTL",
    "SKEW.P", "COVARIANCE.P", "COVARIANCE.S", "NORM.DIST", "NORM.INV", "NORM.S.DIST",
    "NORM.S.INV", "LOGNORM.DIST", "LOGNORM.INV", "EXPON.DIST", "GAMMA.DIST", "GAMMA.INV",
    "WEIBULL.DIST", "BETA.DIST", "BETA.INV", "BINOM.DIST", "BINOM.INV", "NEGBINOM.DIST",
    "HYPGEOM.DIST", "POISSON.DIST", "CHISQ.DIST", "CHISQ.DIST.RT", "CHISQ.INV",
    "CHISQ.INV.RT", "CHISQ.TEST", "F.DIST", "F.DIST.RT", "F.INV", "F.INV.RT", "F.TEST",
    "T.DIST", "T.DIST.2T", "T.DIST.RT", "T.INV", "T.INV.2T", "T.TEST", "Z.TEST",
    "CONFIDENCE.NORM", "CONFIDENCE.T", "HSTACK", "VSTACK"};

bool PrefixedInFiles(std::string_view name) {
  for (std::string_view n : kPrefixedInFiles)
    if (n == name) return true;
  return false;
}

const char* OpText(Op op) {
  switch (op) {
    case Op::Neg: return "-";
    case Op::Plus: return "+";
    case Op::Range: return ":";
    case Op::Pow: return "^";
    case Op::Mul: return "*";
    case Op::Div: return "/";
    case Op::Add: return "+";
    case Op::Sub: return "-";
    case Op::Concat: return "&";
    case Op::Eq: return "=";
    case Op::Ne: return "<>";
    case Op::Lt: return "<";
    case Op::Gt: return ">";
    case Op::Le: return "<=";
    case Op::Ge: return ">=";
  }
  return "?";
}

class Printer {
 public:
  Printer(const Formula& f, const SheetNames& sheets, bool forFile, int rowOffset)
      : f_(f), sheets_(sheets), forFile_(forFile), rowOffset_(rowOffset) {}

  std::string Print() {
    out_.reserve(32);
    Node(f_.nodes[f_.root]);
    return std::move(out_);
  }

 private:
  void Node(const formula::Node& n) {
    switch (n.kind) {
      case NodeKind::Number: AppendNumber(n.number); break;
      case NodeKind::Text: AppendString(f_.texts[n.data]); break;
      case NodeKind::Bool: out_ += n.boolean ? "TRUE" : "FALSE"; break;
      case NodeKind::Error: out_ += ErrorText(n.error); break;
      case NodeKind::Missing: break;
      case NodeKind::Ref: AppendRef(f_.refs[n.data]); break;
      case NodeKind::Name: out_ += f_.texts[n.data]; break;
      case NodeKind::Array: AppendArray(*f_.arrays[n.data]); break;
      case NodeKind::Unary:
        out_ += OpText(n.op);
        Node(f_.Child(n, 0));
        break;
      case NodeKind::Percent:
        Node(f_.Child(n, 0));
        out_ += '%';
        break;
      case NodeKind::Binary:
        Node(f_.Child(n, 0));
        out_ += OpText(n.op);
        Node(f_.Child(n, 1));
        break;
      case NodeKind::Paren:
        out_ += '(';
        Node(f_.Child(n, 0));
        out_ += ')';
        break;
      case NodeKind::Call:
        if (n.fn) {
          if (forFile_ && (n.filePrefix || PrefixedInFiles(n.fn->name))) out_ += "_xlfn.";
          // The two worksheet-only functions of dynamic arrays carry a second prefix.
          if (forFile_ && (n.fn->name == "SORT" || n.fn->name == "FILTER")) out_ += "_xlws.";
          out_ += n.fn->name;
        } else {
          out_ += f_.texts[n.data];
        }
        out_ += '(';
        for (uint32_t i = 0; i < n.count; ++i) {
          if (i) out_ += ',';
          Node(f_.Child(n, i));
        }
        out_ += ')';
        break;
    }
  }

  void AppendNumber(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    if (std::strtod(buf, nullptr) != v) std::snprintf(buf, sizeof buf, "%.17G", v);
    out_ += buf;
  }

  void AppendString(std::string_view s) {
    out_ += '"';
    for (char c : s) {
      if (c == '"') out_ += '"';
      out_ += c;
    }
    out_ += '"';
  }

  void AppendArray(const Matrix& m) {
    out_ += '{';
    for (int r = 0; r < m.rows; ++r) {
      if (r) out_ += ';';
      for (int c = 0; c < m.cols; ++c) {
        if (c) out_ += ',';
        const Value& v = m.At(r, c);
        if (auto* d = std::get_if<double>(&v)) AppendNumber(*d);
        else if (auto* t = std::get_if<SharedText>(&v)) AppendString(*t);
        else if (auto* b = std::get_if<bool>(&v)) out_ += *b ? "TRUE" : "FALSE";
        else if (auto* e = std::get_if<ErrorCode>(&v)) out_ += ErrorText(*e);
      }
    }
    out_ += '}';
  }

  void AppendCorner(int row, bool rowAbs, int col, bool colAbs, bool withRow, bool withCol) {
    if (withCol) {
      if (colAbs) out_ += '$';
      AppendColumnLetters(out_, col);
    }
    if (withRow) {
      if (rowAbs) out_ += '$';
      char buf[16];
      std::snprintf(buf, sizeof buf, "%d", row);
      out_ += buf;
    }
  }

  void AppendRef(const Reference& r) {
    if (r.hasSheet) {
      std::optional<std::string> name = sheets_.NameOf(r.sheetId);
      if (!name) {
        out_ += "#REF!";
        return;
      }
      AppendSheetName(out_, *name);
      out_ += '!';
    }
    if (r.invalid) {
      out_ += "#REF!";
      return;
    }
    bool rows = r.kind != Reference::Kind::Cols;
    bool cols = r.kind != Reference::Kind::Rows;
    const int row1 = rows ? r.row1 + rowOffset_ : r.row1;
    const int row2 = rows ? (r.kind == Reference::Kind::Cell ? row1 : r.row2 + rowOffset_) : r.row2;
    if (rows && (row1 < 0 || row2 > kMaxRows)) {
      out_ += "#REF!";  // the rows moved past the grid's edge
      return;
    }
    AppendCorner(row1, r.row1Abs, r.col1, r.col1Abs, rows, cols);
    if (r.kind == Reference::Kind::Cell) return;
    out_ += ':';
    AppendCorner(row2, r.row2Abs, r.col2, r.col2Abs, rows, cols);
  }

  const Formula& f_;
  const SheetNames& sheets_;
  bool forFile_;
  int rowOffset_;
  std::string out_;
};

}  // namespace

std::string PrintFormula(const Formula& f, const SheetNames& sheets, bool forFile,
                         int rowOffset) {
  if (f.isVerbatim) return f.verbatim;
  return Printer(f, sheets, forFile, rowOffset).Print();
}

bool IsVolatile(const Formula& f) { return f.isVolatile; }

}  // namespace ddt::grid::formula
