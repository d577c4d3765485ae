// FormatNumber / FormatText: choosing the section and caching compiled codes.
#include "grid/format/number_format.h"

#include <strings.h>

#include <cmath>
#include <mutex>
#include <unordered_map>

#include "grid/format/compiled_format.h"
#include "grid/format/render.h"

namespace ddt::grid::format {

namespace {

// Distinct codes kept compiled; past this the cache starts again (workbooks use a few dozen).
constexpr size_t kMaxCachedFormats = 4096;

struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

class FormatCache {
 public:
  std::shared_ptr<const CompiledFormat> Get(std::string_view code) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = map_.find(code);
      if (it != map_.end()) return it->second;
    }
    auto compiled = CompileFormat(code);
    std::lock_guard<std::mutex> lock(mutex_);
    if (map_.size() >= kMaxCachedFormats) map_.clear();
    map_.emplace(std::string(code), compiled);
    return compiled;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const CompiledFormat>, StringHash,
                     std::equal_to<>>
      map_;
};

FormatCache& Cache() {
  static FormatCache* cache = new FormatCache;  // never destroyed: usable during exit
  return *cache;
}

bool IsGeneralCode(std::string_view code) {
  return code.empty() || (code.size() == 7 && strncasecmp(code.data(), "General", 7) == 0);
}

// The section a number goes through, the value it shows, and whether a minus leads.
struct Choice {
  const Section* section = nullptr;  // null: General
  double value = 0;
  bool minus = false;
};

Choice ChooseSection(const CompiledFormat& f, double v) {
  const auto& s = f.sections;
  const size_t n = s.size();
  if (n == 0) return {nullptr, v, false};
  if (!f.anyCondition) {
    if (v < 0 && n >= 2) return {&s[1], -v, false};
    if (v == 0 && n >= 3) return {&s[2], 0, false};
    return {&s[0], std::fabs(v), v < 0};
  }
  // With conditions: the first section when its condition holds, then the second when it
  // has no condition or its condition holds, then the third. The second and third show the
  // magnitude only; so does a first section whose condition is "< 0" or "<= 0".
  if (s[0].op != CompareOp::None && s[0].Matches(v)) {
    const bool negativeSection =
        (s[0].op == CompareOp::Less || s[0].op == CompareOp::LessEqual) && s[0].operand == 0;
    return {&s[0], std::fabs(v), v < 0 && !negativeSection};
  }
  if (s[0].op == CompareOp::None && (n == 1 || v >= 0)) return {&s[0], std::fabs(v), v < 0};
  if (n >= 2 && (s[1].op == CompareOp::None || s[1].Matches(v))) return {&s[1], std::fabs(v), false};
  if (n >= 3) return {&s[2], std::fabs(v), false};
  return {nullptr, v, false};  // no section applies: the value as General
}

}  // namespace

namespace {

// Cells of a column usually share one code: each thread remembers the last one, so most
// calls take neither the lock nor a reference count. The reference stays valid until the
// thread's next call.
const CompiledFormat& LastCompiled(std::string_view code) {
  thread_local std::string lastCode;
  thread_local std::shared_ptr<const CompiledFormat> last;
  if (!last || code != lastCode) {
    last = Cache().Get(code);
    lastCode.assign(code);
  }
  return *last;
}

}  // namespace

std::shared_ptr<const CompiledFormat> GetCompiledFormat(std::string_view code) {
  return Cache().Get(code);
}

namespace {

// What the two callers differ in: TEXT() gives empty text for an empty code, and writes a
// negative elapsed time ([h]:mm) as its magnitude after a minus sign, where a cell has no
// display for a negative serial.
enum class Target { Cell, TextFunction };

std::string Format(double value, std::string_view code, bool date1904, Target target) {
  std::string out;
  if (!std::isfinite(value)) return "#NUM!";
  if (code.empty() && target == Target::TextFunction) return out;
  if (IsGeneralCode(code)) {
    AppendGeneralDisplay(out, value);
    return out;
  }
  const CompiledFormat& f = LastCompiled(code);
  if (f.isGeneral) {
    AppendGeneralDisplay(out, value);
    return out;
  }
  const Choice c = ChooseSection(f, value);
  if (!c.section) {
    AppendGeneralDisplay(out, c.value);
  } else if (c.section->kind == SectionKind::Date) {
    // A date section shows the serial itself; a negative one has no date.
    if (value < 0 && c.section->elapsed && target == Target::TextFunction) {
      out += '-';
      RenderDate(out, *c.section, -value, date1904);
    } else {
      RenderDate(out, *c.section, value, date1904);
    }
  } else {
    RenderNumber(out, *c.section, c.value, c.minus);
  }
  return out;
}

}  // namespace

std::string FormatNumber(double value, std::string_view code, bool date1904) {
  return Format(value, code, date1904, Target::Cell);
}

std::string FormatNumberAsText(double value, std::string_view code, bool date1904) {
  return Format(value, code, date1904, Target::TextFunction);
}

std::string FormatLogical(bool value, std::string_view code) {
  return FormatText(value ? "TRUE" : "FALSE", code);
}

std::string FormatText(std::string_view text, std::string_view code) {
  if (IsGeneralCode(code)) return std::string(text);
  const CompiledFormat& f = LastCompiled(code);
  if (!f.textSection) return std::string(text);
  std::string out;
  RenderText(out, *f.textSection, text);
  return out;
}

bool IsPercentFormat(std::string_view code) {
  if (IsGeneralCode(code)) return false;
  const CompiledFormat& f = LastCompiled(code);
  return !f.sections.empty() && f.sections[0].kind != SectionKind::Date &&
         f.sections[0].percent > 0;
}

bool IsDateFormat(std::string_view code) {
  if (IsGeneralCode(code)) return false;
  return LastCompiled(code).isDate;
}

}  // namespace ddt::grid::format
