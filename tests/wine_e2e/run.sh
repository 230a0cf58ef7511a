#!/usr/bin/env bash
# The same UI scripts on both builds: each scenario runs the native program on
# a scratch winsim machine (under kvparent) and the Windows program under Wine
# (under kvdrive, in one Wine prefix for the whole run), and the two
# transcripts must agree line by line, apart from the recorded Wine
# departures (departures.txt).
#
#   tests/wine_e2e/run.sh NATIVE_BUILD MINGW_BUILD [--pages DIR] [SCENARIO...]
#
# SCENARIO names limit the run to those scenarios (scenario_list in
# scenarios.sh names them all).
#
# Needs a display: run it under xvfb-run -a. With --pages it runs the gallery
# gallery instead (tests/wine_e2e/gallery.sh: every path in English, Japanese
# and German) and keeps a picture of every page and box in DIR.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
native=$(cd "${1:?native build folder}" && pwd); shift
mingw=$(cd "${1:?MinGW build folder}" && pwd); shift
pages=""
if [ "${1:-}" = "--pages" ]; then pages=$(mkdir -p "$2" && cd "$2" && pwd); shift 2; fi
only=("$@")

: "${DISPLAY:?a display is needed: run under xvfb-run -a}"
for f in "$native/bin/kv_setup" "$native/bin/kvsim" "$native/bin/kvparent" \
         "$mingw/src/KV_SETUP.exe" "$mingw/tools/kvdrive/kvdrive.exe" "$mingw/tools/kvdrive/kvdrive_hook.dll" \
         "$mingw/tools/kvplug/kvplug.exe"; do
  [ -e "$f" ] || { echo "wine-e2e: $f is not built" >&2; exit 2; }
done
# Every wine call ends within this many seconds, whatever the program does.
: "${KV_WINE_E2E_TIMEOUT:=60}"
export KVSIM_TIMESCALE=0.01

work=$(mktemp -d /tmp/kvwine-e2e.XXXXXX)
prefix=$work/prefix
cleanup() {
  "$src/scripts/wine-prefix.sh" destroy "$prefix"
  [ -n "${KEEP:-}" ] && { echo "wine-e2e: kept $work"; return; }
  rm -rf "$work"
}
trap cleanup EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
started=$(date +%s)
"$src/scripts/wine-prefix.sh" create "$prefix" || exit 2
# One wineserver for the whole run: each program then starts in a fraction
# of the time, and the services keep the state a scenario gives them.
# (wine-prefix.sh destroy ends it.)
wineserver -p
# A virtual desktop, started before the first program and kept: windows get
# their frames and title bars (for the pictures) and a closing dialog does
# not wait for a window manager that is not there.
"$src/scripts/wine-prefix.sh" desktop "$prefix"
mkdir -p "$prefix/drive_c/kvdrive"
cp "$mingw/tools/kvdrive/kvdrive.exe" "$mingw/tools/kvdrive/kvdrive_hook.dll" "$mingw/tools/kvplug/kvplug.exe" \
   "$prefix/drive_c/kvdrive/"

# ---- Running one side --------------------------------------------------------------------

# The package as the stage script lays it out, with the program of the build.
stage_package() {  # DEST PROGRAM NAME
  rm -rf "$1"; mkdir -p "$1"
  cp -a "$src/examples/package/." "$1/"
  [ -d "$native/stage" ] && cp -a "$native/stage/." "$1/"
  [ -d "$mingw/stage" ] && [ "$3" = KV_SETUP.exe ] && cp -a "$mingw/stage/." "$1/"
  cp "$2" "$1/$3"
}

native_machine() {  # ROOT: a fresh machine with the package on its C:
  "$native/bin/kvsim" --root "$1" create >/dev/null || return 1
  stage_package "$1/drive_c/PKG" "$native/bin/kv_setup" kv_setup
}

# native_run DIR NAME SCRIPT ARGS...: kvparent -- C:\PKG\kv_setup ARGS answered by
# DIR/SCRIPT, the transcript in DIR/NAME.native, the parent's lines in
# DIR/NAME.native.parent.
native_run() {
  local dir=$1 name=$2 script=$3; shift 3
  (cd "$dir" && KVSIM_ROOT="$dir/machine" KVSIM_UI="script:$script" KVSIM_TRANSCRIPT="$dir/$name.native" \
     timeout 60 "$native/bin/kvparent" -- 'C:\PKG\kv_setup' "$@" \
     >"$dir/$name.native.parent" 2>"$dir/$name.native.err")
}

