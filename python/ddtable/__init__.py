"""ddtable: data-driven test data in spreadsheet workbooks.

    import ddtable

    with ddtable.open("login.xlsx") as book:
        for row in book.bp("Login"):
            print(row.number, row["UserName"], row.text("Password"))

        with book.run("login_results.xlsx", user="7", group="Demo") as run:
            for it in run.iterations("Login"):
                it.output("Greeting_out", f"Welcome, {it['UserName']}!")
        # leaving the block saved the results (run.save() saves at any time)

A pytest plugin (ddtable.pytest_plugin) runs a test once per row of a business process:
@pytest.mark.ddtable("login.xlsx", bp="Login").
"""

from __future__ import annotations

import os
from typing import Union

from ddtable._core import (
    Block,
    Iteration,
    Manager,
    ParamName,
    Row,
    Run,
    Sheet,
    Workbook,
)
from ddtable.errors import (
    CellError,
    ChangedOnDiskError,
    DamagedFileError,
    EncryptedFileError,
    Error,
    FileError,
    LimitError,
    LockedFileError,
    MissingFileError,
    NotAWorkbookError,
    NotWritableError,
    RunError,
    SaveWarning,
    UnknownNameError,
)

__all__ = [
    "open", "new", "Workbook", "Sheet", "Row", "Block", "Run", "Iteration", "Manager",
    "ParamName", "Error", "FileError", "MissingFileError", "UnknownNameError", "RunError",
    "CellError", "SaveWarning", "NotAWorkbookError", "DamagedFileError", "EncryptedFileError",
    "LimitError", "ChangedOnDiskError", "LockedFileError", "NotWritableError",
]

__version__ = "0.1.0"

PathLike = Union[str, "os.PathLike[str]"]


def open(path: PathLike) -> Workbook:  # noqa: A001 - the natural name, as io.open
    """Opens a data workbook (.xlsx, .xlsm, .xls or .csv).

    Raises MissingFileError when the file does not exist and FileError when it cannot be
    read; the message names the file and the reason."""
    return Workbook(os.fspath(path))


def new() -> Workbook:
    """A new workbook of one blank sheet, to be filled and saved with save(path)."""
    return Workbook("")


def _run(self: Workbook, results: PathLike | None = None, *, user: Union[str, int] = 1,
         group: str = "None", host: str = "Local", marks: bool = True,
         merge: bool = False) -> Run:
    """Starts a run of this workbook into a new results workbook.

    results: the file save() writes (it may also be given to save()); the end of a with
    block saves there too, also when the block raised (SaveWarning when it cannot). Without
    it the run keeps its results in memory only. user, group and host: the run context
    written beside every copied row. marks: mark checked outputs green or red in the
    results (True), or only check them (False). merge: when the results file exists, start
    from it (with the rows of a journal an interrupted run left beside it): rows run again
    replace their earlier results, the other rows keep theirs."""
    return Run(self, "" if results is None else os.fspath(results), str(user), group, host,
               marks, merge)


Workbook.run = _run  # type: ignore[attr-defined]


def _to_pandas(self: Sheet, first: int = 1, last: int | None = None) -> "pandas.DataFrame":
    """Rows first..last (default: every data row) as a pandas DataFrame: one column per
    parameter (a column without a header is named ""), indexed by row number, values typed
    as values() types them (empty cells NaN or None). Needs pandas (Debian: python3-pandas)."""
    try:
        import pandas
    except ImportError as error:
        raise ImportError("Sheet.to_pandas() needs pandas (Debian: python3-pandas)") from error
    header = list(self._header)
    columns = self._columns(first, last)
    count = len(columns[0][0]) if columns else 0
    if count == 0:
        frame = pandas.DataFrame.from_records([], columns=header, nrows=0)
        frame.index = pandas.RangeIndex(first, first, name="row")
        return frame
    # Columns of numbers come as float64 arrays and columns of texts as object arrays, as
    # from_records would make them; the others (booleans, dates, mixed kinds) go through
    # from_records so that pandas chooses their type as it does for rows.
    arrays = {i: values for i, (values, settled) in enumerate(columns) if settled}
    mixed = [i for i, (_, settled) in enumerate(columns) if not settled]
    if mixed:
        inferred = pandas.DataFrame.from_records(list(zip(*(columns[i][0] for i in mixed))),
                                                 columns=range(len(mixed)), nrows=count)
        for at, i in enumerate(mixed):
            arrays[i] = inferred[at]
    # The arrays are new and the frame's alone: taken as they are, not copied into blocks.
    frame = pandas.DataFrame({i: arrays[i] for i in range(len(columns))}, copy=False)
    frame.columns = header
    frame.index = pandas.RangeIndex(first, first + count, name="row")
    return frame


Sheet.to_pandas = _to_pandas  # type: ignore[attr-defined]
