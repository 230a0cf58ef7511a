#!/usr/bin/env bash
# Minimises the seed corpus of each harness named: fuzz/corpus/NAME/ becomes
# the smallest set of its own inputs and those of the extra folders (a
# campaign's scratch corpus, say $BUILD_DIR/fuzz-run/NAME/corpus) that keeps
# every feature they reach.
#   scripts/fuzz-merge.sh BUILD_DIR NAME [EXTRA_DIR...]
# MAX_LEN=N in the environment reads inputs only to N bytes (seeds stay small).
set -eu
build=${1:?build dir}
name=${2:?harness name}
shift 2
here=$(cd "$(dirname "$0")/.." && pwd)
seeds=$here/fuzz/corpus/$name
new=$(mktemp -d "${TMPDIR:-/tmp}/kvmerge-$name-XXXXXX")
trap 'rm -rf "$new"' EXIT
mkdir -p "$seeds"
extra=()
for d in "$@"; do [ -d "$d" ] && extra+=("$d"); done
"$build/fuzz/$name" -merge=1 ${MAX_LEN:+-max_len=$MAX_LEN} -timeout=10 -rss_limit_mb=2048 "$new" "$seeds" "${extra[@]}" >"$new.log" 2>&1 || {
  tail -20 "$new.log" >&2
  rm -f "$new.log"
  exit 1
}
rm -f "$new.log"
rm -rf "$seeds"
mkdir -p "$seeds"
cp "$new"/* "$seeds"/ 2>/dev/null || true
echo "$name: $(find "$seeds" -type f | wc -l) inputs, $(cat "$seeds"/* 2>/dev/null | wc -c) bytes"
