"""Runs: iterations copied into the results, outputs checked and marked, child blocks,
results read back with openpyxl."""

import warnings

import openpyxl
import pytest

import ddtable
from conftest import write_workbook

GREEN, RED = "FF00FF00", "FFFF8080"


def fill(cell):
    return cell.fill.fgColor.rgb if cell.fill is not None and cell.fill.fill_type else None


def test_iterations_outputs_and_marks_read_back(login_xlsx, tmp_path):
    target = tmp_path / "results.xlsx"
    verdicts = {}
    with ddtable.open(login_xlsx) as book, book.run(target, user=7, group="Demo") as run:
        for it in run.iterations("Login"):
            assert it.sheet == "Login" and it.table is None
            user = it["UserName"]
            verdicts[it.number] = it.output("Greeting_out", f"Welcome, {user}!")
            assert it["Greeting_out"] == f"Welcome, {user}!"
            assert it.outputs[-1][0] == "Greeting_out"
        run.save()
    # Pattern match, exact match, mismatch.
    assert verdicts == {1: True, 2: True, 3: False}

    sheet = openpyxl.load_workbook(target)["Login"]
    header = [c.value for c in sheet[1]]
    out, exp = header.index("Greeting_out"), header.index("Greeting_exp")
    rows = list(sheet.iter_rows(min_row=2, max_row=4))
    assert [r[out].value for r in rows] == ["Welcome, alice!", "Welcome, bob!", "Welcome, carol!"]
    assert [fill(r[out]) for r in rows] == [GREEN, GREEN, RED]
    assert [fill(r[exp]) for r in rows] == [GREEN, GREEN, RED]
    assert rows[0][0].value == "alice"  # the input row was copied
    assert fill(rows[0][0]) is None


def test_values_texts_and_substitution_in_a_run(login_xlsx):
    with ddtable.open(login_xlsx) as book, book.run() as run:
        first = next(run.iterations("Login"))
        assert first.number == 1
        assert first["Age"] == 30.0 and first.text("Age") == "30.00"
        assert first["Admin"] is True and first["Note"] is None
        assert first.as_dict()["UserName"] == "alice"
        assert "Password" in first and "Missing" not in first
        # Unknown names stay; a child table's parameter reads "" before its block started.
        assert first.substitute("<UserName>/<Password> <Missing> [<Roles::Role>]") == \
            "alice/wonderland <Missing> []"
        with pytest.raises(ddtable.UnknownNameError):
            first["Missing"]


def test_an_iteration_is_over_once_the_run_moves_on(login_xlsx):
    with ddtable.open(login_xlsx) as book, book.run() as run:
        its = list(run.iterations("Login"))
        assert [it.number for it in its] == [1, 2, 3]
        assert its[-1]["UserName"] == "carol"  # the run still stands at row 3
        with pytest.raises(ddtable.RunError, match="moved on from row 1 of 'Login'"):
            its[0]["UserName"]
        with pytest.raises(ddtable.RunError):
            its[0].output("Greeting_out", "x")
        child = next(run.goto("Login", 1).block("Roles"))
        next(run.iterations("Checkout"))  # another scope
        with pytest.raises(ddtable.RunError):
            child["Role"]


def test_output_expectations(login_xlsx):
    with ddtable.open(login_xlsx) as book, book.run() as run:
        it = run.goto("Login", 2)
        assert it["UserName"] == "bob"
        # No X_exp beside it: recorded, not checked.
        assert it.output("Note", "free text") is None and it["Note"] == "free text"
        # An explicit pattern, or a reference to any parameter.
        assert it.output("Greeting_out", "Hello Bob", expected="Hello*") is True
        assert it.output("Greeting_out", "Hello Bob", expected="<Password>") is False
        assert it.output("Greeting_out", "Hello", verify=False) is None
        # Numbers are written as the sheet would show them.
        assert it.output("Age", 41.0) is None and it.text("Age") == "41"
        with pytest.raises(ddtable.RunError, match="could not be written"):
            it.output("Missing_out", "x")


def test_child_blocks_follow_the_iteration(login_xlsx, tmp_path):
    target = tmp_path / "blocks.xlsx"
    seen = {}
    with ddtable.open(login_xlsx) as book, book.run(target) as run:
        for it in run.iterations("Login"):
            roles = []
            for child in it.block("Roles"):
                assert child.sheet == "Login.Roles" and child.table == "Roles"
                roles.append((child.number, child["Role"]))
                child.output("Granted_out", "yes")
            seen[it.number] = roles
            if it.number == 2:
                break
        with pytest.raises(ddtable.UnknownNameError):
            next(it.block("Nope"))
        run.save()
    assert seen == {1: [(1, "reader"), (2, "writer")], 2: [(4, "admin")]}
    sheet = openpyxl.load_workbook(target)["Login.Roles"]
    granted = {r[0].value: (r[1].value, fill(r[1])) for r in sheet.iter_rows(min_row=2)
               if r[0].value and not r[0].value.startswith(".End")}
    assert granted == {"reader": ("yes", GREEN), "writer": ("yes", GREEN), "admin": ("yes", RED)}


