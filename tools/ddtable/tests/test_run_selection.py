#!/usr/bin/python3
"""End-to-end tests of choosing rows: --id names, --rows, --where, --id-in, --rerun-failed,
--shard auto and --split durations, and merges of many parts.

    test_run_selection.py PATH/TO/ddtable [unittest arguments]
"""
import os
import sys
import unittest

import openpyxl
from lxml import etree

import test_cli
from test_cli import CliTestCase, ddtable, make_workbook, read_sheet, run_info, workbook_cells

USERS = [["UserName", "Tag", "Env", "Out", "Out_exp"],
         ["alice", "smoke", "prod-eu", None, "alice"],
         ["bob", "slow", "prod-us", None, "bob"],
         ["carol", "smoke, nightly", "test", None, "carol"],
         ["dave", "nightly", "prod-eu", None, "dave"],
         ["erin", None, "\u00e9", None, "erin"]]


class Selecting(CliTestCase):
    def statuses(self, *selectors):
        book = make_workbook(self.path("u.xlsx"), {"Login": USERS})
        results = self.path("r.xlsx")
        result = ddtable("run", book, "--bp", "Login", "--id", "UserName", "--output", "Out", "--results", results,
                         *selectors, "--", "echo", "<UserName>")
        self.assertExit(result, 0)
        rows = read_sheet(results, "Login")
        for r in rows:
            if r["RunStatus"] == "not run":
                self.assertEqual(r["RunMessage"], "not chosen for this run")
                self.assertIsNone(r["Out"])
        return [r["UserName"] for r in rows if r["RunStatus"] == "passed"]

    def test_each_selector_alone_and_combined(self):
        self.assertEqual(self.statuses("--rows", "2,4-5"), ["bob", "dave", "erin"])
        self.assertEqual(self.statuses("--where", "Tag=smoke"), ["alice", "carol"])  # a list cell's word
        self.assertEqual(self.statuses("--where", "Tag!=smoke"), ["bob", "dave", "erin"])
        self.assertEqual(self.statuses("--where", "Env=prod*"), ["alice", "bob", "dave"])
        self.assertEqual(self.statuses("--where", "Env=prod*", "--where", "Tag!=slow"), ["alice", "dave"])
        self.assertEqual(self.statuses("--id-in", "erin,bob"), ["bob", "erin"])
        with open(self.path("ids.txt"), "w") as f:
            f.write("carol\n\ndave\n")
        self.assertEqual(self.statuses("--id-in", self.path("ids.txt"), "--rows", "1-3"), ["carol"])
        self.assertEqual(self.statuses("--where", "Tag=none"), [])
        self.assertEqual(self.statuses("--where", "Env=?"), ["erin"])  # one character, two bytes

    def test_bad_selectors_exit_2(self):
        book = make_workbook(self.path("u.xlsx"), {"Login": USERS})
        for args, word in ((["--rows", "3-1"], "--rows"), (["--rows", "x"], "--rows"),
                           (["--where", "Nope=1"], "Nope"), (["--where", "Tag"], "--where"),
                           (["--id", "Nope"], "Nope")):
            result = ddtable("run", book, "--bp", "Login", *args, "--", "true")
            self.assertExit(result, 2)
            self.assertIn(word, result.stderr)


class Names(CliTestCase):
    def test_ids_name_rows_in_the_results_and_junit(self):
        book = make_workbook(self.path("u.xlsx"), {"Login": USERS})
        report = self.path("j.xml")
        result = ddtable("run", book, "--bp", "Login", "--id", "UserName", "--output", "Out", "--results",
                         self.path("r.xlsx"), "--junit", report, "--", "echo", "<UserName>")
        self.assertExit(result, 0)
        schema = etree.XMLSchema(etree.parse(os.path.join(test_cli.HERE, "junit.xsd")))
        tree = etree.parse(report)
        schema.assertValid(tree)
        cases = list(tree.iter("testcase"))
        self.assertEqual([c.get("name") for c in cases], [f"Login[{u[0]}]" for u in USERS[1:]])
        self.assertEqual(cases[0].get("file"), book)
        props = {p.get("name"): p.get("value") for p in cases[2].find("properties")}
        self.assertEqual(props["Tag"], "smoke, nightly")
        self.assertEqual(props["Out"], "carol")
        # The command knows its row's name.
        named = ddtable("run", book, "--bp", "Login", "--id", "UserName", "--results", self.path("e.xlsx"),
                        "--", "sh", "-c", 'echo "$DDTABLE_NAME"')
        self.assertExit(named, 0)
        self.assertEqual(read_sheet(self.path("e.xlsx"), "Login")[1]["Stdout"], "Login[bob]")
        # Without --id, rows are named by iteration.
        ddtable("run", book, "--bp", "Login", "--results", self.path("n.xlsx"), "--", "true")
        self.assertEqual([r["RunName"] for r in read_sheet(self.path("n.xlsx"), "Login")],
                         [f"Login[{n}]" for n in range(1, 6)])

    def test_empty_or_doubled_ids_are_refused_with_their_rows(self):
        doubled = make_workbook(self.path("d.xlsx"), {"P": [["Id"], ["a"], ["b"], ["a"]]})
        result = ddtable("run", doubled, "--bp", "P", "--id", "Id", "--", "true")
        self.assertExit(result, 2)
        self.assertIn("rows 1 and 3 of 'P' have the same Id 'a'", result.stderr)
        empty = make_workbook(self.path("e.xlsx"), {"P": [["Id", "X"], ["a", 1], [None, 2]]})
        result = ddtable("run", empty, "--bp", "P", "--id", "Id", "--", "true")
        self.assertExit(result, 2)
        self.assertIn("row 2 of 'P' has no Id", result.stderr)


class RerunFailed(CliTestCase):
    def test_a_rerun_after_failures_equals_a_clean_run(self):
        book = make_workbook(self.path("u.xlsx"), {"Login": USERS})
        broken = self.path("broken")
        open(broken, "w").close()
        # bob and dave fail while the flag file exists.
        script = f'if [ -e {broken} ] && [ "$1" = bob -o "$1" = dave ]; then echo no; else echo "$1"; fi'
        command = ["--", "sh", "-c", script, "sh", "<UserName>"]
        common = ["run", book, "--bp", "Login", "--id", "UserName", "--output", "Out"]
        first = self.path("first.xlsx")
        self.assertExit(ddtable(*common, "--results", first, *command), 1)
        os.remove(broken)
        again, report = self.path("again.xlsx"), self.path("again.xml")
        log = self.path("log")
        rerun = ddtable(*common, "--results", again, "--rerun-failed", first, "--junit", report,
                        "--", "sh", "-c", f'echo "$1" >> {log}; ' + script, "sh", "<UserName>")
        self.assertExit(rerun, 0)
        with open(log) as f:
            self.assertEqual(f.read().split(), ["bob", "dave"])  # only the rows that failed
        clean = self.path("clean.xlsx")
        self.assertExit(ddtable(*common, "--results", clean, *command), 0)
        skip = ("Duration", "RunAttempts")
        self.assertEqual(workbook_cells(again, skip), workbook_cells(clean, skip))
        self.assertEqual([r["RunAttempts"] for r in read_sheet(again, "Login")], [1, 2, 1, 2, 1])
        cases = [c.get("name") for c in etree.parse(report).iter("testcase")]
        self.assertEqual(len(cases), 5)
        # A results workbook of another input is refused, unless rows are matched by id.
        other = make_workbook(self.path("other.xlsx"), {"Login": USERS + [["frank", None, "x", None, "frank"]]})
        refused = ddtable("run", other, "--bp", "Login", "--output", "Out", "--rerun-failed", first, "--", "true")
        self.assertExit(refused, 2)
        self.assertIn("another input workbook", refused.stderr)
        by_id = ddtable("run", other, "--bp", "Login", "--id", "UserName", "--output", "Out", "--results",
                        self.path("o.xlsx"), "--rerun-failed", first, "--", "echo", "<UserName>")
        self.assertExit(by_id, 0)
        self.assertEqual([r["RunAttempts"] for r in read_sheet(self.path("o.xlsx"), "Login")], [1, 2, 1, 2, 1, 1])


