#!/usr/bin/env bash
# Runs test_page.js (or SCRIPT with its ARGS) with puppeteer-core installed
# from the committed lock file into WORK (in the build tree): nothing else is
# fetched, the browser is Debian's. Exits 77 (skipped) only where node or
# chromium is missing.
#
#   run.sh TETHER WORK [SCRIPT ARGS...]
set -euo pipefail
tether=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
script=${3:-$here/test_page.js}
shift $(($# < 3 ? $# : 3))
if [ $# -eq 0 ]; then
  set -- "$tether" "$work/serve-page.png"
fi
if ! command -v node >/dev/null || ! command -v npm >/dev/null || [ ! -x /usr/bin/chromium ]; then
  echo "node, npm or /usr/bin/chromium is missing (scripts/setup.sh installs them): skipped"
  exit 77
fi
mkdir -p "$work"
cp "$here/package.json" "$here/package-lock.json" "$script" "$work/"
if ! cmp -s "$here/package-lock.json" "$work/node_modules/.package-lock.json.installed"; then
  (cd "$work" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
  cp "$here/package-lock.json" "$work/node_modules/.package-lock.json.installed"
fi
cd "$work"
node "$(basename "$script")" "$@"
