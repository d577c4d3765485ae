#!/usr/bin/python3
"""Seeds and dictionary of the formula fuzz target, from the function registry and the
formula vectors of the tests, so that the fuzzer starts with a call of every function.

    fuzz/gen-formula-seeds.py        (from anywhere; rewrites fuzz/corpus/formula/fn_* and
                                      fuzz/formula.dict)

For each registered function: the shortest and the longest vector formula calling it (one
when they are the same), a file fn_<NAME>[_2] each. Every registered name goes into the
dictionary as "NAME(" so that mutations insert calls, not just letters.
"""
import glob
import os
import re

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SEEDS = os.path.join(ROOT, "fuzz", "corpus", "formula")
EXTRA_TOKENS = ["A1:C10", "$A$1", "A:A", "1:1", "Data!", "'My Sheet'!", "#N/A", "#REF!",
                "#DIV/0!", "#VALUE!", "TRUE", "\"\"", "{1,2;3,4}", "1E+308", "-1E-308", "%", "&",
                "<>", ">="]
VECTORS = ["tests/grid/formula/data/fn_vectors.tsv", "tests/grid/formula/data/core_vectors.tsv"]


def registered_names():
    names = set()
    for path in glob.glob(os.path.join(ROOT, "src/grid/formula/*.cpp")):
        with open(path, encoding="utf-8") as f:
            names.update(re.findall(r'\.Add\(\{"([A-Z0-9._]+)"', f.read()))
    return sorted(names)


def vector_formulas():
    out = []
    for rel in VECTORS:
        with open(os.path.join(ROOT, rel), encoding="utf-8") as f:
            for line in f:
                fields = line.rstrip("\n").split("\t")
                if not line.startswith("#") and len(fields) > 1:
                    out.append(fields[1])
    return out


def main():
    names = registered_names()
    formulas = vector_formulas()
    for old in glob.glob(os.path.join(SEEDS, "fn_*")):
        os.remove(old)
    uncovered = []
    for name in names:
        call = re.compile(r"(?<![A-Za-z0-9._])" + re.escape(name) + r"\(", re.IGNORECASE)
        calling = sorted({f for f in formulas if call.search(f)}, key=lambda f: (len(f), f))
        if not calling:
            uncovered.append(name)
            continue
        picks = [calling[0]] if len(calling) == 1 else [calling[0], calling[-1]]
        for i, formula in enumerate(picks):
            suffix = "" if i == 0 else "_2"
            with open(os.path.join(SEEDS, f"fn_{name}{suffix}"), "w", encoding="utf-8") as f:
                f.write(formula)
    with open(os.path.join(ROOT, "fuzz", "formula.dict"), "w", encoding="utf-8") as f:
        f.write("# Function names of the formula registry (fuzz/gen-formula-seeds.py).\n")
        for name in names:
            f.write(f'"{name}("\n')
        # References, sheet names and literals the fuzz target's workbook has.
        for token in EXTRA_TOKENS:
            f.write('"' + token.replace("\\", "\\\\").replace('"', '\\"') + '"\n')
    if uncovered:
        print("no vector calls:", " ".join(uncovered))
    print(f"{len(names)} functions")


if __name__ == "__main__":
    main()
