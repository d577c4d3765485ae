"""pytest plugin: one test case per row of a business process.

    @pytest.mark.ddtable("login.xlsx", bp="Login", id="UserName")
    def test_login(row):
        greeting = app.login(row["UserName"], row["Password"])
        row.output("Greeting_out", greeting)   # checked against Greeting_exp

The marker parametrizes the test with one case per chosen data row of the business-process
sheet (ids "alice", ... by the id= parameter, else "row1", ...). The test receives a
DataRow: typed values, displayed texts, substitution, child-table blocks and output(), which
writes an output and checks it; a test whose outputs do not match fails after it returns. At the end of the session one
results workbook (--ddtable-results PATH, default ddtable-results.xlsx) holds every row
that ran, its outputs marked green or red, and each row's test outcome in a column
TestOutcome. When that workbook exists already (an earlier session, pytest --lf or --ff),
the rows of this session replace their earlier results and the other rows keep theirs;
delete the file to start afresh. Under pytest-xdist the workers send what their rows did to the controller,
which writes the one workbook.

Marker arguments: path (relative to the test file's folder, or absolute); bp, the business
process (may be left out when the workbook has only one); id, a parameter whose text is each
case's id and names the row ("Login[alice]", else "Login[3]") in the results' RunName column,
so a row keeps its name when rows are inserted (every row needs an id of its own); arg, the
test's argument that receives the row (default "row"). Choosing rows, as the ddtable command
does: rows, row numbers ("3,5-9" or a list of ints); where, conditions on parameter values
("Tag=smoke", "Env!=prod*", a str or a list, all must hold; see Sheet.where). Rows not chosen
make no test case; the results workbook shows them as "not run" (a row that has an outcome
from an earlier session keeps it).
"""

from __future__ import annotations

import os
from typing import Any, Dict, Iterator, List, Optional, Set

import pytest

import ddtable
from ddtable._plugin_results import (
    NOT_CHOSEN,
    Outcome,
    RowRecord,
    RowRef,
    results_paths,
    wire_value,
    write_problem,
    write_results,
)

DEFAULT_RESULTS = "ddtable-results.xlsx"
_WIRE_KEY = "ddtable_records"


class DataRow:
    """The row a test runs: values of the current iteration, outputs checked against the
    expected values. Inside block(table) the same for each row of a child table."""

    def __init__(self, iteration: "ddtable.Iteration", record: RowRecord,
                 mismatches: List[str], ref: Optional[RowRef] = None) -> None:
        self._it = iteration
        self._record = record
        self._mismatches = mismatches
        self.ref = ref

    # -- values ------------------------------------------------------------------------
    @property
    def number(self) -> int:
        """The row number in its sheet (1 = first data row)."""
        return self._it.number

    @property
    def sheet(self) -> str:
        return self._it.sheet

    @property
    def name(self) -> Optional[str]:
        """The business-process row's name, "Login[alice]" by the marker's id= parameter or
        "Login[3]" by row number; None for a row of a child table."""
        return self.ref.name if self.ref is not None else None

    @property
    def parameters(self) -> List[str]:
        return self._it.parameters

    def __getitem__(self, name: str) -> Any:
        return self._it[name]

    def raw(self, name: str) -> Any:
        """The value with a date or time left as its serial number."""
        return self._it.raw(name)

    def __contains__(self, name: str) -> bool:
        return name in self._it

    def get(self, name: str, default: Any = None) -> Any:
        return self._it[name] if name in self._it else default

    def text(self, name: str) -> str:
        """The value as the sheet displays it."""
        return self._it.text(name)

    def as_dict(self) -> Dict[str, Any]:
        return self._it.as_dict()

    def substitute(self, text: str) -> str:
        """text with each parameter reference "<name>" replaced by its value."""
        return self._it.substitute(text)

    # -- outputs -----------------------------------------------------------------------
    def output(self, name: str, value: Any, expected: Optional[str] = None,
               verify: bool = True) -> Optional[bool]:
        """Writes value into the output parameter and checks it: against `expected` (a
        pattern or a "<reference>") or, by default, the parameter X_exp of output X_out.
        True match, False mismatch (the test fails when it returns), None not checked."""
        verdict = self._it.output(name, value, expected, verify)
        self._record.steps.append(("output", self._it.table, name, wire_value(value),
                                   expected, verify))
        if verdict is False:
            _, text, pattern, _ = self._it.outputs[-1]
            where = f"{self._it.sheet} row {self._it.number}"
            wanted = pattern
            if pattern.startswith("<") and pattern.endswith(">"):
                param = pattern[1:-1].split("::")[-1]
                if "@@" not in pattern and param in self._it:
                    wanted = f"{self._it.text(param)!r} ({pattern})"
            else:
                wanted = repr(pattern)
            self._mismatches.append(f"{name}: {text!r} does not match {wanted} in {where}")
        return verdict

    @property
    def mismatches(self) -> List[str]:
        """The failed checks of this test so far."""
        return list(self._mismatches)

    # -- child tables ------------------------------------------------------------------
    def block(self, table: str) -> Iterator["DataRow"]:
        """The rows of this iteration's block of the child table `table`."""
        walk = self._it.block(table)
        self._record.steps.append(("block", table))
        first = True
        while True:
            if not first:
                self._record.steps.append(("next", table))
            first = False
            child = next(walk, None)
            if child is None:
                return
            yield DataRow(child, self._record, self._mismatches)

    def __repr__(self) -> str:
        return f"<DataRow {self.sheet} row {self.number}>"


