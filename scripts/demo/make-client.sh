#!/usr/bin/env bash
# Writes the demo game client into the folder given: a few dozen files, about
# 40 MB, partly random (incompressible) and partly text. The game's program is
# the demo build of the fake game client given as the second argument.
set -euo pipefail
client=$1
game_program=$2
rm -rf "$client"
mkdir -p "$client"/{Bin,Data/maps,Docs,Config,Editor}

random() { head -c "$2" /dev/urandom > "$1"; }

cp "$game_program" "$client/DemoGame.exe"
chmod 755 "$client/DemoGame.exe"
for i in 1 2 3 4 5 6; do random "$client/Bin/module$i.dll" $((700 * 1024)); done
for i in $(seq -w 1 12); do random "$client/Data/pak$i.pak" $((2 * 1024 * 1024)); done
for i in $(seq -w 1 8); do random "$client/Data/maps/level$i.map" $((400 * 1024)); done
for i in 1 2 3; do
  for line in $(seq 1 4000); do echo "Demo game manual, part $i, line $line."; done > "$client/Docs/manual$i.txt"
done
echo "The demo game of the launcher." > "$client/Docs/readme.txt"
printf 'resolution=1280x720\nsound=on\n' > "$client/Config/defaults.cfg"
random "$client/Editor/editor.exe" $((1024 * 1024))
