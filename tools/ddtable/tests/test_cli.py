#!/usr/bin/python3
"""End-to-end tests of the ddtable command.

    test_cli.py PATH/TO/ddtable [unittest arguments]

Builds workbooks with openpyxl, runs the command as a user would and reads back what it
wrote (results workbooks with openpyxl, JUnit reports with lxml against junit.xsd).
"""
import json
import os
import pty
import signal
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

import openpyxl
from lxml import etree

DDTABLE = None
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, "..", "..", ".."))

# Green and light red fills of the pass and fail marks (RGB as openpyxl reports them).
GREEN = "00FF00"
LIGHT_RED = "FF8080"


def make_workbook(path, sheets):
    """sheets: {name: [header row, data rows...]}, in order."""
    book = openpyxl.Workbook()
    book.remove(book.active)
    for name, rows in sheets.items():
        sheet = book.create_sheet(name)
        for row in rows:
            sheet.append(row)
    book.save(path)
    return path


def read_sheet(path, name):
    """Rows of a sheet as dicts by header (the header row left out), values as read."""
    book = openpyxl.load_workbook(path)
    rows = list(book[name].iter_rows(values_only=True))
    header = rows[0]
    return [dict(zip(header, row)) for row in rows[1:]]


def fill_of(path, sheet, header, row):
    """RGB of the solid fill of a parameter's cell at data row `row` (from 1), or None."""
    book = openpyxl.load_workbook(path)
    ws = book[sheet]
    names = [c.value for c in ws[1]]
    cell = ws.cell(row=row + 1, column=names.index(header) + 1)
    if cell.fill is None or cell.fill.fill_type != "solid":
        return None
    return (cell.fill.fgColor.rgb or "")[-6:].upper()


RUN_INFO = "ddtable run"


def workbook_cells(path, skip_headers=("Duration",)):
    """Every cell's value and fill, sheet by sheet, except the named columns and the run
    information (times, shard)."""
    book = openpyxl.load_workbook(path)
    out = {}
    for ws in book.worksheets:
        if ws.title == RUN_INFO:
            continue
        names = [c.value for c in ws[1]]
        rows = []
        for row in ws.iter_rows():
            cells = []
            for cell, name in zip(row, names + [None] * (len(row) - len(names))):
                if name in skip_headers:
                    continue
                fill = cell.fill.fgColor.rgb if cell.fill is not None and cell.fill.fill_type == "solid" else None
                cells.append((cell.value, fill))
            rows.append(cells)
        out[ws.title] = rows
    return out


def run_info(path):
    """The run information of a results workbook as a dict (a long list spans several rows)."""
    info = {}
    for r in read_sheet(path, RUN_INFO):
        value = r["Value"] or ""
        info[r["Key"]] = info[r["Key"]] + "," + value if r["Key"] in info else value
    return info


def read_text(path):
    with open(path) as f:
        return f.read()


def read_text_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def ddtable(*args, timeout=600):
    return subprocess.run([DDTABLE, *args], capture_output=True, text=True, timeout=timeout)


class CliTestCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="ddtable-cli-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def login_workbook(self, name="login.xlsx"):
        # Four users; dave's greeting is expected wrongly, carol's by a pattern.
        return make_workbook(self.path(name), {
            "Login": [
                ["UserName", "Greeting_out", "Greeting_exp"],
                ["alice", None, "Hello alice"],
                ["bob", None, "Hello bob"],
                ["carol", None, "Hello car*"],
                ["dave", None, "Bye dave"],
            ],
        })

    def booking_workbook(self, name="booking.xlsx"):
        return make_workbook(self.path(name), {
            "Book": [["Flight", "Seats"], ["LH1", 2], ["BA2", 1], ["AF3", 0]],
            "Book.Passengers": [
                ["Passenger", "Pass_out", "Pass_exp"],
                ["ada", None, "ADA"],
                ["alan", None, "ALAN"],
                [".End", None, None],
                ["grace", None, "GRACE!"],
                [".End", None, None],
                [".End", None, None],
            ],
        })

    def assertExit(self, result, code):
        self.assertEqual(result.returncode, code,
                         f"exit {result.returncode}\nstdout: {result.stdout}\nstderr: {result.stderr}")


GREET = ["sh", "-c", 'echo "Hello $1"', "sh", "<UserName>"]


