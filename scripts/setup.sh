#!/usr/bin/env bash
# Installs what the build needs on Debian 12 when it is missing (run as root).
set -euo pipefail
packages="qtbase5-dev libusb-1.0-0-dev cmake g++ pkg-config make umockdev libumockdev-dev python3 python3-pytest"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi
