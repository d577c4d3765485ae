"""Reading a whole sheet at once: Sheet.values() and Sheet.to_pandas() give what the rows give."""

import datetime
import importlib.util

import openpyxl
import pytest

import ddtable
from conftest import write_workbook


def by_rows(sheet, first=1, last=None):
    return [tuple(row.values) for row in sheet.rows(first, last)]


def test_values_are_the_rows_values(login_xlsx):
    with ddtable.open(login_xlsx) as book:
        for sheet in book:
            assert sheet.values() == by_rows(sheet), sheet.name
        login = book["Login"]
        rows = login.values()
        # Dates, formulas (computed), errors, booleans and empty cells typed as rows type them.
        assert rows[0][7] == datetime.date(2024, 2, 29) and rows[0][3] is True
        assert isinstance(rows[1][6], ddtable.CellError) and rows[2][6] == 83.0
        assert rows[2][2] is None and type(rows[0][2]) is float
        assert login.values(2) == rows[1:] and login.values(2, 2) == [rows[1]]
        assert login.values(3, 99) == [rows[2]] and login.values(4) == [] and login.values(3, 2) == []
        with pytest.raises(IndexError):
            login.values(0)
        # After an edit the formulas that depend on it read their new result.
        login.set(3, "Age", 5)
        login.set(1, "UserName", "alicia")
        assert login.values() == by_rows(login)
        assert login.values()[0][0] == "alicia"


def test_values_of_sparse_sheets_styles_and_many_texts(tmp_path):
    path = tmp_path / "sparse.xlsx"
    book = openpyxl.Workbook()
    ws = book.active
    ws.title = "Data"
    ws.append(["Text", "When", "Number", "Formula"])
    for r in range(2, 20002):   # more distinct texts than any cache of them holds
        ws.cell(r, 1, f"text {r}" if r % 7 else f"text {r % 50}")
        if r % 3 == 0:
            ws.cell(r, 3, r / 4)
    ws.cell(5, 2, datetime.datetime(2024, 1, 2, 3, 4, 5)).number_format = "yyyy-mm-dd hh:mm:ss"
    ws.cell(6, 2, 0.5).number_format = "hh:mm"
    ws.cell(7, 2, 1.5).number_format = "[h]:mm"
    ws.cell(8, 2, 61).number_format = "d-mmm-yy"
    ws.cell(9, 4, "=C9*2")
    ws.cell(30000, 1, "last")          # empty rows before it
    ws.cell(30000, 9, "past the header")
    ws.row_dimensions[12].number_format = "yyyy-mm-dd"
    book.save(path)
    with ddtable.open(path) as opened:
        sheet = opened["Data"]
        rows = sheet.values()
        assert len(rows) == len(sheet) == 29999 and rows == by_rows(sheet)
        assert all(len(row) == len(sheet._header) for row in rows)
        assert rows[3][1] == datetime.datetime(2024, 1, 2, 3, 4, 5)
        assert rows[4][1] == datetime.time(12, 0) and rows[5][1] == datetime.timedelta(hours=36)
        assert rows[6][1] == datetime.date(1900, 3, 1) and rows[7][3] == 4.5
        assert rows[20005] == (None,) * len(rows[0]) and rows[-1][0] == "last"
        # Texts written between two reads are read as they are now.
        for r in range(1, 200):
            sheet.set(r, "Text", f"new {r}")
        assert sheet.values(1, 300) == by_rows(sheet, 1, 300)


def test_a_sheet_without_data_rows(tmp_path):
    path = write_workbook(tmp_path / "empty.xlsx", {"S": [["A", "B"]]})
    with ddtable.open(path) as book:
        assert book["S"].values() == []


@pytest.mark.skipif(importlib.util.find_spec("pandas") is None, reason="pandas not installed")
def test_to_pandas(login_xlsx):
    with ddtable.open(login_xlsx) as book:
        login = book["Login"]
        frame = login.to_pandas()
        assert list(frame.columns) == list(login._header)
        assert list(frame.index) == [1, 2, 3] and frame.index.name == "row"
        assert frame.loc[2, "UserName"] == "bob" and frame.loc[1, "Joined"] == datetime.date(2024, 2, 29)
        assert [tuple(r) for r in frame.itertuples(index=False)][0] == login.values()[0]
        assert str(frame["Age"].dtype) == "float64" and frame["Age"].isna().tolist() == [False, False, True]
        assert list(login.to_pandas(2, 2).index) == [2]
        assert len(book["Checkout"].to_pandas(5)) == 0


def test_values_leave_the_garbage_collector_as_they_found_it(login_xlsx):
    import gc
    with ddtable.open(login_xlsx) as book:
        login = book["Login"]
        was = gc.isenabled()
        try:
            for enabled in (True, False):
                (gc.enable if enabled else gc.disable)()
                login.values()
                assert gc.isenabled() is enabled
                if importlib.util.find_spec("pandas") is not None:
                    login.to_pandas()
                    assert gc.isenabled() is enabled
        finally:
            (gc.enable if was else gc.disable)()


