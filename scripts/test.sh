#!/usr/bin/env bash
# Builds and runs every test: the regular build, the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, and the fuzz targets for a
# short run each. FUZZ_SECONDS (default 30) sets the length of each fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

echo "== regular build"
cmake -S . -B build -G Ninja -DDOVAV_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan -G Ninja -DDOVAV_WERROR=ON -DDOVAV_SANITIZE=ON \
  -DDOVAV_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-asan -j "$jobs"
# Leak detection stays on; tests/lsan.supp is the one place for suppressions
# of the GL driver's own allocations.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== ThreadSanitizer: two threads x two contexts on each back-end"
# gcc's ThreadSanitizer (clang's does not link the shared library here); only
# the dedicated executable is built and run. Mesa's drivers and LLVM are not
# instrumented; tests/tsan.supp drops the reports from inside them.
cmake -S . -B build-tsan -G Ninja -DDOVAV_WERROR=ON -DDOVAV_SANITIZE_THREAD=ON \
  -DDOVAV_BUILD_BENCHMARKS=OFF -DDOVAV_BUILD_TOOLS=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target dovav_thread_tests
TSAN_OPTIONS=halt_on_error=1:exitcode=66:suppressions="$PWD/tests/tsan.supp" \
  build-tsan/tests/dovav_thread_tests

echo "== fuzz targets"
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DDOVAV_BUILD_FUZZERS=ON \
  -DDOVAV_BUILD_TESTS=OFF -DDOVAV_BUILD_TOOLS=OFF -DDOVAV_BUILD_BENCHMARKS=OFF \
  -DDOVAV_WERROR=ON >/dev/null
cmake --build build-fuzz -j "$jobs"
scripts/fuzz.sh build-fuzz "${FUZZ_SECONDS:-30}"
