#!/usr/bin/env bash
# Builds the host benchmarks without sanitizers, optimised, in build/bench and
# runs the receive-parser benchmark. Extra arguments go to the benchmark.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${RV_BENCH_DIR:-$root/build/bench}
cmake -S "$root" -B "$out" -DRV_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out" --target bench_parser -j "$(nproc)"
"$out/scripts/tools/bench_parser" "$@"