@pytest.mark.skipif(importlib.util.find_spec("pandas") is None, reason="pandas not installed")
def test_to_pandas_types_columns_as_from_records_does(tmp_path, login_xlsx):
    """The frame is built by column (numbers as float64 arrays); it must equal the frame
    pandas makes of the rows, column types included, whatever a column holds."""
    import pandas

    path = tmp_path / "kinds.xlsx"
    book = openpyxl.Workbook()
    ws = book.active
    ws.title = "Kinds"
    ws.append(["Num", "NumGaps", "Text", "TextGaps", "Bool", "BoolGaps", "Mixed", "NumThenText",
               "Dates", "Stamps", "Empty", "Num", "", "Formula", "Error"])
    for r in range(2, 42):
        ws.append([r * 1.5, r if r % 3 else None, f"t{r}", f"t{r % 4}" if r % 2 else None,
                   r % 2 == 0, (r % 2 == 0) if r % 5 else None, r if r % 2 else f"x{r}",
                   r if r < 30 else "late text", datetime.date(2024, 1, r % 28 + 1),
                   datetime.datetime(2024, 1, 1, r % 24, 5), None, -r, r, f"=A{r}*2",
                   "=1/0" if r == 7 else r])
    ws.cell(45, 1, 99)  # empty rows before the last
    for r in range(2, 42):
        ws.cell(r, 9).number_format = "yyyy-mm-dd"
        ws.cell(r, 10).number_format = "yyyy-mm-dd hh:mm"
    book.save(path)

    def from_rows(sheet, first=1, last=None):
        rows = sheet.values(first, last)
        frame = pandas.DataFrame.from_records(rows, columns=list(sheet._header), nrows=len(rows))
        frame.index = pandas.RangeIndex(first, first + len(rows), name="row")
        return frame

    with ddtable.open(path) as opened:
        kinds = opened["Kinds"]
        frame = kinds.to_pandas()
        pandas.testing.assert_frame_equal(frame, from_rows(kinds))
        assert str(frame.iloc[:, 0].dtype) == "float64" and str(frame["NumGaps"].dtype) == "float64"
        assert frame["Text"].dtype == object and frame["Empty"].isna().all()
        assert frame.loc[44, "Text"] is None and frame.loc[44, "Stamps"] is pandas.NaT
        for first, last in ((3, 10), (40, None), (44, 44)):
            pandas.testing.assert_frame_equal(kinds.to_pandas(first, last), from_rows(kinds, first, last))
        # A formula cell changed since the last read reads its new result.
        kinds.set(5, "Num", 1)
        assert kinds.to_pandas().loc[5, "Formula"] == 2.0
        pandas.testing.assert_frame_equal(kinds.to_pandas(), from_rows(kinds))
    with ddtable.open(login_xlsx) as opened:
        for sheet in opened:
            pandas.testing.assert_frame_equal(sheet.to_pandas(), from_rows(sheet))


def assert_each_str_counted_once_per_place(containers):
    """Every str held in the containers (tuples or object arrays) has exactly one reference
    per place it is held: compared with a control str made here and held the same way."""
    import collections
    import sys

    held = ("".join(["con", "trol"]),)  # the control, referred to by this tuple alone
    containers = list(containers) + [held]
    places = collections.Counter(id(v) for c in containers for v in c if type(v) is str)
    objects = {id(v): v for c in containers for v in c if type(v) is str}
    extra = {key: sys.getrefcount(obj) - places[key] for key, obj in objects.items()}
    control = extra[id(held[0])]
    wrong = [(objects[key], n) for key, n in extra.items() if n != control]
    assert not wrong, f"{len(wrong)} strs with other counts than the control's {control}: {wrong[:5]}"


def test_equal_texts_of_a_file_are_one_str_counted_per_cell(tmp_path):
    xlsxwriter = pytest.importorskip("xlsxwriter")
    path = tmp_path / "shared.xlsx"
    writer = xlsxwriter.Workbook(str(path))  # shared strings, as spreadsheet programs write
    data = writer.add_worksheet("Data")
    data.write_row(0, 0, ["Name", "Amount", "Comment"])
    for r in range(1, 3001):
        data.write_row(r, 0, [f"name {r % 7}", r * 0.5, f"comment {r}" if r % 3 else f"name {r % 7}"])
    writer.close()
    with ddtable.open(path) as book:
        sheet = book["Data"]
        values = sheet.values()
        assert values == by_rows(sheet)
        # The file's shared strings: one str per distinct text, in whichever column.
        assert values[0][0] is values[7][0] and values[2][2] is values[2][0]
        assert len({id(row[0]) for row in values}) == 7
        assert_each_str_counted_once_per_place(values)
        columns = [array for array, _ in sheet._columns()]
        assert columns[0][0] is columns[0][7]
        assert_each_str_counted_once_per_place(columns)
        # The values outlive the workbook's cells and the reads' caches.
        del columns
        sheet.set(1, "Name", "changed")
    import gc
    gc.collect()
    assert values[6][0] == "name 0" and values[2][2] == "name 3"
    assert_each_str_counted_once_per_place(values)


def test_more_distinct_texts_than_one_read_keeps_at_once(tmp_path):
    # 150,000 texts, each cell its own: the table of texts read fills and starts over.
    path = tmp_path / "distinct.csv"
    with open(path, "w", encoding="utf-8") as f:
        f.write("A,B,C\n")
        for r in range(75_000):
            f.write(f"a{r},b{r},{r}\n")
    with ddtable.open(path) as book:
        sheet = book[book.sheet_names[0]]
        values = sheet.values()
        assert len(values) == 75_000 and values[-1] == ("a74999", "b74999", 74999.0)
        assert all(row[0] == f"a{r}" and row[1] == f"b{r}" for r, row in enumerate(values))
        assert_each_str_counted_once_per_place(values)
        columns = [array for array, _ in sheet._columns()]
        assert list(columns[1][-2:]) == ["b74998", "b74999"]
        assert_each_str_counted_once_per_place(columns)