# ---- Module hooks: option, marker, parametrization -------------------------------------

def pytest_addoption(parser: pytest.Parser) -> None:
    group = parser.getgroup("ddtable", "data-driven tests from ddtable workbooks")
    group.addoption("--ddtable-results", metavar="PATH", default=None,
                    help=f"results workbook of the session (default {DEFAULT_RESULTS}); "
                         "with several input workbooks, one per input named after it")


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line(
        "markers",
        "ddtable(path, bp=None, id=None, arg='row', rows=None, where=None): run the test "
        "once per row of the business process bp of the workbook path (rows and where "
        "choose rows; the others are 'not run')")
    config.pluginmanager.register(_Session(config), "ddtable-session")


def _marker_args(marker: pytest.Mark, test_file: str) -> Dict[str, Any]:
    args = list(marker.args)
    kwargs = dict(marker.kwargs)
    if not args and "path" not in kwargs:
        _refuse("@pytest.mark.ddtable needs the workbook's path")
    path = os.fspath(kwargs.pop("path", None) or args.pop(0))
    bp = kwargs.pop("bp", None) or (args.pop(0) if args else None)
    out = {"path": path, "bp": bp, "id": kwargs.pop("id", None), "arg": kwargs.pop("arg", "row"),
           "rows": _rows_arg(kwargs.pop("rows", None)), "where": _where_arg(kwargs.pop("where", None))}
    if kwargs or args:
        _refuse(f"@pytest.mark.ddtable: unexpected arguments {args + sorted(kwargs)}")
    for name in ("bp", "id", "arg"):
        if out[name] is not None and not isinstance(out[name], str):
            _refuse(f"@pytest.mark.ddtable: {name}= takes a str, not {out[name]!r}")
    if not os.path.isabs(path):
        beside = os.path.join(os.path.dirname(test_file), path)
        out["path"] = beside if os.path.exists(beside) or not os.path.exists(path) else path
    out["path"] = os.path.abspath(out["path"])
    return out


def _rows_arg(rows: Any) -> Optional[Set[int]]:
    """rows=: "3,5-9" or row numbers (from 1); None chooses every row."""
    if rows is None:
        return None
    if isinstance(rows, str):
        try:
            return set(ddtable._core._parse_rows(rows))
        except ValueError as error:
            _refuse(f"@pytest.mark.ddtable: {error}")
    if isinstance(rows, (list, tuple, set, frozenset, range)) and all(
            isinstance(n, int) and not isinstance(n, bool) and n >= 1 for n in rows):
        return set(rows)
    _refuse(f"@pytest.mark.ddtable: rows= takes row numbers from 1 as a str such as '3,5-9' "
            f"or a list of ints, not {rows!r}")
    return None


def _where_arg(where: Any) -> List[str]:
    """where=: a condition or a list of them, all of which must hold."""
    if where is None:
        return []
    conditions = [where] if isinstance(where, str) else where
    if not isinstance(conditions, (list, tuple)) or not all(isinstance(c, str) for c in conditions):
        _refuse(f"@pytest.mark.ddtable: where= takes a condition such as 'Tag=smoke' or a list "
                f"of them, not {where!r}")
    return list(conditions)


class _BadMarker(Exception):
    """A marker that cannot work; its message says why."""


def _refuse(message: str) -> None:
    raise _BadMarker(message)


def _base_id(item: pytest.Item) -> str:
    """The node id of the test function an item was made from (without parameters)."""
    name = getattr(item, "originalname", None)
    if not name:
        return item.nodeid
    return item.nodeid.rsplit("::", 1)[0] + "::" + name


