#!/usr/bin/env bash
# Installs the mingw-w64 cross compilers and Wine, and cross-builds the
# libraries the Windows build links (libpng, tinyxml2, OpenSSL's libcrypto,
# unarr) into a cache outside the tree, one folder per target and library
# version. A second run on the same machine finds them and builds nothing.
# zlib comes from Debian's libz-mingw-w64-dev.
#
# Usage: setup-windows.sh [x86_64|i686]...   (both when none is named)
# Prints nothing of note on success; the cache is $LAUNCHER_WIN_DEPS
# (default ~/.cache/launcher-win-deps).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  libz-mingw-w64-dev wine64 dpkg-dev cmake ninja-build make perl
)
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# Source packages come from the main pocket only: the security pocket's
# sources are not always on the mirror.
src_list=/etc/apt/sources.list.d/launcher-win-src.sources
if [ ! -f "$src_list" ]; then
  printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
    'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
    $SUDO tee "$src_list" >/dev/null
  need_update=1
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cache=${LAUNCHER_WIN_DEPS:-$HOME/.cache/launcher-win-deps}
mkdir -p "$cache/src"
jobs=$(nproc)

# The source of a Debian package, unpacked once into the cache; prints its
# folder, or fails when the mirror does not have it.
source_of() {
  local pkg=$1 version dir
  version=$(apt-cache showsrc "$pkg" | awk '/^Version:/ {print $2; exit}')
  dir="$cache/src/$pkg-$version"
  if [ ! -d "$dir" ]; then
    local work unpacked
    work=$(mktemp -d "$cache/src/.fetch.XXXXXX")
    (cd "$work" && apt-get source -qq "$pkg=$version" >/dev/null 2>&1) || true
    unpacked=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n1)
    if [ -z "$unpacked" ]; then
      rm -rf "$work"
      echo "setup-windows: the source of $pkg $version could not be fetched" >&2
      return 1
    fi
    mv "$unpacked" "$dir"
    rm -rf "$work"
  fi
  echo "$dir"
}

build_target() {
  local arch=$1
  local triple=$arch-w64-mingw32
  local toolchain=$root/cmake/toolchain-$triple.cmake
  local prefix=$cache/$triple
  mkdir -p "$prefix"

  local png tinyxml ssl unarr
  png=$(source_of libpng1.6)
  tinyxml=$(source_of tinyxml2)
  ssl=$(source_of openssl)
  # The RAR decoder is optional: without it the Windows build reads stored
  # members of archives that are not solid only (the mirror has been seen
  # without unarr's original tarball).
  unarr=$(source_of unarr) || unarr=""

  # Each library is built once per source version; the stamp names it.
  cmake_dep() {
    local name=$1 src=$2
    shift 2
    local stamp=$prefix/.built-$(basename "$src")
    [ -f "$stamp" ] && return 0
    echo "== $triple: $(basename "$src")"
    local b
    b=$(mktemp -d "$cache/.build.XXXXXX")
    cmake -S "$src" -B "$b" -G Ninja -Wno-dev -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
    cmake --build "$b" -j "$jobs" >/dev/null
    cmake --install "$b" >/dev/null
    rm -rf "$b"
    touch "$stamp"
  }
  cmake_dep png "$png" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
  cmake_dep tinyxml2 "$tinyxml" -Dtinyxml2_BUILD_TESTING=OFF -DBUILD_TESTING=OFF
  [ -n "$unarr" ] && cmake_dep unarr "$unarr" -DUSE_SYSTEM_BZ2=OFF -DUSE_SYSTEM_LZMA=OFF -DUSE_SYSTEM_ZLIB=ON \
    -DENABLE_7Z=OFF -DBUILD_SAMPLES=OFF -DBUILD_INTEGRATION_TESTS=OFF

  local stamp=$prefix/.built-$(basename "$ssl")
  if [ ! -f "$stamp" ]; then
    echo "== $triple: $(basename "$ssl")"
    local b
    b=$(mktemp -d "$cache/.build.XXXXXX")
    # The 32-bit assembler sources assume ELF relocations: plain C there.
    local target=(mingw64)
    [ "$arch" = i686 ] && target=(mingw no-asm)
    if ! (cd "$b" && "$ssl/Configure" "${target[@]}" --cross-compile-prefix="$triple-" \
      --prefix="$prefix" --libdir=lib no-shared no-tests no-module no-engine no-dso \
      no-ssl no-tls no-dtls && make -j "$jobs" build_libs && make install_dev) >"$b.log" 2>&1; then
      tail -n 30 "$b.log"
      echo "setup-windows: OpenSSL did not build for $triple (log: $b.log)" >&2
      exit 1
    fi
    rm -f "$b.log"
    rm -rf "$b"
    touch "$stamp"
  fi
}

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(x86_64 i686)
for t in "${targets[@]}"; do
  build_target "$t"
done
