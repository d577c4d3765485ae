"""The exception class of every kind of file failure, from the kind the library gives."""

import os
import pathlib
import zipfile

import pytest

import ddtable

CORPUS = pathlib.Path(__file__).resolve().parents[2].parent / "shared" / "corpus" / "poi"


def good_workbook(path):
    book = ddtable.new()
    book.save(path)
    return path


@pytest.mark.parametrize("make, error, words", [
    (lambda p: p.write_text("UserName;Note\nalice;x\n"), ddtable.NotAWorkbookError, "text"),
    (lambda p: p.mkdir(), ddtable.NotAWorkbookError, "directory"),
    (lambda p: p.write_bytes(b""), ddtable.DamagedFileError, "empty"),
    (lambda p: p.write_bytes(good_workbook(p.with_suffix(".ok.xlsx")).read_bytes()[:400]),
     ddtable.DamagedFileError, "zip"),
])
def test_unreadable_files_raise_the_class_of_their_kind(tmp_path, make, error, words):
    path = tmp_path / "book.xlsx"
    make(path)
    with pytest.raises(error, match=words) as caught:
        ddtable.open(path)
    assert isinstance(caught.value, ddtable.FileError)
    assert not isinstance(caught.value, FileNotFoundError)
    assert caught.value.filename == str(path) and str(path) in str(caught.value)


def test_an_encrypted_workbook_is_not_reported_as_damaged(tmp_path):
    source = CORPUS / "protected_passtika.xlsx"
    if not source.exists():
        pytest.skip("no corpus beside the project")
    path = tmp_path / "secret.xlsx"
    path.write_bytes(source.read_bytes())
    with pytest.raises(ddtable.EncryptedFileError, match="encrypted"):
        ddtable.open(path)


def test_saves_refused_or_impossible_raise_the_class_of_their_kind(tmp_path):
    path = good_workbook(tmp_path / "book.xlsx")
    book = ddtable.open(path)

    with pytest.raises(ddtable.NotWritableError, match="no folder") as caught:
        book.save(tmp_path / "no" / "folder" / "book.xlsx")
    assert isinstance(caught.value, PermissionError)

    lock = tmp_path / ".~lock.held.xlsx#"
    lock.write_text(",someone,host,07.12.2026 12:00,file:///home/someone/.config/x;")
    with pytest.raises(ddtable.LockedFileError, match="another program"):
        book.save(tmp_path / "held.xlsx")
    assert not (tmp_path / "held.xlsx").exists()
    lock.unlink()

    book = ddtable.open(path)
    ddtable.new().save(path)  # someone else writes the file after this workbook read it
    with pytest.raises(ddtable.ChangedOnDiskError, match="changed on disk"):
        book.save(path)
    book.save(tmp_path / "mine.xlsx")  # under another name the save goes through
    assert zipfile.is_zipfile(tmp_path / "mine.xlsx")


def test_a_missing_file_stays_the_missing_file_error(tmp_path):
    with pytest.raises(ddtable.MissingFileError, match="No such file") as caught:
        ddtable.open(tmp_path / "missing.xlsx")
    assert isinstance(caught.value, FileNotFoundError)
    assert not os.path.exists(tmp_path / "missing.xlsx")
