"""The pytest plugin, run in a child pytest: one case per row, outcomes and the results
workbook agree row by row, alone and with xdist workers."""

import importlib.util
import os
import shutil

import openpyxl
import pytest

GREEN, RED = "FF00FF00", "FFFF8080"
EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "examples", "test_flight_booking.py")

TESTS = '''
import pytest

@pytest.mark.ddtable("login.xlsx", bp="Login", id="UserName")
def test_login(row):
    if row["UserName"] == "bob":
        pytest.skip("bob is away")
    greeting = "Welcome, " + row["UserName"] + "!"
    assert row.output("Greeting_out", greeting) is (row["UserName"] != "carol")
    for role in row.block("Roles"):
        role.output("Granted_out", "yes")
'''


def fill(cell):
    return cell.fill.fgColor.rgb if cell.fill is not None and cell.fill.fill_type else None


def run_pytest(pytester, *args):
    plugins = ["-p", "ddtable.pytest_plugin"]
    if "-n" in args:
        plugins += ["-p", "xdist.plugin"]
    return pytester.runpytest_subprocess(*plugins, "-p", "no:cacheprovider", "-v", *args)


def outcomes_by_id(result):
    """{"test_login[alice]": "PASSED", ...} from the verbose report."""
    found = {}
    for line in result.outlines:
        for word in ("PASSED", "FAILED", "SKIPPED", "ERROR"):
            if "::" in line and f" {word}" in line:
                found[line.split("::", 1)[1].split(" ", 1)[0]] = word
    return found


def results_by_row(path, sheet):
    """{row number: {column: (value, fill)}} of a results sheet (row 1 = first data row)."""
    ws = openpyxl.load_workbook(path)[sheet]
    header = [c.value for c in ws[1]]
    return {r[0].row - 1: {h: (c.value, fill(c)) for h, c in zip(header, r)}
            for r in ws.iter_rows(min_row=2) if any(c.value is not None for c in r)}


@pytest.fixture
def project(pytester, login_xlsx):
    shutil.copy(login_xlsx, pytester.path / "login.xlsx")
    pytester.makepyfile(test_rows=TESTS)
    return pytester


def check_login_results(result, results_path):
    assert outcomes_by_id(result) == {
        "test_login[alice]": "PASSED",
        "test_login[bob]": "SKIPPED",
        "test_login[carol]": "FAILED",
    }
    login = results_by_row(results_path, "Login")
    assert login[1]["TestOutcome"] == ("passed", GREEN)
    assert login[1]["Greeting_out"] == ("Welcome, alice!", GREEN)
    assert login[2]["TestOutcome"] == ("skipped", None)
    assert login[2]["Greeting_out"] == (None, None)
    assert login[3]["TestOutcome"] == ("failed", RED)
    assert login[3]["Greeting_out"] == ("Welcome, carol!", RED)
    assert "Greeting_out" in login[3]["TestMessage"][0]
    roles = results_by_row(results_path, "Login.Roles")
    assert roles[1]["Granted_out"] == ("yes", GREEN) and roles[2]["Granted_out"] == ("yes", GREEN)
    assert 4 not in roles  # alice's block is rows 1-2; bob skipped before his


def test_plugin_outcomes_match_the_results_workbook(project):
    target = project.path / "out" / "results.xlsx"
    result = run_pytest(project, "--ddtable-results", str(target))
    result.assert_outcomes(passed=1, failed=1, skipped=1)
    result.stdout.fnmatch_lines([
        "*output mismatch: Greeting_out: 'Welcome, carol!' does not match "
        "'Welcome back, carol!'*",
        f"ddtable results: {target} (1 failed, 1 passed, 1 skipped)",
    ])
    check_login_results(result, target)


@pytest.mark.skipif(importlib.util.find_spec("xdist") is None, reason="pytest-xdist not installed")
def test_plugin_with_two_xdist_workers_writes_one_workbook(project):
    target = project.path / "results-n2.xlsx"
    result = run_pytest(project, "-n", "2", "--ddtable-results", str(target))
    result.assert_outcomes(passed=1, failed=1, skipped=1)
    check_login_results(result, target)
    assert not list(project.path.glob("ddtable-results*.xlsx"))


