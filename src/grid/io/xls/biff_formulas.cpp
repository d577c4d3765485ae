#include "grid/io/xls/biff_formulas.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "grid/grid_error.h"
#include "grid/io/common/io_limits.h"
#include "text/column_letters.h"

namespace ddt::grid::io::biff {

namespace {

// Thrown inside the decoder; DecodeFormula turns it into its `why`.
struct Unsupported {
  std::string why;
};

[[noreturn]] void Refuse(std::string why) { throw Unsupported{std::move(why)}; }

std::string NumberText(double d) {
  if (!std::isfinite(d)) Refuse("a number that is not finite");
  char buf[64];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, p);
}

std::string QuotedText(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    out += c;
    if (c == '"') out += '"';
  }
  out += '"';
  return out;
}

std::string SheetPrefix(std::string_view name) {
  std::string out = "'";
  for (char c : name) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'!";
}

class Decoder {
 public:
  Decoder(const FormulaContext& ctx, std::string_view rgce, std::string_view extra, int row,
          int col, bool shared)
      : ctx_(ctx), t_(rgce), x_(extra), row_(row), col_(col), shared_(shared),
        maxRow_(ctx.biff8 ? 65535 : 16383) {}

  std::string Run() {
    while (at_ < t_.size()) Token();
    if (stack_.size() != 1) Refuse("the tokens do not form one expression");
    return std::move(stack_.back());
  }

 private:
  const char* Take(size_t n) {
    if (at_ + n > t_.size()) Refuse("a token runs past the formula");
    const char* p = t_.data() + at_;
    at_ += n;
    return p;
  }
  uint8_t Byte() { return static_cast<uint8_t>(*Take(1)); }
  uint16_t Word() { return U16(Take(2)); }

  const char* TakeExtra(size_t n) {
    if (xAt_ + n > x_.size()) Refuse("an array constant runs past the formula");
    const char* p = x_.data() + xAt_;
    xAt_ += n;
    return p;
  }

  std::string Pop() {
    if (stack_.empty()) Refuse("an operator lacks an operand");
    std::string s = std::move(stack_.back());
    stack_.pop_back();
    return s;
  }
  void Push(std::string s) {
    if (s.size() > kMaxFormulaBytes) Refuse("the formula is too long");
    stack_.push_back(std::move(s));
  }

  void Binary(const char* op) {
    std::string b = Pop();
    std::string a = Pop();
    Push(a + op + b);
  }

  // One corner of a reference: 0-based row and column with their relative flags.
  struct Corner {
    int row, col;
    bool rowRel, colRel;
  };

  Corner ReadCorner8() {  // BIFF8: row u16, column u16 with the flags
    const int r = Word();
    const uint16_t c = Word();
    return {r, c & 0x3FFF, (c & 0x8000) != 0, (c & 0x4000) != 0};
  }
  Corner ReadCorner5() {  // BIFF5: row u16 with the flags, column u8
    const uint16_t r = Word();
    const int c = Byte();
    return {r & 0x3FFF, c, (r & 0x8000) != 0, (r & 0x4000) != 0};
  }

  // A relative part of a shared formula's reference is an offset from the cell.
  Corner Place(Corner c, bool offsets) const {
    if (!offsets) return c;
    const int rows = maxRow_ + 1;
    if (c.rowRel) {
      int off = ctx_.biff8 ? static_cast<int16_t>(c.row) : ((c.row & 0x2000) ? c.row - 0x4000 : c.row);
      c.row = ((row_ + off) % rows + rows) % rows;
    }
    if (c.colRel) {
      int off = static_cast<int8_t>(c.col & 0xFF);
      c.col = ((col_ + off) % 256 + 256) % 256;
    }
    return c;
  }

  static void AppendCol(const Corner& c, std::string& out) {
    if (!c.colRel) out += '$';
    text::AppendColumnLetters(out, c.col + 1);
  }
  static void AppendRow(const Corner& c, std::string& out) {
    if (!c.rowRel) out += '$';
    out += std::to_string(c.row + 1);
  }

  std::string CellText(Corner c, bool offsets) const {
    c = Place(c, offsets);
    std::string out;
    AppendCol(c, out);
    AppendRow(c, out);
    return out;
  }

