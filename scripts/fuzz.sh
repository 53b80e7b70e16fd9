#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each for a
# bounded time (FUZZ_SECONDS, default 30). Fails on any finding.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${RV_FUZZ_DIR:-$root/build/fuzz}
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
seconds=${FUZZ_SECONDS:-30}
cmake -S "$root" -B "$out" -DRV_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
targets=$(cd "$root/tests/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
for target in $targets; do
  cmake --build "$out" --target "$target" -j "$(nproc)"
done
for target in $targets; do
  corpus="$out/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target for ${seconds}s"
  # Findings are written into the build folder, never into the tree.
  (cd "$out" && "$out/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "$corpus")
done
