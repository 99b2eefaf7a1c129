#!/usr/bin/env bash
# Builds the launcher and runs its main job on the bundled default
# distribution in a fresh folder, then shows what it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

build=${BUILD_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAUNCHER_TESTS=OFF
cmake --build "$build" --target launcher_exe stubpatch

run=$PWD/demo-run
rm -rf "$run"
mkdir -p "$run/game"
cp "$build/Launcher.exe" "$run/game/"
# The demo keeps its settings store inside its own folder.
export LAUNCHER_REGISTRY_HKCU="$run/registry/HKCU"
export LAUNCHER_REGISTRY_HKLM="$run/registry/HKLM"

echo "== stub fields of the copy"
"$build/tools/stubpatch/stubpatch" "$run/game/Launcher.exe"

echo "== running Launcher.exe in $run/game"
set +e
( cd "$run/game" && ./Launcher.exe )
code=$?
set -e
echo "== exit code: $code"
for log in "$run"/game/*.log; do
  [ -e "$log" ] || continue
  echo "== $log"
  cat "$log"
done

echo "== Launcher.exe /crc"
( cd "$run/game" && ./Launcher.exe /crc )
echo "crc.txt: $(cat "$run/game/crc.txt")"
