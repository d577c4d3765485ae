// Choosing and naming the rows of a sheet with the rules of the ddtable command: conditions
// on parameter values (--where), lists of row numbers (--rows) and row names (--id).
#include <pybind11/stl.h>

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

#include "core.h"
#include "ddtable/row_filter.h"
#include "text/ascii.h"

namespace ddt::python {

namespace {

std::string Trim(const std::string& text) { return std::string(ddt::text::Trim(text)); }

// A where condition, with the text it was given as, for messages.
struct Condition : ddt::RowCondition {
  std::string text;

  static Condition Parse(const std::string& text) {
    Condition c;
    try {
      static_cast<ddt::RowCondition&>(c) = ddt::RowCondition::Parse(text);
    } catch (const std::invalid_argument& e) {
      throw py::value_error("where " + py::repr(py::str(text)).cast<std::string>() + ": " + e.what());
    }
    c.text = text;
    return c;
  }
};

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
  try {
    const std::set<long> rows = ddt::ParseRowList(text);
    return {rows.begin(), rows.end()};
  } catch (const std::invalid_argument& e) {
    throw py::value_error("rows " + py::repr(py::str(text)).cast<std::string>() + ": " + e.what());
  }
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
