#!/usr/bin/env bash
# Builds everything and runs every test: the frame-data tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, a short run of each
# fuzzer, then the whole test suite of the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

echo "== frame data under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTREVASC_SANITIZE=ON -DTREVASC_DATA_ONLY=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure

echo "== fuzzers (${FUZZ_SECONDS:-30} s each)"
FUZZ_SECONDS="${FUZZ_SECONDS:-30}" scripts/run-fuzz.sh

echo "== all tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure
