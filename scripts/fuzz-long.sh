#!/usr/bin/env bash
# The long fuzzing run, not part of the test command: every target for at
# least 10^7 executions (FUZZ_RUNS to change it), with their times.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
export FUZZ_RUNS=${FUZZ_RUNS:-10000000}
time "$root/scripts/fuzz.sh"
