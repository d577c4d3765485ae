#!/usr/bin/python3
"""Writes examples/flight_booking.xlsx, the input workbook of the example data-driven run.

Run it again after changing the data below:  /usr/bin/python3 examples/make-example-workbook.py

Sheets (row 1 holds the parameter names, every row below is one iteration):
  Global                 the run context the results workbook fills in (Iter, VID, Host, Group)
  Login                  business process 1: three users log in; the greeting is an output
                         checked against an expected pattern
  BookFlight             business process 2: two bookings; the price is an output
  BookFlight.Passengers  child table of BookFlight: one block of passengers per booking,
                         each block closed by a ".End" row
"""
import os

from openpyxl import Workbook
from openpyxl.styles import Font, PatternFill

HERE = os.path.dirname(os.path.abspath(__file__))
TARGET = os.path.join(HERE, "flight_booking.xlsx")

SHEETS = {
    "Global": [
        ["Iter", "VID", "Host", "Group"],
        [1, 1, "Local", "None"],
    ],
    "Login": [
        ["UserName", "Password", "Greeting_out", "Greeting_exp"],
        ["alice", "wonderland", None, "Welcome, alice*"],
        ["bob", "builder", None, "Welcome, bob!"],
        # The application greets carol in another way: this iteration shows a failed check.
        ["carol", "singer", None, "Welcome back, carol!"],
    ],
    "BookFlight": [
        ["From", "To", "Date", "Passengers", "Price_out", "Price_exp"],
        ["LHR", "JFK", "2026-12-24", 2, None, 1100],
        ["CDG", "NRT", "2027-01-15", 1, None, 890],
    ],
    "BookFlight.Passengers": [
        ["Passenger", "Seat", "BoardingPass_out", "BoardingPass_exp"],
        ["Ada Lovelace", "12A", None, "ADA LOVELACE 12A"],
        ["Alan Turing", "12B", None, "ALAN TURING 12?"],
        [".End", None, None, None],
        ["Grace Hopper", "3C", None, "GRACE HOPPER 3C"],
        [".End", None, None, None],
    ],
}

OUTPUT_FILL = PatternFill("solid", fgColor="FFFFFF99")   # outputs: pale yellow header
EXPECTED_FILL = PatternFill("solid", fgColor="FFCCE5FF")  # expected values: pale blue header


def main():
    book = Workbook()
    book.remove(book.active)
    for name, rows in SHEETS.items():
        sheet = book.create_sheet(name)
        for row in rows:
            sheet.append(row)
        for cell in sheet[1]:
            cell.font = Font(bold=True)
            if cell.value.endswith("_out"):
                cell.fill = OUTPUT_FILL
            elif cell.value.endswith("_exp"):
                cell.fill = EXPECTED_FILL
        for column in sheet.columns:
            width = max(len(str(c.value)) for c in column if c.value is not None)
            sheet.column_dimensions[column[0].column_letter].width = width + 4
    book.save(TARGET)
    print("wrote", TARGET)


if __name__ == "__main__":
    main()