def test_marker_errors_and_defaults(project):
    bad = {
        "test_missing": '@pytest.mark.ddtable("missing.xlsx", bp="Login")\ndef test_m(row): pass',
        "test_no_arg": '@pytest.mark.ddtable("login.xlsx", bp="Login")\ndef test_n(): pass',
        "test_bad_id": '@pytest.mark.ddtable("login.xlsx", bp="Login", id="Nope")\n'
                       'def test_i(row): pass',
        "test_no_bp": '@pytest.mark.ddtable("login.xlsx")\ndef test_b(row): pass',
        "test_not_bp": '@pytest.mark.ddtable("login.xlsx", bp="Login.Roles")\n'
                       'def test_c(row): pass',
    }
    project.makepyfile(**{name: "import pytest\n" + body for name, body in bad.items()})
    result = run_pytest(project, *[f"{name}.py" for name in bad])
    result.assert_outcomes(errors=len(bad))
    result.stdout.fnmatch_lines_random([
        "*test_missing.py::test_m: */missing.xlsx: No such file or directory",
        "*test_no_arg.py::test_n: a @pytest.mark.ddtable test takes an argument 'row'*",
        "*test_bad_id.py::test_i: no parameter 'Nope' in sheet 'Login'",
        "*test_no_bp.py::test_b: */login.xlsx has the business processes ?'Login', "
        "'Checkout'?: name the business process with bp=",
        "*test_not_bp.py::test_c: 'Login.Roles' is not a business process",
    ])
    assert not (project.path / "ddtable-results.xlsx").exists()  # no row ran

    project.makepyfile(test_named="""
import pytest

@pytest.mark.ddtable("login.xlsx", bp="Login", arg="data")
def test_named_argument(data, tmp_path):
    assert data.number in (1, 2, 3) and tmp_path.exists()
""")
    result = run_pytest(project, "test_named.py")
    result.assert_outcomes(passed=3)
    login = results_by_row(project.path / "ddtable-results.xlsx", "Login")  # the default name
    assert [login[n]["TestOutcome"] for n in (1, 2, 3)] == [("passed", GREEN)] * 3


def test_the_example_as_pytest(pytester):
    target = pytester.path / "flight.xlsx"
    result = run_pytest(pytester, os.path.abspath(EXAMPLE), "--ddtable-results", str(target))
    result.assert_outcomes(passed=4, failed=1)
    ids = outcomes_by_id(result)
    login = results_by_row(target, "Login")
    for number, user in ((1, "alice"), (2, "bob"), (3, "carol")):
        expected = "failed" if user == "carol" else "passed"
        assert ids[f"test_login[{user}]"] == expected.upper()
        assert login[number]["TestOutcome"][0] == expected
    flights = results_by_row(target, "BookFlight")
    assert [flights[n]["Price_out"] for n in (1, 2)] == [(1100, GREEN), (890, GREEN)]
    passes = results_by_row(target, "BookFlight.Passengers")
    assert passes[2]["BoardingPass_out"] == ("ALAN TURING 12B", GREEN)


def test_a_bad_marker_is_the_error_of_its_tests_only(project):
    project.makepyfile(test_bad='''
import pytest

@pytest.mark.ddtable("login.xlsx", bp="Nope")
def test_wrong_bp(row):
    pass

@pytest.mark.ddtable("login.xlsx", bp=42)
@pytest.mark.parametrize("x", [1, 2])
def test_odd_bp(row, x):
    pass

def test_plain():
    pass
''')
    result = run_pytest(project, "test_bad.py", "test_rows.py")
    # The other tests of the module and of the session run; nothing is interrupted.
    result.assert_outcomes(passed=2, failed=1, skipped=1, errors=3)
    assert "Interrupted" not in result.stdout.str()
    result.stdout.fnmatch_lines_random([
        "test_bad.py::test_wrong_bp: no sheet named 'Nope' in */login.xlsx",
        "test_bad.py::test_odd_bp: @pytest.mark.ddtable: bp= takes a str, not 42",
        "ERROR test_bad.py::test_odd_bp?1?*",
        "ERROR test_bad.py::test_odd_bp?2?*",
    ])
    assert results_by_row(project.path / "ddtable-results.xlsx", "Login")[1]["TestOutcome"] \
        == ("passed", GREEN)


