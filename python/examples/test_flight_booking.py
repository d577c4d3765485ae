"""The example data-driven run (examples/flight_booking.xlsx) as a pytest file.

    pytest -p ddtable.pytest_plugin python/examples/test_flight_booking.py \
        --ddtable-results /tmp/flight_booking_results.xlsx

One test case per row of each business process. Carol's greeting fails on purpose, to show
a failed check: her case fails, and the results workbook marks her row red.
"""

import pytest

WORKBOOK = "../../examples/flight_booking.xlsx"


# ---- The pretend application under test ---------------------------------------------------

def app_greeting(user: str) -> str:
    return f"Welcome, {user}!"


def app_fare(origin: str, destination: str) -> int:
    return {("LHR", "JFK"): 550, ("CDG", "NRT"): 890}.get((origin, destination), 0)


def app_boarding_pass(passenger: str, seat: str) -> str:
    return f"{passenger.upper()} {seat}"


# ---- The tests: one per business process --------------------------------------------------

@pytest.mark.ddtable(WORKBOOK, bp="Login", id="UserName")
def test_login(row):
    action = row.substitute("log in as <UserName> with <Password>")
    assert action == f"log in as {row['UserName']} with {row['Password']}"
    row.output("Greeting_out", app_greeting(row["UserName"]))


@pytest.mark.ddtable(WORKBOOK, bp="BookFlight", id="To")
def test_book_flight(row):
    price = app_fare(row["From"], row["To"]) * int(row["Passengers"])
    row.output("Price_out", price)
    seats = 0
    for passenger in row.block("Passengers"):
        passenger.output("BoardingPass_out",
                         app_boarding_pass(passenger["Passenger"], passenger["Seat"]))
        seats += 1
    assert seats == row["Passengers"]
