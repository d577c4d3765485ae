#!/usr/bin/python3
"""End-to-end tests of what makes a run's verdict trustworthy: references that name nothing,
expected values with references, output files, outputs as printed, locked results files,
failures reported as they happen, merges that know the whole run, and `check`'s warnings.

    test_run_verdicts.py PATH/TO/ddtable [unittest arguments]
"""
import os
import subprocess
import sys
import unittest

import openpyxl
from lxml import etree

import test_cli
from test_cli import CliTestCase, ddtable, make_workbook, read_sheet, run_info


class References(CliTestCase):
    def test_expected_values_have_their_references_substituted(self):
        book = make_workbook(self.path("g.xlsx"), {
            "Login": [["UserName", "Greeting_out", "Greeting_exp"],
                      ["alice", None, "Welcome, <UserName>!"],
                      ["a*b", None, "Welcome, <UserName>!"],     # the value is taken literally
                      ["bob", None, "Welcome, <UsrName>!"]],    # misspelt: an error, not a failure
        })
        results = self.path("r.xlsx")
        command = ["sh", "-c", 'if [ "$1" = "a*b" ]; then echo "Welcome, aXb!"; else echo "Welcome, $1!"; fi',
                   "sh", "<UserName>"]
        result = ddtable("run", book, "--bp", "Login", "--output", "Greeting_out", "--results", results,
                         "--", *command)
        self.assertExit(result, 1)
        rows = read_sheet(results, "Login")
        self.assertEqual([r["RunStatus"] for r in rows], ["passed", "failed", "error"])
        self.assertIn("<UsrName> names no parameter", rows[2]["RunMessage"])
        self.assertEqual(rows[2]["Greeting_out"], "Welcome, bob!")  # the output is still recorded

        # --expect holding references; one that names nothing makes every row an error.
        ok = ddtable("run", book, "--bp", "Login", "--output", "Greeting_out", "--expect", "Welcome, <UserName>!",
                     "--results", results, "--", "sh", "-c", 'echo "Welcome, $1!"', "sh", "<UserName>")
        self.assertExit(ok, 0)
        bad = ddtable("run", book, "--bp", "Login", "--output", "Greeting_out", "--expect", "v=<A>",
                      "--results", results, "--", "echo", "v=1")
        self.assertExit(bad, 1)
        self.assertTrue(all(r["RunStatus"] == "error" and "--expect: <A> names no parameter" in r["RunMessage"]
                            for r in read_sheet(results, "Login")))

    def test_unresolved_references_anywhere_make_rows_errors(self):
        book = make_workbook(self.path("u.xlsx"), {"P": [["A", "Out"], ["x", None], ["y", None]]})
        results = self.path("r.xlsx")
        marker = self.path("ran")
        for args in (["--env", "V=<Nope>", "--", "sh", "-c", f"touch {marker}"],
                     ["--output", "Out", "--output-file", self.path("<Nope>.txt"), "--", "touch", marker],
                     ["--", "touch", marker, "<A::B>"]):
            result = ddtable("run", book, "--bp", "P", "--results", results, *args)
            self.assertExit(result, 1)
            self.assertTrue(all(r["RunStatus"] == "error" for r in read_sheet(results, "P")), args)
            self.assertFalse(os.path.exists(marker), args)  # no command ran

    def test_each_reads_the_childs_parameter_first(self):
        book = make_workbook(self.path("o.xlsx"), {
            "Order": [["Qty", "Customer"], [100, "ann"]],
            "Order.Items": [["Qty", "Total_out", "Total_exp"], [2, None, "ann:2"], [3, None, "ann:3"],
                            [".End", None, None]],
        })
        results = self.path("r.xlsx")
        result = ddtable("run", book, "--bp", "Order", "--each", "Items", "--output", "Total_out",
                         "--results", results, "--", "echo", "<Customer>:<Qty>")
        self.assertExit(result, 0)
        self.assertEqual([r["Total_out"] for r in read_sheet(results, "Order.Items")[:2]], ["ann:2", "ann:3"])
        check = ddtable("check", book)
        self.assertExit(check, 0)  # a note, not a fault
        self.assertIn("note: parameter 'Qty' is in 'Order' too", check.stdout)


