#!/usr/bin/env bash
# Builds the libFuzzer targets (build-fuzz/, clang) when needed and runs each
# parser's fuzzer (and the optimiser's and the SVG import's) for FUZZ_SECONDS seconds (default 30), starting from the
# committed seeds. Exits non-zero when any fuzzer finds a crash, a leak, an
# invariant broken, or an allocation far beyond the input's size.
#   FUZZ_SECONDS=3600 scripts/run-fuzz.sh            # each parser for an hour
#   FUZZ_TARGETS="fuzz_picture" scripts/run-fuzz.sh  # only some
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-30}"
targets=(${FUZZ_TARGETS:-fuzz_catalog fuzz_picture fuzz_palette fuzz_ilda fuzz_optimise fuzz_svg})
build=build-fuzz

if [[ ! -f "$build/build.ninja" ]]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DTREVASC_FUZZ=ON -DTREVASC_DATA_ONLY=ON >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# New inputs the fuzzers find go to a scratch corpus; the seeds stay as committed.
work="$build/fuzz-work"
mkdir -p "$work"
failed=()
for target in "${targets[@]}"; do
  corpus="$work/corpus-$target"
  artifacts="$work/artifacts-$target"
  rm -rf "$artifacts"
  mkdir -p "$corpus" "$artifacts"
  echo "== $target for ${seconds} s"
  # No single allocation may exceed 64 MiB (inputs are at most about 100 KiB,
  # the largest honest allocation is a written catalog of a few MiB).
  if ! ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=0" UBSAN_OPTIONS="print_stacktrace=1" \
    LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp" \
    "$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=64 \
      -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" \
      "$corpus" "fuzz/seeds/$target" >"$work/$target.log" 2>&1; then
    failed+=("$target")
  elif compgen -G "$artifacts/*" >/dev/null; then
    failed+=("$target")
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+== ERROR|SUMMARY|invariant broken)' \
    "$work/$target.log" || true
done

if [[ ${#failed[@]} -gt 0 ]]; then
  for target in "${failed[@]}"; do
    echo "FAILED: $target (log: $work/$target.log, inputs: $work/artifacts-$target/)"
    tail -n 40 "$work/$target.log"
  done
  exit 1
fi
echo "fuzzers: no findings"
