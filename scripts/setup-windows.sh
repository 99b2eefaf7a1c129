#!/usr/bin/env bash
# Installs the mingw-w64 cross compilers and Wine, and cross-builds the
# libraries the Windows build links (libpng, tinyxml2, OpenSSL's libcrypto,
# a RAR decoder: unarr, or libarchive where unarr's source cannot be had)
# into a cache outside the tree, one folder per target and library version.
# A second run on the same machine finds them and builds nothing. zlib comes
# from Debian's libz-mingw-w64-dev. The x86_64 OpenSSL has TLS as well: the
# tests' TLS peers use it (the program links libcrypto only).
#
# Usage: setup-windows.sh [x86_64|i686]...   (both when none is named)
# Prints nothing of note on success; the cache is $LAUNCHER_WIN_DEPS
# (default ~/.cache/launcher-win-deps).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  libz-mingw-w64-dev wine64 dpkg-dev cmake ninja-build make perl patch
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

# libarchive's static library alone, for its RAR reader: no other library,
# no tools, no tests, no DLL. Its RAR reader is patched first
# (scripts/libarchive-rar.patch): entries of solid archives are decoded (the
# reader refuses them otherwise), and a filter program's static data are
# bounded by the program's own bytes (a hostile archive claims gigabytes; the
# Windows build cannot cap the C library's allocations). It is installed by
# hand as libarchive.a with a pkg-config file of its own, so that the build
# finds the static library and compiles against its headers as such
# (LIBARCHIVE_STATIC). Called from build_target, whose prefix, triple and
# toolchain it uses.
libarchive_dep() {
  local src=$1
  local patch=$root/scripts/libarchive-rar.patch
  # The stamp names the source and the patch.
  local stamp
  stamp=$prefix/.built-$(basename "$src")-$(sha256sum "$patch" | cut -c1-12)
  [ -f "$stamp" ] && return 0
  echo "== $triple: $(basename "$src") (patched)"
  local work off=() o
  for o in OPENSSL MBEDTLS NETTLE LIBB2 LZ4 LZO LZMA ZSTD ZLIB BZip2 LIBXML2 EXPAT PCREPOSIX \
    LIBGCC CNG TAR CPIO CAT XATTR ACL ICONV TEST; do
    off+=("-DENABLE_$o=OFF")
  done
  work=$(mktemp -d "$cache/.build.XXXXXX")
  cp -a "$src" "$work/src"
  patch -d "$work/src" -p1 --quiet <"$patch"
  cmake -S "$work/src" -B "$work/build" -G Ninja -Wno-dev -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_WERROR=OFF \
    -DPOSIX_REGEX_LIB=NONE "${off[@]}" >/dev/null
  cmake --build "$work/build" --target archive_static -j "$jobs" >/dev/null
  install -d "$prefix/lib/pkgconfig" "$prefix/include"
  install -m 644 "$work/build/libarchive/libarchive_static.a" "$prefix/lib/libarchive.a"
  install -m 644 "$work/src/libarchive/archive.h" "$work/src/libarchive/archive_entry.h" \
    "$prefix/include/"
  local version
  version=$(basename "$src" | sed -E 's/^libarchive-([0-9.]+).*/\1/')
  printf '%s\n' 'prefix=${pcfiledir}/../..' 'libdir=${prefix}/lib' 'includedir=${prefix}/include' '' \
    'Name: libarchive' 'Description: libarchive, static, for reading RAR archives' \
    "Version: $version" 'Cflags: -I${includedir} -DLIBARCHIVE_STATIC' 'Libs: -L${libdir} -larchive' \
    >"$prefix/lib/pkgconfig/libarchive.pc"
  rm -rf "$work"
  touch "$stamp"
}

build_target() {
  local arch=$1
  local triple=$arch-w64-mingw32
  local toolchain=$root/cmake/toolchain-$triple.cmake
  local prefix=$cache/$triple
  mkdir -p "$prefix"

  local png tinyxml ssl unarr libarchive=""
  png=$(source_of libpng1.6)
  tinyxml=$(source_of tinyxml2)
  ssl=$(source_of openssl)
  # The RAR decoder: unarr when its source can be had (the mirror has been
  # seen without its original tarball), libarchive's RAR reader otherwise.
  unarr=$(source_of unarr 2>/dev/null) || unarr=""
  [ -z "$unarr" ] && libarchive=$(source_of libarchive)

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
  [ -n "$libarchive" ] && libarchive_dep "$libarchive"

  # The x86_64 tests run under Wine and their TLS peers need libssl with
  # TLS; the i686 build runs no tests and keeps libcrypto alone.
  local tls=(no-ssl no-tls no-dtls) variant=""
  [ "$arch" = x86_64 ] && tls=(no-ssl no-dtls) && variant=-tls
  local stamp=$prefix/.built-$(basename "$ssl")$variant
  if [ ! -f "$stamp" ]; then
    echo "== $triple: $(basename "$ssl")"
    local b
    b=$(mktemp -d "$cache/.build.XXXXXX")
    # The 32-bit assembler sources assume ELF relocations: plain C there.
    local target=(mingw64)
    [ "$arch" = i686 ] && target=(mingw no-asm)
    if ! (cd "$b" && "$ssl/Configure" "${target[@]}" --cross-compile-prefix="$triple-" \
      --prefix="$prefix" --libdir=lib no-shared no-tests no-module no-engine no-dso \
      "${tls[@]}" && make -j "$jobs" build_libs && make install_dev) >"$b.log" 2>&1; then
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