class OutputsAndFiles(CliTestCase):
    def test_outputs_are_saved_as_printed(self):
        printed = ["0.5", "10.5", "1.50", "1e3", "007", "4111111111111111", "-0", "1/2", "TRUE"]
        book = make_workbook(self.path("o.xlsx"), {"P": [["V", "Out", "Out_exp"]] + [[v, None, v] for v in printed]})
        results = self.path("r.xlsx")
        result = ddtable("run", book, "--bp", "P", "--output", "Out", "--results", results,
                         "--", "printf", "%s\\n", "<V>")
        self.assertExit(result, 0)
        sheet = openpyxl.load_workbook(results)["P"]
        header = [c.value for c in sheet[1]]
        out, duration, status = header.index("Out") + 1, header.index("Duration") + 1, header.index("ExitStatus") + 1
        for n, text in enumerate(printed, 2):
            cell = sheet.cell(row=n, column=out)
            self.assertEqual((cell.value, cell.data_type), (text, "s"), text)
            self.assertIsInstance(sheet.cell(row=n, column=duration).value, (int, float))
            self.assertEqual(sheet.cell(row=n, column=status).value, 0)

    def test_an_output_file_is_this_rows(self):
        book = make_workbook(self.path("f.xlsx"), {"P": [["U", "Out", "Out_exp"], ["ann", None, "hi"],
                                                          ["bob", None, "hi"]]})
        os.makedirs(self.path("out"))
        with open(self.path("out/bob.txt"), "w") as f:
            f.write("hi\n")  # left by an earlier run
        results = self.path("r.xlsx")
        result = ddtable("run", book, "--bp", "P", "--output", "Out", "--output-file", self.path("out/<U>.txt"),
                         "--results", results, "--", "sh", "-c", '[ "$1" = ann ] && echo hi > "$2"; true', "sh",
                         "<U>", self.path("out/<U>.txt"))
        self.assertExit(result, 1)
        rows = read_sheet(results, "P")
        self.assertEqual([r["RunStatus"] for r in rows], ["passed", "error"])
        self.assertIn("wrote no output file", rows[1]["RunMessage"])
        self.assertFalse(os.path.exists(self.path("out/bob.txt")))


class ResultsFiles(CliTestCase):
    def test_a_locked_results_file_is_found_before_the_first_row(self):
        book = make_workbook(self.path("l.xlsx"), {"P": [["A"], ["x"]]})
        marker = self.path("ran")
        for lock in (".~lock.r.xlsx#", "~$r.xlsx"):
            with open(self.path(lock), "w") as f:
                f.write("someone,host\n")
            result = ddtable("run", book, "--bp", "P", "--results", self.path("r.xlsx"), "--", "touch", marker)
            self.assertExit(result, 2)
            self.assertIn("is open in another program", result.stderr)
            self.assertIn(lock, result.stderr)
            self.assertFalse(os.path.exists(marker))
            os.remove(self.path(lock))

    def test_a_file_locked_during_the_run_is_written_beside_it(self):
        book = make_workbook(self.path("l.xlsx"), {"P": [["A"], ["x"], ["y"]]})
        results, report = self.path("r.xlsx"), self.path("r.xml")
        lock = self.path(".~lock.r.xlsx#")
        result = ddtable("run", book, "--bp", "P", "--results", results, "--junit", report,
                         "--", "sh", "-c", f'touch "{lock}"; echo "$1"', "sh", "<A>")
        self.assertExit(result, 0)
        self.assertIn(f"the results go to {self.path('r-1.xlsx')} instead", result.stderr)
        self.assertFalse(os.path.exists(results))
        self.assertEqual([r["Stdout"] for r in read_sheet(self.path("r-1.xlsx"), "P")], ["x", "y"])
        self.assertEqual(etree.parse(report).find("testsuite").get("tests"), "2")


class Reporting(CliTestCase):
    def test_a_failure_is_printed_as_it_happens(self):
        # Row 2 fails; row 3 waits until the test has seen row 2's failure on standard error.
        go = self.path("go")
        book = make_workbook(self.path("p.xlsx"), {"P": [["A", "Out", "Out_exp"], ["1", None, "1"],
                                                          ["2", None, "two"], ["3", None, "3"]]})
        script = (f'[ "$1" = 3 ] && {{ n=0; while [ ! -e {go} ] && [ $n -lt 6000 ]; do sleep 0.05; n=$((n+1)); done; }};'
                  ' echo "$1"')
        with subprocess.Popen([test_cli.DDTABLE, "run", book, "--bp", "P", "--output", "Out", "--",
                               "sh", "-c", script, "sh", "<A>"], stderr=subprocess.PIPE, text=True) as proc:
            first = proc.stderr.readline()
            open(go, "w").close()
            rest = proc.stderr.read()
            proc.wait(timeout=600)
        self.assertEqual(proc.returncode, 1)
        self.assertIn("P row 2: failed: Out was '2', expected 'two'", first)
        self.assertIn("1 failed", rest)
        quiet = ddtable("-q", "run", book, "--bp", "P", "--output", "Out", "--", "echo", "<A>")
        self.assertExit(quiet, 1)
        self.assertEqual(quiet.stderr, "")


