#!/usr/bin/env bash
# Builds the host build (core, unit tests, simulator) and the Windows build
# (the program and the same tests as .exe files). RV_BUILD_DIR picks the
# folder that holds both (default: build).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${RV_BUILD_DIR:-$root/build}
case "$out" in /*) ;; *) out="$root/$out" ;; esac
jobs=$(nproc)
cmake -S "$root" -B "$out/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$out/host" -j "$jobs"
cmake -S "$root" -B "$out/win" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DRV_HOST_BUILD_DIR="$out/host" >/dev/null
cmake --build "$out/win" -j "$jobs"
