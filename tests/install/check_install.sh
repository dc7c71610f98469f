#!/usr/bin/env bash
# Installs the build into two scratch prefixes and, against each, builds and
# runs a C host with the C compiler through pkg-config and a C++ host through
# the CMake package, and runs the installed Python package, all on the
# virtual camera: each must find its own prefix's headers and library.
# Arguments: build directory, work directory, extra compiler and linker flags
# for the hosts (the sanitizers the library was built with), the sanitizer
# runtime Python must preload for the library.
set -euo pipefail
build=$1 work=$2 flags=${3:-} preload=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
for name in a b; do
  prefix=$work/$name
  cmake --install "$build" --prefix "$prefix" > /dev/null
  libdir=$(dirname "$(ls "$prefix"/lib*/libbrxsdk.so)")
  test -f "$prefix/include/BRX_SDK.h"
  test -f "$prefix/include/BRX_SDK_C.h"

  pc=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs brxsdk)
  echo "pkg-config for $name: $pc"
  test "$(realpath "$(sed -n 's/.*-I\([^ ]*\).*/\1/p' <<< "$pc")")" = "$(realpath "$prefix/include")"
  test "$(realpath "$(sed -n 's/.*-L\([^ ]*\).*/\1/p' <<< "$pc")")" = "$(realpath "$libdir")"
  # Word splitting of $pc and $flags is wanted: they are compiler arguments.
  # shellcheck disable=SC2086
  cc -std=c99 -Wall -Wextra -pedantic-errors -o "$prefix/c_host" "$here/host/c_host.c" $pc $flags
  output=$(LD_LIBRARY_PATH=$libdir "$prefix/c_host" 0x2011 2>&1)
  echo "$output"
  grep -q "BRX_SDK_init() - no QCoreApplication: the library makes its own" <<< "$output"

  cmake -S "$here/host" -B "$prefix/host" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" > /dev/null
  cmake --build "$prefix/host" > /dev/null
  grep -q "BRXSDK_DIR:PATH=$libdir/cmake/BRXSDK" "$prefix/host/CMakeCache.txt"
  "$prefix/host/install_host"

  # No BRXSDK_LIBRARY and no library path: the package knows where it lies.
  site=$(dirname "$(find "$prefix" -path '*-packages/brxsdk' -type d)")
  taken=$(cd "$prefix" && env -u BRXSDK_LIBRARY -u LD_LIBRARY_PATH PYTHONPATH="$site" LD_PRELOAD="$preload" \
    ASAN_OPTIONS=detect_leaks=0 /usr/bin/python3 -c '
import brxsdk, brxsdk._native
with brxsdk.Camera(virtual=0x2031) as cam:
    print(brxsdk._native.library_path(), *cam.capture("pictures"))' 2> /dev/null)
  echo "Python package of $name: $taken"
  read -r library dng jpg <<< "$taken"
  test "$(realpath "$(dirname "$library")")" = "$(realpath "$libdir")"
  test -s "$prefix/$dng" && test -s "$prefix/$jpg"
done
