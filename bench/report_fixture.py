#!/usr/bin/python3
"""A results workbook of `ddtable run` of any size, written directly (a real run of 100,000
rows would start 100,000 processes): a "Login" business process with two parameters, an output
beside its expected value marked green or light red, the run columns and the run information.
About 3 % of the rows fail, 1 % end in an error and 1 % are not run.

    report_fixture.py OUT.xlsx ROWS
"""
import sys

import openpyxl
from openpyxl.styles import PatternFill

GREEN = PatternFill("solid", fgColor="00FF00")
LIGHT_RED = PatternFill("solid", fgColor="FF8080")


def results_workbook(path, rows):
    book = openpyxl.Workbook(write_only=True)
    sheet = book.create_sheet("Login")
    sheet.append(["UserName", "Password", "Greeting_out", "Greeting_exp", "RunStatus", "RunMessage",
                  "ExitStatus", "Duration", "Stdout", "Stderr"])
    for n in range(1, rows + 1):
        user = f"user{n:06d}"
        expected = f"Hello {user}"
        status, message, exit_status, out, err, got = "passed", None, 0, expected, None, expected
        if n % 100 == 7:
            status, got = "failed", f"Hi {user}"
            out, message = got, f"Greeting_out was '{got}', expected '{expected}'"
        elif n % 100 == 42:
            status, exit_status, got, out = "error", 3, None, None
            err, message = f"login refused for {user}\nretry later", "exit status 3"
        elif n % 100 == 99:
            status, exit_status, got, out, message = "not run", None, None, None, "the run was interrupted"
        cells = [user, f"pw{n}", got, expected, status, message, exit_status,
                 None if exit_status is None else round(0.05 + (n % 17) * 0.01, 3), out, err]
        if status != "not run":
            written = []
            for i, value in enumerate(cells):
                cell = openpyxl.cell.WriteOnlyCell(sheet, value=value)
                if i == 2:
                    cell.fill = GREEN if status == "passed" else LIGHT_RED
                if i == 4:
                    cell.fill = GREEN if status == "passed" else LIGHT_RED
                written.append(cell)
            sheet.append(written)
        else:
            sheet.append(cells)
    info = book.create_sheet("ddtable run")
    info.append(["Key", "Value"])
    for key, value in [("Input", "login.xlsx"), ("InputDigest", "0123456789abcdef-100"),
                       ("BusinessProcess", "Login"), ("Each", ""), ("Shard", "1/1"),
                       ("Iterations", str(rows)), ("Given", f"1-{rows}"), ("Rows", f"1-{rows}"),
                       ("Outcome", "complete"), ("Started", "2024-05-01T10:00:00Z"),
                       ("Finished", "2024-05-01T10:20:00Z"), ("Host", "ci-runner-1")]:
        info.append([key, value])
    book.save(path)


if __name__ == "__main__":
    results_workbook(sys.argv[1], int(sys.argv[2]))
