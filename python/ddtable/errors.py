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


class NotAWorkbookError(FileError):
    """The file is not a workbook (text named .xlsx, a folder, some other kind of file)."""


class DamagedFileError(FileError):
    """The workbook file is damaged, truncated or empty."""


class EncryptedFileError(FileError):
    """The workbook is password-protected; ddtable does not read encrypted workbooks."""


class LimitError(FileError):
    """The file goes past a limit ddtable keeps (rows, columns, sheets, sizes)."""


class ChangedOnDiskError(FileError):
    """A save was refused: the file changed on disk (or appeared) since the workbook read or
    last wrote it. Save under another name."""


class LockedFileError(FileError):
    """A save was refused: another program holds the file open (its lock file is beside
    it). Save under another name, or close it there first."""


class NotWritableError(FileError, PermissionError):
    """The file or its folder cannot be written (no such folder, no permission, a read-only
    or full file system)."""


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
