#!/usr/bin/env bash
# Installs what the build needs on Debian 12 when it is missing (run as root).
# With the argument "fuzz" also what fuzzing campaigns and their coverage
# reports need (clang with libFuzzer, the llvm tools).
set -euo pipefail
# lld: the suites link with it (faster); libcpp-httplib-dev: HTTP for tether serve; chromium: its browser test;
# libmosquitto-dev and mosquitto: tether node and rig, and the broker their tests start
# (openssl makes the certificate of the test's TLS broker);
# python3-pytest: the Python package's tests; tshark: the PTP/IP dissector check;
# man-db and bash-completion: the man pages' and the completion's tests.
# libraw-bin, libimage-exiftool-perl, libjpeg-turbo-progs: the tools that
# check the virtual camera's pictures (LibRaw, exiftool, djpeg).
# The Debian packages (scripts/test-package.sh): build-essential, debhelper,
# dh-python and fakeroot build them, lintian checks them, systemd checks
# the service unit, python3-pip, python3-setuptools and python3-wheel make
# pip install ./python work offline.
packages="qtbase5-dev libusb-1.0-0-dev cmake g++ lld pkg-config make umockdev libumockdev-dev libcpp-httplib-dev libmosquitto-dev mosquitto openssl chromium python3 python3-pytest tshark"
packages="$packages libraw-bin libimage-exiftool-perl libjpeg-turbo-progs"
packages="$packages man-db bash-completion build-essential dpkg-dev debhelper dh-python fakeroot lintian systemd"
packages="$packages python3-pip python3-setuptools python3-wheel"
# Node.js and npm for the browser test (puppeteer-core), unless the machine has them.
command -v node >/dev/null && command -v npm >/dev/null || packages="$packages nodejs npm"
if [ "${1:-}" = fuzz ]; then
  packages="$packages clang-14 libclang-rt-14-dev llvm-14"
fi
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi
