#!/usr/bin/env bash
# Stages the sample package with the native programs beside it.
set -euo pipefail
build=${1:?build folder}; out=${2:?package folder}
rm -rf "$out"; mkdir -p "$out"
[ -d examples/package ] && cp -a examples/package/. "$out"/
for tool in bin/kv_setup bin/kvsim; do
  [ -x "$build/$tool" ] && cp "$build/$tool" "$out"/
done
# Stand-ins and other tools add themselves here as they are built.
for extra in "$build"/stage/*; do
  [ -e "$extra" ] && cp -a "$extra" "$out"/
done
true
