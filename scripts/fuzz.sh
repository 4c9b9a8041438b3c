#!/usr/bin/env bash
# Fuzzes every target for a while (FUZZ_SECONDS, 60 by default), two at a time,
# from a copy of its kept corpus and with a fixed seed, so that a fault the
# corpus does not yet hold still fails the run. A target that aborts, leaks,
# hangs or runs out of memory prints the input that does it; that input then
# belongs in fuzz/corpus/<target>/ with the commit that mends the fault.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

seconds=${FUZZ_SECONDS:-60}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTRELVO_FUZZ=ON \
  -DTRELVO_GUI=OFF -DTRELVO_TESTS=OFF -DTRELVO_BENCH=OFF >/dev/null
targets=$(cd fuzz && ls *Fuzz.cpp | sed 's/\.cpp$//')
cmake --build build-fuzz -j "$(nproc)" --target $targets

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fuzz_one() {
  local target=$1 seconds=$2 work=$3
  mkdir -p "$work/$target/corpus" "$work/$target/found"
  cp -r "fuzz/corpus/$target/." "$work/$target/corpus/" 2>/dev/null || true
  if nice -n 10 "./build-fuzz/bin/$target" -seed=1 -max_total_time="$seconds" -timeout=30 \
       -rss_limit_mb=2048 -artifact_prefix="$work/$target/found/" "$work/$target/corpus" \
       >"$work/$target/log" 2>&1; then
    echo "$target: no fault in ${seconds} s"
  else
    echo "$target: FAULT"
    tail -n 40 "$work/$target/log"
    for input in "$work/$target/found/"*; do
      [ -f "$input" ] || continue
      echo "reproducing input $(basename "$input") ($(stat -c %s "$input") bytes):"
      od -A x -t x1z -v "$input" | head -n 40
    done
    return 1
  fi
}
export -f fuzz_one

printf '%s\n' $targets | xargs -P 2 -I{} bash -c 'fuzz_one "$@"' _ {} "$seconds" "$work"
echo "every fuzz target ran ${seconds} s without a fault"
