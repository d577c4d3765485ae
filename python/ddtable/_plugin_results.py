"""The pytest plugin's bookkeeping: what each test did to its row, and the results workbook
built from it.

A test's row writes outputs (and walks child-table blocks) in the process that runs the test;
every such step is also kept in a RowRecord. At the end of the session the controlling
process replays all records, row by row, into one results workbook per input workbook and
writes each test's outcome beside its row and its name (RunName, as the ddtable command
writes it). Rows a marker did not choose (rows=, where=) are written as "not run". When that
workbook exists already, the session's rows replace their earlier results in it and the other
rows keep theirs (a row not chosen keeps an earlier outcome too). Replaying rather than merging files
means pytest-xdist's workers only send their records (plain tuples) to the controller, and
the results workbook is the same whichever process ran which row.
"""

from __future__ import annotations

import os
from dataclasses import dataclass, field
from typing import Any, Dict, Iterable, List, Optional, Tuple

import ddtable

# Columns added to each business-process sheet of the results workbook.
OUTCOME_COLUMN = "TestOutcome"
MESSAGE_COLUMN = "TestMessage"
NAME_COLUMN = "RunName"   # the column and the names the ddtable command writes
NOT_RUN = "not run"
NOT_CHOSEN_MESSAGE = "not chosen for this run"
# The node id of a record that stands for a row a marker did not choose: no test ran it.
NOT_CHOSEN = ""
_MESSAGE_CHARS = 500

# Worst first: the outcome a row shows when several tests ran it.
_SEVERITY = {"error": 6, "failed": 5, "xpassed": 4, "passed": 3, "xfailed": 2, "skipped": 1}


@dataclass(frozen=True)
class RowRef:
    """The row a parametrized test case runs: input workbook, business process, row, and
    the row's name ("Login[alice]", "Login[3]")."""

    path: str
    bp: str
    row: int
    name: str = ""

    def __repr__(self) -> str:  # shown by pytest in failure reports
        return f"RowRef({os.path.basename(self.path)!r}, {self.bp!r}, row {self.row})"


@dataclass
class RowRecord:
    """What one test did to its row: ("output", table, name, value, expected, verify),
    ("block", table) and ("next", table) steps, in order. nodeid NOT_CHOSEN: the row was
    left out by its marker's rows= or where=."""

    nodeid: str
    path: str
    bp: str
    row: int
    steps: List[Tuple[Any, ...]] = field(default_factory=list)
    name: str = ""

    def to_wire(self) -> Dict[str, Any]:
        return {"nodeid": self.nodeid, "path": self.path, "bp": self.bp, "row": self.row,
                "steps": [list(s) for s in self.steps], "name": self.name}

    @classmethod
    def from_wire(cls, data: Dict[str, Any]) -> "RowRecord":
        return cls(data["nodeid"], data["path"], data["bp"], int(data["row"]),
                   [tuple(s) for s in data["steps"]], data.get("name", ""))


def wire_value(value: Any) -> Any:
    """A value as it can travel between processes (basic types as they are, others as str)."""
    if value is None or isinstance(value, (str, int, float, bool)):
        return value
    return str(value)


@dataclass
class Outcome:
    word: str = ""
    messages: List[str] = field(default_factory=list)

    def add(self, word: str, message: Optional[str]) -> None:
        if _SEVERITY.get(word, 0) > _SEVERITY.get(self.word, 0):
            self.word = word
        if message:
            self.messages.append(message)


def replay(run: "ddtable.Run", bp: str, row: int, records: Iterable[RowRecord]) -> None:
    """Copies the row into the run once and applies every record's steps to it."""
    it = run.goto(bp, row)
    for record in records:
        if record.nodeid == NOT_CHOSEN:
            continue
        blocks: Dict[str, list] = {}
        for step in record.steps:
            kind, table = step[0], step[1]
            if kind == "block":
                walk = it.block(table)
                blocks[table] = [walk, next(walk, None)]
            elif kind == "next":
                walk = blocks.get(table)
                if walk is not None:
                    walk[1] = next(walk[0], None)
            elif kind == "output":
                target = it if table is None else (blocks.get(table) or [None, None])[1]
                if target is not None:
                    _, _, name, value, expected, verify = step
                    target.output(name, value, expected, verify)


def results_paths(base: str, inputs: List[str]) -> Dict[str, str]:
    """The results file of each input workbook: base itself for a single input, else base
    with the input's name added ("results.xlsx" -> "results-login.xlsx")."""
    if len(inputs) == 1:
        return {inputs[0]: base}
    stem, suffix = os.path.splitext(base)
    suffix = suffix or ".xlsx"
    paths: Dict[str, str] = {}
    for path in inputs:
        name = os.path.splitext(os.path.basename(path))[0]
        candidate, n = f"{stem}-{name}{suffix}", 2
        while candidate in paths.values():
            candidate, n = f"{stem}-{name}{n}{suffix}", n + 1
        paths[path] = candidate
    return paths


