#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors under
# AddressSanitizer and UndefinedBehaviorSanitizer with GCC, the program and
# the fuzz targets with Clang, and the program optimised with GCC (with the
# two tests that only run without a sanitizer); runs each fuzz target of the
# Clang build briefly, then runs every test. Last, the Windows program is
# cross-built for x86_64 and i686 and the x86_64 tests run under Wine
# (scripts/test-windows.sh; LAUNCHER_SKIP_WINDOWS=1 leaves that out).
# The sanitizer builds carry line tables only (-g1): backtraces keep their
# files and lines, and the builds, links and the launcher's checks of its own
# executable in the end-to-end tests take much less time than with full
# debugging information.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

build=${BUILD_DIR:-build-test}
CC=gcc CXX=g++ cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
  -DLAUNCHER_WERROR=ON \
  -DLAUNCHER_SANITIZE=ON
cmake --build "$build"

# An optimised GCC build: the optimiser finds warnings a debug build does not.
release_build=${RELEASE_BUILD_DIR:-build-release-check}
CC=gcc CXX=g++ cmake -S . -B "$release_build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DLAUNCHER_WERROR=ON
cmake --build "$release_build" --target launcher_exe publish stubpatch platform_tests config_tests

# Clang: the whole tree must build warning-free too; the fuzz targets come
# with it.
fuzz_build=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$fuzz_build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
  -DLAUNCHER_WERROR=ON \
  -DLAUNCHER_SANITIZE=ON \
  -DLAUNCHER_FUZZ=ON \
  -DLAUNCHER_TESTS=OFF
cmake --build "$fuzz_build" --target launcher_exe publish stubpatch fuzzers
fuzz_seconds=${FUZZ_SECONDS:-10}
# The sanitizer's allocator refuses single allocations past 300 MiB: in these
# builds it stands in for the launcher's own cap on the RAR decoder.
fuzz_asan_options="$ASAN_OPTIONS:allocator_may_return_null=1:max_allocation_size_mb=300"
for fuzzer in "$fuzz_build"/fuzz/*_fuzz; do
  [ -x "$fuzzer" ] || continue
  corpus=$(mktemp -d)
  seeds="fuzz/seeds/$(basename "$fuzzer")"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  echo "== $(basename "$fuzzer") for ${fuzz_seconds}s"
  ASAN_OPTIONS="$fuzz_asan_options" "$fuzzer" -max_total_time="$fuzz_seconds" \
    -rss_limit_mb=2048 "$corpus" 2>&1 | tail -n 3
  rm -rf "$corpus"
done
echo "fuzzing: no crash"

ctest --test-dir "$build" --output-on-failure -j2
# The allocation cap is the C library allocator's, absent under the
# sanitizers: its tests run in the optimised tree.
ctest --test-dir "$release_build" --output-on-failure -R 'AllocationCap|RarArchive\.'

if [ -z "${LAUNCHER_SKIP_WINDOWS:-}" ]; then
  bash scripts/test-windows.sh "$release_build"
fi