# wine_run DIR NAME SCRIPT ARGS...: kvdrive --parent -- C:\PKG\KV_SETUP.exe ARGS.
wine_run() {
  local dir=$1 name=$2 script=$3; shift 3
  local shots=()
  [ -n "$pages" ] && shots=(--shots "$(winepath -w "$dir/shots" 2>/dev/null)")
  (cd "$dir" && timeout "$KV_WINE_E2E_TIMEOUT" wine 'C:\kvdrive\kvdrive.exe' --parent --script "$script" \
     --transcript "$name.wine" "${shots[@]}" -- 'C:\PKG\KV_SETUP.exe' "$@" \
     >"$dir/$name.wine.parent" 2>"$dir/$name.wine.err")
}

# running | stopped: the state of Wine's spooler service when the program
# starts. Wine's services end whenever no program of the prefix runs, and
# start again with the next one: the service's start type carries the state
# over (automatic start for running), and it is checked.
spooler() {
  local want=RUNNING verb=start start=2 n
  [ "$1" = stopped ] && { want=STOPPED; verb=stop; start=3; }
  timeout 30 wine reg add 'HKLM\System\CurrentControlSet\Services\Spooler' /v Start /t REG_DWORD /d $start /f \
    >/dev/null 2>&1
  for n in 1 2 3; do
    timeout 30 wine sc query spooler 2>/dev/null | grep -q "$want" && return 0
    timeout 30 wine net "$verb" spooler >/dev/null 2>&1
  done
  timeout 30 wine sc query spooler 2>/dev/null | grep -q "$want" || report "the spooler is not $1"
}

# ---- Judging -----------------------------------------------------------------------------

failures=0
report() { echo "wine-e2e: $*"; }

# departs_by_pattern SCENARIO TEXT: a "~ REGEX" departure of the scenario
# (or of every one) matches the whole line TEXT, on either side.
departs_by_pattern() {
  local entry
  while IFS= read -r entry; do
    case $entry in
      "$1: ~ "*) entry=${entry#"$1: ~ "} ;;
      "*: ~ "*) entry=${entry#"*: ~ "} ;;
      *) continue ;;
    esac
    printf '%s\n' "$2" | grep -Exq -- "$entry" && return 0
  done <"$here/departures.txt"
  return 1
}

# compare DIR NAME SCENARIO: the transcripts agree but for recorded departures,
# and both sides ended with the same exit code.
compare() {
  local dir=$1 name=$2 scenario=$3 bad=0 line
  if [ ! -s "$dir/$name.wine" ] && [ -s "$dir/$name.native" ]; then
    report "FAIL $scenario: no transcript under Wine ($(tail -n 3 "$dir/$name.wine.err" | tr '\n' ' '))"
    failures=$((failures + 1)); return
  fi
  while IFS= read -r line; do
    grep -Fxq -- "$scenario: $line" "$here/departures.txt" && continue
    grep -Fxq -- "*: $line" "$here/departures.txt" && continue
    departs_by_pattern "$scenario" "${line:2}" && continue
    [ $bad = 0 ] && report "FAIL $scenario: the transcripts differ (- native, + Wine):"
    echo "    $line"; bad=1
  done < <(diff --old-line-format='- %L' --new-line-format='+ %L' --unchanged-line-format='' \
             <(cat "$dir/$name.native" 2>/dev/null | tr -d '\r') <(cat "$dir/$name.wine" 2>/dev/null | tr -d '\r'))
  if [ "$(cat "$dir/$name.native.rc")" != "$(cat "$dir/$name.wine.rc")" ]; then
    report "FAIL $scenario: exit $(cat "$dir/$name.native.rc") natively, $(cat "$dir/$name.wine.rc") under Wine"
    tail -n 5 "$dir/$name.wine.err" "$dir/$name.native.err" 2>/dev/null | sed 's/^/    /'
    bad=1
  fi
  if [ $bad = 0 ]; then report "ok   $scenario ($name)"; else failures=$((failures + 1)); fi
}

# run_both SCENARIO SCRIPT ARGS...: one run on each side with the same script.
run_both() {
  local scenario=$1 script=$2; shift 2
  local dir=$work/$scenario
  mkdir -p "$dir/shots"
  printf '%s' "$script" >"$dir/ui.txt"
  [ -d "$dir/machine" ] || native_machine "$dir/machine"
  native_run "$dir" run ui.txt "$@"; echo $? >"$dir/run.native.rc"
  stage_package "$prefix/drive_c/PKG" "$mingw/src/KV_SETUP.exe" KV_SETUP.exe
  wine_run "$dir" run ui.txt "$@"; echo $? >"$dir/run.wine.rc"
  [ -z "$pages" ] && compare "$dir" run "$scenario"
  true
}

wanted() {
  [ ${#only[@]} = 0 ] && return 0
  local s; for s in "${only[@]}"; do [ "$s" = "$1" ] && return 0; done; return 1
}

. "$here/scenarios.sh"
. "$here/gallery.sh"

if [ -n "$pages" ]; then
  gallery
else
  for s in $(scenario_list); do wanted "$s" && "scenario_${s//-/_}"; done
fi
report "$failures failed, $(( $(date +%s) - started )) s"
[ $failures = 0 ]