def pytest_generate_tests(metafunc: pytest.Metafunc) -> None:
    """Parametrizes a marked test with its rows. A marker that cannot work (no workbook, no
    such business process, ...) is not a collection error, which would stop the session: the
    test reports it as its error when it is set up, and the other tests run."""
    if metafunc.definition.get_closest_marker("ddtable") is None:
        return
    try:
        _parametrize(metafunc)
    except Exception as problem:  # noqa: BLE001 - any marker fault is the test's error
        where = metafunc.definition.nodeid
        message = str(problem) if isinstance(problem, _BadMarker) else \
            f"@pytest.mark.ddtable: {problem!r}"
        if not message.startswith(where):
            message = f"{where}: {message}"
        session = metafunc.config.pluginmanager.get_plugin("ddtable-session")
        session.bad_markers[metafunc.definition.nodeid] = message


@pytest.hookimpl(tryfirst=True)
def pytest_runtest_setup(item: pytest.Item) -> None:
    session = item.config.pluginmanager.get_plugin("ddtable-session")
    problem = session.bad_markers.get(_base_id(item)) if session is not None else None
    if problem is not None:
        pytest.fail(problem, pytrace=False)


def _parametrize(metafunc: pytest.Metafunc) -> None:
    marker = metafunc.definition.get_closest_marker("ddtable")
    where = metafunc.definition.nodeid
    spec = _marker_args(marker, str(metafunc.definition.fspath))
    if spec["arg"] not in metafunc.fixturenames:
        _refuse(f"{where}: a @pytest.mark.ddtable test takes an argument {spec['arg']!r} "
                "(the row)")
    problem = None
    try:
        with ddtable.open(spec["path"]) as book:
            bp = spec["bp"]
            if bp is None:
                names = [s.name for s in book.business_processes]
                if len(names) != 1:
                    _refuse(f"{where}: {spec['path']} has the business processes {names}: "
                            "name the business process with bp=")
                bp = names[0]
            sheet = book.bp(bp)
            # Every row's name, chosen or not: an empty or repeated id is refused (the
            # message names the rows), as the ddtable command refuses it.
            names = sheet.names(spec["id"])
            chosen = set(range(1, len(names) + 1))
            if spec["rows"] is not None:
                chosen &= spec["rows"]
            if spec["where"]:
                chosen &= {row.number for row in sheet.where(spec["where"])}
    except (ddtable.Error, ValueError) as error:
        problem = f"{where}: {error}"
    if problem is not None:
        _refuse(problem)
    refs, ids, left_out = [], [], []
    for number, name in enumerate(names, 1):
        ref = RowRef(spec["path"], bp, number, name)
        if number in chosen:
            refs.append(ref)
            # The id alone (not its row number) names the case, so it survives inserted rows.
            ids.append(name[len(bp) + 1:-1] if spec["id"] else f"row{number}")
        else:
            left_out.append(ref)
    metafunc.parametrize(spec["arg"], refs, ids=ids)
    session = metafunc.config.pluginmanager.get_plugin("ddtable-session")
    session.not_chosen[where] = left_out


def _row_ref(item: pytest.Item) -> Optional[tuple]:
    callspec = getattr(item, "callspec", None)
    if callspec is None or item.get_closest_marker("ddtable") is None:
        return None
    for arg, value in callspec.params.items():
        if isinstance(value, RowRef):
            return arg, value
    return None


def _outcome_of(report: pytest.TestReport) -> Optional[str]:
    if report.when == "call":
        if hasattr(report, "wasxfail"):
            return "xfailed" if report.skipped else "xpassed"
        return report.outcome
    if report.failed:
        return "error"
    if report.skipped:
        return "skipped"
    return None


def _message_of(report: pytest.TestReport) -> Optional[str]:
    if report.passed:
        return None
    crash = getattr(report.longrepr, "reprcrash", None)
    if crash is not None:
        return crash.message.splitlines()[0] if crash.message else None
    if isinstance(report.longrepr, tuple) and len(report.longrepr) == 3:
        return str(report.longrepr[2])   # a skip: (file, line, reason)
    return str(report.longrepr).splitlines()[-1] if report.longrepr else None


# ---- Session hooks ------------------------------------------------------------------------

