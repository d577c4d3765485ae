#!/bin/sh
# The layer check finds an upward include (also one in a public header), a public header
# named by an old layer path, a public header without a layer, and an include of the grid
# from above the engine (a layer, a public header, the command or the Python module); it
# passes a tree whose includes all point down and reach the grid only from the engine.
set -eu
checker="$1"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/src/grid" "$tree/src/engine" "$tree/src/table" "$tree/include/ddtable" \
  "$tree/tools/ddtable/tests" "$tree/python/src"
printf '#include "grid/cells.h"\n#include "platform/clock.h"\n#include "text/utf8.h"\n' > "$tree/src/grid/cells.cpp"
printf '#include "grid/cells.h"\n' > "$tree/src/engine/seam.cpp"
printf '#include "engine/seam.h"\n#include "ddtable/dt_if.h"\n' > "$tree/src/table/table.cpp"
printf '#include "ddtable/cdt.h"\n#include "engine/seam.h"\n' > "$tree/tools/ddtable/cli.cpp"
printf '#include "grid/cells.h"\n' > "$tree/tools/ddtable/tests/fixture.cpp"
printf '#include "ddtable/ddtable.h"\n' > "$tree/python/src/module.cpp"
printf '#include "ddtable/version.h"\n' > "$tree/include/ddtable/dt_if.h"
python3 "$checker" "$tree" > "$tree/out" || { echo "a clean tree was refused:"; cat "$tree/out"; exit 1; }

printf '#include "ddtable/row_range.h"\n' >> "$tree/src/grid/cells.cpp"
printf '#pragma once\n' > "$tree/include/ddtable/row_range.h"
printf '#include "table/row_range.h"\n' >> "$tree/src/table/table.cpp"
printf '#include "ddtable/cdt.h"\n' >> "$tree/include/ddtable/dt_if.h"
if python3 "$checker" "$tree" > "$tree/out"; then echo "upward includes were let through"; exit 1; fi
grep -q 'src/grid/cells.cpp:4: grid includes ddtable/row_range.h' "$tree/out"
grep -q 'include/ddtable/dt_if.h:2: engine includes ddtable/cdt.h' "$tree/out"
grep -q 'src/table/table.cpp:3: includes table/row_range.h, a path that is gone; include ddtable/row_range.h' "$tree/out"
test "$(wc -l < "$tree/out")" -eq 3

# Above the engine the grid is out of reach: from a layer, a public header, the command and
# the Python module (a test of the command is no part of it).
printf '#include "grid/cells.h"\n' > "$tree/src/grid/cells.cpp"
printf '#include "ddtable/version.h"\n' > "$tree/include/ddtable/dt_if.h"
printf '#include "engine/seam.h"\n#include "ddtable/dt_if.h"\n' > "$tree/src/table/table.cpp"
python3 "$checker" "$tree" > "$tree/out" || { echo "a clean tree was refused:"; cat "$tree/out"; exit 1; }
printf '#include "grid/workbook.h"\n' >> "$tree/src/table/table.cpp"
printf '#include "grid/limits.h"\n' >> "$tree/include/ddtable/dt_if.h"
printf '#include "grid/value.h"\n' >> "$tree/tools/ddtable/cli.cpp"
printf '#include "grid/sheet.h"\n' >> "$tree/python/src/module.cpp"
if python3 "$checker" "$tree" > "$tree/out"; then echo "grid includes above the engine were let through"; exit 1; fi
grep -q 'src/table/table.cpp:3: includes grid/workbook.h' "$tree/out"
grep -q 'include/ddtable/dt_if.h:2: includes grid/limits.h' "$tree/out"
grep -q 'tools/ddtable/cli.cpp:3: includes grid/value.h' "$tree/out"
grep -q 'python/src/module.cpp:2: includes grid/sheet.h' "$tree/out"
test "$(wc -l < "$tree/out")" -eq 4
sed -i '$d' "$tree/src/table/table.cpp" "$tree/include/ddtable/dt_if.h" "$tree/tools/ddtable/cli.cpp" \
  "$tree/python/src/module.cpp"

# A new public header must be given a layer.
printf '#pragma once\n' > "$tree/include/ddtable/new_thing.h"
if python3 "$checker" "$tree" > "$tree/out" 2>/dev/null; then echo "a header without a layer passed"; exit 1; fi
grep -q 'include/ddtable/new_thing.h: a public header without a layer' "$tree/out"
echo "layer check: ok"
