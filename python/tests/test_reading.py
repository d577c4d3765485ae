"""Reading workbooks: sheets and their roles, typed values and texts, blocks, errors."""

import datetime
import pathlib
import warnings

import openpyxl
import pytest

import ddtable
from conftest import write_workbook


def test_sheets_and_their_roles(login_xlsx):
    with ddtable.open(login_xlsx) as book:
        assert book.sheet_names == ["Global", "Login", "Login.Roles", "Checkout"]
        assert [s.kind for s in book] == ["global", "business_process", "child_table",
                                          "business_process"]
        assert [s.name for s in book.business_processes] == ["Login", "Checkout"]
        assert book.global_sheet.name == "Global" and book.custom_sheet is None
        login = book.bp("Login")
        assert [t.name for t in login.tables] == ["Login.Roles"]
        assert login.table("Roles") == book["Login.Roles"]
        assert book["Login.Roles"].table_name == "Roles" and login.table_name is None
        assert book["Checkout"].tables == []
        assert "Checkout" in book and "checkout" not in book  # names are exact


def test_typed_values_and_displayed_text(login_xlsx):
    with ddtable.open(login_xlsx) as book:
        login = book["Login"]
        assert login.parameters == ["UserName", "Password", "Age", "Admin", "Greeting_out",
                                    "Greeting_exp", "Note", "Joined"]
        assert len(login) == 3
        alice, bob, carol = list(login)
        assert [r.number for r in (alice, bob, carol)] == [1, 2, 3]
        # Numbers are floats, whatever the cell shows; the text applies the number format.
        assert alice["Age"] == 30.0 and type(alice["Age"]) is float
        assert alice.text("Age") == "30.00"
        assert alice["Admin"] is True and bob["Admin"] is False
        assert alice.text("Admin") == "TRUE"
        # A date is a date; raw() keeps its serial; its text follows the date format.
        assert alice["Joined"] == datetime.date(2024, 2, 29) and alice.raw("Joined") == 45351.0
        assert alice.text("Joined") == "2024-02-29" and alice.raw("Age") == 30.0
        # Text that looks like a number stays text.
        assert bob["Password"] == "007" and bob.text("Password") == "007"
        # Empty cells are None and show as "".
        assert carol["Age"] is None and carol.text("Age") == "" and carol["Admin"] is None
        # Formulas give their result; the entry keeps the formula.
        assert carol["Note"] == 83.0 and carol.entry("Note").startswith("=")
        error = bob["Note"]
        assert isinstance(error, ddtable.CellError) and error == "#DIV/0!"
        assert bob.text("Note") == "#DIV/0!"
        # The sheet-level accessors agree with the rows.
        assert login.value(2, "Age") == 41.5 and login.text(1, "Age") == "30.00"
        assert login.column("UserName") == ["alice", "bob", "carol"]


def test_row_is_a_mapping(login_xlsx):
    with ddtable.open(login_xlsx) as book:
        row = book["Login"].row(1)
        assert list(row)[:2] == ["UserName", "Password"] and len(row) == 8
        assert "Age" in row and "Missing" not in row
        assert row.get("Missing", "x") == "x" and row.get("UserName") == "alice"
        assert row.as_dict()["Admin"] is True
        assert dict(row.items()) == row.as_dict()
        assert row.values[0] == "alice"
        # Rows count 1 to len(sheet); anything else is an error, never an empty row.
        login = book["Login"]
        assert login.row(len(login))["UserName"] == "carol"
        for outside in (len(login) + 1, 99, 0, -1):
            with pytest.raises(IndexError):
                login.row(outside)
        with pytest.raises(IndexError, match="no row 4 .rows 1 to 3."):
            login.value(4, "Age")
        with pytest.raises(IndexError):
            login.text(4, "Age")
        # A range stops at the last data row, as a slice does.
        assert [r.number for r in login.rows(2, 99)] == [2, 3]


