"""Workbooks for the tests, written with openpyxl (a second, independent reader and writer)."""

import datetime

import openpyxl
import pytest

pytest_plugins = ["pytester"]


def write_workbook(path, sheets):
    """sheets: {name: [header, row, ...]}; returns path."""
    book = openpyxl.Workbook()
    book.remove(book.active)
    for name, rows in sheets.items():
        sheet = book.create_sheet(name)
        for row in rows:
            sheet.append(row)
    book.save(path)
    return path


@pytest.fixture
def login_xlsx(tmp_path):
    """Global, a business process Login of three rows, its child table Login.Roles in two
    blocks (the second without a closing terminator row), and a second business process."""
    path = tmp_path / "login.xlsx"
    write_workbook(path, {
        "Global": [["Iter", "VID", "Host", "Group"], [1, 1, "Local", "None"]],
        "Login": [
            ["UserName", "Password", "Age", "Admin", "Greeting_out", "Greeting_exp", "Note"],
            ["alice", "wonderland", 30, True, None, "Welcome, alice*", None],
            ["bob", "007", 41.5, False, None, "Welcome, bob!", "=1/0"],
            ["carol", "singer", None, None, None, "Welcome back, carol!", "=C3*2"],
        ],
        "Login.Roles": [
            ["Role", "Granted_out", "Granted_exp"],
            ["reader", None, "yes"],
            ["writer", None, "y*"],
            [".End", None, None],
            ["admin", None, "no"],
        ],
        "Checkout": [["Item", "Price"], ["book", 12.5]],
    })
    book = openpyxl.load_workbook(path)
    sheet = book["Login"]
    sheet["C2"].number_format = "0.00"  # alice's age shows as 30.00
    sheet["H1"] = "Joined"
    sheet["H2"] = datetime.datetime(2024, 2, 29)
    sheet["H2"].number_format = "yyyy-mm-dd"
    book.save(path)
    return path
