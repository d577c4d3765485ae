"""Choosing rows by parameter values (Sheet.where) and naming them (Sheet.names), with the
rules of the ddtable command's --where and --id."""

import os
import subprocess

import openpyxl
import pytest

import ddtable
from conftest import write_workbook

ROWS = [
    ["UserName", "Tag", "Env", "Age"],
    ["alice", "smoke, nightly", "prod-eu", 30],
    ["bob", "slow", "test", 41.5],
    ["carol", "smoke;slow", "prod", None],
    ["dave", "  smoke  ", "", 7],
    ["erin", "a*b, [x]", "staging", 1e3],
    ["frank", "nightly", "prod-us", "007"],
]


@pytest.fixture
def tagged(tmp_path):
    return write_workbook(tmp_path / "tagged.xlsx", {"Login": ROWS})


def chosen(sheet, *conditions, **patterns):
    return [row["UserName"] for row in sheet.where(*conditions, **patterns)]


CASES = [
    (["Tag=smoke"], ["alice", "carol", "dave"]),          # a word of a list, or the trimmed text
    (["Tag=smoke, nightly"], ["alice"]),                   # the whole text matches too
    (["Tag!=smoke"], ["bob", "erin", "frank"]),
    (["Tag=slow", "Env!=prod*"], ["bob"]),                 # several: all must hold
    (["Env=prod*"], ["alice", "carol", "frank"]),
    (["Env=prod-??"], ["alice", "frank"]),
    (["Env=[st]*"], ["bob", "erin"]),
    (["Env=[!p]*"], ["bob", "erin"]),                      # an empty cell matches no [...]
    (["Env="], ["dave"]),                                  # the empty pattern: empty cells
    (["Tag=a\\*b"], ["erin"]),                             # a backslash makes * literal
    (["Tag=a*b"], ["erin"]),
    (["Tag=\\[x]"], ["erin"]),
    (["Tag=[x]"], []),                                     # a set of one character
    (["Age=1000"], ["erin"]),                              # the text the cell shows
    (["Age=007"], ["frank"]),
    (["UserName=*", "Tag=nightly", "Env=prod-*"], ["alice", "frank"]),
]


@pytest.mark.parametrize("conditions, expected", CASES)
def test_where_chooses_rows_as_the_command_does(tagged, conditions, expected):
    with ddtable.open(tagged) as book:
        assert chosen(book.bp("Login"), *conditions) == expected


def test_where_forms_and_refusals(tagged):
    with ddtable.open(tagged) as book:
        sheet = book.bp("Login")
        assert chosen(sheet) == [r[0] for r in ROWS[1:]]
        assert chosen(sheet, Tag="slow", Env="test") == ["bob"]
        assert chosen(sheet, ["Tag=smoke", "Env=prod*"]) == ["alice", "carol"]
        assert chosen(sheet, "Tag=nightly", Age=30) == ["alice"]
        rows = sheet.where("UserName=carol")
        assert [r.number for r in rows] == [3] and rows[0]["Env"] == "prod"
        # The name is trimmed, the pattern is not.
        assert chosen(sheet, " Tag =smoke") == ["alice", "carol", "dave"]
        assert chosen(sheet, "Tag= smoke") == []
        for bad in ("Tag", "=smoke", "!=smoke", "  =x"):
            with pytest.raises(ValueError, match="expected NAME=PATTERN|no parameter name"):
                sheet.where(bad)
        with pytest.raises(ddtable.UnknownNameError,
                           match="sheet 'Login' has no parameter 'Nope' for where Nope!=x"):
            sheet.where("Tag=smoke", "Nope!=x")
        with pytest.raises(ddtable.UnknownNameError, match="'Nope'"):
            sheet.where(Nope="x")
        with pytest.raises(TypeError):
            sheet.where(42)


def test_patterns_count_characters_not_bytes(tmp_path):
    path = write_workbook(tmp_path / "u.xlsx", {"S": [["Name"], ["é"], ["ée"], ["x"]]})
    with ddtable.open(path) as book:
        assert [r["Name"] for r in book["S"].where("Name=?")] == ["é", "x"]
        assert [r["Name"] for r in book["S"].where("Name=[à-ê]?")] == ["ée"]


def test_names_by_id_or_row_number(tagged, tmp_path):
    with ddtable.open(tagged) as book:
        sheet = book.bp("Login")
        assert sheet.names() == [f"Login[{n}]" for n in range(1, 7)]
        assert sheet.names("UserName")[:2] == ["Login[alice]", "Login[bob]"]
        with pytest.raises(ddtable.Error, match="row 3 of 'Login' has no Age"):
            sheet.names("Age")
        with pytest.raises(ddtable.Error, match="row 4 of 'Login' has no Env; every row needs an id"):
            sheet.names("Env")
        with pytest.raises(ddtable.UnknownNameError):
            sheet.names("Nope")
    path = write_workbook(tmp_path / "dup.xlsx", {"Login": [["User"], ["ann"], ["bo"], [" ann "]]})
    with ddtable.open(path) as book:
        with pytest.raises(ddtable.Error,
                           match="rows 1 and 3 of 'Login' have the same User 'ann'; ids must name"):
            book.bp("Login").names("User")


def test_row_lists():
    parse = ddtable._core._parse_rows
    assert parse("3,5-9") == [3, 5, 6, 7, 8, 9]
    assert parse(" 7 , 2 - 3,3") == [2, 3, 7]
    assert parse("1048575-99999999") == [1048575, 1048576]   # no row lies past the grid
    for bad in ("", "0", "3,", "5-2", "-3", "a", "1.5", "2-", "+3"):
        with pytest.raises(ValueError, match="expected row numbers such as 3,5-9"):
            parse(bad)


def command_path():
    built = os.path.join(os.path.dirname(ddtable.__file__), "..", "..", "tools", "ddtable", "ddtable")
    path = os.environ.get("DDTABLE_CLI", built)
    return path if os.access(path, os.X_OK) else None


@pytest.mark.skipif(command_path() is None, reason="the ddtable command is not built")
def test_the_command_chooses_the_same_rows(tagged, tmp_path):
    with ddtable.open(tagged) as book:
        sheet = book.bp("Login")
        for conditions, _ in CASES:
            results = tmp_path / "results.xlsx"
            where = [arg for c in conditions for arg in ("--where", c)]
            done = subprocess.run([command_path(), "run", str(tagged), "--bp", "Login", "--id",
                                   "UserName", "--results", str(results), "--quiet", *where,
                                   "--", "true"], capture_output=True, text=True)
            assert done.returncode == 0, done.stderr
            ws = openpyxl.load_workbook(results)["Login"]
            header = [c.value for c in ws[1]]
            ran = [r[header.index("RunName")] for r in ws.iter_rows(min_row=2, values_only=True)
                   if r[header.index("RunStatus")] == "passed"]
            assert ran == [f"Login[{row['UserName']}]" for row in sheet.where(*conditions)], \
                conditions
            assert [r[header.index("RunName")] for r in ws.iter_rows(min_row=2, values_only=True)] \
                == sheet.names("UserName")