def test_a_rerun_of_some_rows_keeps_the_others_outcome(project):
    target = project.path / "merged.xlsx"
    first = project.runpytest_subprocess("-p", "ddtable.pytest_plugin", "-v",
                                         "--ddtable-results", str(target))
    first.assert_outcomes(passed=1, failed=1, skipped=1)
    # carol's greeting is fixed; only the row that failed runs again.
    project.makepyfile(test_rows=TESTS.replace(
        'greeting = "Welcome, "', 'greeting = "Welcome back, "').replace(
        'is (row["UserName"] != "carol")', "is True"))
    again = project.runpytest_subprocess("-p", "ddtable.pytest_plugin", "-v", "--lf",
                                         "--ddtable-results", str(target))
    again.assert_outcomes(passed=1)
    assert list(outcomes_by_id(again)) == ["test_login[carol]"]
    login = results_by_row(target, "Login")
    assert login[1]["TestOutcome"] == ("passed", GREEN)
    assert login[1]["Greeting_out"] == ("Welcome, alice!", GREEN)
    assert login[2]["TestOutcome"] == ("skipped", None)
    assert login[3]["TestOutcome"] == ("passed", GREEN)
    assert login[3]["Greeting_out"] == ("Welcome back, carol!", GREEN)
    assert login[3]["TestMessage"] == (None, None)


@pytest.mark.parametrize("blocker", [".~lock.results.xlsx#", "~$results.xlsx", "results.xlsx/"])
def test_a_results_file_that_cannot_be_written_stops_the_session_first(project, blocker):
    if blocker.endswith("/"):
        (project.path / blocker).mkdir()
    else:
        (project.path / blocker).write_text("locked")
    result = run_pytest(project, "--ddtable-results", "results.xlsx")
    assert result.ret == pytest.ExitCode.USAGE_ERROR
    result.stderr.fnmatch_lines(["ERROR: ddtable results: */results.xlsx *"])
    assert "Traceback" not in result.stderr.str() + result.stdout.str()
    assert "PASSED" not in result.stdout.str()  # no test ran


def test_a_results_file_locked_during_the_session_is_an_error_line(project):
    project.makepyfile(test_lock='''
def test_open_the_results_elsewhere(tmp_path_factory):
    open(".~lock.results.xlsx#", "w").close()
''')
    result = run_pytest(project, "--ddtable-results", "results.xlsx")
    result.assert_outcomes(passed=2, failed=1, skipped=1)
    result.stdout.fnmatch_lines(
        ["ddtable results: not written: */results.xlsx is open in LibreOffice (lock file *"])
    assert "Traceback" not in result.stdout.str() + result.stderr.str()
    assert result.ret == pytest.ExitCode.TESTS_FAILED
    assert not (project.path / "results.xlsx").exists()


def test_pytest_finds_the_plugin_without_p(project, monkeypatch):
    # The package's metadata beside it (built or installed) names the plugin's entry point,
    # so a plain `pytest` loads it wherever `import ddtable` works.
    from importlib.metadata import entry_points
    assert "ddtable.pytest_plugin" in [e.value for e in entry_points(group="pytest11")]
    monkeypatch.delenv("PYTEST_DISABLE_PLUGIN_AUTOLOAD", raising=False)
    target = project.path / "auto.xlsx"
    result = project.runpytest_subprocess("-p", "no:cacheprovider", "-p", "no:xdist",
                                          "--ddtable-results", str(target))
    result.assert_outcomes(passed=1, failed=1, skipped=1)
    assert results_by_row(target, "Login")[1]["TestOutcome"] == ("passed", GREEN)


TAGGED = {
    "Login": [["UserName", "Tag", "Env"],
              ["alice", "smoke, nightly", "prod-eu"],
              ["bob", "slow", "test"],
              ["carol", "smoke;slow", "test"],
              ["dave", "smoke", None]],
    "Checkout": [["Item", "Price"], ["book", 12.5], ["pen", 1], ["ink", 3]],
    "Audit": [["Who"], ["x"], ["y"]],
    "Twice": [["User", "Other"], ["ann", "a"], ["bo", None], ["ann", "c"]],
}

CHOOSING = '''
import pytest

@pytest.mark.ddtable("tagged.xlsx", bp="Login", id="UserName", where=["Tag=smoke", "Env!=prod*"])
def test_smoke(row):
    assert row.name == "Login[" + row["UserName"] + "]"

@pytest.mark.ddtable("tagged.xlsx", bp="Checkout", rows="2,3-9")
def test_some(row):
    assert row.name == "Checkout[" + str(row.number) + "]"

@pytest.mark.ddtable("tagged.xlsx", bp="Audit", where="Who=none")
def test_nothing(row):
    pass
'''


@pytest.fixture
def tagged_project(pytester):
    from conftest import write_workbook
    write_workbook(pytester.path / "tagged.xlsx", TAGGED)
    pytester.makepyfile(test_choose=CHOOSING)
    return pytester


