#!/usr/bin/env bash
# Builds the Windows program with mingw-w64 for x86_64 (with its tests) and
# i686 (the program, that is every library: it must compile and link
# warning-free; Wine here cannot run 32-bit programs),
# then runs the x86_64 tests under wine64 with Wine's null display driver.
# Each test binary runs whole and is judged from its GoogleTest XML report:
# the report must exist, count more than zero tests and no failure. Wine's
# exit codes alone are not trusted (a binary Wine cannot run may exit 0).
#
# Usage: test-windows.sh [native build folder]
# The cross builds run the archive packer, the language compiler and the
# theme generator of a native build of this tree (default
# build-release-check, as scripts/test.sh leaves it); they are built there
# when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

host=${1:-${LAUNCHER_HOST_TOOLS:-build-release-check}}
# How long each step took, for the time the Windows step adds to CI.
phase_start=$(date +%s)
phase_done() {
  local now
  now=$(date +%s)
  echo "== Windows step: $1 in $((now - phase_start)) s"
  phase_start=$now
}
bash scripts/setup-windows.sh
phase_done "toolchain, Wine and dependencies"
if [ ! -f "$host/CMakeCache.txt" ]; then
  CC=gcc CXX=g++ cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$host" --target rarpack lsocompile themegen
host=$(cd "$host" && pwd)

# Unoptimised and without debugging information: nothing reads it under
# Wine (a crash ends the test binary, no debugger attaches), and the test
# trees build faster without it.
configure() {
  local arch=$1 dir=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG=-g0 -DCMAKE_CXX_FLAGS_DEBUG=-g0 \
    -DLAUNCHER_WERROR=ON -DLAUNCHER_HOST_TOOLS="$host" "$@" >/dev/null
}

win64=${WIN64_BUILD_DIR:-build-win-x86_64}
win32=${WIN32_BUILD_DIR:-build-win-i686}
configure x86_64 "$win64"
cmake --build "$win64"
phase_done "x86_64 build with tests"
# 32-bit: the program (every library of src/) must compile and link.
configure i686 "$win32" -DLAUNCHER_TESTS=OFF
cmake --build "$win32" --target launcher_exe
phase_done "i686 program"

# A Wine prefix of the build's own, with the null display driver: windows
# exist and take messages, nothing is shown. One persistent wineserver,
# warmed up before the first test, serves every binary. Debian's wine64
# package keeps its programs in /usr/lib/wine.
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver64 || echo /usr/lib/wine/wineserver64)
export WINEPREFIX=${WINEPREFIX:-$root/$win64/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINESERVER=$wineserver
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine64" wineboot -i >/dev/null 2>&1 || true
  "$wine64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # A crash ends the process instead of waiting in Wine's debugger.
  "$wine64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Auto /d 1 /f >/dev/null 2>&1
  "$wine64" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
    /v Debugger /f >/dev/null 2>&1 || true
  "$wineserver" -k || true
fi
"$wineserver" -p
"$wine64" cmd /c exit >/dev/null 2>&1 || true
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

reports="$root/$win64/test-reports"
rm -rf "$reports"
mkdir -p "$reports"
failed=()
total=0
# Cases left out under Wine, each with its reason, are listed in
# tests/wine-skips.txt ("binary Suite.Case reason..."; "binary * reason"
# leaves the whole binary out).
skips_of() {
  awk -v bin="$1" '$1 == bin && $2 != "*" { printf "%s%s", sep, $2; sep = ":" }' tests/wine-skips.txt
}
left_out=()
for exe in "$win64"/tests/*/*_tests.exe; do
  name=$(basename "$exe" .exe)
  if awk -v bin="$name" '$1 == bin && $2 == "*" { found = 1 } END { exit !found }' \
    tests/wine-skips.txt; then
    left_out+=("$name")
    continue
  fi
  xml="$reports/$name.xml"
  filter=()
  skips=$(skips_of "$name")
  [ -n "$skips" ] && filter=(--gtest_filter="-$skips")
  start=$(date +%s)
  timeout 900 "$wine64" "$exe" "${filter[@]}" --gtest_output="xml:Z:$xml" \
    >"$reports/$name.log" 2>&1 || true
  seconds=$(($(date +%s) - start))
  if [ ! -s "$xml" ]; then
    echo "$name: no report (${seconds}s); the end of its output:"
    tail -n 20 "$reports/$name.log"
    failed+=("$name")
    continue
  fi
  tests=$(grep -o -m1 '<testsuites tests="[0-9]*"' "$xml" | grep -o '[0-9]*' || echo 0)
  failures=$(grep -o -m1 '<testsuites [^>]*failures="[0-9]*"' "$xml" | grep -o 'failures="[0-9]*"' | grep -o '[0-9]*' || echo 0)
  errors=$(grep -o -m1 '<testsuites [^>]*errors="[0-9]*"' "$xml" | grep -o 'errors="[0-9]*"' | grep -o '[0-9]*' || echo 0)
  echo "$name: $tests tests, $failures failures, $errors errors (${seconds}s)"
  total=$((total + tests))
  if [ "$tests" -eq 0 ] || [ "$failures" -ne 0 ] || [ "$errors" -ne 0 ]; then
    grep -B1 -A6 '<failure' "$xml" | head -n 60 || true
    failed+=("$name")
  fi
done
phase_done "Wine prefix and test runs"
echo "Windows tests under Wine: $total tests in all"
[ ${#left_out[@]} -gt 0 ] && echo "left out under Wine (tests/wine-skips.txt): ${left_out[*]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}"
  exit 1
fi
