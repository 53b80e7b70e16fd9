#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs them for a
# bounded time: FUZZ_SECONDS in all (default 30), shared evenly between the
# targets; or, with FUZZ_RUNS set, each target for that many executions.
# Fails on any finding.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${RV_FUZZ_DIR:-$root/build/fuzz}
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
cmake -S "$root" -B "$out" -DRV_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
targets=$(cd "$root/tests/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
count=$(echo "$targets" | wc -w)
for target in $targets; do
  cmake --build "$out" --target "$target" -j "$(nproc)"
done
seconds=$(( (${FUZZ_SECONDS:-30} + count - 1) / count ))
for target in $targets; do
  corpus="$out/corpus/$target"
  mkdir -p "$corpus"
  if [ -n "${FUZZ_RUNS:-}" ]; then
    limit=(-runs="$FUZZ_RUNS")
    echo "== $target for $FUZZ_RUNS runs"
  else
    limit=(-max_total_time="$seconds")
    echo "== $target for ${seconds}s"
  fi
  # Findings are written into the build folder, never into the tree.
  (cd "$out" && "$out/tests/fuzz/$target" "${limit[@]}" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "$corpus")
done
