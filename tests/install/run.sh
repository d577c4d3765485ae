#!/usr/bin/env bash
# Install test: installs the build into a temporary prefix, moves the prefix elsewhere (the
# package must not depend on where it was installed), then checks the installed package the
# way a host application uses it:
#   - every public header of the source tree is installed, and compiles alone as C++17 and
#     C++20 (-Wall -Wextra -pedantic -Werror); the C headers also as C89 and C99;
#   - the SONAME and the pkg-config version follow include/ddtable/version.h;
#   - a C89 host built through pkg-config, and the C++ editor example built through
#     find_package as C++17 and as C++20, run and read back what they wrote.
# Usage: run.sh <build dir> <source dir> [extra compile and link flags, e.g. sanitizers]
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
extra=${3:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/ddtable-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/stage" > "$work/install.log" || {
  cat "$work/install.log" >&2; fail "cmake --install failed"; }
mv "$work/stage" "$work/prefix"
prefix=$work/prefix

# Every public header is installed.
for h in "$src"/include/ddtable/*.h; do
  [ -f "$prefix/include/ddtable/$(basename "$h")" ] || fail "header not installed: $(basename "$h")"
done
# The headers name no header that is not installed.
for h in "$prefix"/include/ddtable/*.h; do
  for inc in $(sed -n 's/^#include "\(.*\)"$/\1/p' "$h"); do
    [ -f "$prefix/include/$inc" ] || fail "$(basename "$h") includes $inc, which is not installed"
  done
done

# Each header alone, with nothing but the installed include folder.
c_headers="ddtable.h platform.h version.h export.h"
for h in "$prefix"/include/ddtable/*.h; do
  name=$(basename "$h")
  for std in c++17 c++20; do
    printf '#include <ddtable/%s>\n' "$name" |
      g++ -std=$std -Wall -Wextra -pedantic -Werror -fsyntax-only -I"$prefix/include" -x c++ - ||
      fail "$name does not compile alone as $std"
  done
  case " $c_headers " in *" $name "*)
    for std in c89 c99; do
      printf '#include <ddtable/%s>\nint main(void) { return 0; }\n' "$name" |
        gcc -std=$std -Wall -Wextra -pedantic -Werror -fsyntax-only -I"$prefix/include" -x c - ||
        fail "$name does not compile as $std"
    done ;;
  esac
done

# Version, SONAME and pkg-config agree with version.h.
version_of() { sed -n "s/^#define DDT_VERSION_$1 \([0-9]*\)$/\1/p" "$prefix/include/ddtable/version.h"; }
major=$(version_of MAJOR); minor=$(version_of MINOR); patch=$(version_of PATCH)
version=$major.$minor.$patch
grep -q "^#define DDT_VERSION_STRING \"$version\"$" "$prefix/include/ddtable/version.h" ||
  fail "DDT_VERSION_STRING does not read $version"
if [ "$major" = 0 ]; then soname=libddtable.so.0.$minor; else soname=libddtable.so.$major; fi
pcfile=$(find "$prefix" -name ddtable.pc | head -n 1)
[ -n "$pcfile" ] || fail "no ddtable.pc installed"
libdir=$(dirname "$(dirname "$pcfile")")
lib=$(readlink -f "$libdir/libddtable.so")
[ -f "$lib" ] || fail "no libddtable.so in $libdir"
dynamic=$(objdump -p "$lib")
grep -q "SONAME *$soname\$" <<< "$dynamic" || fail "SONAME is not $soname"
[ -e "$libdir/$soname" ] || fail "$soname is not installed"

export PKG_CONFIG_PATH=$(dirname "$pcfile")
[ "$(pkg-config --modversion ddtable)" = "$version" ] || fail "pkg-config version is not $version"
cflags=$(pkg-config --cflags ddtable)
incdir=$(pkg-config --variable=includedir ddtable)
[ "$(readlink -f "$incdir")" = "$(readlink -f "$prefix/include")" ] ||
  fail "pkg-config's includedir ($incdir) is not the prefix's include folder"

export LD_LIBRARY_PATH=$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
export DDTABLE_CONFIG_DIR=$work/config
mkdir -p "$work/out" "$DDTABLE_CONFIG_DIR"

# A C89 host through pkg-config.
# shellcheck disable=SC2086
gcc -std=c89 -Wall -Wextra -pedantic -Werror $extra $cflags \
  "$src/tests/install/host/host.c" -o "$work/host_c" $(pkg-config --libs ddtable) ||
  fail "the C89 host does not build"
"$work/host_c" "$work/out" || fail "the C89 host failed"

# The C++ editor example through find_package, as C++17 and C++20.
for std in 17 20; do
  cmake -S "$src/tests/install/host" -B "$work/host$std" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_STANDARD=$std \
    -DCMAKE_CXX_FLAGS="$extra" -DCMAKE_EXE_LINKER_FLAGS="$extra" \
    -DDDT_EXAMPLES_DIR="$src/examples" -DDDT_EXPECTED_VERSION="$version" \
    > "$work/host$std.log" 2>&1 || { cat "$work/host$std.log" >&2; fail "C++$std host: configure failed"; }
  cmake --build "$work/host$std" >> "$work/host$std.log" 2>&1 ||
    { cat "$work/host$std.log" >&2; fail "C++$std host: build failed"; }
  grep -rq -- "-std=c++$std" "$work/host$std/build.ninja" "$work/host$std/CMakeFiles" ||
    fail "C++$std host was not compiled as C++$std"
  "$work/host$std/example_editor" "$work/out/editor$std.xlsx" || fail "C++$std host failed"
done

echo "install test: ok"
