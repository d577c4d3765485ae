#!/bin/sh
# Installs the build into a fresh prefix and runs the command's end-to-end tests against the
# installed binary (so the install rules and the binary's library lookup are tested too).
#   run_installed.sh CMAKE BUILD_DIR PREFIX PYTHON TEST_SCRIPT
set -eu
cmake=$1 build=$2 prefix=$3 python=$4 tests=$5
rm -rf "$prefix"
"$cmake" --install "$build" --prefix "$prefix" > /dev/null
exec "$python" "$tests" "$prefix/bin/ddtable"
