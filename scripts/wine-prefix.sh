#!/usr/bin/env bash
# One Wine prefix for a whole test run: booted once, crash dialogs off.
#   wine-prefix.sh create DIR   boots a fresh prefix in DIR
#   wine-prefix.sh desktop DIR  starts the virtual desktop "Default" (1024x768) and
#                               keeps it running until the prefix is destroyed
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
    # Wine's own fonts (Tahoma, the dialog font; Marlett, the caption
    # buttons) where this Wine looks for them: the prefix's Fonts folder.
    if [ -d /usr/share/wine/fonts ]; then
      for font in /usr/share/wine/fonts/*.ttf; do
        [ -e "$font" ] && ln -sf "$font" "$dir/drive_c/windows/Fonts/"
      done
    fi
    # Japanese pages: Wine gives the dialog font to MS UI Gothic, which it
    # does not have; without a replacement it falls back to a font with no
    # Japanese letters and the pages show boxes.
    for face in "MS UI Gothic" "MS Gothic"; do
      timeout 60 wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null 2>&1
    done
    timeout 60 wineserver -w
    ;;
  desktop)
    # Every window of the prefix opens inside this desktop: windows get
    # their frames and title bars, and a closing dialog does not wait for a
    # window manager. Started once and kept, so that the first program of a
    # run does not find it half drawn.
    timeout 30 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    timeout 30 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    wine explorer /desktop=Default,1024x768 >/dev/null 2>&1 </dev/null &
    sleep 2
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
