#!/bin/sh
# Fails when the shared library exports a symbol of namespace ddt:: that is not meant to be
# part of its interface. Usage: check_exports.sh libddtable.so allowed-list
#   allowed-list: extended regular expressions, one a line ('#' starts a comment), matched
#   against the demangled name with "vtable for " and similar prefixes removed.
set -eu
lib=$1
allowed=$2
[ -f "$lib" ] || { echo "no library at $lib" >&2; exit 2; }

patterns=$(mktemp)
trap 'rm -f "$patterns"' EXIT
grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$allowed" > "$patterns" || true

names=$(nm -D --defined-only -C "$lib" \
  | sed -e 's/^[0-9a-fA-F]* [A-Za-z] //' \
        -e 's/^\(construction vtable for \|vtable for \|VTT for \|typeinfo name for \|typeinfo for \|guard variable for \|TLS init function for \|TLS wrapper function for \|non-virtual thunk to \|virtual thunk to \|covariant return thunk to \)*//' \
  | grep '^ddt::' || true)

if [ -s "$patterns" ]; then
  unexpected=$(printf '%s\n' "$names" | grep -v -E -f "$patterns" | grep . || true)
else
  unexpected=$names
fi

if [ -n "$unexpected" ]; then
  echo "Symbols of namespace ddt:: exported by $lib but not in $allowed:" >&2
  printf '%s\n' "$unexpected" | sort -u >&2
  exit 1
fi
count=$(printf '%s\n' "$names" | grep -c . || true)
echo "ok: $count exported ddt:: symbols, all intended"
