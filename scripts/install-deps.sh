#!/usr/bin/env bash
# Installs, from Debian's packages, whatever of the build and test tools is missing.
set -eu
packages=(
  cmake make g++ clang libclang-rt-14-dev clang-format libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 fonts-wine xvfb xauth x11-utils socat fonts-ipafont-gothic imagemagick python3
  libcli11-dev nlohmann-json3-dev libserialport-dev pkg-config libfccp-dev hyperfine
  libasio-dev libmosquitto-dev mosquitto mosquitto-clients python3-pyvisa python3-pyvisa-py
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q "${missing[@]}"
fi
