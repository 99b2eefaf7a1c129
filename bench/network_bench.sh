#!/usr/bin/env bash
# The network path's benchmarks, each against its baseline in the same run,
# with nginx on 127.0.0.1 serving the files:
#
#  1. download_bench: one package (1 GiB, then 4 GiB - 1 byte) fetched by the
#     downloader into its temporary file through the package sink, against
#     `curl -o FILE` into the same folder; with the process's peak resident
#     memory above its idle size and the longest wait of the thread that
#     plays the launcher window.
#  2. A whole first installation of one package of about 1 GiB by the real
#     Launcher.exe in an empty portable folder (manifest, check, download,
#     verification, unpacking), against `curl -o` followed by `bsdtar -xf` of
#     the same package; a ZIP (deflate) package of a 2 GiB client and a RAR 4
#     (store) package of a 1 GiB client.
#  3. The same ZIP installation signed: the launcher built with the tests'
#     release key checks the manifest's signature and every package's
#     SHA-256 as it is written, against the unsigned installation by the
#     launcher without a key, in turns: from the loopback at full speed
#     (about 1 GB/s: the hash competes for the two cores with the server
#     and the download) and from a second nginx that sends at most
#     NETBENCH_RATE per second, as a fast home connection would.
#
# Prints one line per figure and the ratios. Release build in build-bench
# (BUILD_DIR); work files in /tmp/launcher-netbench (NETBENCH_DIR), kept
# between runs so that the packages are published once.
#
#   NETBENCH_DOWNLOAD_MB  sizes for download_bench (default "1024 4096")
#   NETBENCH_INSTALL_MB   size of each installed package (default 1024)
#   NETBENCH_ROUNDS       installations per package and side (default 2)
#   NETBENCH_RUNS         downloads per size and side (default 3: the disk's
#                         writeback makes single 4 GiB figures vary by a
#                         quarter, the baseline's as much as ours)
#   NETBENCH_PORT         nginx's port (default 8093; the limited one is
#                         the next)
#   NETBENCH_RATE         the limited nginx's rate (default 125m: 1 Gbit/s)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh

build=${BUILD_DIR:-build-bench}
work=${NETBENCH_DIR:-/tmp/launcher-netbench}
port=${NETBENCH_PORT:-8093}
limited_port=$((port + 1))
rate=${NETBENCH_RATE:-125m}
download_sizes=${NETBENCH_DOWNLOAD_MB:-"1024 4096"}
install_mb=${NETBENCH_INSTALL_MB:-1024}
rounds=${NETBENCH_ROUNDS:-2}
runs=${NETBENCH_RUNS:-3}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLAUNCHER_TESTS=OFF >/dev/null
cmake --build "$build" --target launcher_exe launcher_signed_exe stubpatch publish download_bench

mkdir -p "$work/served"
export LAUNCHER_REGISTRY_HKCU="$work/registry/HKCU"
export LAUNCHER_REGISTRY_HKLM="$work/registry/HKLM"
# Everything goes directly to 127.0.0.1.
export no_proxy='*'
unset DISPLAY

bash scripts/nginx-serve.sh "$work/nginx" "$work/served" "$port"
bash scripts/nginx-serve.sh "$work/nginx-limited" "$work/served" "$limited_port" "$rate"
trap 'for n in nginx nginx-limited; do nginx -p "$work/$n" -c "$work/$n/nginx.conf" -s stop 2>/dev/null || true; done' EXIT

echo "== download_bench (machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
for mb in $download_sizes; do
  DOWNLOAD_BENCH_MB=$mb DOWNLOAD_BENCH_ROOT="$work/served" DOWNLOAD_BENCH_OUT="$work/out" \
    DOWNLOAD_BENCH_SERVER="http://127.0.0.1:$port" DOWNLOAD_BENCH_RUNS=$runs \
    "$build/bench/download_bench" --benchmark_counters_tabular=true 2>/dev/null |
    grep -E "^BM_|^Benchmark" || true
  rm -f "$work/served/bench.pkg"
done
rm -rf "$work/out"

# A client of MB MiB under client-MB: files of 16 MiB, half random bytes and
# half text, so that a deflated package is about half the size of the client.
write_client() {
  local mb=$1 client=$work/client-$1
  [ -f "$client/.complete" ] && return
  echo "== writing a client of $mb MiB"
  rm -rf "$client"
  mkdir -p "$client/Data"
  for i in $(seq -w 1 $((mb / 16))); do
    {
      head -c $((8 << 20)) /dev/urandom
      # yes ends on the closed pipe; that is no failure.
      yes "Client data file $i, a line of text that repeats with its number." |
        head -c $((8 << 20)) || true
    } > "$client/Data/part$i.dat"
  done
  head -c 65536 /dev/urandom > "$client/Game.exe"
  touch "$client/.complete"
}

