"""Exceptions raised by ddtable, and the value of a cell holding an error."""

from __future__ import annotations

from typing import Optional


class Error(Exception):
    """Base class of every error ddtable raises."""


class FileError(Error, OSError):
    """A workbook file could not be read or written; the message names the file and why."""

    def __init__(self, message: str, filename: Optional[str] = None) -> None:
        super().__init__(message)
        self.filename = filename

    def __str__(self) -> str:
        return str(self.args[0]) if self.args else ""


class MissingFileError(FileError, FileNotFoundError):
    """The workbook file does not exist."""


class UnknownNameError(Error, LookupError):
    """No sheet, business process, child table or parameter has the name given."""

    def __str__(self) -> str:
        return str(self.args[0]) if self.args else ""


class RunError(Error):
    """A run cannot do what was asked: no current row, an output that cannot be written."""


class SaveWarning(UserWarning):
    """A save wrote the file but could not keep something in it (a macro project in a file
    named .xlsx, parts that an insertion or deletion made wrong); the message names the file
    and what was left out."""


class CellError(str):
    """The value of a cell holding a spreadsheet error ("#N/A", "#DIV/0!", ...).

    It is a str equal to the error's text, so it prints and compares as the sheet shows it,
    and isinstance(value, CellError) tells it apart from text."""

    __slots__ = ()

    def __repr__(self) -> str:
        return f"CellError({str.__repr__(self)})"
