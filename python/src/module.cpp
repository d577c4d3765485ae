// The extension module ddtable._core; the package ddtable (ddtable/__init__.py) re-exports it.
#include "core.h"

PYBIND11_MODULE(_core, m) {
  m.doc() = "ddtable's data tables: workbooks, sheets, rows and data-driven runs.";
  ddt::python::BindWorkbook(m);
  ddt::python::BindRun(m);
  ddt::python::BindSelection(m);
}