def test_rows_range_and_blocks(login_xlsx):
    with ddtable.open(login_xlsx) as book:
        assert [r["UserName"] for r in book["Login"].rows(2)] == ["bob", "carol"]
        assert [r.number for r in book["Login"].rows(1, 2)] == [1, 2]
        blocks = book["Login.Roles"].blocks()
        assert [b.number for b in blocks] == [1, 2]
        assert [[r["Role"] for r in b] for b in blocks] == [["reader", "writer"], ["admin"]]
        assert blocks[0].end_row == 3
        assert blocks[1].end_row is None  # the last block has no terminator row
        assert [r.number for r in blocks[1]] == [4]


def test_blocks_with_numbered_and_empty_terminators(tmp_path):
    path = write_workbook(tmp_path / "t.xlsx", {
        "BP": [["A"], [1]],
        "BP.T": [["X", "Y"], [".End 1", None], ["a", 1], [".end 2", None], ["b", 2],
                 [".END", None]],
    })
    with ddtable.open(path) as book:
        blocks = book["BP.T"].blocks()
        assert [len(b) for b in blocks] == [0, 1, 1]
        assert [b.end_row for b in blocks] == [1, 3, 5]


def test_unknown_names_raise_lookup_errors(login_xlsx):
    with ddtable.open(login_xlsx) as book:
        with pytest.raises(ddtable.UnknownNameError, match="no sheet named 'Nope'"):
            book["Nope"]
        with pytest.raises(LookupError):
            book.sheet("login")
        with pytest.raises(ddtable.UnknownNameError, match="not a business process"):
            book.bp("Login.Roles")
        with pytest.raises(ddtable.UnknownNameError, match="no parameter 'Missing'"):
            book["Login"].row(1)["Missing"]
        with pytest.raises(ddtable.UnknownNameError):
            book["Login"].text(1, "Missing")
        with pytest.raises(ddtable.UnknownNameError):
            book.bp("Login").table("Nope")


def test_missing_and_damaged_files(tmp_path):
    missing = tmp_path / "missing.xlsx"
    with pytest.raises(ddtable.MissingFileError) as caught:
        ddtable.open(missing)
    assert isinstance(caught.value, FileNotFoundError)
    assert str(missing) in str(caught.value) and "No such file" in str(caught.value)
    assert caught.value.filename == str(missing)

    damaged = tmp_path / "damaged.xlsx"
    damaged.write_bytes(b"PK\x03\x04 this is no zip archive")
    with pytest.raises(ddtable.FileError) as caught:
        ddtable.open(damaged)
    assert not isinstance(caught.value, FileNotFoundError)
    assert str(damaged) in str(caught.value) and "zip" in str(caught.value)

    with pytest.raises(ddtable.FileError, match="directory"):
        ddtable.open(tmp_path)


def test_closed_workbook_and_its_views_refuse_use(login_xlsx):
    book = ddtable.open(login_xlsx)
    sheet = book["Login"]
    row = sheet.row(1)
    with book:
        pass
    assert book.closed
    with pytest.raises(ValueError, match="closed"):
        book.sheet_names
    with pytest.raises(ValueError, match="closed"):
        list(sheet)
    with pytest.raises(ValueError, match="closed"):
        row.text("Age")
    assert row["UserName"] == "alice"  # values were read when the row was made


def test_edit_save_and_read_back(login_xlsx, tmp_path):
    target = tmp_path / "edited.xlsx"
    with ddtable.open(login_xlsx) as book:
        login = book["Login"]
        login.set(1, "UserName", "alicia")
        login.set(2, "Age", 42.0)
        login.set(3, "Admin", True)
        assert login.add_parameter("City", "Paris") == "City"
        sheet = book.add_sheet("Extra")
        assert sheet.add_parameter("Name") == "Name"
        sheet.set(1, "Name", "0123")
        with pytest.raises(ddtable.Error, match="exists"):
            book.add_sheet("Extra")
        book.save(target)
    with ddtable.open(target) as again:
        row1, row2, row3 = list(again["Login"])
        assert row1["UserName"] == "alicia" and row1["City"] == "Paris"
        assert row2["Age"] == 42.0 and row3["Admin"] is True
        assert again["Extra"].row(1)["Name"] == "0123"  # a leading zero keeps it text
    sheet = openpyxl.load_workbook(target)["Login"]
    assert [c.value for c in sheet[1]][-1] == "City"
    assert sheet["A2"].value == "alicia" and sheet["C3"].value == 42


