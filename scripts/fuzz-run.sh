#!/usr/bin/env bash
# Runs every libFuzzer harness of a fuzz build for SECONDS seconds each, two
# at a time, from its seed corpus in fuzz/corpus/NAME/, and prints a table of
# executions, speed and findings. Exit status 1 when anything was found.
#   scripts/fuzz-run.sh BUILD_DIR SECONDS [JOBS] [NAME...]
# With RUNS=N in the environment each harness stops after N executions
# instead (SECONDS is then the most it may take).
set -u
build=${1:?build dir}
seconds=${2:?seconds}
jobs=${3:-2}
shift 3 2>/dev/null || shift $#
here=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_OUT:-$build/fuzz-run}
rm -rf "$out"
mkdir -p "$out"

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for exe in "$build"/fuzz/*_fuzz; do [ -x "$exe" ] && names+=("$(basename "$exe")"); done
fi
if [ ${#names[@]} -eq 0 ]; then
  echo "no harness in $build/fuzz (run make fuzz first)" >&2
  exit 2
fi

run_one() {
  local name=$1 dir=$out/$1
  mkdir -p "$dir/corpus" "$dir/artifacts"
  local seeds=()
  [ -d "$here/fuzz/corpus/$name" ] && seeds=("$here/fuzz/corpus/$name")
  # New inputs go to the scratch corpus; the checked-in seeds stay as they are.
  local limit=()
  [ -n "${RUNS:-}" ] && limit=(-runs="$RUNS")
  timeout -k 10 $((seconds + 120)) "$build/fuzz/$name" -max_total_time="$seconds" "${limit[@]}" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
    "$dir/corpus" "${seeds[@]}" >"$dir/log" 2>&1
  echo $? >"$dir/rc"
}
export -f run_one
export out here build seconds RUNS

printf '%s\n' "${names[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one {}'

status=0
printf '%-24s %12s %10s %8s  %s\n' harness executions exec/s findings result
for name in "${names[@]}"; do
  dir=$out/$name
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log" | tail -1)
  findings=$(find "$dir/artifacts" -type f | wc -l)
  rc=$(cat "$dir/rc" 2>/dev/null || echo '?')
  result=ok
  if [ "$findings" -gt 0 ] || [ "$rc" != 0 ]; then
    result="rc=$rc $(find "$dir/artifacts" -type f -printf '%f ' | head -c 200) (log: $dir/log)"
    [ "$findings" -eq 0 ] && findings=1
    status=1
  fi
  printf '%-24s %12s %10s %8s  %s\n' "$name" "${runs:-?}" "${speed:-?}" "$findings" "$result"
done
exit $status