# The client of a format: deflate halves it, store keeps its size.
client_mb() {
  if [ "$1" = zip ] || [ "$1" = zip-signed ]; then echo $((install_mb * 2)); else echo "$install_mb"; fi
}

# Publishes the client as one package of the format under served/FORMAT/.
publish_package() {
  local format=$1 out=$work/served/$1 client=$work/client-$(client_mb "$1")
  write_client "$(client_mb "$format")"
  [ -f "$out/.complete" ] && [ "$(cat "$out/.client")" = "$client" ] && return
  echo "== publishing a $format package"
  rm -rf "$out"
  local line="format = zip" sign=()
  [ "$format" = rar ] && line="format = rar"
  [ "$format" = zip-signed ] && sign=(--sign "$root/tests/data/signing/release-key.txt")
  printf '[client]\nversion = 1.0.0\n[package game.pkg]\ntype = full\n%s\nfiles = Game.exe\nfiles = Data\n' \
    "$line" > "$work/release-$format.txt"
  "$build/tools/publish/publish" "${sign[@]}" "$work/release-$format.txt" "$client" "$out" >/dev/null
  echo "$client" > "$out/.client"
  touch "$out/.complete"
}

# Seconds and peak resident KiB of one command, started without the dirty
# pages of the one before waiting to go to the disk.
measure() {
  sync
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>&1 || return 1
  cat "$work/time.txt"
}

launcher_install() {
  local format=$1 launcher=${2:-$build/Launcher.exe} from_port=${3:-$port} game=$work/game
  rm -rf "$game"
  mkdir -p "$game"
  cp "$launcher" "$game/Launcher.exe"
  "$build/tools/stubpatch/stubpatch" "$game/Launcher.exe" \
    --set "SERVER_URL=http://127.0.0.1:$from_port" --set "UPDATE_PATH=/$format/" >/dev/null
  : > "$game/guest.dat"
  (cd "$game" && measure ./Launcher.exe)
  local client=$work/client-$(client_mb "$format")
  diff -rq "$client/Data" "$game/Data" >/dev/null && cmp -s "$client/Game.exe" "$game/Game.exe" ||
    echo "   launcher: the client did not arrive whole" >&2
  rm -rf "$game"
}

baseline_install() {
  local format=$1 dir=$work/baseline
  rm -rf "$dir"
  mkdir -p "$dir/out"
  measure bash -c "curl -s -o '$dir/game.pkg' 'http://127.0.0.1:$port/$format/game.pkg' &&
                   bsdtar -xf '$dir/game.pkg' -C '$dir/out'"
  rm -rf "$dir"
}

for format in zip rar; do
  publish_package "$format"
  size=$(stat -c %s "$work/served/$format/game.pkg")
  echo "== first installation of a $format package ($((size >> 20)) MiB, client $(client_mb "$format") MiB)"
  ours=0
  theirs=0
  for round in $(seq 1 "$rounds"); do
    read -r base_s base_kb <<< "$(baseline_install "$format")"
    read -r our_s our_kb <<< "$(launcher_install "$format")"
    echo "   round $round: Launcher.exe $our_s s (peak RSS $((our_kb / 1024)) MiB)," \
      "curl -o + bsdtar -xf $base_s s"
    ours=$(echo "$ours + $our_s" | bc)
    theirs=$(echo "$theirs + $base_s" | bc)
  done
  echo "   $format: Launcher.exe / (curl + bsdtar) = $(echo "scale=2; $ours / $theirs" | bc)"
done

publish_package zip-signed
# One side's rounds, signed and unsigned in turns, from the given port.
signed_rounds() {
  local from_port=$1 signed=0 unsigned=0 plain_s signed_s
  for round in $(seq 1 "$rounds"); do
    read -r plain_s _ <<< "$(launcher_install zip "$build/Launcher.exe" "$from_port")"
    read -r signed_s _ <<< "$(launcher_install zip-signed "$build/signed/Launcher.exe" "$from_port")"
    echo "   round $round: signed $signed_s s, unsigned $plain_s s"
    signed=$(echo "$signed + $signed_s" | bc)
    unsigned=$(echo "$unsigned + $plain_s" | bc)
  done
  echo "   signed / unsigned = $(echo "scale=2; $signed / $unsigned" | bc)"
}
echo "== the zip installation signed: the keyed launcher against the unsigned one, in turns"
signed_rounds "$port"
echo "== the same at most $rate bytes per second"
signed_rounds "$limited_port"