def test_new_workbook_needs_a_path_to_save(tmp_path):
    book = ddtable.new()
    assert book.sheet_names == ["Sheet1"]
    with pytest.raises(ddtable.Error, match="no file name"):
        book.save()
    with pytest.raises(ddtable.FileError, match="no folder"):
        book.save(tmp_path / "no" / "such" / "dir.xlsx")
    book.save(tmp_path / "new.xlsx")
    assert ddtable.open(tmp_path / "new.xlsx").sheet_names == ["Sheet1"]


def test_what_a_save_cannot_keep_is_a_warning(tmp_path):
    macro = pathlib.Path(__file__).resolve().parents[2] / "tests" / "grid" / "io" / "data" / "roundtrip_macro.xlsm"
    with ddtable.open(macro) as book:
        with pytest.warns(ddtable.SaveWarning, match="macro project was left out") as caught:
            book.save(tmp_path / "lost.xlsx")
        assert str(tmp_path / "lost.xlsx") in str(caught[0].message)
        with warnings.catch_warnings():
            warnings.simplefilter("error")  # no warning when nothing is lost
            book.save(tmp_path / "kept.xlsm")
        # A filter that makes the warning an error stops the call, the file being written.
        with warnings.catch_warnings():
            warnings.simplefilter("error", ddtable.SaveWarning)
            with pytest.raises(ddtable.SaveWarning):
                book.save(tmp_path / "again.xlsx")
        assert (tmp_path / "again.xlsx").exists()


def test_dates_and_times_follow_the_number_format(tmp_path):
    cells = [  # (serial, format, value read)
        (45351, "yyyy-mm-dd", datetime.date(2024, 2, 29)),
        (45351.75, "d/m/yy", datetime.date(2024, 2, 29)),  # the day the format shows
        (45351.5003, "yyyy-mm-dd hh:mm:ss", datetime.datetime(2024, 2, 29, 12, 0, 25, 920000)),
        (0.75, "h:mm AM/PM", datetime.time(18, 0)),
        (1.5, "[h]:mm", datetime.timedelta(hours=36)),
        (59, "yyyy-mm-dd", datetime.date(1900, 2, 28)),
        (61, "yyyy-mm-dd", datetime.date(1900, 3, 1)),
        (60, "yyyy-mm-dd", 60.0),  # Excel's 29 February 1900 is no day
        (-1, "yyyy-mm-dd", -1.0),
        (45351, "0.00", 45351.0),
        (45351, "General", 45351.0),
    ]
    path = tmp_path / "dates.xlsx"
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "Dates"
    sheet.append(["D%d" % i for i in range(len(cells))])
    sheet.append([serial for serial, _, _ in cells])
    for i, (_, code, _) in enumerate(cells):
        sheet.cell(2, i + 1).number_format = code
    book.save(path)
    with ddtable.open(path) as book:
        row = book["Dates"].row(1)
        for i, (serial, _, expected) in enumerate(cells):
            value = row["D%d" % i]
            assert (value, type(value)) == (expected, type(expected)), i
            assert row.raw("D%d" % i) == serial
        assert book["Dates"].value(1, "D0") == datetime.date(2024, 2, 29)
        with book.run() as run:
            it = next(run.iterations("Dates"))
            assert it["D2"] == cells[2][2] and it.raw("D2") == 45351.5003


def test_dates_of_the_1904_date_system(tmp_path):
    path = tmp_path / "mac.xlsx"
    book = openpyxl.Workbook()
    book.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904
    sheet = book.active
    sheet.title = "Mac"
    sheet.append(["Day"])
    sheet.append([0])
    sheet["A2"].number_format = "yyyy-mm-dd"
    book.save(path)
    with ddtable.open(path) as book:
        assert book["Mac"].row(1)["Day"] == datetime.date(1904, 1, 1)