class _Session:
    """The plugin's state for one pytest session (in each xdist worker and the controller)."""

    def __init__(self, config: pytest.Config) -> None:
        self.config = config
        self.records: List[RowRecord] = []
        self.outcomes: Dict[str, Outcome] = {}
        self.books: Dict[str, "ddtable.Workbook"] = {}
        self.runs: Dict[str, "ddtable.Run"] = {}   # input path -> this process's run
        self.written: List[Any] = []
        self.failed: List[str] = []   # why a results workbook could not be written
        self.bad_markers: Dict[str, str] = {}   # test function's node id -> what is wrong
        # test function's node id -> the rows its marker did not choose
        self.not_chosen: Dict[str, List[RowRef]] = {}

    def live_run(self, path: str) -> "ddtable.Run":
        """This process's run over the input workbook: it checks outputs as tests write
        them; the results workbook itself is built from the records at the end."""
        run = self.runs.get(path)
        if run is None:
            book = ddtable.open(path)
            self.books[path] = book
            run = self.runs[path] = book.run(marks=False)
        return run

    @pytest.hookimpl(hookwrapper=True)
    def pytest_runtest_setup(self, item: pytest.Item):
        found = _row_ref(item)
        if found is not None:
            arg, ref = found
            record = RowRecord(item.nodeid, ref.path, ref.bp, ref.row, name=ref.name)
            self.records.append(record)
        outcome = yield
        if found is not None and outcome.excinfo is None:
            # The fixtures are set up: the test receives the live row instead of its reference.
            item.funcargs[arg] = DataRow(self.live_run(ref.path).goto(ref.bp, ref.row), record,
                                         [], ref)

    @pytest.hookimpl(tryfirst=True)
    def pytest_pyfunc_call(self, pyfuncitem: pytest.Function):
        found = _row_ref(pyfuncitem)
        row = pyfuncitem.funcargs.get(found[0]) if found is not None else None
        if not isinstance(row, DataRow):
            return None
        names = pyfuncitem._fixtureinfo.argnames
        pyfuncitem.obj(**{name: pyfuncitem.funcargs[name] for name in names})
        if row.mismatches:
            # The test itself went through; its checks did not. No traceback: the message
            # says which output, what it was and what was expected.
            pytest.fail("output mismatch: " + "; ".join(row.mismatches), pytrace=False)
        return True

    def pytest_runtest_logreport(self, report: pytest.TestReport) -> None:
        if "ddtable" not in report.keywords:
            return
        word = _outcome_of(report)
        if word is not None:
            self.outcomes.setdefault(report.nodeid, Outcome()).add(word, _message_of(report))

    @pytest.hookimpl(optionalhook=True)
    def pytest_testnodedown(self, node: Any, error: Any) -> None:
        """xdist controller: the records a worker sends when it finishes."""
        output = getattr(node, "workeroutput", None) or {}
        self.records.extend(RowRecord.from_wire(r) for r in output.get(_WIRE_KEY, []))

    def pytest_sessionfinish(self, session: pytest.Session, exitstatus: int) -> None:
        for run in self.runs.values():
            run.close()
        for book in self.books.values():
            book.close()
        self.runs.clear()
        self.books.clear()
        if hasattr(self.config, "workerinput"):   # an xdist worker: the controller writes
            self.config.workeroutput[_WIRE_KEY] = [r.to_wire() for r in self.records]
            return
        if not self.records:
            return
        self.written, self.failed = write_results(self.base(), self.records, self.outcomes)
        if self.failed and session.exitstatus == pytest.ExitCode.OK:
            session.exitstatus = pytest.ExitCode.TESTS_FAILED

    def base(self) -> str:
        base = self.config.getoption("ddtable_results") or DEFAULT_RESULTS
        if not os.path.isabs(base):
            base = os.path.join(str(self.config.invocation_params.dir), base)
        return base

    def check_writable(self, paths: List[str]) -> None:
        """Stops the session before its first test when a results workbook could not be
        written at its end (open in a spreadsheet program, a folder, no permission)."""
        problems = [p for p in map(write_problem, paths) if p is not None]
        if problems:
            raise pytest.UsageError(*[f"ddtable results: {p}" for p in problems])

    def pytest_sessionstart(self, session: pytest.Session) -> None:
        # Under xdist the controller collects nothing; it checks the one name it knows.
        if self.config.pluginmanager.has_plugin("dsession"):
            self.check_writable([self.base()])

    def pytest_collection_finish(self, session: pytest.Session) -> None:
        # The rows a collected test's marker left out go into the results as "not run"
        # (an xdist worker sends them with its records; the controller keeps one of each).
        functions = {_base_id(item) for item in session.items}
        left_out = [ref for function, refs in self.not_chosen.items() if function in functions
                    for ref in refs]
        self.records.extend(RowRecord(NOT_CHOSEN, ref.path, ref.bp, ref.row, name=ref.name)
                            for ref in left_out)
        if hasattr(self.config, "workerinput") or self.config.option.collectonly:
            return
        inputs = sorted({found[1].path for found in map(_row_ref, session.items) if found} |
                        {ref.path for ref in left_out})
        if inputs:
            self.check_writable(list(results_paths(self.base(), inputs).values()))

    def pytest_terminal_summary(self, terminalreporter: Any) -> None:
        for path, counts in self.written:
            summary = ", ".join(f"{n} {word}" for word, n in sorted(counts.items()))
            terminalreporter.write_line(f"ddtable results: {path} ({summary})")
        for problem in self.failed:
            terminalreporter.write_line(f"ddtable results: not written: {problem}", red=True)
