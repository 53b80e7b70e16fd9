#!/usr/bin/env bash
# Installs what is missing, builds both builds and runs every test.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

echo "== format check"
"$root/scripts/check-format.sh"
"$root/scripts/check-format-strings.py"

echo "== build"
"$root/scripts/build.sh"

# One Wine prefix for the whole run, thrown away afterwards.
run_dir=$(mktemp -d /tmp/rv-sola62-test.XXXXXX)
trap 'WINEPREFIX="$run_dir/prefix" wineserver -k >/dev/null 2>&1 || true; rm -rf "$run_dir"' EXIT
export WINEPREFIX="$run_dir/prefix"
"$root/scripts/make-wine-prefix.sh" "$WINEPREFIX" >/dev/null

echo "== host tests"
ctest --test-dir "$root/build/host" --output-on-failure
echo "== Windows tests under Wine"
ctest --test-dir "$root/build/win" --output-on-failure

echo "== fuzzing the receive parser, the configuration file, the entry checks, the server's client streams and a broker's command message (${FUZZ_SECONDS:-30} s in all)"
RV_FUZZ_DIR="$root/build/fuzz" "$root/scripts/fuzz.sh"
echo "== all tests passed"
