#!/usr/bin/env bash
# Runs one Windows test program under Wine in the run's prefix (KV_WINEPREFIX),
# never for longer than KV_WINE_TIMEOUT seconds.
set -uo pipefail
: "${KV_WINEPREFIX:?set by the test target}"
export WINEPREFIX=$KV_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec timeout "${KV_WINE_TIMEOUT:-600}" wine "$@"
