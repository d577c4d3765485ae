# Entry points. Each target installs what the build needs (scripts/install-deps) first.
#   make run    release build, then the example data-driven run
#   make test   build with AddressSanitizer + UndefinedBehaviorSanitizer, run every test
#               (line-table debug information, unity-built tests, lld: docs/build_times.md)
#   make bench  release build of the benchmarks (run them from build/release/bench)
#   make docs   API documentation of the public headers (build/docs/html/index.html)
#   make python release build, then installs the Python package for /usr/bin/python3
JOBS ?= $(shell nproc)
CMAKE_GEN = -G Ninja

.PHONY: all deps run test bench release asan fuzz fuzz-build fuzz-smoke docs clean python

all: release

deps:
	@scripts/install-deps

release: deps
	cmake -S . -B build/release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DDDT_BUILD_TESTS=OFF
	cmake --build build/release -j $(JOBS)

asan: deps
	cmake -S . -B build/asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DDDT_SANITIZE=ON -DDDT_WERROR=ON \
	  -DCMAKE_CXX_FLAGS="-O1" -DDDT_LINE_TABLES_ONLY=ON
	cmake --build build/asan -j $(JOBS)

test: asan
	cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

run: release
	@scripts/run-example build/release
	@scripts/run-cli-example build/release

python: release
	@scripts/install-python build/release/python

bench: deps
	cmake -S . -B build/bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DDDT_BUILD_TESTS=OFF -DDDT_BUILD_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	@echo "Benchmarks built in build/bench/bench; run e.g. build/bench/bench/bench_grid"

# Fuzz targets: libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer (clang).
#   make fuzz        runs each target FUZZ_SECONDS (default 60), keeping what it finds in build/fuzz-corpus
#   make fuzz-smoke  a fixed number of runs per target from a fixed seed (CI; a finding fails it)
FUZZ_SECONDS ?= 60
fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B build/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Fuzz \
	  -DCMAKE_C_FLAGS="-O1 -gline-tables-only" -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" \
	  -DDDT_BUILD_TESTS=OFF -DDDT_BUILD_FUZZ=ON -DDDT_BUILD_EXAMPLES=OFF
	cmake --build build/fuzz -j $(JOBS) --target fuzzers

fuzz: fuzz-build
	fuzz/run.sh build/fuzz $(FUZZ_SECONDS)

fuzz-smoke: fuzz-build
	fuzz/run.sh build/fuzz smoke

# Doxygen from Debian; the version shown is the one in include/ddtable/version.h.
docs:
	@scripts/install-deps --docs
	@mkdir -p build/docs
	DDT_VERSION=$$(sed -n 's/^\#define DDT_VERSION_STRING "\(.*\)"$$/\1/p' include/ddtable/version.h) \
	  doxygen docs/Doxyfile
	@if [ -s build/docs/warnings.log ]; then cat build/docs/warnings.log; fi
	@echo "API documentation: build/docs/html/index.html"

clean:
	rm -rf build
