#!/usr/bin/python3
"""End-to-end tests of `ddtable report`: the data a report holds (read back from the page),
reports of shards against the merged run, the run history, and the page itself in headless
chromium driven by selenium (skipped with a message when chromium is not installed).

    test_report.py PATH/TO/ddtable [unittest arguments]

DDTABLE_REPORT_ARTIFACTS names a folder for the screenshot of the page (default: a temporary
folder that is removed).
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import test_cli
from test_cli import CliTestCase, ddtable, make_workbook

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(test_cli.SOURCE, "bench"))
import report_fixture  # noqa: E402

CHROMIUM = shutil.which("chromium")
CHROMEDRIVER = shutil.which("chromedriver")
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
except ImportError:
    webdriver = None

STATUSES = ["passed", "failed", "error", "not run"]
# The row's fields as the page keeps them.
S, NAME, ROW, SEC, EXIT, MSG, VALS, MARKS, OUT, ERR, KIDS, CHANGE = range(12)

# Greets the user; carol's login crashes, and dave's greeting is expected wrongly. When the
# file named by $MODE exists its words pick who fails: "dave" greets dave wrongly, "erin" erin.
LOGIN = ["sh", "-c", 'if [ "$1" = carol ]; then echo "no such user: $1" >&2; exit 3; fi; '
         'if [ -f "$MODE" ] && grep -qw "$1" "$MODE"; then echo "Bye $1"; else echo "Hello $1"; fi',
         "sh", "<UserName>"]


def report_data(path):
    """The data embedded in a report page."""
    with open(path, encoding="utf-8") as f:
        page = f.read()
    found = re.search(r'<script type="application/json" id="ddtable-data">(.*?)</script>', page, re.S)
    return json.loads(found.group(1))


def rows_by_name(data, process):
    proc = next(p for p in data["processes"] if p["name"] == process)
    return {r[NAME]: r for r in proc["rows"]}


class ReportCase(CliTestCase):
    def login_book(self):
        # Made once per test: a workbook written again carries another modification time, and
        # so is another input to the parts of one run.
        if os.path.exists(self.path("login.xlsx")):
            return self.path("login.xlsx")
        return make_workbook(self.path("login.xlsx"), {
            "Login": [["UserName", "Password", "Greeting_out", "Greeting_exp"],
                      ["alice", "pw1", None, "Hello alice"],
                      ["bob", "pw2", None, "Hello bob"],
                      ["carol", "pw3", None, "Hello carol"],
                      ["dave", "pw4", None, "Hello dave"],
                      ["erin", "pw5", None, "Hello erin"],
                      ["frank", "pw6", None, "Hello frank"]],
        })

    def run_login(self, results, *extra, mode=""):
        env = dict(os.environ, MODE=mode)
        return subprocess.run([test_cli.DDTABLE, "-q", "run", self.login_book(), "--bp", "Login", "--output",
                               "Greeting_out", "--results", results, *extra, "--", *LOGIN],
                              capture_output=True, text=True, env=env, timeout=600)

    def run_booking(self, results):
        book = self.booking_workbook()
        return ddtable("-q", "run", book, "--bp", "Book", "--each", "Passengers", "--output", "Pass_out",
                       "--results", results, "--", "sh", "-c", 'echo "$1" | tr a-z A-Z', "sh",
                       "<Passengers::Passenger>")

    def mixed_report(self):
        """A report of shard 1 of 2 of the login run (its other rows are not run) and of a run
        with child rows: every outcome and child rows under their parents."""
        with open(self.path("mode"), "w") as f:
            f.write("erin\n")
        part = self.path("part1.xlsx")
        self.assertExit(self.run_login(part, "--shard", "1/2", mode=self.path("mode")), 1)
        booking = self.path("booking_results.xlsx")
        self.assertExit(self.run_booking(booking), 1)
        page = self.path("mixed.html")
        result = ddtable("report", part, booking, "-o", page)
        self.assertExit(result, 1)
        return page


class ReportData(ReportCase):
    def test_rows_outcomes_outputs_and_child_rows(self):
        data = report_data(self.mixed_report())
        login = rows_by_name(data, "Login")
        # Shard 1 ran rows 1, 3, 5; the rows of the missing shard are not run, not left out.
        self.assertEqual({n: STATUSES[r[S]] for n, r in login.items()},
                         {"Login[1]": "passed", "Login[2]": "not run", "Login[3]": "error",
                          "Login[4]": "not run", "Login[5]": "failed", "Login[6]": "not run"})
        self.assertEqual(login["Login[2]"][MSG], "its part of the run is missing")
        carol, erin = login["Login[3]"], login["Login[5]"]
        self.assertEqual((carol[EXIT], carol[ERR]), ("3", "no such user: carol"))
        self.assertEqual(erin[VALS], ["erin", "pw5", "Bye erin", "Hello erin"])
        self.assertEqual(erin[MARKS], [2])  # the output differs from its expected value
        self.assertEqual(login["Login[1]"][MARKS], [1])
        self.assertGreaterEqual(erin[SEC], 0)
        login_proc = next(p for p in data["processes"] if p["name"] == "Login")
        self.assertEqual(login_proc["table"]["outputs"], [[2, 3]])

        book = rows_by_name(data, "Book")
        self.assertEqual([STATUSES[r[S]] for r in book.values()], ["passed", "failed", "error"])
        self.assertEqual([k[NAME] for k in book["Book[1]"][KIDS]],
                         ["Book[1]/Passengers[1]", "Book[1]/Passengers[2]"])
        self.assertEqual([(k[VALS][0], STATUSES[k[S]]) for k in book["Book[2]"][KIDS]], [("grace", "failed")])
        self.assertEqual(book["Book[3]"][KIDS], [])
        # Totals count the rows that ran a command, and a parent row only when it ran none.
        self.assertEqual(data["totals"], [1 + 2, 1 + 1, 1 + 1, 3])

    def test_shards_give_the_report_of_the_merged_run(self):
        parts = [self.path("p1.xlsx"), self.path("p2.xlsx")]
        for i, part in enumerate(parts, 1):  # carol's error is in the first shard
            self.assertExit(self.run_login(part, "--shard", f"{i}/2", "-j", "2"), 2 - i)
        merged = self.path("merged.xlsx")
        self.assertExit(ddtable("-q", "merge", merged, *parts), 1)
        from_parts, from_merged = self.path("parts.html"), self.path("merged.html")
        self.assertExit(ddtable("report", *reversed(parts), "-o", from_parts), 1)
        self.assertExit(ddtable("report", merged, "-o", from_merged), 1)
        a, b = report_data(from_parts), report_data(from_merged)
        for data in (a, b):
            for proc in data["processes"]:
                proc.pop("files")
        self.assertEqual(a["processes"], b["processes"])
        self.assertEqual(a["totals"], [5, 0, 1, 0])
        self.assertEqual(a["totals"], b["totals"])
        # The same with child rows: each business-process row and its block come from the part
        # that ran it.
        book = self.booking_workbook()
        command = ["--bp", "Book", "--each", "Passengers", "--output", "Pass_out", "--", "sh", "-c",
                   'echo "$1" | tr a-z A-Z', "sh", "<Passengers::Passenger>"]
        kids = [self.path("k1.xlsx"), self.path("k2.xlsx")]
        for i, part in enumerate(kids, 1):
            ddtable("-q", "run", book, "--shard", f"{i}/2", "--results", part, *command)
        kids_merged = self.path("kids.xlsx")
        self.assertExit(ddtable("-q", "merge", kids_merged, *kids), 1)
        pages = [self.path("kids-parts.html"), self.path("kids-merged.html")]
        self.assertExit(ddtable("report", *kids, "-o", pages[0]), 1)
        self.assertExit(ddtable("report", kids_merged, "-o", pages[1]), 1)
        a, b = (report_data(p)["processes"] for p in pages)
        self.assertEqual([len(r[KIDS]) for r in a[0]["rows"]], [2, 1, 0])
        for proc in a + b:
            proc.pop("files")
        self.assertEqual(a, b)

        # One part given twice is not a run.
        twice = ddtable("report", parts[0], parts[0], "-o", self.path("x.html"))
        self.assertExit(twice, 2)
        self.assertIn("same part", twice.stderr)

    def test_what_is_not_a_results_workbook_is_refused(self):
        plain = make_workbook(self.path("plain.xlsx"), {"P": [["A"], ["1"]]})
        refused = ddtable("report", plain, "-o", self.path("x.html"))
        self.assertExit(refused, 2)
        self.assertIn("not a results workbook", refused.stderr)
        self.assertFalse(os.path.exists(self.path("x.html")))
        self.assertExit(ddtable("report", self.path("missing.xlsx"), "-o", self.path("x.html")), 2)

    def test_row_names_and_workbooks_of_earlier_versions(self):
        results = self.path("r.xlsx")
        self.assertExit(self.run_login(results), 1)
        # A newer run names its rows; an earlier one wrote no run information and "skipped".
        import openpyxl
        book = openpyxl.load_workbook(results)
        sheet = book["Login"]
        names = [c.value for c in sheet[1]]
        column = names.index("RunName") + 1 if "RunName" in names else len(names) + 1
        sheet.cell(row=1, column=column, value="RunName")
        for row in range(2, 8):
            user = sheet.cell(row=row, column=names.index("UserName") + 1).value
            sheet.cell(row=row, column=column, value=f"Login[{user}]")
        sheet.cell(row=7, column=names.index("RunStatus") + 1, value="skipped")
        del book["ddtable run"]
        book.save(results)
        page = self.path("r.html")
        self.assertExit(ddtable("report", results, "-o", page), 1)
        data = report_data(page)
        rows = rows_by_name(data, "Login")
        self.assertEqual(list(rows)[:2], ["Login[alice]", "Login[bob]"])
        self.assertEqual(STATUSES[rows["Login[frank]"][S]], "not run")
        self.assertEqual(STATUSES[rows["Login[carol]"][S]], "error")
        self.assertEqual(data["processes"][0]["table"]["columns"], ["UserName", "Password", "Greeting_out", "Greeting_exp"])
        self.assertEqual(data["totals"], [4, 0, 1, 1])

    def test_embedded_text_cannot_end_the_script(self):
        book = make_workbook(self.path("t.xlsx"), {"P": [["Text"], ["</script><b>x"], ["<!-- caf\u00e9"]]})
        results = self.path("t_results.xlsx")
        self.assertExit(ddtable("-q", "run", book, "--bp", "P", "--results", results, "--",
                                "printf", "%s\\n", "<Text>"), 0)
        page = self.path("t.html")
        self.assertExit(ddtable("report", results, "-o", page), 0)
        with open(page, encoding="utf-8") as f:
            text = f.read()
        self.assertEqual(text.count("</script>"), 2)  # the data's and the program's
        rows = rows_by_name(report_data(page), "P")
        self.assertEqual([r[OUT] for r in rows.values()], ["</script><b>x", "<!-- caf\u00e9"])


class JsonOutput(CliTestCase):
    def test_show_and_check_print_valid_json_in_their_order(self):
        # A CSV file in Latin-1: its bytes are not UTF-8, the JSON must still be.
        legacy = self.path("legacy.csv")
        with open(legacy, "wb") as f:
            f.write(b"Name,City\r\nx,caf\xe9\r\n")
        shown = ddtable("show", legacy, "legacy", "--format", "json")
        self.assertExit(shown, 0)
        data = json.loads(shown.stdout)
        self.assertEqual(list(data), ["sheet", "role", "parameters", "rows"])
        # A Windows-1252 file is read as such (with a warning), so its text arrives whole.
        self.assertEqual(data["rows"], [{"Name": "x", "City": "caf\u00e9"}])
        book = make_workbook(self.path("c.xlsx"), {"P": [["A", "A", "B_exp"], ["<Nope>", 1, 2]]})
        checked = ddtable("check", book, "--format", "json")
        self.assertExit(checked, 1)
        findings = json.loads(checked.stdout)["findings"]
        self.assertEqual(list(findings[0]), ["sheet", "cell", "kind", "message", "severity"])
        self.assertEqual(sorted(f["kind"] for f in findings), ["duplicate", "expected", "reference"])


class History(ReportCase):
    def test_three_runs_give_three_points_and_mark_what_changed(self):
        history = self.path("history")
        mode = self.path("mode")
        pages = []
        for n, failing in enumerate(["", "dave", "erin"], 1):
            with open(mode, "w") as f:
                f.write(failing + "\n")
            results = self.path(f"r{n}.xlsx")
            self.assertExit(self.run_login(results, mode=mode), 1)  # carol is always an error
            pages.append(self.path(f"r{n}.html"))
            self.assertExit(ddtable("report", results, "-o", pages[-1], "--history", history), 1)
        self.assertEqual(len(os.listdir(history)), 3)
        first, second, third = (report_data(p) for p in pages)
        self.assertEqual([len(d["history"]) for d in (first, second, third)], [1, 2, 3])
        self.assertEqual([h["totals"] for h in third["history"]], [[5, 0, 1, 0], [4, 1, 1, 0], [4, 1, 1, 0]])
        self.assertEqual([h["current"] for h in third["history"]], [False, False, True])
        changes = lambda d: {n: r[CHANGE] for n, r in rows_by_name(d, "Login").items() if r[CHANGE]}
        self.assertEqual(changes(first), {})
        self.assertEqual(changes(second), {"Login[4]": "new failure"})
        # carol's error is not new; dave is fixed, erin newly fails.
        self.assertEqual(changes(third), {"Login[4]": "fixed", "Login[5]": "new failure"})
        # The report of the same run again replaces its summary rather than adding a point.
        again = self.path("again.html")
        self.assertExit(ddtable("report", self.path("r3.xlsx"), "-o", again, "--history", history), 1)
        self.assertEqual(len(report_data(again)["history"]), 3)
        self.assertEqual(changes(report_data(again)), changes(third))


@unittest.skipIf(webdriver is None or not CHROMIUM or not CHROMEDRIVER,
                 "chromium, chromium-driver or python3-selenium is not installed: the page is not "
                 "tested in a browser")
class InBrowser(ReportCase):
    @classmethod
    def setUpClass(cls):
        cls.profile = tempfile.mkdtemp(prefix="ddtable-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for arg in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                    "--disable-component-update", "--no-first-run", "--disable-sync",
                    "--disable-dev-shm-usage", "--window-size=1440,1000", "--user-data-dir=" + cls.profile]:
            options.add_argument(arg)
        options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
        cls.driver = webdriver.Chrome(options=options, service=Service(CHROMEDRIVER))
        cls.artifacts = os.environ.get("DDTABLE_REPORT_ARTIFACTS") or tempfile.mkdtemp(prefix="ddtable-shots-")
        os.makedirs(cls.artifacts, exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.profile, ignore_errors=True)
        if not os.environ.get("DDTABLE_REPORT_ARTIFACTS"):
            shutil.rmtree(cls.artifacts, ignore_errors=True)

    def open(self, page, fragment=""):
        self.driver.get("file://" + page + fragment)
        self.driver.execute_script("return 1")
        return self.driver

    def visible_rows(self):
        # Read at once: the list is drawn again as it scrolls or filters.
        return [tuple(r) for r in self.driver.execute_script(
            "return [...document.querySelectorAll('#spacer .row')].map((r) => [r.className, r.innerText])")]

    def card(self, status):
        return self.driver.find_element(By.CSS_SELECTOR, f'.card[data-status="{status}"] .n').text

    def test_totals_filters_search_and_no_network(self):
        page = self.mixed_report()
        driver = self.open(page)
        driver.get_log("performance")  # what came before this page
        driver.refresh()
        self.assertEqual({s: self.card(s) for s in STATUSES},
                         {"passed": "3", "failed": "2", "error": "2", "not run": "3"})
        self.assertEqual(driver.find_element(By.ID, "total").text, "10")
        # Status by a word, not only by colour; failing and error rows first.
        rows = self.visible_rows()
        self.assertTrue(all(any(w in text for w in STATUSES) for _, text in rows))
        self.assertRegex(rows[0][0], r"s-(failed|error)")
        self.assertIn("passed", [c.split()[1][2:] for c, _ in rows])
        os.makedirs(self.artifacts, exist_ok=True)
        driver.save_screenshot(os.path.join(self.artifacts, "report.png"))

        # The passed rows (and passed child rows) go when their status is switched off, and
        # the filter is kept in the page's address.
        driver.find_element(By.CSS_SELECTOR, '.chip[data-status="passed"]').click()
        rows = self.visible_rows()
        self.assertTrue(rows)
        self.assertFalse([r for r in rows if "s-passed" in r[0]], rows)
        self.assertIn("status=failed%2Cerror%2Cnot+run", driver.current_url)
        shared = driver.current_url
        driver.get("about:blank")
        driver.get(shared)
        self.assertFalse([r for r in self.visible_rows() if "s-passed" in r[0]])
        self.assertEqual(driver.find_element(By.CSS_SELECTOR, '.chip[data-status="passed"]').get_attribute("aria-pressed"),
                         "false")

        # One business process, by the menu.
        self.open(page)
        from selenium.webdriver.support.select import Select
        Select(driver.find_element(By.ID, "bp")).select_by_value("Book")
        shown = driver.execute_script("return [...document.querySelectorAll('#spacer .row .proc')].map((e) => e.textContent)")
        self.assertEqual(len(shown), 4)  # three rows and the failed one's child row
        self.assertEqual(set(shown), {"Book"})
        self.assertIn("bp=Book", driver.current_url)

        # Search by a parameter value: erin's password, and a child row's passenger.
        self.open(page)
        box = driver.find_element(By.ID, "q")
        box.send_keys("pw5")
        driver.implicitly_wait(0)
        self.wait_for(lambda: len(self.visible_rows()) == 1)
        self.assertIn("Login[5]", self.visible_rows()[0][1])
        self.assertIn("q=pw5", driver.current_url)
        box.clear()
        box.send_keys("grace")
        self.wait_for(lambda: [t for _, t in self.visible_rows()] and "Book[2]" in self.visible_rows()[0][1])
        child = self.visible_rows()[1]
        self.assertIn("child", child[0])
        self.assertIn("Passengers[1]", child[1])  # under its parent, without the process's name

        # Nothing was fetched: no resource entries, and chromium saw no request but the page.
        self.assertEqual(driver.execute_script("return performance.getEntriesByType('resource').length"), 0)
        requests = [json.loads(e["message"])["message"] for e in driver.get_log("performance")]
        urls = {m["params"]["request"]["url"] for m in requests if m["method"] == "Network.requestWillBeSent"}
        self.assertTrue(urls)
        self.assertEqual({u.split("#")[0] for u in urls if not u.startswith("data:")} - {"about:blank"},
                         {"file://" + page})
        csp = driver.find_element(By.CSS_SELECTOR, 'meta[http-equiv="Content-Security-Policy"]')
        self.assertIn("default-src 'none'", csp.get_attribute("content"))
        errors = [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
        self.assertEqual(errors, [])

    def wait_for(self, condition, seconds=20):
        from selenium.webdriver.support.ui import WebDriverWait
        WebDriverWait(self.driver, seconds).until(lambda _: condition())

    def test_long_reports_draw_only_the_rows_in_view(self):
        results = self.path("big.xlsx")
        report_fixture.results_workbook(results, 3000)
        page = self.path("big.html")
        self.assertExit(ddtable("report", results, "-o", page), 1)
        # Within 25 MB for 100,000 rows: the page grows by the row.
        self.assertLess(os.path.getsize(page), 25e6 * 3000 / 100000)
        driver = self.open(page, "#sort=row")
        self.assertEqual(self.card("passed"), "2,910")
        drawn = self.visible_rows()
        self.assertLess(len(drawn), 80)
        self.assertIn("Login row 1", drawn[0][1])
        viewport = driver.find_element(By.ID, "viewport")
        driver.execute_script("arguments[0].scrollTop = arguments[0].scrollHeight", viewport)
        self.wait_for(lambda: "Login row 3000" in self.visible_rows()[-1][1])
        self.assertLess(len(self.visible_rows()), 80)
        driver.save_screenshot(os.path.join(self.artifacts, "report-long.png"))

        # Sorted by duration, the longest first; the keyboard moves the selection.
        self.open(page, "#sort=duration")
        self.assertEqual(driver.find_element(By.ID, "sort").get_attribute("value"), "duration")
        durations = [text.split("\n")[-1] for _, text in self.visible_rows()[:3]]
        self.assertEqual(durations, ["210 ms"] * 3)
        driver.find_element(By.CSS_SELECTOR, '#spacer .row[data-i="0"]').click()
        second = self.visible_rows()[1][1].split("\n")[2]
        viewport = driver.find_element(By.ID, "viewport")
        viewport.send_keys(Keys.ARROW_DOWN)
        self.assertEqual(driver.find_element(By.CSS_SELECTOR, "#detail h3").text, second)


if __name__ == "__main__":
    test_cli.DDTABLE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
