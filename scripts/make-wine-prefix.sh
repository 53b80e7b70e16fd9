#!/usr/bin/env bash
# Makes a fresh Wine prefix for running and testing the program.
set -eu
prefix=${1:?usage: make-wine-prefix.sh DIR}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
mkdir -p "$prefix"
wineboot -i >/dev/null 2>&1
# Without a window manager, unmanaged windows keep message boxes from stalling.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
echo "$prefix"
