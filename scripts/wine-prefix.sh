#!/usr/bin/env bash
# One Wine prefix for a whole test run: booted once, crash dialogs off.
#   wine-prefix.sh create DIR   boots a fresh prefix in DIR
#   wine-prefix.sh destroy DIR  stops its wineserver, ends leftover processes, removes DIR
set -uo pipefail
cmd=${1:?create or destroy}; dir=${2:?prefix folder}
export WINEPREFIX=$dir WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case "$cmd" in
  create)
    rm -rf "$dir"; mkdir -p "$dir"
    timeout 180 wineboot -i >/dev/null 2>&1 || { echo "wine-prefix: wineboot failed" >&2; exit 1; }
    timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # Wine ships no printer INF of its own (ntprint.inf): the prefix gets the
    # one the simulated machines have, so that printer INF files that take
    # Windows' core driver read the same sections under Wine.
    here=$(cd "$(dirname "$0")" && pwd)
    mkdir -p "$dir/drive_c/windows/inf"
    cp "$here/../tests/data/system/ntprint.inf" "$dir/drive_c/windows/inf/ntprint.inf"
    timeout 60 wineserver -w
    ;;
  destroy)
    timeout 30 wineserver -k >/dev/null 2>&1
    # Wine leaves services.exe and friends behind after a kill: end the ones
    # that belong to this prefix, by their ids.
    for pid in $(pgrep -f '\.exe' 2>/dev/null); do
      if { tr "\0" "\n" < "/proc/$pid/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$dir"; then
        kill -9 "$pid" 2>/dev/null
      fi
    done
    rm -rf "$dir"
    ;;
esac
