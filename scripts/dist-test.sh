#!/usr/bin/env bash
# The release tried as a printer maker tries it, under Wine: the release zip
# unzipped beside the sample package's drivers and stand-ins, a batch add of
# the sample printer, and the printer is in the spooler afterwards. Also: the
# release holds what a maker ships and none of the test doubles.
#
#   scripts/dist-test.sh DIST_FOLDER
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dist=$(cd "${1:?folder with the zips}" && pwd)
release=$(ls "$dist"/KV_SETUP-*-win64.zip 2>/dev/null | head -n 1)
sample=$(ls "$dist"/KV_SETUP-*-win64-sample-package.zip 2>/dev/null | head -n 1)
fail() { echo "dist-test: FAIL $*"; exit 1; }
[ -f "$release" ] || fail "no KV_SETUP-<version>-win64.zip in $dist (make dist)"
[ -f "$sample" ] || fail "no KV_SETUP-<version>-win64-sample-package.zip in $dist (make dist)"

# ---- What the release holds --------------------------------------------------------------
listing=$(python3 -m zipfile -l "$release" | awk 'NR > 1 { print $1 }' | tr -d '\r')
for want in KV_SETUP.exe KVISETUP.INI Resource.ini ResourceDef.ini PACKAGE-GUIDE.md \
            Resource/KV_MSG_ENU.INI Resource/KV_MSG_JPN.INI Resource/KV_MSG_DEU.INI \
            License/DI_ENU.txt License/DI_JPN.txt License/DI_DEU.txt; do
  grep -qx -- "$want" <<<"$listing" || fail "the release lacks $want"
done
if grep -iE '^(INSTDLL|NETDLL|DRIVERS)/|NELI|NQCORE' <<<"$listing"; then
  fail "the release holds the sample package's stand-ins or drivers (above)"
fi
# The configuration a maker edits explains its keys.
python3 - "$release" <<'PY' || fail "KVISETUP.INI of the release has no comments"
import sys, zipfile
text = zipfile.ZipFile(sys.argv[1]).read("KVISETUP.INI").decode("latin-1")
sys.exit(0 if sum(1 for line in text.splitlines() if line.startswith(";")) >= 10 else 1)
PY

# ---- Unzipped beside the drivers: a batch add ----------------------------------------------
command -v wine >/dev/null || fail "wine is not installed (scripts/deps.sh)"
work=$(mktemp -d /tmp/kvdist.XXXXXX)
prefix=$work/prefix
cleanup() { "$here/wine-prefix.sh" destroy "$prefix"; rm -rf "$work"; }
trap cleanup EXIT
"$here/wine-prefix.sh" create "$prefix" || fail "the Wine prefix could not be made"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
kit=$prefix/drive_c/KIT
mkdir -p "$kit"
python3 -m zipfile -e "$sample" "$kit" && python3 -m zipfile -e "$release" "$kit" || fail "the zips do not unzip"
# The spooler runs, as on the maker's machine (a new prefix has it stopped;
# automatic start keeps it running whenever a program of the prefix runs).
wineserver -p
timeout 30 wine reg add 'HKLM\System\CurrentControlSet\Services\Spooler' /v Start /t REG_DWORD /d 2 /f \
  >/dev/null 2>&1
timeout 30 wine net start spooler >/dev/null 2>&1
timeout 30 wine sc query spooler 2>/dev/null | grep -q RUNNING || fail "Wine's spooler service does not start"
printer="Maker Trial"
# +1: no message box waits for an answer; the exit code is the installer's.
timeout 120 wine 'C:\KIT\KV_SETUP.exe' +B +1 '+A:KV LaserPro 5000' "+N:$printer" +Q:0 >"$work/run.out" 2>&1
rc=$?
key="HKLM\\System\\CurrentControlSet\\Control\\Print\\Printers\\$printer"
if ! timeout 30 wine reg query "$key" /v "Printer Driver" 2>/dev/null | tr -d '\r' | grep -q "KV LaserPro 5000"; then
  tail -n 5 "$work/run.out" "$prefix/drive_c/users/root/Temp/INNELI.LOG" 2>/dev/null
  fail "after the batch add (exit $rc) the spooler holds no printer \"$printer\" of driver KV LaserPro 5000"
fi
[ $rc = 0 ] || fail "the batch add put the printer in but ended with exit $rc"
echo "dist-test: ok   $(basename "$release") beside $(basename "$sample"): \"$printer\" added in batch"
