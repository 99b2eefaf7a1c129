#!/usr/bin/env bash
# The launcher's main job on the bundled demo distribution: builds everything,
# publishes a demo game client, serves it with nginx on 127.0.0.1, points a
# copy of the launcher at it with the stub patch tool, and runs that copy in a
# fresh portable installation folder (the whole client arrives). Then it
# damages two installed files, deletes one, adds a stray one and runs again:
# only the packages that restore them are fetched and the stray file goes.
# Needs no display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh

build=${BUILD_DIR:-build-release}
port=${DEMO_PORT:-8088}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAUNCHER_TESTS=OFF
cmake --build "$build" --target launcher_exe stubpatch publish

run=$root/demo-run
rm -rf "$run"
mkdir -p "$run/server/demo" "$run/game"
# The demo keeps its settings store inside its own folder.
export LAUNCHER_REGISTRY_HKCU="$run/registry/HKCU"
export LAUNCHER_REGISTRY_HKLM="$run/registry/HKLM"
# The launcher takes the environment's proxy; the demo's server is this
# machine, reached directly.
export no_proxy='127.0.0.1,localhost'

echo "== publishing the demo client"
bash scripts/demo/make-client.sh "$run/client"
"$build/tools/publish/publish" scripts/demo/release.txt "$run/client" "$run/server/demo"

echo "== starting nginx on 127.0.0.1:$port"
bash scripts/nginx-serve.sh "$run/nginx" "$run/server" "$port"
trap 'nginx -p "$run/nginx" -c "$run/nginx/nginx.conf" -s stop 2>/dev/null || true' EXIT

echo "== personalising the launcher"
launcher=$run/game/Launcher.exe
cp "$build/Launcher.exe" "$launcher"
"$build/tools/stubpatch/stubpatch" "$launcher" --set "SERVER_URL=http://127.0.0.1:$port" \
  --set UPDATE_PATH=/demo/
# "guest.dat" makes the folder a portable installation: the launcher updates it.
: > "$run/game/guest.dat"

# Runs the launcher in the game folder and prints what it did.
run_launcher() {
  local title=$1 before after start end code log
  before=$(ls "$run/game"/*.Launcher.exe.log 2>/dev/null || true)
  start=$(date +%s.%N)
  set +e
  (cd "$run/game" && ./Launcher.exe)
  code=$?
  set -e
  end=$(date +%s.%N)
  after=$(ls "$run/game"/*.Launcher.exe.log)
  log=$(comm -13 <(echo "$before" | sort) <(echo "$after" | sort) | tail -n 1)
  echo "== $title: exit code $code, log $(basename "$log")"
  tr -d '\r' < "$log" | awk -v seconds="$(echo "$end - $start" | bc)" '
    /^Add task for unpacker: / { name = $5 }
    /^  \.\. from received file/ { fetched = fetched " " name }
    /^  \.\. from tmp file/ { resumed = resumed " " name }
    /^filePartReceived: / { sub(/\)/, "", $NF); bytes += $NF }
    /^bCanRun = |^Finish check thread|^Finish unpack thread|^Launch step reached|Fail/ { print "   " $0 }
    END {
      printf "   packages fetched:%s\n", fetched == "" ? " none" : fetched
      if (resumed != "") printf "   resumed from tmp:%s\n", resumed
      printf "   %.1f MiB received in %.2f s\n", bytes / 1048576, seconds
    }'
}

run_launcher "first run in an empty portable folder"
diff -r -x '*.log' -x Editor "$run/client" "$run/game" | grep -v "^Only in $run/game" || true
echo "   client files installed: $(cd "$run/client" && find . -type f ! -path './Editor/*' | wc -l)," \
  "identical: $(cd "$run/client" && find . -type f ! -path './Editor/*' -exec cmp -s {} "$run/game/{}" \; -print | wc -l)"

echo "== damaging Data/pak03.pak and Data/pak07.pak, deleting Docs/readme.txt, adding Bin/stray.tmp"
printf 'garbage' | dd of="$run/game/Data/pak03.pak" bs=1 seek=1000 conv=notrunc status=none
printf 'garbage' | dd of="$run/game/Data/pak07.pak" bs=1 seek=5000 conv=notrunc status=none
rm "$run/game/Docs/readme.txt"
echo stray > "$run/game/Bin/stray.tmp"

run_launcher "second run: repair"
for file in Data/pak03.pak Data/pak07.pak Docs/readme.txt; do
  cmp -s "$run/client/$file" "$run/game/$file" && echo "   $file restored" || echo "   $file NOT restored"
done
[ -e "$run/game/Bin/stray.tmp" ] && echo "   Bin/stray.tmp still there" || echo "   Bin/stray.tmp removed"
echo "== requests nginx served"
awk '{ print "   " $7, $9, $10 " bytes" }' "$run/nginx/logs/access.log"