def test_rows_and_where_choose_the_cases_and_the_rest_is_not_run(tagged_project):
    target = tagged_project.path / "chosen.xlsx"
    result = run_pytest(tagged_project, "test_choose.py", "--ddtable-results", str(target))
    # A marker that chooses no row leaves pytest's one skipped case for an empty set.
    result.assert_outcomes(passed=4, skipped=1)
    assert {k: v for k, v in outcomes_by_id(result).items() if v == "PASSED"} == {
        "test_smoke[carol]": "PASSED", "test_smoke[dave]": "PASSED",
        "test_some[row2]": "PASSED", "test_some[row3]": "PASSED"}
    result.stdout.fnmatch_lines([f"ddtable results: {target} (5 not run, 4 passed)"])
    login = results_by_row(target, "Login")
    assert [login[n]["TestOutcome"][0] for n in (1, 2, 3, 4)] == \
        ["not run", "not run", "passed", "passed"]
    assert login[2]["TestMessage"][0] == "not chosen for this run"
    assert login[2]["UserName"][0] == "bob" and login[2]["Tag"][0] == "slow"  # never dropped
    assert [login[n]["RunName"][0] for n in (1, 2, 3, 4)] == \
        ["Login[alice]", "Login[bob]", "Login[carol]", "Login[dave]"]
    checkout = results_by_row(target, "Checkout")
    assert [(checkout[n]["RunName"][0], checkout[n]["TestOutcome"][0]) for n in (1, 2, 3)] == \
        [("Checkout[1]", "not run"), ("Checkout[2]", "passed"), ("Checkout[3]", "passed")]
    audit = results_by_row(target, "Audit")
    assert [audit[n]["TestOutcome"][0] for n in (1, 2)] == ["not run", "not run"]


def test_a_row_not_chosen_keeps_its_earlier_outcome(tagged_project):
    target = tagged_project.path / "again.xlsx"
    tagged_project.makepyfile(test_choose=CHOOSING.replace(
        'where=["Tag=smoke", "Env!=prod*"]', 'where="UserName!=bob"'))
    first = run_pytest(tagged_project, "test_choose.py", "-k", "smoke",
                       "--ddtable-results", str(target))
    first.assert_outcomes(passed=3)
    tagged_project.makepyfile(test_choose=CHOOSING.replace(
        'where=["Tag=smoke", "Env!=prod*"]', 'where="Tag=slow"'))
    again = run_pytest(tagged_project, "test_choose.py", "-k", "smoke",
                       "--ddtable-results", str(target))
    again.assert_outcomes(passed=2)
    login = results_by_row(target, "Login")
    # alice and dave passed before and keep it; bob and carol ran now; no other sheet was run.
    assert [login[n]["TestOutcome"][0] for n in (1, 2, 3, 4)] == ["passed"] * 4
    assert login[2]["TestMessage"] == (None, None)
    assert "TestOutcome" not in results_by_row(target, "Checkout").get(1, {})


def test_row_choices_and_ids_that_cannot_work_are_errors_of_their_tests(tagged_project):
    bad = {
        "test_twice": 'id="User"', "test_empty": 'id="Other"', "test_rows": 'rows="2-1"',
        "test_rows_type": "rows=[0, 1]", "test_where": 'where="User"',
        "test_where_name": 'where=["User=ann", "Nope=1"]', "test_where_type": "where=3",
    }
    tagged_project.makepyfile(test_bad="import pytest\n" + "".join(
        f'\n@pytest.mark.ddtable("tagged.xlsx", bp="Twice", {args})\ndef {name}(row): pass\n'
        for name, args in bad.items()) + "\ndef test_plain(): pass\n")
    result = run_pytest(tagged_project, "test_bad.py")
    result.assert_outcomes(passed=1, errors=len(bad))
    result.stdout.fnmatch_lines_random([
        "*::test_twice: rows 1 and 3 of 'Twice' have the same User 'ann'; ids must name one row each",
        "*::test_empty: row 2 of 'Twice' has no Other; every row needs an id with id=Other",
        "*::test_rows: @pytest.mark.ddtable: rows '2-1': expected row numbers such as 3,5-9 (from 1)",
        "*::test_rows_type: @pytest.mark.ddtable: rows= takes row numbers from 1 *, not [[]0, 1[]]",
        "*::test_where: where 'User': expected NAME=PATTERN or NAME!=PATTERN",
        "*::test_where_name: sheet 'Twice' has no parameter 'Nope' for where Nope=1",
        "*::test_where_type: @pytest.mark.ddtable: where= takes a condition *, not 3",
    ])
    assert not (tagged_project.path / "ddtable-results.xlsx").exists()
