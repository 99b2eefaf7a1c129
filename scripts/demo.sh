#!/usr/bin/env bash
# The launcher's whole life on the bundled demo distribution, headless:
# builds everything, publishes a demo game client (its program is the demo
# build of the fake game client), serves it with nginx on 127.0.0.1, points a
# copy of the launcher at it with the stub patch tool and then
#  1. installs the game into a fresh empty folder in install mode: scripted
#     answers accept the licence, pick the folder and press Launch; the client
#     arrives and the launcher starts it (its command line is printed from
#     the client's own report);
#  2. starts the launcher again: the running client comes forward, no second
#     one starts;
#  3. repairs: damages two installed files, deletes one, adds a stray one;
#     only the packages that restore them are fetched, the stray file goes;
#  4. publishes version 1.0.2 with a new launcher whose configuration renames
#     Config/user.cfg: the launcher fetches it, replaces itself through
#     Launcher.tmp.exe, restarts, updates the client and applies the rename;
#  5. starts again: the launcher is current and the rename is not repeated
#     ("changes.dat" records it once);
#  6. uninstalls: the temporary uninstaller ends the client and removes
#     exactly what the installation made.
# Everything the launcher writes (registry store, desktop, menus, temporary
# and state folders) stays inside demo-run/. Needs no display.
# With --screens the first installation runs in a real window (on the
# display, or on a virtual X server of the demo's own when there is none)
# and a picture of every page it shows is saved in demo-run/screens.
# With --signed both releases are signed with a release key of the demo's
# own (made once with "publish keygen" and kept in the build folder) and the
# launchers are built with its public key: each run checks the signature.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
screens=""
signed=""
for arg in "$@"; do
  case "$arg" in
    --screens) screens=1 ;;
    --signed) signed=1 ;;
    *) echo "usage: $0 [--screens] [--signed]" >&2; exit 2 ;;
  esac
done

