#!/usr/bin/env bash
# The command-line host against the virtual camera, as the README runs it:
# it connects, releases once and saves the picture's DNG and JPG.
set -euo pipefail
host=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$host" --product 0x2031 --set 31=true --capture --save "$out/pictures" --pictures 2 --seconds 60 > "$out/log"
grep -q "camera connected, product 0x2031" "$out/log"
grep -q "^done$" "$out/log"
test "$(stat -c %s "$out/pictures/BRX_0001.DNG")" -eq 300000
test "$(stat -c %s "$out/pictures/BRX_0001.JPG")" -eq 80000
