#!/usr/bin/env bash
# Runs a Windows program under Wine quietly, in the run's prefix.
# WINEPREFIX comes from the caller (the test command makes one per run);
# without one, a prefix beside this tree's build is made once and reused.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$here/../build/wineprefix"
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$here/make-wine-prefix.sh" "$WINEPREFIX" >/dev/null
fi
exec wine "$@"
