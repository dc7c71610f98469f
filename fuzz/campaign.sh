#!/usr/bin/env bash
# A fuzzing campaign (see docs/fuzzing.md): builds the libFuzzer targets
# with clang in build-fuzz, seeds them from the virtual camera and the
# committed corpus, runs each target for the given seconds (default 600),
# one after the other, and merges what it found, minimised, into
# fuzz/corpus/<target>. Crashing inputs land in build-fuzz/artifacts/<target>.
#   bash fuzz/campaign.sh [seconds] [target...]      e.g. bash fuzz/campaign.sh 60 exif
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
all_targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/^fuzz_//; s/\.cpp$//')
targets=${*:-$all_targets}
build=build-fuzz
limits="-rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=5"

bash scripts/setup.sh fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRX_BUILD_FUZZ=ON \
  -DBRX_BUILD_TESTS=OFF -DBRX_BUILD_TOOLS=OFF -DBRX_SANITIZE=fuzzer-no-link,address,undefined >/dev/null
cmake --build "$build" -j"$(nproc)" --target brx_make_corpus $(printf 'fuzz_%s ' $targets)
rm -rf "$build/seeds"
ASAN_OPTIONS=detect_leaks=0 "$build/fuzz/brx_make_corpus" "$build/seeds"

for target in $targets; do
  program="$build/fuzz/fuzz_$target"
  work="$build/campaign/$target"
  artifacts="$build/artifacts/$target/"
  mkdir -p "$work" "$artifacts" "fuzz/corpus/$target" "$build/seeds/$target"
  echo "== $target: $seconds s"
  "$program" "$work" "fuzz/corpus/$target" "$build/seeds/$target" $limits -max_total_time="$seconds" \
    -artifact_prefix="$artifacts" -print_final_stats=1 >"$build/campaign/$target.log" 2>&1 \
    || echo "   finding, see $build/campaign/$target.log and $artifacts"
  grep -E "^stat::(number_of_executed_units|peak_rss_mb)|DONE|ERROR" "$build/campaign/$target.log" | tail -4 || true
  merged="$build/campaign/$target.merged"
  rm -rf "$merged" && mkdir -p "$merged"
  "$program" -merge=1 $limits -artifact_prefix="$artifacts" "$merged" "fuzz/corpus/$target" "$work" "$build/seeds/$target" >/dev/null 2>&1
  rm -rf "fuzz/corpus/$target" && mv "$merged" "fuzz/corpus/$target"
  echo "   corpus: $(ls "fuzz/corpus/$target" | wc -l) inputs"
done