def test_goto_and_note(login_xlsx, tmp_path):
    target = tmp_path / "noted.xlsx"
    with ddtable.open(login_xlsx) as book, book.run(target) as run:
        assert run.goto("Login", 3)["UserName"] == "carol"
        assert run.goto("Login", 1)["UserName"] == "alice"
        with pytest.raises(ddtable.RunError, match="no row 4"):
            run.goto("Login", 4)
        with pytest.raises(ddtable.UnknownNameError):
            run.goto("Login.Roles", 1)
        run.note("Login", 1, "Verdict", "passed", True)
        run.note("Login", 3, "Verdict", "failed", False)
        run.save()
    sheet = openpyxl.load_workbook(target)["Login"]
    col = [c.value for c in sheet[1]].index("Verdict")
    assert (sheet.cell(2, col + 1).value, fill(sheet.cell(2, col + 1))) == ("passed", GREEN)
    assert (sheet.cell(4, col + 1).value, fill(sheet.cell(4, col + 1))) == ("failed", RED)
    assert sheet.cell(3, 1).value is None  # row 2 never ran


def test_unmarked_run_keeps_the_run_context(login_xlsx, tmp_path):
    target = tmp_path / "context.xlsx"
    with ddtable.open(login_xlsx) as book:
        with book.run(target, user=7, group="Demo", host="box", marks=False) as run:
            for it in run.iterations("Login"):
                it.output("Greeting_out", "nobody")
            run.save()
    results = openpyxl.load_workbook(target)
    glob = results["Global"]
    assert [c.value for c in glob[1]] == ["Iter", "VID", "Host", "Group"]
    assert [c.value for c in glob[2]] == [1, 7, "box", "Demo"]
    assert fill(results["Login"]["E2"]) is None  # checked, not marked


def test_run_errors(login_xlsx, tmp_path):
    book = ddtable.open(login_xlsx)
    run = book.run()
    with pytest.raises(ddtable.UnknownNameError, match="no business process 'Nope'"):
        run.iterations("Nope")
    with pytest.raises(ddtable.Error, match="no results file name"):
        run.save()
    with pytest.raises(ddtable.FileError, match="no folder"):
        run.save(tmp_path / "missing" / "r.xlsx")
    book.close()
    with pytest.raises(ValueError, match="closed"):
        run.iterations("Login")
    run.close()
    with pytest.raises(ValueError, match="closed"):
        run.save(tmp_path / "r.xlsx")


def test_param_name():
    ref = ddtable.ParamName("<ext@@Orders::Qty>")
    assert (ref.alias, ref.sheet, ref.name, ref.is_reference) == ("ext", "Orders", "Qty", True)
    assert str(ref) == "<ext@@Orders::Qty>"
    assert ddtable.ParamName("Roles::Role").full_sheet("Login") == "Login.Roles"
    assert ddtable.ParamName("<Custom::X>").full_sheet("Login") == "Custom"
    assert not ddtable.ParamName("plain").is_reference


def test_external_workbook_by_alias(login_xlsx, tmp_path):
    prices = write_workbook(tmp_path / "prices.xlsx", {"Login": [["Fee"], [3], [4], [5]]})
    with ddtable.Manager() as manager:
        manager.open_external("fees", prices)
        assert manager.externals == {"fees": str(prices)}
        # A missing file is an empty workbook under its alias; a damaged one is an error.
        manager.open_external("empty", tmp_path / "nope.xlsx")
        damaged = tmp_path / "damaged.xlsx"
        damaged.write_bytes(b"PK\x03\x04 no archive")
        with pytest.raises(ddtable.FileError, match="damaged.xlsx"):
            manager.open_external("bad", damaged)
        assert sorted(manager.externals) == ["empty", "fees"]
        with ddtable.open(login_xlsx) as book, book.run() as run:
            it = run.goto("Login", 2)
            assert it.substitute("fee <fees@@Login::Fee>") == "fee 4"


def test_iterations_start_afresh_and_keep_their_own_place(login_xlsx):
    with ddtable.open(login_xlsx) as book, book.run() as run:
        first = [it["UserName"] for it in run.iterations("Login")]
        again = [it["UserName"] for it in run.iterations("Login")]
        assert first == again == ["alice", "bob", "carol"]
        # A goto() or a loop over another business process inside the loop does not move
        # the loop: it goes on after its own row, in its own business process.
        seen = []
        for it in run.iterations("Login"):
            seen.append(it["UserName"])
            run.goto("Login", 3)
            assert [c["Item"] for c in run.iterations("Checkout")] == ["book"]
        assert seen == ["alice", "bob", "carol"]