class HelpAndUsage(CliTestCase):
    def test_help_for_the_command_and_every_subcommand(self):
        top = ddtable("--help")
        self.assertExit(top, 0)
        for sub in ("show", "check", "convert", "compare", "run", "merge"):
            self.assertIn(sub, top.stdout)
            result = ddtable(sub, "--help")
            self.assertExit(result, 0)
            self.assertIn("Exit codes", result.stdout)

    def test_usage_errors_exit_2(self):
        self.assertExit(ddtable(), 2)
        self.assertExit(ddtable("frobnicate"), 2)
        self.assertExit(ddtable("show"), 2)
        book = self.login_workbook()
        self.assertExit(ddtable("run", book, "--bp", "Login"), 2)  # no command
        bad = ddtable("run", book, "--bp", "Login", "--shard", "4/3", "--", "true")
        self.assertExit(bad, 2)
        self.assertIn("--shard", bad.stderr)
        self.assertExit(ddtable("run", book, "--bp", "Login", "--jobs", "0", "--", "true"), 2)

    def test_unreadable_inputs_name_the_file_and_the_reason(self):
        missing = self.path("missing.xlsx")
        result = ddtable("show", missing)
        self.assertExit(result, 2)
        self.assertIn(missing, result.stderr)
        self.assertIn("No such file", result.stderr)
        junk = self.path("junk.xlsx")
        with open(junk, "wb") as f:
            f.write(bytes(range(256)) * 8)
        for args in (("show", junk), ("check", junk), ("convert", junk, self.path("o.xlsx")),
                     ("run", junk, "--bp", "X", "--", "true")):
            result = ddtable(*args)
            self.assertExit(result, 2)
            self.assertIn(junk, result.stderr)
            self.assertIn("not a workbook", result.stderr)
        self.assertExit(ddtable("show", self.dir), 2)

    def test_each_kind_of_file_failure_exits_2_with_its_own_reason(self):
        book = self.login_workbook()
        text = self.path("text.xlsx")
        with open(text, "w") as f:
            f.write("UserName;Greeting\nalice;Hello\n")
        with open(book, "rb") as f:
            archive = f.read()
        truncated = self.path("truncated.xlsx")
        with open(truncated, "wb") as f:
            f.write(archive[: len(archive) // 2])
        cases = [(text, "looks like text"), (truncated, "damaged or truncated")]
        encrypted = os.path.join(SOURCE, "..", "shared", "corpus", "poi", "protected_passtika.xlsx")
        if os.path.exists(encrypted):
            cases.append((encrypted, "encrypted"))
        for path, reason in cases:
            result = ddtable("show", path)
            self.assertExit(result, 2)
            self.assertIn(path, result.stderr)
            self.assertIn("not a workbook this library can read", result.stderr)
            self.assertIn(reason, result.stderr)
        # Writing: a folder that is not there, and a file another program holds open.
        result = ddtable("convert", book, self.path("no/folder/out.xlsx"))
        self.assertExit(result, 2)
        self.assertIn("no folder", result.stderr)
        held = self.path("held.xlsx")
        with open(self.path(".~lock.held.xlsx#"), "w") as f:
            f.write(",someone,host,07.12.2026 12:00,file:///home/someone/.config/x;")
        result = ddtable("convert", book, held)
        self.assertExit(result, 2)
        self.assertIn("another program has it open", result.stderr)
        self.assertFalse(os.path.exists(held))


class Show(CliTestCase):
    def test_sheets_roles_parameters_and_blocks(self):
        book = self.booking_workbook()
        result = ddtable("show", book, "--format", "json")
        self.assertExit(result, 0)
        sheets = {s["name"]: s for s in json.loads(result.stdout)["sheets"]}
        self.assertEqual(sheets["Book"]["role"], "business process")
        self.assertEqual(sheets["Book"]["parameters"], ["Flight", "Seats"])
        self.assertEqual(sheets["Book"]["rows"], 3)
        child = sheets["Book.Passengers"]
        self.assertEqual(child["role"], "child table")
        self.assertEqual(child["business_process"], "Book")
        self.assertEqual([(b["first_row"], b["last_row"], b["terminator_row"]) for b in child["blocks"]],
                         [(1, 2, 3), (4, 4, 5), (6, 5, 6)])
        table = ddtable("show", book)
        self.assertExit(table, 0)
        self.assertIn("child table of Book", table.stdout)

    def test_rows_of_a_sheet_in_every_format(self):
        book = self.login_workbook()
        csv_out = ddtable("show", book, "Login", "--format", "csv")
        self.assertExit(csv_out, 0)
        lines = csv_out.stdout.splitlines()
        self.assertEqual(lines[0], "UserName,Greeting_out,Greeting_exp")
        self.assertEqual(lines[3], "carol,,Hello car*")
        rows = json.loads(ddtable("show", book, "Login", "--format", "json").stdout)["rows"]
        self.assertEqual([r["UserName"] for r in rows], ["alice", "bob", "carol", "dave"])
        table = ddtable("show", book, "Login").stdout
        self.assertIn("dave", table)
        self.assertIn("Greeting_exp", table.splitlines()[0])
        unknown = ddtable("show", book, "Nope")
        self.assertExit(unknown, 2)
        self.assertIn("Nope", unknown.stderr)
        self.assertIn(book, unknown.stderr)


class Check(CliTestCase):
    def test_a_clean_workbook_passes(self):
        result = ddtable("check", self.booking_workbook())
        self.assertExit(result, 0)
        self.assertEqual(result.stdout, "")

    def test_each_kind_of_problem_is_found(self):
        book = make_workbook(self.path("bad.xlsx"), {
            "Orders": [
                ["Item", "Item", "1st", "Total_exp", "Price_out", "Note", "Calc"],
                ["pen", "x", 1, "3", None, "see <Missing>", "=1/0"],
                ["ink", "y", 2, "4", None, "ok <Item>", "=2*2"],
            ],
            "Orders.Lines": [["Line"], ["a"], [".End 2"], ["b"]],
            "Ghost.Rows": [["X"], ["1"], [".End"]],
        })
        result = ddtable("check", book, "--format", "json")
        self.assertExit(result, 1)
        findings = json.loads(result.stdout)["findings"]
        by_kind = {}
        for f in findings:
            by_kind.setdefault(f["kind"], []).append(f)
        self.assertEqual(set(by_kind), {"duplicate", "name", "expected", "reference", "formula",
                                        "numbering", "unclosed", "orphan", "blocks"})
        self.assertIn("1 blocks for 2 rows", by_kind["blocks"][0]["message"])
        self.assertIn("'_1st'", by_kind["name"][0]["message"])
        self.assertIn("'Item1'", by_kind["duplicate"][0]["message"])
        self.assertEqual([f["cell"] for f in by_kind["reference"]], ["F2"])
        self.assertEqual([f["cell"] for f in by_kind["formula"]], ["G2"])
        self.assertIn("#DIV/0!", by_kind["formula"][0]["message"])
        self.assertEqual(by_kind["orphan"][0]["sheet"], "Ghost.Rows")
        self.assertEqual(by_kind["numbering"][0]["cell"], "A3")
        text = ddtable("check", book)
        self.assertExit(text, 1)
        self.assertIn(book + ": Orders!G2: formula =1/0 gives #DIV/0!", text.stdout)


class Convert(CliTestCase):
    def test_sheet_to_csv_and_back_to_xlsx(self):
        book = self.login_workbook()
        out_csv = self.path("login.csv")
        result = ddtable("convert", book, out_csv, "--sheet", "Login")
        self.assertExit(result, 0)
        with open(out_csv, newline="") as f:
            self.assertEqual(f.read().splitlines()[0:2],
                             ["UserName,Greeting_out,Greeting_exp", "alice,,Hello alice"])
        out_xlsx = self.path("again.xlsx")
        self.assertExit(ddtable("convert", out_csv, out_xlsx), 0)
        rows = read_sheet(out_xlsx, openpyxl.load_workbook(out_xlsx).sheetnames[0])
        self.assertEqual([r["UserName"] for r in rows], ["alice", "bob", "carol", "dave"])
        self.assertEqual(rows[2]["Greeting_exp"], "Hello car*")

    def test_csv_keeps_texts_that_read_as_numbers_as_texts(self):
        # Texts that a spreadsheet would take for a number, boolean or percentage go out
        # quoted; the numbers, booleans and errors beside them do not (openpyxl writes "#N/A"
        # as an error cell), and all come back as they were.
        book = make_workbook(self.path("codes.xlsx"), {
            "Codes": [
                ["Code", "Flag", "Rate", "Count", "Done", "Name"],
                ["007", "TRUE", "12.5%", 7, True, "plain"],
                ["-1e5", "false", "#N/A", 0.5, False, "two words"],
            ],
        })
        out_csv = self.path("codes.csv")
        self.assertExit(ddtable("convert", book, out_csv), 0)
        with open(out_csv, newline="") as f:
            lines = f.read().splitlines()
        self.assertEqual(lines[1:], ['"007","TRUE","12.5%",7,TRUE,plain',
                                     '"-1e5","false",#N/A,0.5,FALSE,two words'])
        again = self.path("codes_again.xlsx")
        self.assertExit(ddtable("convert", out_csv, again), 0)
        rows = read_sheet(again, openpyxl.load_workbook(again).sheetnames[0])
        self.assertEqual([tuple(r.values()) for r in rows],
                         [("007", "TRUE", "12.5%", 7, True, "plain"),
                          ("-1e5", "false", "#N/A", 0.5, False, "two words")])

    def test_legacy_xls_to_xlsx(self):
        xls = os.path.join(SOURCE, "tests", "grid", "io", "data", "libreoffice.xls")
        out = self.path("legacy.xlsx")
        self.assertExit(ddtable("convert", xls, out), 0)
        shown = json.loads(ddtable("show", xls, "--format", "json").stdout)
        again = json.loads(ddtable("show", out, "--format", "json").stdout)
        self.assertEqual([(s["name"], s["rows"]) for s in shown["sheets"]],
                         [(s["name"], s["rows"]) for s in again["sheets"]])
        for sheet in shown["sheets"]:
            before = ddtable("show", xls, sheet["name"], "--format", "csv").stdout.splitlines()
            after = ddtable("show", out, sheet["name"], "--format", "csv").stdout.splitlines()
            self.assertEqual(before[1:], after[1:])

    def test_what_a_save_cannot_keep_is_said(self):
        xlsm = os.path.join(SOURCE, "tests", "grid", "io", "data", "roundtrip_macro.xlsm")
        result = ddtable("convert", xlsm, self.path("lost.xlsx"))
        self.assertExit(result, 0)
        self.assertIn("lost.xlsx: The macro project was left out", result.stderr)
        result = ddtable("convert", xlsm, self.path("kept.xlsm"))
        self.assertExit(result, 0)
        self.assertNotIn("left out", result.stderr)
        with zipfile.ZipFile(self.path("kept.xlsm")) as z:
            self.assertIn("xl/vbaProject.bin", z.namelist())

    def test_refused_targets(self):
        book = self.login_workbook()
        self.assertExit(ddtable("convert", book, self.path("x.pdf")), 2)
        target = os.path.join(self.dir, "no", "such", "folder", "x.xlsx")
        result = ddtable("convert", book, target)
        self.assertExit(result, 2)
        self.assertIn(target, result.stderr)


class Run(CliTestCase):
    def test_outputs_checked_marked_and_recorded(self):
        book = self.login_workbook()
        results = self.path("results.xlsx")
        result = ddtable("run", book, "--bp", "Login", "--output", "Greeting_out",
                         "--results", results, "--", *GREET)
        self.assertExit(result, 1)  # dave's check fails
        self.assertIn("Login row 4", result.stderr)
        rows = read_sheet(results, "Login")
        self.assertEqual([r["Greeting_out"] for r in rows],
                         ["Hello alice", "Hello bob", "Hello carol", "Hello dave"])
        self.assertEqual([r["RunStatus"] for r in rows], ["passed", "passed", "passed", "failed"])
        self.assertIn("expected 'Bye dave'", rows[3]["RunMessage"])
        self.assertEqual([r["ExitStatus"] for r in rows], [0, 0, 0, 0])
        self.assertEqual(rows[0]["Stdout"], "Hello alice")
        self.assertTrue(all(isinstance(r["Duration"], (int, float)) for r in rows))
        self.assertEqual(fill_of(results, "Login", "Greeting_out", 1), GREEN)
        self.assertEqual(fill_of(results, "Login", "Greeting_exp", 1), GREEN)
        self.assertEqual(fill_of(results, "Login", "Greeting_out", 4), LIGHT_RED)
        self.assertEqual(fill_of(results, "Login", "RunStatus", 4), LIGHT_RED)
        # The input is left as it was.
        self.assertEqual(read_sheet(book, "Login")[0]["Greeting_out"], None)

    def test_environment_output_file_and_expect_pattern(self):
        book = self.login_workbook()
        results = self.path("r.xlsx")
        script = 'printf "%s-%s" "$WHO" "$DDTABLE_ITERATION" > "$1"'
        result = ddtable("run", book, "--bp", "Login", "--results", results, "--env", "WHO=<UserName>",
                         "--output", "Greeting_out", "--output-file", self.path("out-<UserName>.txt"),
                         "--expect", "*-[0-9]", "--", "sh", "-c", script, "sh",
                         self.path("out-<UserName>.txt"))
        self.assertExit(result, 0)
        rows = read_sheet(results, "Login")
        self.assertEqual([r["Greeting_out"] for r in rows], ["alice-1", "bob-2", "carol-3", "dave-4"])
        self.assertTrue(os.path.exists(self.path("out-carol.txt")))

    def test_failing_missing_slow_and_loud_commands(self):
        book = make_workbook(self.path("cmds.xlsx"), {
            "Cmd": [["Script"], ["exit 3"], ["kill -9 $$"], ["sleep 600"],
                    ["head -c 3000000 /dev/zero | tr '\\0' x"], ["echo fine"]],
        })
        results = self.path("r.xlsx")
        # All rows at once, and a time limit far beyond what the others need however loaded
        # the machine is: only the sleeping row can reach it.
        result = ddtable("run", book, "--bp", "Cmd", "--results", results, "--timeout", "15", "-j", "5",
                         "--max-output", "100000", "--", "sh", "-c", "<Script>")
        self.assertExit(result, 1)
        rows = read_sheet(results, "Cmd")
        self.assertEqual([r["RunStatus"] for r in rows], ["error", "error", "error", "passed", "passed"])
        self.assertEqual(rows[0]["ExitStatus"], 3)
        self.assertEqual(rows[0]["RunMessage"], "exit status 3")
        self.assertIn("signal 9", rows[1]["RunMessage"])
        self.assertIn("timed out", rows[2]["RunMessage"])
        self.assertIsNone(rows[2]["ExitStatus"])
        loud = rows[3]["Stdout"]
        self.assertTrue(loud.startswith("x" * 1000))
        self.assertIn("of 3000000 bytes kept]", loud)
        self.assertLessEqual(len(loud), 32767)
        self.assertEqual(rows[4]["Stdout"], "fine")

        # A program that cannot be started stops the run before any row, by name.
        for program in ("/no/such/program", "no-such-program-anywhere", book):
            missing = ddtable("run", book, "--bp", "Cmd", "--results", self.path("m.xlsx"), "--",
                              program, "<Script>")
            self.assertExit(missing, 2)
            self.assertIn(f"the command '{program}' cannot be started", missing.stderr)
        self.assertFalse(os.path.exists(self.path("m.xlsx")))

        capped = ddtable("run", book, "--bp", "Cmd", "--results", results, "--max-output", "10",
                         "--", "echo", "0123456789abcdef")
        self.assertExit(capped, 0)
        self.assertEqual(read_sheet(results, "Cmd")[0]["Stdout"],
                         "0123456789\n[... output cut: 10 of 17 bytes kept]")

    def test_bad_names_exit_2(self):
        book = self.login_workbook()
        results = self.path("r.xlsx")
        for args, word in ((("--bp", "Logout"), "Logout"),
                           (("--bp", "Login", "--output", "Nope_out"), "Nope_out"),
                           (("--bp", "Login", "--each", "Kids"), "Login.Kids")):
            result = ddtable("run", book, "--results", results, *args, "--", "true")
            self.assertExit(result, 2)
            self.assertIn(word, result.stderr)
            self.assertIn(book, result.stderr)
        self.assertFalse(os.path.exists(results))
        before = read_text_bytes(book)
        onto_input = ddtable("run", book, "--bp", "Login", "--results", book, "--", "true")
        self.assertExit(onto_input, 2)
        self.assertIn("is the input workbook", onto_input.stderr)
        self.assertEqual(read_text_bytes(book), before)
        unwritable = ddtable("run", book, "--bp", "Login", "--results",
                             os.path.join(self.dir, "none", "r.xlsx"), "--", "true")
        self.assertExit(unwritable, 2)

    def test_each_runs_once_per_block_row(self):
        book = self.booking_workbook()
        results = self.path("r.xlsx")
        result = ddtable("run", book, "--bp", "Book", "--each", "Passengers", "--output", "Pass_out",
                         "--results", results, "--", "sh", "-c",
                         'echo "$1" | tr a-z A-Z', "sh", "<Passengers::Passenger>")
        self.assertExit(result, 1)  # grace's expected value is wrong
        kids = read_sheet(results, "Book.Passengers")
        self.assertEqual([k["Pass_out"] for k in kids[:4]], ["ADA", "ALAN", None, "GRACE"])
        self.assertEqual([k["RunStatus"] for k in kids], ["passed", "passed", None, "failed", None, None])
        top = read_sheet(results, "Book")
        # The third booking has no block of passengers: an error, not a silent skip.
        self.assertEqual([t["RunStatus"] for t in top], ["passed", "failed", "error"])
        self.assertIn("no rows in its block", top[2]["RunMessage"])

    def test_quiet_run_prints_nothing(self):
        book = make_workbook(self.path("q.xlsx"), {"P": [["A"], ["1"], ["2"]]})
        result = ddtable("--quiet", "run", book, "--bp", "P", "--", "true")
        self.assertExit(result, 0)
        self.assertEqual(result.stderr, "")
        self.assertTrue(os.path.exists(self.path("q_results.xlsx")))


class RunEdges(CliTestCase):
    def test_roles_that_do_not_run_and_references_that_name_nothing(self):
        book = make_workbook(self.path("e.xlsx"), {
            "Global": [["Iter"], [1]], "Empty": [["A"]], "P": [["A"], ["x"]]})
        glob = ddtable("run", book, "--bp", "Global", "--", "true")
        self.assertExit(glob, 2)
        self.assertIn("global", glob.stderr)
        empty = ddtable("run", book, "--bp", "Empty", "--results", self.path("r.xlsx"), "--", "true")
        self.assertExit(empty, 0)
        self.assertIn("no data rows", empty.stderr)
        # A misspelt reference never reaches the command: the row is an error, not a pass.
        typo = ddtable("-q", "run", book, "--bp", "P", "--results", self.path("r.xlsx"), "--", "echo", "<B>", "<A>")
        self.assertExit(typo, 1)
        self.assertEqual(typo.stderr, "")
        row = read_sheet(self.path("r.xlsx"), "P")[0]
        self.assertEqual((row["RunStatus"], row["Stdout"]), ("error", None))
        self.assertEqual(row["RunMessage"], "argument 1: <B> names no parameter")

    def test_each_with_shards_merges_to_the_whole_run(self):
        book = self.booking_workbook()
        command = ["sh", "-c", 'echo "$1" | tr a-z A-Z', "sh", "<Passengers::Passenger>"]
        common = ["--bp", "Book", "--each", "Passengers", "--output", "Pass_out"]
        whole = self.path("whole.xlsx")
        ddtable("run", book, *common, "--results", whole, "--", *command)
        parts = [self.path("p1.xlsx"), self.path("p2.xlsx")]
        for i, part in enumerate(parts, 1):
            ddtable("run", book, *common, "--shard", f"{i}/2", "-j", "3", "--results", part, "--", *command)
        merged = self.path("merged.xlsx")
        self.assertExit(ddtable("merge", merged, *parts), 1)
        self.assertEqual(workbook_cells(whole), workbook_cells(merged))

    def test_progress_only_on_a_terminal(self):
        book = make_workbook(self.path("p.xlsx"), {"P": [["A"]] + [[n] for n in range(5)]})
        piped = ddtable("run", book, "--bp", "P", "--", "true")
        self.assertNotIn("[", piped.stderr)
        controller, terminal = pty.openpty()
        try:
            proc = subprocess.run([DDTABLE, "run", book, "--bp", "P", "--", "true"],
                                  stdout=subprocess.PIPE, stderr=terminal, timeout=600)
            os.close(terminal)
            terminal = None
            shown = b""
            while True:
                try:
                    chunk = os.read(controller, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                shown += chunk
        finally:
            if terminal is not None:
                os.close(terminal)
            os.close(controller)
        self.assertEqual(proc.returncode, 0)
        self.assertIn(b"run P [", shown)
        self.assertIn(b"5/5", shown)

    def test_termination_keeps_the_rows_that_ended(self):
        # Two quick rows end; two slow rows are running when the signal comes.
        book = make_workbook(self.path("t.xlsx"), {"P": [["A"], ["quick"], ["quick"], ["slow"], ["slow"]]})
        for sig, code in ((signal.SIGTERM, 143), (signal.SIGINT, 130)):
            pids = self.path(f"pids{sig}")
            results, report = self.path(f"t{sig}.xlsx"), self.path(f"t{sig}.xml")
            proc = subprocess.Popen(
                [DDTABLE, "run", book, "--bp", "P", "-j", "2", "--results", results, "--junit", report,
                 "--", "sh", "-c", f'[ "$1" = slow ] && {{ echo $$ >> {pids}; exec sleep 300; }}; echo ok',
                 "sh", "<A>"],
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            for _ in range(6000):  # until both slow commands have started
                if os.path.exists(pids) and len(read_text(pids).split()) == 2:
                    break
                time.sleep(0.05)
            proc.send_signal(sig)
            _, err = proc.communicate(timeout=600)
            self.assertEqual(proc.returncode, code, err)
            self.assertIn("interrupted", err)
            for pid in read_text(pids).split():
                with self.assertRaises(ProcessLookupError):
                    os.kill(int(pid), 0)
            rows = read_sheet(results, "P")
            self.assertEqual([r["RunStatus"] for r in rows], ["passed", "passed", "not run", "not run"])
            self.assertEqual([r["Stdout"] for r in rows], ["ok", "ok", None, None])
            self.assertEqual(run_info(results)["Outcome"], "interrupted")
            suite = etree.parse(report).find("testsuite")
            self.assertEqual((suite.get("tests"), suite.get("skipped")), ("4", "2"))
            self.assertFalse(os.path.exists(results + ".run-journal"))

    def test_a_killed_run_is_taken_up_by_the_next(self):
        # SIGKILL at moments spread over the run (after the k-th row's command has ended, so
        # whatever the machine's speed); the next run gives the whole result and runs again
        # only the rows whose end the killed run had not recorded.
        rows = 20
        book = make_workbook(self.path("k.xlsx"), {"P": [["N", "Out", "Out_exp"]] +
                                                      [[n, None, f"out-{n}"] for n in range(1, rows + 1)]})
        killed_midway = 0
        for attempt, kill_after in enumerate((1, 4, 9, 14, 19)):
            results = self.path(f"k{attempt}.xlsx")
            started, ended = self.path(f"started{attempt}"), self.path(f"ended{attempt}")
            script = f'echo $1 >> {started}; sleep 0.05; echo $1 >> {ended}; echo out-$1'
            command = [DDTABLE, "-q", "run", book, "--bp", "P", "--output", "Out", "--results", results,
                       "--", "sh", "-c", script, "sh", "<N>"]
            proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            while proc.poll() is None and (not os.path.exists(ended) or len(read_text(ended).split()) < kill_after):
                time.sleep(0.005)
            proc.kill()
            proc.communicate(timeout=600)
            ended_first = set(read_text(ended).split()) if os.path.exists(ended) else set()
            if proc.returncode != -signal.SIGKILL:
                continue  # the run ended before the kill: nothing to take up
            killed_midway += 0 < len(ended_first) < rows
            os.replace(started, started + ".first")
            second = subprocess.run(command, capture_output=True, text=True, timeout=600)
            self.assertExit(second, 0)
            out = read_sheet(results, "P")
            self.assertEqual([r["Out"] for r in out], [f"out-{n}" for n in range(1, rows + 1)])
            self.assertTrue(all(r["RunStatus"] == "passed" for r in out))
            ran_again = set(read_text(started).split()) if os.path.exists(started) else set()
            # Every row runs in one of the two runs; a row whose end was recorded does not run
            # again (one row may have ended between its end and the journal's record of it).
            self.assertEqual(ran_again | ended_first, {str(n) for n in range(1, rows + 1)})
            self.assertLessEqual(len(ran_again & ended_first), 1, (attempt, ran_again, ended_first))
            self.assertFalse(os.path.exists(results + ".run-journal"))
        self.assertGreaterEqual(killed_midway, 1, "no kill came while rows were running")


class ParallelAndShards(CliTestCase):
    def many_rows(self, count=24):
        rows = [["N", "Out", "Out_exp"]]
        for n in range(1, count + 1):
            rows.append([n, None, str(n * n) if n % 7 else "wrong"])
        return make_workbook(self.path("many.xlsx"), {"Square": rows})

    COMMAND = ["sh", "-c", 'sleep 0.0$(($1 % 5)); echo $(($1 * $1))', "sh", "<N>"]

    def test_jobs_4_equals_jobs_1(self):
        book = self.many_rows()
        one, four = self.path("one.xlsx"), self.path("four.xlsx")
        r1 = ddtable("run", book, "--bp", "Square", "--output", "Out", "--results", one, "--", *self.COMMAND)
        r4 = ddtable("run", book, "--bp", "Square", "--output", "Out", "--results", four, "-j", "4",
                     "--", *self.COMMAND)
        self.assertExit(r1, 1)
        self.assertExit(r4, 1)
        self.assertEqual(workbook_cells(one), workbook_cells(four))
        self.assertEqual(read_sheet(one, "Square")[6]["RunStatus"], "failed")

    def test_shards_merged_equal_one_run(self):
        book = self.many_rows()
        whole = self.path("whole.xlsx")
        self.assertExit(ddtable("run", book, "--bp", "Square", "--output", "Out", "--results", whole,
                                "--junit", self.path("whole.xml"), "--", *self.COMMAND), 1)
        parts = []
        for i in (1, 2, 3):
            part = self.path(f"part{i}.xlsx")
            self.assertExit(ddtable("run", book, "--bp", "Square", "--output", "Out", "--shard", f"{i}/3",
                                    "--results", part, "--", *self.COMMAND),
                            1 if any(n % 7 == 0 for n in range(i, 25, 3)) else 0)
            parts.append(part)
        merged = self.path("merged.xlsx")
        result = ddtable("merge", merged, *parts, "--junit", self.path("merged.xml"))
        self.assertExit(result, 1)
        self.assertEqual(workbook_cells(whole), workbook_cells(merged))

        def cases(path):
            tree = etree.parse(path)
            return [(c.get("name"), [e.tag for e in c]) for c in tree.iter("testcase")]
        self.assertEqual(cases(self.path("whole.xml")), cases(self.path("merged.xml")))

        overlap = ddtable("merge", self.path("bad.xlsx"), parts[0], parts[0])
        self.assertExit(overlap, 2)
        self.assertIn("shard 1/3 is given twice", overlap.stderr)
        other = make_workbook(self.path("other.xlsx"), {"Square": [["N"], [1]]})
        self.assertExit(ddtable("merge", self.path("bad.xlsx"), other), 2)

    def test_rows_ending_out_of_order_with_output_files_and_timeouts(self):
        # Rows end in another order than they run (later rows of each nine are quicker), one
        # times out (a limit far beyond what the others need however loaded the machine is),
        # some write no output file, some more than --max-output: every row is recorded as
        # it is with one job.
        rows = [["N", "Out", "Out_exp"]]
        for n in range(1, 19):
            rows.append([n, None, "abcdefgh"[:6] if n % 6 == 0 else f"row{n}"])
        book = make_workbook(self.path("order.xlsx"), {"P": rows})
        script = ('[ "$1" = 7 ] && exec sleep 600; case $(($1 % 6)) in 0) printf abcdefgh > "$2";; 2) ;; '
                  '*) sleep 0.0$((9 - $1 % 9)); printf "row%s" "$1" > "$2";; esac')

        def run(jobs, results):
            return ddtable("run", book, "--bp", "P", "--output", "Out", "--results", results,
                           "--output-file", self.path("out-<N>.txt"), "--max-output", "6",
                           "--timeout", "15", "-j", str(jobs), "--", "sh", "-c", script, "sh", "<N>",
                           self.path("out-<N>.txt"))
        one, three = self.path("one.xlsx"), self.path("three.xlsx")
        self.assertExit(run(1, one), 1)
        self.assertExit(run(3, three), 1)
        self.assertEqual(workbook_cells(one), workbook_cells(three))
        out = read_sheet(three, "P")
        statuses = [r["RunStatus"] for r in out]
        self.assertEqual(statuses, ["error" if n == 7 or n % 6 == 2 else "passed" for n in range(1, 19)])
        self.assertIn("timed out", out[6]["RunMessage"])
        self.assertIn("wrote no output file", out[1]["RunMessage"])
        self.assertEqual(out[5]["Out"], "abcdef")  # the file read up to --max-output bytes
        self.assertEqual(out[8]["Out"], "row9")
        self.assertFalse(os.path.exists(three + ".run-journal"))


class JUnit(CliTestCase):
    def test_report_passes_the_schema_and_counts_outcomes(self):
        book = make_workbook(self.path("j.xlsx"), {
            "Mix": [["What", "Out", "Out_exp"], ["ok", None, "ok"], ["no", None, "yes"],
                    ["crash", None, "x"], ["<&\"'>", None, "*"]],
        })
        report = self.path("report.xml")
        result = ddtable("run", book, "--bp", "Mix", "--output", "Out", "--junit", report, "--",
                         "sh", "-c", '[ "$1" = crash ] && { printf "boom\\001" >&2; exit 5; }; printf "%s" "$1"',
                         "sh", "<What>")
        self.assertExit(result, 1)
        schema = etree.XMLSchema(etree.parse(os.path.join(HERE, "junit.xsd")))
        tree = etree.parse(report)
        schema.assertValid(tree)
        suite = tree.find("testsuite")
        self.assertEqual((suite.get("tests"), suite.get("failures"), suite.get("errors")), ("4", "1", "1"))
        outcomes = [[e.tag for e in c if e.tag in ("failure", "error")] for c in suite.iter("testcase")]
        self.assertEqual(outcomes, [[], ["failure"], ["error"], []])
        crash = list(suite.iter("testcase"))[2]
        self.assertEqual(crash.find("system-err").text, "boom?")  # control characters made safe


class Compare(CliTestCase):
    def test_same_and_different_tables(self):
        results = make_workbook(self.path("res.xlsx"), {"T": [["A", "B"], ["1", "x"], ["2", "y"]]})
        same = make_workbook(self.path("same.xlsx"), {"T": [["A", "B"], ["1", "x"], ["2", "y"]]})
        differ = make_workbook(self.path("differ.xlsx"), {"T": [["A", "B"], ["1", "x"], ["2", "z"]]})
        extra = make_workbook(self.path("extra.xlsx"), {"T": [["A", "C"], ["1", "x"]]})
        self.assertExit(ddtable("compare", results, same, "--sheet", "T"), 0)
        marked = self.path("marked.xlsx")
        result = ddtable("compare", results, differ, "--sheet", "T", "--save", marked)
        self.assertExit(result, 1)
        self.assertIn("differ", result.stderr)
        self.assertEqual(fill_of(marked, "T", "B", 1), GREEN)
        self.assertEqual(fill_of(marked, "T", "B", 2), LIGHT_RED)
        missing = ddtable("compare", results, extra, "--sheet", "T")
        self.assertExit(missing, 1)
        self.assertIn("<C>", missing.stderr)
        self.assertExit(ddtable("compare", results, same, "--sheet", "U"), 2)


if __name__ == "__main__":
    DDTABLE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