  std::string AreaText(Corner a, Corner b, bool offsets) const {
    a = Place(a, offsets);
    b = Place(b, offsets);
    std::string out;
    if (a.row == 0 && b.row == maxRow_) {  // whole columns
      AppendCol(a, out);
      out += ':';
      AppendCol(b, out);
    } else if (a.col == 0 && b.col == 255) {  // whole rows
      AppendRow(a, out);
      out += ':';
      AppendRow(b, out);
    } else {
      AppendCol(a, out);
      AppendRow(a, out);
      out += ':';
      AppendCol(b, out);
      AppendRow(b, out);
    }
    return out;
  }

  // The sheet prefix of a BIFF8 3-D reference; nothing for a deleted sheet (the reference
  // is #REF!).
  std::optional<std::string> Sheets8(uint16_t ixti) const {
    if (ixti >= ctx_.externSheets.size()) Refuse("a reference to an unknown sheet");
    const FormulaContext::SheetRange& r = ctx_.externSheets[ixti];
    if (!r.internal) Refuse("a reference to another workbook");
    return SheetsByIndex(r.first, r.last);
  }

  std::optional<std::string> SheetsByIndex(int first, int last) const {
    if (first < 0 || last < 0) return std::nullopt;
    const int count = static_cast<int>(ctx_.sheetNames.size());
    if (first >= count || last >= count || ctx_.sheetNames[first].empty() ||
        ctx_.sheetNames[last].empty())
      Refuse("a reference to an unknown sheet");
    if (first == last) return SheetPrefix(ctx_.sheetNames[first]);
    return SheetPrefix(ctx_.sheetNames[first] + ":" + ctx_.sheetNames[last]);
  }

  std::optional<std::string> Sheets5() {
    const int16_t ixals = static_cast<int16_t>(Word());
    Take(8);
    const int16_t first = static_cast<int16_t>(Word());
    const int16_t last = static_cast<int16_t>(Word());
    if (ixals >= 0) Refuse("a reference to another workbook");
    return SheetsByIndex(first, last);
  }

  std::string StringToken() {
    const size_t count = Byte();
    std::string out;
    if (ctx_.biff8) {
      const bool wide = Byte() & 1;
      const char* p = Take(count * (wide ? 2 : 1));
      Pieces pieces(std::string_view(p, count * (wide ? 2 : 1)));
      pieces.Chars(count, wide, out);
    } else {
      ctx_.codePage->AppendUtf8(std::string_view(Take(count), count), out);
    }
    return out;
  }

  std::string ArrayConstant() {
    Take(7);
    // BIFF8 stores the column and row counts less one; BIFF5 the counts (0 columns: 256).
    size_t cols = static_cast<uint8_t>(*TakeExtra(1));
    size_t rows = U16(TakeExtra(2));
    if (ctx_.biff8) {
      ++cols;
      ++rows;
    } else if (cols == 0) {
      cols = 256;
    }
    std::string out = "{";
    for (size_t r = 0; r < rows; ++r) {
      if (r) out += ';';
      for (size_t c = 0; c < cols; ++c) {
        if (c) out += ',';
        const uint8_t type = static_cast<uint8_t>(*TakeExtra(1));
        switch (type) {
          case 0x00: TakeExtra(8); break;
          case 0x01: out += NumberText(F64(TakeExtra(8))); break;
          case 0x02: {
            std::string s;
            if (ctx_.biff8) {
              const size_t n = U16(TakeExtra(2));
              const bool wide = *TakeExtra(1) & 1;
              const char* p = TakeExtra(n * (wide ? 2 : 1));
              Pieces pieces(std::string_view(p, n * (wide ? 2 : 1)));
              pieces.Chars(n, wide, s);
            } else {
              const size_t n = static_cast<uint8_t>(*TakeExtra(1));
              ctx_.codePage->AppendUtf8(std::string_view(TakeExtra(n), n), s);
            }
            out += QuotedText(s);
            break;
          }
          case 0x04: out += *TakeExtra(8) ? "TRUE" : "FALSE"; break;
          case 0x10: {
            auto e = ErrorFromCode(static_cast<uint8_t>(*TakeExtra(8)));
            out += ErrorText(e.value_or(ErrorCode::Value));
            break;
          }
          default: Refuse("an array constant with an unknown element");
        }
        if (out.size() > kMaxFormulaBytes) Refuse("the formula is too long");
      }
    }
    return out + "}";
  }