class Merging(CliTestCase):
    def parts(self, count=3):
        book = make_workbook(self.path("m.xlsx"), {"P": [["N", "Out", "Out_exp"]] +
                                                      [[n, None, str(n)] for n in range(1, 10)]})
        paths = []
        for i in range(1, count + 1):
            part = self.path(f"p{i}.xlsx")
            self.assertExit(ddtable("run", book, "--bp", "P", "--output", "Out", "--shard", f"{i}/{count}",
                                    "--results", part, "--", "echo", "<N>"), 0)
            paths.append(part)
        return book, paths

    def test_a_missing_doubled_or_foreign_part_is_refused(self):
        book, (p1, p2, p3) = self.parts()
        merged = self.path("merged.xlsx")
        missing = ddtable("merge", merged, p2, p3, "--junit", self.path("j.xml"))
        self.assertExit(missing, 2)
        self.assertIn("shard 1/3 missing", missing.stderr)
        self.assertFalse(os.path.exists(merged))
        self.assertFalse(os.path.exists(self.path("j.xml")))
        doubled = ddtable("merge", merged, p1, p2, p2, p3)
        self.assertExit(doubled, 2)
        self.assertIn("shard 2/3 is given twice", doubled.stderr)
        other = make_workbook(self.path("other.xlsx"), {"P": [["N", "Out", "Out_exp"], [1, None, "1"]]})
        foreign = self.path("foreign.xlsx")
        ddtable("run", other, "--bp", "P", "--output", "Out", "--shard", "1/3", "--results", foreign, "--", "echo", "1")
        refused = ddtable("merge", merged, foreign, p2, p3)
        self.assertExit(refused, 2)
        self.assertIn("not a part of the same run", refused.stderr)

    def test_allow_partial_marks_the_missing_rows_not_run(self):
        book, (p1, p2, p3) = self.parts()
        merged, report = self.path("merged.xlsx"), self.path("j.xml")
        result = ddtable("merge", merged, p2, p3, "--allow-partial", "--junit", report)
        self.assertExit(result, 1)
        rows = read_sheet(merged, "P")
        self.assertEqual([r["RunStatus"] for r in rows],
                         ["not run" if n % 3 == 1 else "passed" for n in range(1, 10)])
        self.assertEqual(run_info(merged)["Outcome"], "parts missing")
        whole = ddtable("merge", merged, p3, p1, p2, "--report", self.path("merged.html"))
        self.assertExit(whole, 0)
        with open(self.path("merged.html")) as f:
            page = f.read()
        self.assertTrue(all(f"P[{n}]" in page for n in range(1, 10)))  # every row of every part
        self.assertEqual(run_info(merged)["Given"], "1-9")
        # Numbers stay numbers and outputs text, from every part.
        sheet = openpyxl.load_workbook(merged)["P"]
        header = [c.value for c in sheet[1]]
        for n in range(2, 11):
            self.assertIsInstance(sheet.cell(row=n, column=header.index("Duration") + 1).value, (int, float))
            self.assertEqual(sheet.cell(row=n, column=header.index("Out") + 1).data_type, "s")


class Checking(CliTestCase):
    def test_blank_rows_and_child_references(self):
        book = make_workbook(self.path("c.xlsx"), {
            "P": [["A", "B"], ["x", "<A>"], [None, None], [None, None], ["   ", None]],
            "P.T": [["C", "D"], ["1", "<C> <A> <Nope>"], [".End", None]],
        })
        result = ddtable("check", book)
        self.assertExit(result, 1)
        self.assertIn("P!A5: rows 2 to 4 hold nothing but blanks", result.stdout)
        self.assertIn("P.T!B2: reference <Nope> names no parameter", result.stdout)
        self.assertNotIn("<C> names", result.stdout)
        self.assertNotIn("<A> names", result.stdout)


if __name__ == "__main__":
    test_cli.DDTABLE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
