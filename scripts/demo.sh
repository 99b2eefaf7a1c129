#!/usr/bin/env bash
# Builds the launcher and runs its main job on the bundled default
# distribution in a fresh folder, then shows what it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

build=${BUILD_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAUNCHER_TESTS=OFF
cmake --build "$build" --target launcher_exe

run=demo-run
rm -rf "$run"
mkdir -p "$run"
cp "$build/Launcher.exe" "$run/"

echo "== running $run/Launcher.exe"
set +e
( cd "$run" && ./Launcher.exe )
code=$?
set -e
echo "== exit code: $code"
for log in "$run"/*.log; do
  [ -e "$log" ] || continue
  echo "== $log"
  cat "$log"
done
