#!/usr/bin/env bash
# Builds the driver files of the sample package into OUT/DRIVERS/...: real
# PE DLLs with printer-driver version resources, some stored the way real
# packages store them (LZ-compressed under the "_" name, or a one-file
# cabinet under that name).
#   build.sh OUT
set -euo pipefail
out=${1:?output folder}
here=$(cd "$(dirname "$0")" && pwd)
prefix=${KV_MINGW_PREFIX:-x86_64-w64-mingw32}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# dll ARCH NAME VERSION(a.b.c.d) DESCRIPTION [CFLAGS]
dll() {
  local arch=$1 name=$2 ver=$3 desc=$4 cflags=${5:-}
  IFS=. read -r v1 v2 v3 v4 <<<"$ver"
  sed -e "s/@V1@/$v1/g; s/@V2@/$v2/g; s/@V3@/$v3/g; s/@V4@/$v4/g; s/@NAME@/$name/g; s/@DESC@/$desc/g" \
    "$here/version.rc.in" >"$work/$name.rc"
  if [ "$arch" = x64 ]; then
    "$prefix-windres" "$work/$name.rc" -o "$work/$name.res.o"
    "$prefix-gcc" -shared -nostdlib -e DllMainCRTStartup -O2 -s $cflags "$here/dllmain.c" "$work/$name.res.o" \
      -o "$work/$name"
  else
    "$prefix-windres" --target=pe-i386 "$work/$name.rc" -o "$work/$name.res.o"
    "$prefix-gcc" -m32 -ffreestanding -O2 -c "$here/dllmain.c" -o "$work/$name.main.o"
    "$prefix-ld" -m i386pe --dll -s -T "$here/pe32.x" -e _DllMainCRTStartup@12 \
      "$work/$name.main.o" "$work/$name.res.o" -o "$work/$name"
  fi
}

# The "_" name of a file: the last letter of its extension replaced.
underscore() { local n=$1; echo "${n%?}_"; }

# szdd NAME DEST: compressed with mscompress, which appends "_" to the whole
# name, so its output is renamed to the usual form.
szdd() {
  (cd "$work" && mscompress "$1")
  mv "$work/$1_" "$2/$(underscore "$1")"
}

# cab NAME DEST: a one-file MSZIP cabinet under the "_" name.
cab() {
  (cd "$work" && gcab -c -z -n "$1.cab" "$1")
  mv "$work/$1.cab" "$2/$(underscore "$1")"
}

disk1=$out/DRIVERS/DISK1; disk2=$out/DRIVERS/DISK2; x86=$out/DRIVERS/X86; nt4=$out/DRIVERS/NT4
mkdir -p "$disk1" "$disk2" "$x86" "$nt4"

# x64, version 3: the driver plain, the user interface and the language
# monitor compressed, the print processor on the second disk.
dll x64 KVDRV64.DLL 0.3.5.1 "KV printer driver (x64)"
dll x64 KVUI64.DLL 0.3.5.1 "KV printer driver user interface (x64)"
dll x64 KVLM64.DLL 0.3.5.1 "KV language monitor (x64)" -DKV_LANGUAGE_MONITOR
dll x64 KVPP64.DLL 0.3.5.1 "KV print processor (x64)"
cp "$work/KVDRV64.DLL" "$disk1/"
szdd KVUI64.DLL "$disk1"
szdd KVLM64.DLL "$disk1"
cp "$work/KVPP64.DLL" "$disk2/"

# x86, version 3: the user interface as a cabinet.
dll x86 KVDRV32.DLL 0.3.5.1 "KV printer driver (x86)"
dll x86 KVUI32.DLL 0.3.5.1 "KV printer driver user interface (x86)"
cp "$work/KVDRV32.DLL" "$x86/"
cab KVUI32.DLL "$x86"

# A version-2 (kernel-mode) driver for older systems.
dll x86 KVNT4DRV.DLL 0.2.1.0 "KV printer driver (NT 4.0)"
szdd KVNT4DRV.DLL "$nt4"

# catalogue INF NAME FILE...: the catalogue the INF names (CatalogFile=),
# beside it: a certificate trust list of catalogue members, one per file
# (its SHA-1 hash as the member's tag), in a PKCS #7 signed-data envelope.
# It is not signed: the sample package is a test package.
catalogue() {
  local inf=$1 name=$2; shift 2
  local conf=$work/$name.cnf n=0 f
  {
    printf 'asn1=SEQUENCE:envelope\n'
    printf '[envelope]\ntype=OID:1.2.840.113549.1.7.2\ncontent=EXPLICIT:0,SEQUENCE:signed\n'
    printf '[signed]\nversion=INTEGER:1\ndigests=SET:digests\nlist=SEQUENCE:list\nsigners=SET:none\n[none]\n'
    printf '[digests]\nsha1=SEQUENCE:sha1\n[sha1]\noid=OID:sha1\nnull=NULL\n'
    printf '[list]\ntype=OID:1.3.6.1.4.1.311.10.1\nctl=EXPLICIT:0,SEQUENCE:ctl\n'
    printf '[ctl]\nusage=SEQUENCE:usage\nid=FORMAT:HEX,OCTETSTRING:%s\n' \
      "$(sha1sum "$inf" | cut -c1-32 | tr a-f A-F)"
    printf 'when=UTCTIME:260601000000Z\nalgorithm=SEQUENCE:member_algorithm\nmembers=SEQUENCE:members\n'
    printf '[usage]\noid=OID:1.3.6.1.4.1.311.12.1.1\n'
    printf '[member_algorithm]\noid=OID:1.3.6.1.4.1.311.12.1.2\nnull=NULL\n'
    printf '[members]\n'
    for f in "$inf" "$@"; do n=$((n + 1)); printf 'm%d=SEQUENCE:m%d\n' $n $n; done
    n=0
    for f in "$inf" "$@"; do
      n=$((n + 1))
      printf '[m%d]\ntag=FORMAT:ASCII,OCTETSTRING:%s\nattributes=SET:none\n' $n \
        "$(sha1sum "$f" | cut -d' ' -f1 | tr a-f A-F)"
    done
  } >"$conf"
  openssl asn1parse -genconf "$conf" -noout -out "$(dirname "$inf")/$name" >/dev/null
}

# The INFs' catalogues, over the files they install (as installed, that is
# expanded).
pkg=$here/../package/DRIVERS
cp "$pkg/DISK1/KVX64.INF" "$work/KVX64.INF"
catalogue "$work/KVX64.INF" KVX64.CAT "$work/KVDRV64.DLL" "$work/KVUI64.DLL" "$work/KVLM64.DLL" \
  "$work/KVPP64.DLL" "$pkg/DISK1/KVLASER.GPD" "$pkg/DISK2/KVHELP.HLP" "$pkg/DISK2/KVCOLOR.ICM"
mv "$work/KVX64.CAT" "$disk1/"
cp "$pkg/X86/KVX86.INF" "$work/KVX86.INF"
catalogue "$work/KVX86.INF" KVX86.CAT "$work/KVDRV32.DLL" "$work/KVUI32.DLL" "$pkg/X86/KVLASER.GPD"
mv "$work/KVX86.CAT" "$x86/"
