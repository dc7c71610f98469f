#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds a host against it.
# Arguments: build directory, work directory, extra linker flags for the host.
set -euo pipefail
build=$1 work=$2 linkflags=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null
libdir=$(ls -d "$prefix"/lib*/ | head -n 1)
for f in include/BRX_SDK.h; do test -f "$prefix/$f"; done
ls "$libdir"libbrxsdk.so* > /dev/null
test -f "$libdir"cmake/BRXSDK/BRXSDKConfig.cmake
PKG_CONFIG_PATH="$libdir"pkgconfig pkg-config --libs brxsdk | grep -q -- -lbrxsdk
cmake -S "$here/host" -B "$work/host" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_EXE_LINKER_FLAGS="$linkflags" > /dev/null
cmake --build "$work/host" > /dev/null
output=$("$work/host/install_host" 2>&1)
echo "$output"
grep -q "getProperty() - no camera" <<< "$output"
grep -q "====== exit BRX SDK ======" <<< "$output"
