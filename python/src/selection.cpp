// Choosing and naming the rows of a sheet with the rules of the ddtable command: conditions
// on parameter values (--where), lists of row numbers (--rows) and row names (--id).
#include <pybind11/stl.h>

#include <algorithm>
#include <map>
#include <set>

#include "core.h"
#include "results/pattern_match.h"

namespace ddt::python {

namespace {

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// NAME=PATTERN or NAME!=PATTERN.
struct Condition {
  std::string text;
  std::string param;
  bool negated = false;
  std::string pattern;

  static Condition Parse(const std::string& text) {
    Condition c;
    c.text = text;
    const std::size_t at = text.find('=');
    if (at == std::string::npos || at == 0 || (at == 1 && text[0] == '!'))
      throw py::value_error("where " + py::repr(py::str(text)).cast<std::string>() +
                            ": expected NAME=PATTERN or NAME!=PATTERN");
    c.negated = text[at - 1] == '!';
    c.param = Trim(text.substr(0, c.negated ? at - 1 : at));
    c.pattern = text.substr(at + 1);
    if (c.param.empty())
      throw py::value_error("where " + py::repr(py::str(text)).cast<std::string>() +
                            ": no parameter name before the '='");
    return c;
  }

  // The cell's text (as displayed, surrounding blanks aside) matches; a text holding a list
  // ("smoke, nightly", "a;b") also matches when one of its words does.
  bool Matches(const std::string& cellText) const {
    bool any = ddt::results::MatchesPattern(Trim(cellText), pattern);
    if (!any && cellText.find_first_of(",;") != std::string::npos) {
      std::size_t from = 0;
      while (!any && from <= cellText.size()) {
        std::size_t sep = cellText.find_first_of(",;", from);
        if (sep == std::string::npos) sep = cellText.size();
        any = ddt::results::MatchesPattern(Trim(cellText.substr(from, sep - from)), pattern);
        from = sep + 1;
      }
    }
    return negated ? !any : any;
  }
};

constexpr long kGridRows = 1048576;

long RowNumber(const std::string& text, const std::string& what) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
      text.size() > 9)
    throw py::value_error(what);
  return std::stol(text);
}

// Conditions given as strings (or lists of them) and as name=pattern keywords; each names a
// parameter of the sheet.
std::vector<Condition> ConditionsOf(const Sheet& sheet, const py::args& args,
                                    const py::kwargs& kwargs) {
  std::vector<Condition> conditions;
  auto add = [&](const py::handle& item) {
    if (!py::isinstance<py::str>(item))
      throw py::type_error("where() takes conditions as str ('Tag=smoke', 'Env!=prod*'), not " +
                           py::repr(item).cast<std::string>());
    conditions.push_back(Condition::Parse(item.cast<std::string>()));
  };
  for (const py::handle& arg : args) {
    if (py::isinstance<py::list>(arg) || py::isinstance<py::tuple>(arg)) {
      for (const py::handle& item : arg) add(item);
    } else {
      add(arg);
    }
  }
  for (const auto& [name, value] : kwargs) {
    Condition c;
    c.param = name.cast<std::string>();
    c.pattern = EntryText(value);
    c.text = c.param + "=" + c.pattern;
    conditions.push_back(std::move(c));
  }
  CDT& table = sheet.Book().Input();
  const long index = sheet.Index();
  for (const Condition& c : conditions) {
    if (table.ParamExists(c.param, index) == 0)
      Raise("UnknownNameError", "sheet '" + sheet.Name() + "' has no parameter '" + c.param +
                                    "' for where " + c.text);
  }
  return conditions;
}

}  // namespace

std::vector<long> ParseRowList(const std::string& text) {
  std::set<long> rows;
  const std::string what = "rows " + py::repr(py::str(text)).cast<std::string>() +
                           ": expected row numbers such as 3,5-9 (from 1)";
  std::size_t from = 0;
  while (from <= text.size()) {
    std::size_t comma = text.find(',', from);
    if (comma == std::string::npos) comma = text.size();
    const std::string part = Trim(text.substr(from, comma - from));
    const std::size_t dash = part.find('-', 1);
    const long first = RowNumber(dash == std::string::npos ? part : Trim(part.substr(0, dash)), what);
    const long last =
        dash == std::string::npos ? first : RowNumber(Trim(part.substr(dash + 1)), what);
    if (first < 1 || last < first) throw py::value_error(what);
    // Rows past the grid's last cannot exist: they are left out, as rows past the data are.
    for (long n = first; n <= std::min(last, kGridRows); ++n) rows.insert(n);
    from = comma + 1;
  }
  return {rows.begin(), rows.end()};
}

py::list Where(const py::object& sheetObject, const py::args& args, const py::kwargs& kwargs) {
  const Sheet& sheet = sheetObject.cast<Sheet&>();
  const std::vector<Condition> conditions = ConditionsOf(sheet, args, kwargs);
  CDT& table = sheet.Book().Input();
  const long index = sheet.Index();
  const long last = sheet.RowCount();
  const auto header = sheet.HeaderNow();
  py::list rows;
  for (long r = 1; r <= last; ++r) {
    bool chosen = true;
    for (const Condition& c : conditions) {
      if (!c.Matches(table.GetParamValue(r, c.param, index))) {
        chosen = false;
        break;
      }
    }
    if (chosen) rows.append(ReadRow(sheetObject, r, header));
  }
  return rows;
}

std::vector<std::string> RowNames(const Sheet& sheet, const py::object& id) {
  CDT& table = sheet.Book().Input();
  const long index = sheet.Index();
  const long last = sheet.RowCount();
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(last));
  if (id.is_none()) {
    for (long r = 1; r <= last; ++r) names.push_back(sheet.Name() + "[" + std::to_string(r) + "]");
    return names;
  }
  const std::string param = id.cast<std::string>();
  sheet.Column(param);  // UnknownNameError
  std::map<std::string, long> rowOf;
  for (long r = 1; r <= last; ++r) {
    const std::string text = Trim(table.GetParamValue(r, param, index));
    if (text.empty())
      Raise("Error", "row " + std::to_string(r) + " of '" + sheet.Name() + "' has no " + param +
                         "; every row needs an id with id=" + param);
    auto [other, fresh] = rowOf.emplace(text, r);
    if (!fresh)
      Raise("Error", "rows " + std::to_string(other->second) + " and " + std::to_string(r) +
                         " of '" + sheet.Name() + "' have the same " + param + " '" + text +
                         "'; ids must name one row each");
    names.push_back(sheet.Name() + "[" + text + "]");
  }
  return names;
}

void BindSelection(py::module_& m) {
  m.def("_parse_rows", &ParseRowList, py::arg("text"),
        "Row numbers of a text such as '3,5-9' (from 1), sorted, each once; ValueError for "
        "anything else.");
  m.def(
      "_matches",
      [](const std::string& condition, const std::string& text) {
        return Condition::Parse(condition).Matches(text);
      },
      py::arg("condition"), py::arg("text"),
      "Whether a cell showing text meets the condition NAME=PATTERN / NAME!=PATTERN.");
}

}  // namespace ddt::python