class Shards(CliTestCase):
    SYSTEMS = [
        ({"CI_NODE_INDEX": "2", "CI_NODE_TOTAL": "3"}, "2/3"),
        ({"CIRCLE_NODE_INDEX": "1", "CIRCLE_NODE_TOTAL": "3"}, "2/3"),
        ({"BUILDKITE_PARALLEL_JOB": "0", "BUILDKITE_PARALLEL_JOB_COUNT": "2"}, "1/2"),
        ({"SYSTEM_JOBPOSITIONINPHASE": "3", "SYSTEM_TOTALJOBSINPHASE": "3"}, "3/3"),
        ({"BITBUCKET_PARALLEL_STEP": "1", "BITBUCKET_PARALLEL_STEP_COUNT": "4"}, "2/4"),
        ({"JOB_COMPLETION_INDEX": "0", "DDTABLE_SHARD_TOTAL": "5"}, "1/5"),
    ]
    CI_VARIABLES = {name for env, _ in SYSTEMS for name in env}

    def run_auto(self, env):
        import subprocess
        book = make_workbook(self.path("u.xlsx"), {"Login": USERS})
        clean = {k: v for k, v in os.environ.items() if k not in self.CI_VARIABLES}
        clean.update(env)
        results = self.path("r.xlsx")
        if os.path.exists(results):
            os.remove(results)
        return subprocess.run([test_cli.DDTABLE, "run", book, "--bp", "Login", "--shard", "auto", "--results",
                               results, "--", "true"], capture_output=True, text=True, env=clean, timeout=600), results

    def test_auto_reads_each_ci_system(self):
        for env, shard in self.SYSTEMS:
            result, results = self.run_auto(env)
            self.assertExit(result, 0)
            self.assertEqual(run_info(results)["Shard"], shard, env)
        result, results = self.run_auto({})
        self.assertExit(result, 2)
        self.assertIn("no CI system says", result.stderr)
        self.assertFalse(os.path.exists(results))
        result, _ = self.run_auto({"CI_NODE_INDEX": "4", "CI_NODE_TOTAL": "3"})
        self.assertExit(result, 2)

    def test_durations_split_is_balanced_and_the_same_everywhere(self):
        rows = 60
        book = make_workbook(self.path("d.xlsx"), {"P": [["N"]] + [[n] for n in range(1, rows + 1)]})
        earlier = self.path("earlier.xlsx")
        self.assertExit(ddtable("run", book, "--bp", "P", "--results", earlier, "--", "true"), 0)
        # Skewed durations: a few long rows, many short ones; three rows without a duration.
        costs = {n: (50.0 if n % 17 == 0 else 1.0 + (n % 5)) for n in range(1, rows + 1)}
        book_earlier = openpyxl.load_workbook(earlier)
        sheet = book_earlier["P"]
        header = [c.value for c in sheet[1]]
        col = header.index("Duration") + 1
        for n in range(1, rows + 1):
            sheet.cell(row=n + 1, column=col).value = None if n in (7, 8, 9) else costs[n]
        book_earlier.save(earlier)
        shards = 4
        given = []
        for i in range(1, shards + 1):
            part = self.path(f"s{i}.xlsx")
            self.assertExit(ddtable("run", book, "--bp", "P", "--shard", f"{i}/{shards}", "--split",
                                    f"durations:{earlier}", "--results", part, "--", "true"), 0)
            given.append([int(r["N"]) for r in read_sheet(part, "P") if r["RunStatus"] == "passed"])
        self.assertEqual(sorted(n for g in given for n in g), list(range(1, rows + 1)))
        known = [costs[n] for n in costs if n not in (7, 8, 9)]
        mean = sum(known) / len(known)
        cost = lambda n: mean if n in (7, 8, 9) else costs[n]
        loads = [sum(cost(n) for n in g) for g in given]
        ideal = sum(loads) / shards
        self.assertLessEqual(max(loads), ideal * 1.10, loads)
        merged = self.path("merged.xlsx")
        self.assertExit(ddtable("merge", merged, *[self.path(f"s{i}.xlsx") for i in range(1, shards + 1)]), 0)


class ManyParts(CliTestCase):
    def test_a_hundred_parts_merge_in_input_order(self):
        parts = 100
        book = make_workbook(self.path("m.xlsx"), {"P": [["N", "Out", "Out_exp"]] +
                                                      [[n, None, str(n)] for n in range(1, 2 * parts + 1)]})
        paths = []
        for i in range(1, parts + 1):
            path = self.path(f"p{i}.xlsx")
            self.assertExit(ddtable("-q", "run", book, "--bp", "P", "--output", "Out", "--shard", f"{i}/{parts}",
                                    "--results", path, "--", "echo", "<N>"), 0)
            paths.append(path)
        merged = self.path("merged.xlsx")
        self.assertExit(ddtable("merge", merged, *reversed(paths)), 0)
        rows = read_sheet(merged, "P")
        self.assertEqual([r["Out"] for r in rows], [str(n) for n in range(1, 2 * parts + 1)])
        self.assertEqual(run_info(merged)["Given"], f"1-{2 * parts}")

    def test_long_iteration_lists_survive_the_cell_limit(self):
        # 20,000 rows in two shards: each part's list of iterations ("1,3,5,...") is longer
        # than a cell holds. No command runs (the reference names nothing), so this is quick.
        rows = 20000
        import xlsxwriter
        path = self.path("long.xlsx")
        book = xlsxwriter.Workbook(path)
        sheet = book.add_worksheet("P")
        sheet.write_row(0, 0, ["N"])
        for n in range(1, rows + 1):
            sheet.write_row(n, 0, [n])
        book.close()
        parts = []
        for i in (1, 2):
            part = self.path(f"l{i}.xlsx")
            self.assertExit(ddtable("-q", "run", path, "--bp", "P", "--shard", f"{i}/2", "--results", part,
                                    "--", "true", "<Nope>"), 1)
            given = [int(n) for n in run_info(part)["Given"].split(",")]
            self.assertEqual(given, list(range(i, rows + 1, 2)))
            parts.append(part)
        merged = self.path("lm.xlsx")
        self.assertExit(ddtable("-q", "merge", merged, *parts), 1)
        self.assertEqual(run_info(merged)["Given"], f"1-{rows}")


if __name__ == "__main__":
    test_cli.DDTABLE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
