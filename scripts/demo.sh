#!/usr/bin/env bash
# The wizard's paths on scratch machines, answered by UI scripts: for each,
# the pages shown, the printers before and after, the status word the parent
# installer heard and the first lines of the installation report.
#   scripts/demo.sh BUILD_DIR PACKAGE_DIR
set -uo pipefail
build=${1:?build folder}; pkg=${2:?staged package folder}
kvsim=$build/bin/kvsim
kvparent=$build/bin/kvparent
for t in "$kvsim" "$kvparent" "$pkg/kv_setup"; do
  [ -x "$t" ] || { echo "demo: $t is missing (make stage first)" >&2; exit 1; }
done
work=$(mktemp -d /tmp/kvdemo.XXXXXX)
trap 'rm -rf "$work"' EXIT
export KVSIM_TIMESCALE=${KVSIM_TIMESCALE:-0.01}
if [ ! -e "$pkg/INSTDLL/NELI64.EXE" ]; then
  echo "note: the package has no stand-in installer (INSTDLL/NELI64.EXE): each path ends where it would start it."
fi

# One machine for the whole demo: the add path's printer is then there to be
# updated and deleted.
root=$work/machine
"$kvsim" --root "$root" create >/dev/null || exit 1
mkdir -p "$root/drive_c/PKG"
cp -a "$pkg/." "$root/drive_c/PKG/"
n=0

run_path() {  # TITLE SCRIPT ARGS...
  local title=$1 script=$2; shift 2
  n=$((n + 1))
  local dir=$work/run$n
  mkdir -p "$dir"
  printf '%b' "$script" > "$dir/ui.txt"
  echo
  echo "=== $title"
  echo "--- kv_setup $*"
  echo "--- printers before:"
  KVSIM_ROOT=$root "$kvsim" spooler list printers | sed 's/^/    /'
  # The report shown is this run's: an earlier run's must not stand in for it.
  local report
  report=$(KVSIM_ROOT=$root "$kvsim" path --temp 2>/dev/null | cut -f2)/INNELI.LOG
  [ -n "$report" ] && rm -f "$report"
  KVSIM_ROOT=$root KVSIM_UI="script:$dir/ui.txt" KVSIM_TRANSCRIPT="$dir/transcript.log" \
    "$kvparent" -- 'C:\PKG\kv_setup' "$@" >"$dir/parent.out" 2>"$dir/parent.err"
  local rc=$?
  echo "--- pages and boxes shown:"
  if [ -s "$dir/transcript.log" ]; then
    grep -E '^(== |-- |!! )' "$dir/transcript.log" | sed 's/^/    /'
  else
    echo "    (none)"
  fi
  echo "--- printers after:"
  KVSIM_ROOT=$root "$kvsim" spooler list printers | sed 's/^/    /'
  echo "--- status word to the parent: $(grep '^kind=0 ' "$dir/parent.out" | tail -1 | sed 's/^kind=0 //')   exit code: $rc"
  echo "--- INNELI.LOG (first lines):"
  if [ -n "$report" ] && [ -f "$report" ]; then head -n 8 "$report" | tr -d '\r' | sed 's/^/    /'; else echo "    (none)"; fi
}

run_path "Add a printer, interactively" \
  'page 1000: click 1003; ok\npage 133: uncheck 1011; ok\npage 135: ok\n'
run_path "Update the printers in use" \
  'page 1000: ok\npage 133: click 1008; ok\npage 134: ok\npage 135: ok\n'
run_path "Batch add (+B +A +N +Q)" '' +B '+A:KV LaserPro 5000' +N:Office +Q:0
run_path "Batch update (+B +R)" '' +B '+R:KV LaserPro 5000' +Q:0
run_path "Batch delete (+B +D)" '' +B '+D:KV LaserPro 5000' +Q:0
run_path "Licence declined" 'page 1000: click 1004; cancel\n'
