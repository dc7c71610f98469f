#!/usr/bin/env bash
# Builds the Debian packages as the README does (dpkg-buildpackage), checks
# them with lintian (no error; every warning explained by an override in
# debian/) and with apt (they install together, simulated), unpacks them
# into a throwaway root (dpkg -x) and runs them from there with no variable
# but the root's paths: tether on the virtual camera, the Python package
# capturing a picture, a C host through the unpacked pkg-config file and a
# C++ host through the unpacked CMake package, the udev rule against the
# library's product table, both man pages, the completion, the service unit;
# then pip install ./python, offline. A whole optimised build: CI runs it
# once, not in every suite.
#   bash scripts/test-package.sh [BUILD_DIR]
# BUILD_DIR is a build with the tests, whose tst_udevrule checks the rule
# (build-plain, which scripts/test-plain.sh makes; built here if missing).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source=$PWD
checks=$(realpath -m "${1:-build-plain}")
work=$source/build-package
root=$work/root
rm -rf "$work" && mkdir -p "$work/src" "$root"
passes=0 failures=0
step() { echo "=== $*"; }
check() {
  local name=$1
  shift
  if "$@"; then
    echo "passed: $name"
    passes=$((passes + 1))
  else
    echo "FAILED: $name"
    failures=$((failures + 1))
  fi
}

step "building the packages"
git ls-files -z --cached --others --exclude-standard | tar -cf - --null -T - | tar -xf - -C "$work/src"
if command -v ccache > /dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
if ! (cd "$work/src" && DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" dpkg-buildpackage -us -uc -b) > "$work/build.log" 2>&1; then
  tail -50 "$work/build.log"
  echo "0 passed, 1 failed"
  exit 1
fi
ls "$work"/*.deb

step "lintian"
lint() { lintian --fail-on error,warning --info "$work"/*.changes; }
check lintian lint

installable() { apt-get install --simulate "$work"/*.deb > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; return 1; }; }
check "apt install ./*.deb (simulated)" installable

step "unpacked into $root"
for deb in "$work"/*.deb; do dpkg -x "$deb" "$root"; done
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
unset BRXSDK_LIBRARY
export LD_LIBRARY_PATH=$root/usr/lib/$multiarch PATH=$root/usr/bin:$PATH
export PYTHONPATH=$root/usr/lib/python3/dist-packages LC_ALL=C.UTF-8
cd "$work"

tether_capture() {
  test "$(command -v tether)" = "$root/usr/bin/tether" &&
    tether --virtual 0x2031 capture -n 1 --out "$work/tether" &&
    test -s "$work/tether/BRX_0001.DNG" && test -s "$work/tether/BRX_0001.JPG"
}
check "tether --virtual 0x2031 capture -n 1" tether_capture

python_capture() {
  /usr/bin/python3 -c '
import sys, brxsdk
assert brxsdk.__file__.startswith(sys.argv[1]), brxsdk.__file__
with brxsdk.Camera(virtual=0x2031) as cam:
    files = cam.capture(sys.argv[2])
assert len(files) == 2, files
print(*files)' "$root/" "$work/python" 2> /dev/null
}
check "python3 -c 'import brxsdk' capturing a picture" python_capture

c_host() {
  local flags include libdir
  flags=$(PKG_CONFIG_PATH=$root/usr/lib/$multiarch/pkgconfig pkg-config --cflags --libs brxsdk)
  include=$(sed -n 's/.*-I\([^ ]*\).*/\1/p' <<< "$flags")
  libdir=$(sed -n 's/.*-L\([^ ]*\).*/\1/p' <<< "$flags")
  test "$(realpath "$include")" = "$root/usr/include" && test "$(realpath "$libdir")" = "$root/usr/lib/$multiarch" &&
    # shellcheck disable=SC2086
    cc -std=c99 -Wall -Wextra -pedantic-errors -o "$work/c_host" "$source/tests/install/host/c_host.c" $flags &&
    "$work/c_host" 0x2011 > "$work/c_host.log" 2>&1
}
check "a C host through the unpacked pkg-config file" c_host

cmake_host() {
  cmake -S "$source/tests/install/host" -B "$work/cmake_host" -DCMAKE_PREFIX_PATH="$root/usr" > /dev/null &&
    cmake --build "$work/cmake_host" > /dev/null &&
    grep -q "BRXSDK_DIR:PATH=$root/usr/lib/$multiarch/cmake/BRXSDK" "$work/cmake_host/CMakeCache.txt" &&
    "$work/cmake_host/install_host"
}
check "a C++ host through the unpacked CMake package" cmake_host

udev_rule() {
  if [ ! -x "$checks/tests/tst_udevrule" ]; then
    [ -f "$checks/CMakeCache.txt" ] || cmake -S "$source" -B "$checks" -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build "$checks" -j"$(nproc)" --target tst_udevrule > /dev/null
  fi
  BRX_UDEV_RULE=$root/lib/udev/rules.d/70-brxsdk.rules "$checks/tests/tst_udevrule"
}
check "the udev rule names every product of the library's table" udev_rule

check "man -l renders both pages without warnings, as tether --help says" \
  /usr/bin/python3 "$source/tests/dist/check_dist.py" man "$root/usr/bin/tether" \
  "$root/usr/share/man/man1/tether.1.gz" "$root/usr/share/man/man3/brxsdk.3.gz" "$root/usr/include/BRX_SDK_C.h"

check "the completion completes tether se to set serve, in bash" \
  /usr/bin/python3 "$source/tests/dist/check_dist.py" completion "$root/usr/bin/tether" \
  "$root/usr/share/bash-completion/completions/tether"

# systemd checks the unit as it would load an instance of it; the copy runs
# the unpacked tether, which verify wants to find.
service_unit() {
  local unit=$root/lib/systemd/system/tether-serve@.service report
  mkdir -p "$work/unit"
  grep -q "^ExecStart=/usr/bin/tether " "$unit" &&
    sed "s|=/usr/bin/tether |=$root/usr/bin/tether |" "$unit" > "$work/unit/tether-serve@.service" &&
    report=$(systemd-analyze verify --man=no "$work/unit/tether-serve@.service" 2>&1) &&
    test -z "$report" || { echo "$report"; return 1; }
}
check "tether-serve@.service" service_unit

pip_install() {
  (cd "$work/src" && /usr/bin/python3 -m pip install --quiet --root-user-action=ignore --no-build-isolation --no-index --target "$work/pip" ./python) &&
    PYTHONPATH=$work/pip /usr/bin/python3 -c '
import sys, brxsdk
assert brxsdk.__file__.startswith(sys.argv[1]), brxsdk.__file__
with brxsdk.Camera(virtual=0x2011) as cam:
    assert len(cam.capture(sys.argv[2])) == 2' "$work/pip/" "$work/pip-pictures" 2> /dev/null
}
check "pip install ./python, offline" pip_install

versions() {
  local changelog project python
  changelog=$(cd "$work/src" && dpkg-parsechangelog -S Version)
  project=$(sed -n 's/^project(BRXSDK VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
  python=$(PYTHONPATH=$root/usr/lib/python3/dist-packages /usr/bin/python3 -c 'import brxsdk; print(brxsdk.__version__)')
  echo "debian/changelog $changelog, CMake $project, Python $python"
  test "$changelog" = "$project" && test "$python" = "$project"
}
check "one version in debian/changelog, CMake and the Python package" versions

echo "$passes passed, $failures failed"
test "$failures" = 0
