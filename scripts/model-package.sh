#!/usr/bin/env bash
# A generated package of one INF with MODELS model lines on one install
# section, shaped as bench/candidate_list_bench.cpp makes it, for measuring
# `kvpkg analyze` from the shell:
#   scripts/model-package.sh MODELS FOLDER     (writes FOLDER/DISK1)
#   KVSIM_ROOT=/tmp/m /usr/bin/time -f '%U %S %M' build/native/bin/kvpkg analyze 'Z:\FOLDER\DISK1'
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 MODELS FOLDER" >&2
  exit 64
fi
models=$1
dir=$2/DISK1
mkdir -p "$dir"
awk -v n="$models" 'BEGIN {
  ORS = "\r\n"
  print "[Version]"; print "Signature=\"$Windows NT$\""; print "Class=Printer"
  print "Provider=%Maker%"; print "CatalogFile=kv.cat"
  print "[Manufacturer]"; print "%Maker%=Models,NTamd64"; print "[Models.NTamd64]"
  for (i = 0; i < n; ++i) {
    m = "0_" i
    print "\"%Maker% Model " m "\" = DRV_INSTALL, USBPRINT\\MakerModel" m ", MakerModel" m
  }
  print "[DRV_INSTALL]"; print "CopyFiles=DRV_FILES,@kvdrv.gpd"; print "DriverFile=kvdrv.dll"
  print "ConfigFile=kvui.dll"; print "PrintProcessor=WinPrint,"
  print "[DRV_FILES]"; print "kvdrv.dll"; print "kvui.dll"
  print "[DestinationDirs]"; print "DefaultDestDir=66000"; print "[Strings]"; print "Maker=\"Bench Maker\""
}' > "$dir/kv0.inf"
for f in kvdrv.dll kvui.dll kvdrv.gpd; do printf x > "$dir/$f"; done
printf '[DrvInst]\r\nVersion=3\r\nPlatform=NTamd64\r\nModelName=KV\r\n' > "$dir/DRVINST.DSC"
