#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own, or reaches past the
engine into the grid.

The library's layers, bottom to top, are listed in LAYERS. A file in src/<layer>/ may include
headers of its own layer and of the layers below it, and names a public header by its own
path (ddtable/cdt.h, not an old layer path such as table/cdt.h); the public headers in include/ddtable/
belong to the layer that implements them (PUBLIC_HEADERS). The engine is the one seam to the
grid: the layers above it (ABOVE_ENGINE), the public headers and the front ends (FRONT_ENDS:
the command and the Python module) include no grid/ header. Prints every refused include as
file:line and exits 1 when there is one.
"""
import pathlib
import re
import sys

LAYERS = ["text", "platform", "grid", "engine", "table", "input", "results", "manager"]

# Public headers by the layer whose classes or functions they declare. version.h and export.h
# are plain macros every layer may use.
PUBLIC_HEADERS = {
    "version.h": "text", "export.h": "text", "platform.h": "platform",
    "window.h": "platform", "critical_section.h": "platform",
    "dt_if.h": "engine", "dt_grid.h": "engine", "dt_f1.h": "engine", "dt_qx.h": "engine", "dt_notify.h": "engine",
    "cdt.h": "table", "row_range.h": "table",
    "cddt_input.h": "input", "cddt_results.h": "results", "substitute_callback.h": "results",
    "param_name.h": "results", "row_filter.h": "results",
    "prm.h": "manager", "ddtable.h": "manager",
}

# Layers that reach the grid only through the engine (CDT_IF and engine headers).
ABOVE_ENGINE = ["table", "input", "results", "manager"]
# Folders of the front ends, which use the library like any of its callers.
FRONT_ENDS = ["tools", "python/src"]

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def layer_of_include(path: str):
    first, _, rest = path.partition("/")
    if first == "ddtable":
        return PUBLIC_HEADERS.get(rest)
    if first in LAYERS:
        return first
    return None


def retired_path(path: str, src: pathlib.Path, public: pathlib.Path):
    """The public header an include names by a layer path that no longer exists
    (table/cdt.h for ddtable/cdt.h), or None."""
    first, _, rest = path.partition("/")
    if first in LAYERS and not (src / path).exists() and (public / pathlib.Path(rest).name).exists():
        return "ddtable/" + pathlib.Path(rest).name
    return None


def main(root: pathlib.Path) -> int:
    src = root / "src"
    public = root / "include" / "ddtable"
    rank = {name: i for i, name in enumerate(LAYERS)}
    problems = [f"include/ddtable/{p.name}: a public header without a layer (add it to "
                f"PUBLIC_HEADERS in {pathlib.Path(__file__).name})"
                for p in sorted((root / "include" / "ddtable").glob("*.h"))
                if p.name not in PUBLIC_HEADERS]
    files = [(p, p.relative_to(src).parts[0]) for p in src.rglob("*")
             if p.suffix in (".h", ".cpp") and p.relative_to(src).parts[0] in rank]
    files += [(p, PUBLIC_HEADERS[p.name]) for p in (root / "include" / "ddtable").glob("*.h")
              if p.name in PUBLIC_HEADERS]
    # Who may not include the grid: the layers above the engine, the public headers and the
    # front ends (which have no layer of their own).
    no_grid = {path for path, own in files
               if own in ABOVE_ENGINE or path.parent == root / "include" / "ddtable"}
    for folder in FRONT_ENDS:
        for path in sorted((root / folder).rglob("*")) if (root / folder).is_dir() else []:
            if path.suffix in (".h", ".cpp") and "tests" not in path.relative_to(root).parts:
                no_grid.add(path)
                files.append((path, None))
    for path, own in files:
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            instead = retired_path(match.group(1), src, public)
            if instead is not None:
                problems.append(f"{path.relative_to(root)}:{number}: includes {match.group(1)}, "
                                f"a path that is gone; include {instead}")
                continue
            target = layer_of_include(match.group(1))
            if target == "grid" and path in no_grid:
                problems.append(f"{path.relative_to(root)}:{number}: includes {match.group(1)}; "
                                f"above the engine the grid is reached through CDT_IF and "
                                f"engine headers")
                continue
            if own is None:
                continue
            if target is not None and rank[target] > rank[own]:
                problems.append(f"{path.relative_to(root)}:{number}: {own} includes "
                                f"{match.group(1)} ({target} is above {own})")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) run upward or past the engine; layers bottom to top: "
              + " < ".join(LAYERS), file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()))