def write_problem(path: str) -> Optional[str]:
    """Why the results workbook cannot be written to path now, or None. A spreadsheet
    program that has the file open leaves a lock file beside it (LibreOffice
    ".~lock.NAME#", Excel "~$NAME"); a save would be lost when it saves its own copy."""
    folder, name = os.path.split(os.path.abspath(path))
    for lock, program in ((f".~lock.{name}#", "LibreOffice"), (f"~${name}", "Excel")):
        if os.path.lexists(os.path.join(folder, lock)):
            return (f"{path} is open in {program} (lock file {os.path.join(folder, lock)}): "
                    "close it there first")
    if os.path.isdir(path):
        return f"{path} is a folder"
    if os.path.exists(path) and not os.access(path, os.W_OK):
        return f"{path} cannot be written (no write permission)"
    existing = folder
    while not os.path.exists(existing):
        existing = os.path.dirname(existing)
    if not os.path.isdir(existing):
        return f"{path} cannot be written: {existing} is not a folder"
    if not os.access(existing, os.W_OK | os.X_OK):
        return f"{path} cannot be written: no write permission in {existing}"
    return None


def write_results(base: str, records: List[RowRecord], outcomes: Dict[str, Outcome]
                  ) -> Tuple[List[Tuple[str, Dict[str, int]]], List[str]]:
    """Builds and saves the results workbook of every input workbook the records use.
    Returns (results path, count of rows per outcome) for each workbook written, and why
    each of the others could not be written."""
    by_input: Dict[str, Dict[Tuple[str, int], List[RowRecord]]] = {}
    for record in records:
        by_input.setdefault(record.path, {}).setdefault((record.bp, record.row), []).append(record)
    written, failed = [], []
    for path, target in results_paths(base, sorted(by_input)).items():
        problem = write_problem(target)
        if problem is None:
            try:
                written.append((target, _write_one(path, target, by_input[path], outcomes)))
                continue
            except (ddtable.Error, OSError) as error:
                problem = str(error)
        failed.append(problem)
    return written, failed


def _write_one(path: str, target: str, rows: Dict[Tuple[str, int], List[RowRecord]],
               outcomes: Dict[str, Outcome]) -> Dict[str, int]:
    """Replays the rows of one input workbook into its results workbook and saves it."""
    counts: Dict[str, int] = {}
    # Rows not chosen keep an outcome an earlier session gave them (read only when needed).
    left_out = any(all(r.nodeid == NOT_CHOSEN for r in group) for group in rows.values())
    earlier = _earlier_outcomes(target) if left_out else set()
    with ddtable.open(path) as book:
        order = {name: i for i, name in enumerate(book.sheet_names)}
        # An earlier session's results are the start: rows run again replace theirs, the
        # rest keep their outcome (pytest --lf, --ff, -k run only some rows).
        run = book.run(target, marks=True, merge=True)
        try:
            for (bp, row) in sorted(rows, key=lambda k: (order.get(k[0], 0), k[1])):
                group = rows[(bp, row)]
                name = next((r.name for r in group if r.name), "")
                if all(r.nodeid == NOT_CHOSEN for r in group):
                    if (bp, row) in earlier:
                        continue
                    run.goto(bp, row)
                    _note_name(run, bp, row, name)
                    run.note(bp, row, OUTCOME_COLUMN, NOT_RUN)
                    run.note(bp, row, MESSAGE_COLUMN, NOT_CHOSEN_MESSAGE)
                    counts[NOT_RUN] = counts.get(NOT_RUN, 0) + 1
                    continue
                replay(run, bp, row, group)
                _note_name(run, bp, row, name)
                outcome = Outcome()
                for record in group:
                    found = outcomes.get(record.nodeid)
                    if found is not None:
                        outcome.add(found.word, None)
                        outcome.messages.extend(
                            f"{record.nodeid.rsplit('::', 1)[-1]}: {m}" for m in found.messages)
                word = outcome.word or "not run"
                counts[word] = counts.get(word, 0) + 1
                passed = {"passed": True, "failed": False, "error": False}.get(word)
                run.note(bp, row, OUTCOME_COLUMN, word, passed)
                if outcome.messages:
                    text = " | ".join(outcome.messages)
                    # The apostrophe keeps a message such as "=x" or "12" text.
                    run.note(bp, row, MESSAGE_COLUMN, "'" + text[:_MESSAGE_CHARS])
            os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
            run.save()
        finally:
            run.close()   # a save that failed is reported by the caller, not retried
    return counts


def _note_name(run: "ddtable.Run", bp: str, row: int, name: str) -> None:
    if name:
        run.note(bp, row, NAME_COLUMN, "'" + name)   # as text, whatever the id looks like


def _earlier_outcomes(target: str) -> set:
    """(business process, row) of every row with an outcome in an earlier results workbook."""
    if not os.path.isfile(target):
        return set()
    found = set()
    try:
        with ddtable.open(target) as book:
            for sheet in book.business_processes:
                if OUTCOME_COLUMN in sheet.parameters:
                    for row, value in enumerate(sheet.column(OUTCOME_COLUMN), 1):
                        if value not in (None, "", NOT_RUN):
                            found.add((sheet.name, row))
    except ddtable.Error:
        pass   # the run's own open of the file says what is wrong with it
    return found