  std::string NameText(uint16_t index) const {
    if (index == 0 || index > ctx_.names.size() || ctx_.names[index - 1].empty())
      Refuse("an unknown defined name");
    return ctx_.names[index - 1];
  }

  void Call(const std::string& name, size_t args) {
    if (args > stack_.size()) Refuse("a function lacks arguments");
    std::string out = name + "(";
    for (size_t i = stack_.size() - args; i < stack_.size(); ++i) {
      if (i > stack_.size() - args) out += ',';
      out += stack_[i];
    }
    stack_.resize(stack_.size() - args);
    Push(out + ")");
  }

  void Token() {
    const uint8_t ptg = Byte();
    const uint8_t base = ptg < 0x20 ? ptg : ((ptg & 0x1F) | 0x20);
    switch (base) {
      case 0x01: Refuse("a shared or array formula part");
      case 0x02: Refuse("a data table");
      case 0x03: return Binary("+");
      case 0x04: return Binary("-");
      case 0x05: return Binary("*");
      case 0x06: return Binary("/");
      case 0x07: return Binary("^");
      case 0x08: return Binary("&");
      case 0x09: return Binary("<");
      case 0x0A: return Binary("<=");
      case 0x0B: return Binary("=");
      case 0x0C: return Binary(">=");
      case 0x0D: return Binary(">");
      case 0x0E: return Binary("<>");
      case 0x0F: return Binary(" ");
      case 0x10: return Binary(",");
      case 0x11: return Binary(":");
      case 0x12: return Push("+" + Pop());
      case 0x13: return Push("-" + Pop());
      case 0x14: return Push(Pop() + "%");
      case 0x15: return Push("(" + Pop() + ")");
      case 0x16: return Push("");
      case 0x17: return Push(QuotedText(StringToken()));
      case 0x19: return Attribute();
      case 0x1C: {
        auto e = ErrorFromCode(Byte());
        return Push(ErrorText(e.value_or(ErrorCode::Value)));
      }
      case 0x1D: return Push(Byte() ? "TRUE" : "FALSE");
      case 0x1E: return Push(std::to_string(Word()));
      case 0x1F: return Push(NumberText(F64(Take(8))));
      case 0x20: return Push(ArrayConstant());
      case 0x21: {
        const int number = Word();
        const BuiltinFunction f = FunctionByNumber(number);
        if (!f.name || f.fixedArgs < 0)
          Refuse("function number " + std::to_string(number) + " is unknown");
        return Call(f.name, static_cast<size_t>(f.fixedArgs));
      }
      case 0x22: {
        const size_t args = Byte() & 0x7F;
        const int number = Word() & 0x7FFF;
        if (number == 255) {  // an add-in or newer function: its name is the first argument
          if (args == 0 || args > stack_.size()) Refuse("a function lacks its name");
          std::string name = std::move(stack_[stack_.size() - args]);
          stack_.erase(stack_.end() - static_cast<long>(args));
          return Call(name, args - 1);
        }
        const BuiltinFunction f = FunctionByNumber(number);
        if (!f.name) Refuse("function number " + std::to_string(number) + " is unknown");
        return Call(f.name, args);
      }
      case 0x23: {
        const uint16_t index = Word();
        Take(ctx_.biff8 ? 2 : 12);
        return Push(NameText(index));
      }
      case 0x24:
      case 0x2C:  // the N forms hold offsets from the cell in shared formulas
        return Push(CellText(ctx_.biff8 ? ReadCorner8() : ReadCorner5(), base == 0x2C && shared_));
      case 0x25:
      case 0x2D: {
        Corner a, b;
        if (ctx_.biff8) {
          a.row = Word(), b.row = Word();
          const uint16_t c1 = Word(), c2 = Word();
          a = {a.row, c1 & 0x3FFF, (c1 & 0x8000) != 0, (c1 & 0x4000) != 0};
          b = {b.row, c2 & 0x3FFF, (c2 & 0x8000) != 0, (c2 & 0x4000) != 0};
        } else {
          const uint16_t r1 = Word(), r2 = Word();
          const int c1 = Byte(), c2 = Byte();
          a = {r1 & 0x3FFF, c1, (r1 & 0x8000) != 0, (r1 & 0x4000) != 0};
          b = {r2 & 0x3FFF, c2, (r2 & 0x8000) != 0, (r2 & 0x4000) != 0};
        }
        return Push(AreaText(a, b, base == 0x2D && shared_));
      }
      case 0x26: {  // the reference is computed by the tokens that follow
        Take(6);
        const size_t count = U16(TakeExtra(2));
        TakeExtra(count * (ctx_.biff8 ? 8 : 6));
        return;
      }
      case 0x27:
      case 0x28: Take(6); return;
      case 0x29:
      case 0x2E:
      case 0x2F: Take(2); return;
      case 0x2A: Take(ctx_.biff8 ? 4 : 3); return Push("#REF!");
      case 0x2B: Take(ctx_.biff8 ? 8 : 6); return Push("#REF!");
      case 0x39: {
        if (!ctx_.biff8) Refuse("an external name");
        const uint16_t ixti = Word(), index = Word();
        Take(2);
        if (ixti >= ctx_.externSheets.size()) Refuse("an unknown external name");
        const int book = ctx_.externSheets[ixti].supBook;
        if (book >= 0 && static_cast<size_t>(book) < ctx_.supBookIsSelf.size() &&
            ctx_.supBookIsSelf[book])
          return Push(NameText(index));
        if (book < 0 || static_cast<size_t>(book) >= ctx_.supBookIsAddIn.size() ||
            !ctx_.supBookIsAddIn[book])
          Refuse("a name in another workbook");
        if (static_cast<size_t>(book) >= ctx_.externNames.size() || index == 0 ||
            index > ctx_.externNames[book].size() || ctx_.externNames[book][index - 1].empty())
          Refuse("an unknown external name");
        return Push(ctx_.externNames[book][index - 1]);
      }
      case 0x3A:
      case 0x3C: {
        std::optional<std::string> sheets;
        Corner c;
        if (ctx_.biff8) {
          sheets = Sheets8(Word());
          c = ReadCorner8();
        } else {
          sheets = Sheets5();
          c = ReadCorner5();
        }
        if (!sheets || base == 0x3C) return Push("#REF!");
        return Push(*sheets + CellText(c, shared_));
      }
      case 0x3B:
      case 0x3D: {
        std::optional<std::string> sheets;
        Corner a, b;
        if (ctx_.biff8) {
          sheets = Sheets8(Word());
          a.row = Word(), b.row = Word();
          const uint16_t c1 = Word(), c2 = Word();
          a = {a.row, c1 & 0x3FFF, (c1 & 0x8000) != 0, (c1 & 0x4000) != 0};
          b = {b.row, c2 & 0x3FFF, (c2 & 0x8000) != 0, (c2 & 0x4000) != 0};
        } else {
          sheets = Sheets5();
          const uint16_t r1 = Word(), r2 = Word();
          const int c1 = Byte(), c2 = Byte();
          a = {r1 & 0x3FFF, c1, (r1 & 0x8000) != 0, (r1 & 0x4000) != 0};
          b = {r2 & 0x3FFF, c2, (r2 & 0x8000) != 0, (r2 & 0x4000) != 0};
        }
        if (!sheets || base == 0x3D) return Push("#REF!");
        return Push(*sheets + AreaText(a, b, shared_));
      }
      default: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", ptg);
        Refuse(std::string("token ") + hex + " is not supported");
      }
    }
  }

  void Attribute() {
    const uint8_t type = Byte();
    const uint16_t data = Word();
    if (type & 0x04) {  // CHOOSE's jump table
      Take((size_t{data} + 1) * 2);
      return;
    }
    if (type & 0x10) Call("SUM", 1);  // SUM of a single argument
    // Volatile marks, IF and CHOOSE jumps, and spaces change nothing in the text.
  }

  const FormulaContext& ctx_;
  std::string_view t_, x_;
  size_t at_ = 0, xAt_ = 0;
  int row_, col_;
  bool shared_;
  int maxRow_;
  std::vector<std::string> stack_;
};

}  // namespace

bool DecodeFormula(const FormulaContext& ctx, std::string_view rgce, std::string_view extra,
                   int row, int col, bool shared, std::string* text, std::string* why) {
  try {
    *text = Decoder(ctx, rgce, extra, row, col, shared).Run();
    return true;
  } catch (const Unsupported& u) {
    *why = u.why;
  } catch (const GridError& e) {  // a string inside the tokens runs past them
    *why = "a string runs past the formula";
  }
  return false;
}

}  // namespace ddt::grid::io::biff
