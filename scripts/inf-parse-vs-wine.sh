#!/usr/bin/env bash
# winsim's Setup API parse against Wine's setupapi.dll on the same generated
# INFs, by the same timing program (bench/inf_parse_timing.cpp) built twice.
#   scripts/inf-parse-vs-wine.sh [MODELS...]     (default 1724 10000)
# Needs build/native and build/mingw with the target inf_parse_timing.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
native=$here/build/native/bench/inf_parse_timing
windows=$here/build/mingw/bench/inf_parse_timing.exe
work=$(mktemp -d /tmp/kvinfcmp.XXXXXX)
trap 'scripts/wine-prefix.sh destroy "$work/prefix"; rm -rf "$work"' EXIT
cd "$here"
scripts/wine-prefix.sh create "$work/prefix" || exit 1
export KVSIM_ROOT=$work/machine
rounds=${ROUNDS:-20}
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(1724 10000)
for models in "${sizes[@]}"; do
  "$native" --write "$models" "$work/m$models.inf" || exit 1
  win="Z:${work//\//\\}\\m$models.inf"
  echo "== $models models"
  printf 'winsim: '; "$native" "$win" Models.NTamd64 "$rounds"
  printf 'wine:   '; KV_WINEPREFIX=$work/prefix KV_WINE_TIMEOUT=300 scripts/wine-run.sh "$windows" "$win" Models.NTamd64 "$rounds"
  # On a busy host the wall times above mostly measure waiting: the processor
  # time of CPU_ROUNDS more parses, per parse, says what a parse costs. The
  # clock counts in 10 ms steps: enough rounds for about two seconds of work
  # keep that step under 1% of the figure.
  cpu_rounds=${CPU_ROUNDS:-$(( models < 2000 ? 1000 : 2000000 / models ))}
  for side in winsim wine; do
    cpu() {
      if [ $side = winsim ]; then
        /usr/bin/time -f '%U %S' "$native" "$win" Models.NTamd64 "$1" 2>&1 >/dev/null | tail -1
      else
        KV_WINEPREFIX=$work/prefix KV_WINE_TIMEOUT=300 /usr/bin/time -f '%U %S' scripts/wine-run.sh "$windows" "$win" \
          Models.NTamd64 "$1" 2>&1 >/dev/null | tail -1
      fi
    }
    one=$(cpu 1); many=$(cpu $((cpu_rounds + 1)))
    awk -v a="$one" -v b="$many" -v n="$cpu_rounds" -v s="$side" 'BEGIN {
      split(a, x, " "); split(b, y, " ");
      printf "%s processor time per parse: %.3f ms\n", s, ((y[1] + y[2]) - (x[1] + x[2])) * 1000 / n }'
  done
done