def greeted(path, sheet="Login", column="Greeting_out"):
    """{row number: value} of one results column, read with openpyxl."""
    ws = openpyxl.load_workbook(path)[sheet]
    col = [c.value for c in ws[1]].index(column)
    return {r[0].row - 1: r[col].value for r in ws.iter_rows(min_row=2) if r[0].value}


def test_leaving_the_block_saves_the_rows_that_ran(login_xlsx, tmp_path):
    target = tmp_path / "kept.xlsx"
    with ddtable.open(login_xlsx) as book:
        with book.run(target) as run:
            for it in run.iterations("Login"):
                it.output("Greeting_out", "hi " + it["UserName"])
        assert greeted(target) == {1: "hi alice", 2: "hi bob", 3: "hi carol"}

        # An exception in the block goes on; the rows before it are saved, the row that
        # raised with what it wrote.
        broken = tmp_path / "broken.xlsx"
        with pytest.raises(ZeroDivisionError):
            with book.run(broken) as run:
                for it in run.iterations("Login"):
                    it.output("Greeting_out", "hi " + it["UserName"])
                    if it.number == 2:
                        1 / 0
        assert greeted(broken) == {1: "hi alice", 2: "hi bob"}

        # A file that cannot be written: a warning that says why, not a lost exception.
        blocked = tmp_path / "blocked.xlsx"
        blocked.mkdir()
        with pytest.warns(ddtable.SaveWarning, match="results were not saved.*blocked.xlsx"):
            with book.run(blocked) as run:
                next(run.iterations("Login"))
        with pytest.raises(KeyError), pytest.warns(ddtable.SaveWarning):
            with book.run(blocked) as run:
                next(run.iterations("Login"))
                raise KeyError("the block's own error")
        # close() drops the results; a run without a file keeps them in memory only.
        dropped = tmp_path / "dropped.xlsx"
        with book.run(dropped) as run:
            next(run.iterations("Login"))
            run.close()
        assert not dropped.exists()
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            with book.run() as run:
                next(run.iterations("Login"))


def test_an_unsaved_journal_is_brought_in_by_a_merging_run(login_xlsx, tmp_path, monkeypatch):
    # The setting that makes a headless run journal every row beside its results file.
    config = tmp_path / "config"
    config.mkdir()
    (config / "qxctl.ini").write_text("[TessaroSAP]\nSaveResultsSpreadSheetFile=1\n")
    monkeypatch.setenv("DDTABLE_CONFIG_DIR", str(config))
    target = tmp_path / "journaled.xlsx"
    aside = tmp_path / "aside.xlsx"
    journal = tmp_path / "journaled.xlsx.journal"
    with ddtable.open(login_xlsx) as book:
        with pytest.raises(RuntimeError), \
                pytest.warns(ddtable.SaveWarning, match="journaled.xlsx.journal"):
            with book.run(target, marks=False) as run:
                for it in run.iterations("Login"):
                    it.output("Greeting_out", "hi " + it["UserName"])
                    if it.number == 3:
                        # The file cannot be written any more when the block ends.
                        target.rename(aside)
                        target.mkdir()
                        raise RuntimeError("the application under test went away")
        assert journal.exists()
        target.rmdir()
        aside.rename(target)
        # The file holds the first row as copied; everything after is in the journal.
        assert greeted(target) == {1: None}
        with book.run(target, marks=False, merge=True):
            pass
    assert not journal.exists()
    assert greeted(target) == {1: "hi alice", 2: "hi bob", 3: "hi carol"}


def test_outputs_keep_the_python_type(tmp_path):
    names = ["Half", "Agent", "Sci", "Sum", "Pad", "Num", "Count", "Flag"]
    given = ["0.5", "007", "1e3", "=1+1", "  x  ", 0.5, 7, True]
    path = write_workbook(tmp_path / "types.xlsx", {
        "Out": [names + ["Half_exp", "Count_exp"], [None] * len(names) + ["0.5", 7]]})
    target = tmp_path / "types-results.xlsx"
    with ddtable.open(path) as book, book.run(target) as run:
        it = run.goto("Out", 1)
        verdicts = [it.output(n, v) for n, v in zip(names, given)]
        assert verdicts[0] is True and verdicts[6] is True  # text and number both checked
        assert [it[n] for n in names] == ["0.5", "007", "1e3", "=1+1", "x", 0.5, 7.0, True]
        assert it.text("Sum") == "=1+1"
    sheet = openpyxl.load_workbook(target)["Out"]
    read = [c.value for c in sheet[2]][:len(names)]
    assert read == ["0.5", "007", "1e3", "=1+1", "x", 0.5, 7, True]
    assert [type(v) for v in read[:5]] == [str] * 5
    assert fill(sheet["A2"]) == GREEN and fill(sheet["G2"]) == GREEN