bash scripts/setup.sh
build=${BUILD_DIR:-build-release}
port=${DEMO_PORT:-8088}
# DEMO_NO_BUILD=1 uses what "$build" holds already.
release_key=""
key_file=$root/$build/demo-release-key.txt
if [ -z "${DEMO_NO_BUILD:-}" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAUNCHER_TESTS=OFF \
    -DLAUNCHER_RELEASE_KEY=
  if [ -n "$signed" ]; then
    cmake --build "$build" --target publish
    [ -f "$key_file" ] || "$build/tools/publish/publish" keygen "$key_file" > /dev/null
    release_key=$("$build/tools/publish/publish" public-key "$key_file" | sed -n 's/^public key: //p')
  fi
  # The launchers hold the key with --signed and none without.
  cmake -S . -B "$build" -DLAUNCHER_RELEASE_KEY="$release_key" > /dev/null
  cmake --build "$build" --target launcher_exe launcher_next stubpatch publish DemoGame
elif [ -n "$signed" ]; then
  echo "--signed builds launchers with the demo's key: it cannot run with DEMO_NO_BUILD" >&2
  exit 2
fi
# The publisher's switches: signed with the demo's key, or not at all.
sign_args=()
[ -n "$signed" ] && sign_args=(--sign "$key_file")
demo_game=$(find "$build" -path '*fakeclient/DemoGame' -type f | head -n 1)

run=$root/demo-run
# Ends the demo clients that are still running (their ids are in the
# client's report).
end_clients() {
  if [ -f "$run/client.txt" ]; then
    awk '/^pid /{print $2}' "$run/client.txt" | while read -r pid; do
      kill "$pid" 2>/dev/null || true
    done
  fi
}
end_clients
rm -rf "$run"
mkdir -p "$run/server/demo" "$run/server/client" "$run/nginx/logs" "$run/download" "$run/home"
# The demo keeps everything the launcher writes inside its own folder.
export LAUNCHER_REGISTRY_HKCU="$run/registry/HKCU"
export LAUNCHER_REGISTRY_HKLM="$run/registry/HKLM"
export XDG_DESKTOP_DIR="$run/home/Desktop"
export XDG_DATA_HOME="$run/home/.local/share"
export XDG_STATE_HOME="$run/home/.local/state"
export LAUNCHER_COMMON_DATA_DIR="$run/home/share"
export LAUNCHER_TEMP_DIR="$run/home/tmp"
export FAKE_CLIENT_OUTPUT="$run/client.txt"
# The launcher takes the environment's proxy; the demo's server is this
# machine, reached directly.
export no_proxy='127.0.0.1,localhost'
screen_display=${DISPLAY:-}
unset DISPLAY
game=$run/game
xvfb_pid=""
if [ -n "$screens" ] && [ -z "$screen_display" ]; then
  # A virtual X server on a display number it picks itself.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run/xvfb-display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$run/xvfb-display" ] && break; sleep 0.1; done
  screen_display=":$(head -n 1 "$run/xvfb-display")"
fi

echo "== publishing the demo client"
bash scripts/demo/make-client.sh "$run/client" "$demo_game"
"$build/tools/publish/publish" "${sign_args[@]}" scripts/demo/release.txt "$run/client" "$run/server/demo"
[ -n "$signed" ] && echo "   signed with the key $release_key"
printf '%s\n' '<?xml version="1.0" encoding="UTF-8"?>' \
  '<document><LICENSE>Demo Game licence: play fair, have fun.</LICENSE></document>' \
  > "$run/server/client/license"

echo "== starting nginx on 127.0.0.1:$port"
bash scripts/nginx-serve.sh "$run/nginx" "$run/server" "$port"
stop_all() {
  nginx -p "$run/nginx" -c "$run/nginx/nginx.conf" -s stop 2>/dev/null || true
  end_clients
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap stop_all EXIT

echo "== personalising the launcher (the download a user starts)"
cp "$build/Launcher.exe" "$run/download/Launcher.exe"
"$build/tools/stubpatch/stubpatch" "$run/download/Launcher.exe" \
  --set "SERVER_URL=http://127.0.0.1:$port" --set UPDATE_PATH=/demo/

# The newest launcher log of a folder.
newest_log() { ls -t "$1"/*.exe.log 2>/dev/null | head -n 1; }
# Waits up to 60 s until the client's report holds the line.
wait_client() {
  for _ in $(seq 600); do
    grep -qx "$1" "$run/client.txt" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "   (the client never reported: $1)"
  return 1
}
client_lines() { grep -c "^$1" "$run/client.txt" 2>/dev/null || true; }
# The demo clients whose processes are alive.
clients_running() {
  local count=0
  for pid in $(awk '/^pid /{print $2}' "$run/client.txt" 2>/dev/null); do
    # An ended client whose parent is gone may linger as a zombie: not alive.
    [ -r "/proc/$pid/stat" ] && ! grep -q '^[0-9]* (.*) Z' "/proc/$pid/stat" && count=$((count + 1))
  done
  echo "$count"
}
# Prints the lines of a launcher log worth seeing, and what the run fetched.
summarise() {
  local log=$1 seconds=$2
  tr -d '\r' < "$log" | awk -v seconds="$seconds" '
    /^Add task for unpacker: / { name = $5 }
    /^  \.\. from received file/ { fetched = fetched " " name }
    /^  \.\. from tmp file/ { resumed = resumed " " name }
    /^filePartReceived: / { sub(/\)/, "", $NF); bytes += $NF }
    /^Launcher run mode|^prepare guest|^bCanRun = |^Finish check thread|^Finish unpack thread|^Launch step reached|^RunClient\(\)$|^Client command line|^Exit \.\.|^Found client window|^Command line to run temporary|^Process Uninstall|^Install Folder|^Manifest signature OK|^Manifest refused|^The new launcher is refused|Fail/ { print "   " $0 }
    END {
      if (seconds > 0) {
        printf "   packages fetched:%s\n", fetched == "" ? " none" : fetched
        if (resumed != "") printf "   resumed from tmp:%s\n", resumed
        printf "   %.1f MiB received in %.2f s\n", bytes / 1048576, seconds
      }
    }'
}
# Runs a launcher in a folder with scripted answers and prints what it did.
run_launcher() {
  local title=$1 folder=$2 answers=$3 start end code
  shift 3
  start=$(date +%s.%N)
  set +e
  (cd "$folder" && LAUNCHER_HEADLESS_ANSWERS="$answers" ./Launcher.exe "$@")
  code=$?
  set -e
  end=$(date +%s.%N)
  echo "== $title: exit code $code, log $(basename "$(newest_log "$folder")")"
  summarise "$(newest_log "$folder")" "$(echo "$end - $start" | bc)"
}
compare_client() {
  echo "   client files installed: $(cd "$run/client" && find . -type f ! -path './Editor/*' | wc -l)," \
    "identical: $(cd "$run/client" && find . -type f ! -path './Editor/*' -exec cmp -s {} "$game/{}" \; -print | wc -l)"
}
# The installation's files and the shortcuts that lead to it.
installation_entries() {
  find "$game" -type f 2>/dev/null || true
  find "$run/home/Desktop" "$run/home/.local/share/applications" -name '*.desktop' 2>/dev/null || true
}

if [ -n "$screens" ]; then
  # The window shows on the display; the same script answers its pages.
  DISPLAY=$screen_display LAUNCHER_SCREENSHOTS="$run/screens" \
    run_launcher "1. first installation into the empty folder demo-run/game (in a window on $screen_display)" \
    "$run/download" "terms=agree;folder=$game;portable=1;desktop=1;programs=1;launch=1"
  echo "   pictures of the pages it showed:"
  ls "$run/screens"/*.png | sed 's/^/     /'
else
  run_launcher "1. first installation into the empty folder demo-run/game" "$run/download" \
    "terms=agree;folder=$game;portable=1;desktop=1;programs=1;launch=1"
fi
compare_client
wait_client "start-event signalled"
echo "   the client reports its command line:"
sed -n 's/^command-line /     /p' "$run/client.txt"
echo "   shortcuts made:"
(cd "$run/home" && find Desktop .local/share/applications -name '*.desktop' 2>/dev/null | sed 's/^/     /')

run_launcher "2. the launcher started again while the client runs" "$game" ""
wait_client "activate"
echo "   the client reports: $(grep -E '^(identity|show|activate)' "$run/client.txt" | paste -sd ' ')"
echo "   clients started so far: $(client_lines 'pid ')"

echo "== ending the client before the repair"
end_clients
wait_client "quit"

echo "== damaging Data/pak03.pak and Data/pak07.pak, deleting Docs/readme.txt, adding Bin/stray.tmp"
printf 'garbage' | dd of="$game/Data/pak03.pak" bs=1 seek=1000 conv=notrunc status=none
printf 'garbage' | dd of="$game/Data/pak07.pak" bs=1 seek=5000 conv=notrunc status=none
rm "$game/Docs/readme.txt"
echo stray > "$game/Bin/stray.tmp"

run_launcher "3. repair" "$game" ""
for file in Data/pak03.pak Data/pak07.pak Docs/readme.txt; do
  cmp -s "$run/client/$file" "$game/$file" && echo "   $file restored" || echo "   $file NOT restored"
done
[ -e "$game/Bin/stray.tmp" ] && echo "   Bin/stray.tmp still there" || echo "   Bin/stray.tmp removed"
echo "   clients started so far: $(client_lines 'pid '), running: $(clients_running)"

echo "== version 1.0.2: a new launcher whose configuration renames Config/user.cfg"
end_clients
mkdir -p "$run/next" "$game/Config"
cp "$build/next/Launcher.exe" "$run/next/Launcher.exe"
"$build/tools/stubpatch/stubpatch" "$run/next/Launcher.exe" --file-version 1.0.2.0 \
  --set "SERVER_URL=http://127.0.0.1:$port" --set UPDATE_PATH=/demo/ > /dev/null
echo "The demo game of the launcher, version 1.0.2." > "$run/client/Docs/readme.txt"
# The renamed settings file is the user's too: ignored beside the old name.
sed -e 's/^version = 1.0.1$/version = 1.0.2/' -e 's/^modification = .*/modification = second demo release/' \
  -e 's/^file = Config\\user.cfg$/&\nfile = Config\\settings.cfg/' \
  scripts/demo/release.txt > "$run/release-2.txt"
printf '\n[launcher]\nfile = %s\n' "$run/next/Launcher.exe" >> "$run/release-2.txt"
"$build/tools/publish/publish" "${sign_args[@]}" "$run/release-2.txt" "$run/client" "$run/server/demo"
printf 'volume=7\n' > "$game/Config/user.cfg"
# Every launcher of the folder has ended: the restart chain is over.
wait_launchers() {
  local quiet=0
  for _ in $(seq 600); do
    if pgrep -f "$game/Launcher" > /dev/null; then quiet=0; else quiet=$((quiet + 1)); fi
    [ "$quiet" -ge 5 ] && return 0
    sleep 0.1
  done
}
rm -f "$game"/*.log
run_launcher "4. the launcher replaces itself, then updates the client" "$game" ""
wait_launchers
# The launchers' own logs, oldest first (the HTTP logs beside them have
# blanks in their names and are not shown).
ls -tr "$game"/*.Launcher*.log | while IFS= read -r log; do
  echo "   $(basename "$log"):"
  tr -d '\r' < "$log" | grep -E '^(Manifest signature OK|A new launcher is ready|Add task for unpacker: Launcher|Runned temp copy|Copy Launcher|Create process|delete Launcher.tmp.exe|Rename action|Apply actions|Launch step reached|Finish check thread)' | sed 's/^/     /'
done
echo "   Launcher.exe now: $(cmp -s "$game/Launcher.exe" "$run/server/demo/Launcher.exe" && echo "the published 1.0.2.0" || echo "NOT the published one")," \
  "runnable: $([ -x "$game/Launcher.exe" ] && echo yes || echo no)," \
  "Launcher.tmp.exe: $([ -e "$game/Launcher.tmp.exe" ] && echo "still there" || echo gone)"
echo "   Config/settings.cfg: $(cat "$game/Config/settings.cfg" 2>/dev/null || echo missing), Config/user.cfg: $([ -e "$game/Config/user.cfg" ] && echo "still there" || echo gone)"
echo "   changes.dat (client version, then action ids):$(od -An -tu4 -v "$game/changes.dat" | tr -s ' \n' ' ')"
end_clients
printf 'volume=3\n' > "$game/Config/user.cfg"
rm -f "$game"/*.log
run_launcher "5. started again: the launcher is current and the rename is not repeated" "$game" ""
wait_launchers
echo "   Config/user.cfg: $(cat "$game/Config/user.cfg"), Config/settings.cfg: $(cat "$game/Config/settings.cfg")"
echo "   changes.dat (client version, then action ids):$(od -An -tu4 -v "$game/changes.dat" | tr -s ' \n' ' ')"
end_clients

installed=$(installation_entries | wc -l)
# As the menu's "Uninstall" entry starts it: with the desktop shortcut's path.
shortcut=$(sed -n 's/^X-Launcher-Arguments=\/uninstall "\(.*\)"$/\1/p' \
  "$run/home/.local/share/applications/Demo Game"/Uninstall*.desktop | head -n 1)
run_launcher "6. uninstall (the menu's Uninstall entry, answered Uninstall)" "$game" "uninstall=1" \
  /uninstall "$shortcut"
for _ in $(seq 600); do [ -d "$game" ] || break; sleep 0.1; done
uninstaller_log=$(newest_log "$run/home/tmp")
echo "   the temporary uninstaller ($(basename "$uninstaller_log")):"
summarise "$uninstaller_log" 0
echo "   files and shortcuts of the installation: $installed before, $(installation_entries | wc -l) after"
echo "   the folder demo-run/game: $([ -d "$game" ] && echo "still there" || echo "gone")"
echo "   clients running: $(clients_running)"
echo "   waiting for deletion at the next system start:"
cut -f2 "$run/home/.local/state/launcher/pending-deletions" 2>/dev/null | sed 's/^/     /' || true

echo "== requests nginx served"
awk '{ print "   " $7, $9, $10 " bytes" }' "$run/nginx/logs/access.log"
