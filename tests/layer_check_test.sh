#!/bin/sh
# The layer check finds an upward include (also one in a public header), a public header
# named by an old layer path, and a public header without a layer, and passes a tree whose includes all
# point down.
set -eu
checker="$1"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/src/grid" "$tree/src/table" "$tree/include/ddtable"
printf '#include "grid/cells.h"\n#include "platform/clock.h"\n#include "text/utf8.h"\n' > "$tree/src/grid/cells.cpp"
printf '#include "grid/cells.h"\n#include "ddtable/dt_if.h"\n' > "$tree/src/table/table.cpp"
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

# A new public header must be given a layer.
printf '#pragma once\n' > "$tree/include/ddtable/new_thing.h"
if python3 "$checker" "$tree" > "$tree/out" 2>/dev/null; then echo "a header without a layer passed"; exit 1; fi
grep -q 'include/ddtable/new_thing.h: a public header without a layer' "$tree/out"
echo "layer check: ok"
