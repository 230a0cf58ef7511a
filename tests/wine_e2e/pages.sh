#!/usr/bin/env bash
# make pages: the gallery of the Windows build's pages under Wine, kept in the
# repository (docs/pages/<language>/<page>.png, listed in docs/pages.md).
#
#   tests/wine_e2e/pages.sh NATIVE_BUILD MINGW_BUILD
#
# Ends with a message and status 2 when a tool the pictures need is missing,
# and with status 1 when a language got no picture: never with an empty or
# half-made gallery in docs/.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
native=${1:?native build folder}
mingw=${2:?MinGW build folder}
raw=$src/build/pages
out=$src/docs/pages

missing=()
need() { missing+=("$1"); }
command -v xvfb-run >/dev/null || need "xvfb-run (package xvfb)"
command -v wine >/dev/null || need "wine (packages wine, wine64)"

# A real ImageMagick: "magick", or a "convert" program that is a binary and
# says it is ImageMagick (a script of the same name in front of it on the
# PATH may stand in for only a part of it).
magick=()
if command -v magick >/dev/null && [[ $(magick -version 2>/dev/null) == *ImageMagick* ]]; then
  magick=(magick)
else
  for c in $(type -ap convert) /usr/bin/convert; do
    f=$(readlink -f "$c") || continue
    [ -x "$f" ] && [ "$(od -An -tx1 -N4 "$f" | tr -d ' ')" = 7f454c46 ] || continue
    [[ $("$f" -version 2>/dev/null) == *ImageMagick* ]] && { magick=("$f"); break; }
  done
fi
[ ${#magick[@]} -gt 0 ] || need "ImageMagick's convert (package imagemagick)"

# Wine's own fonts (Tahoma for the pages, Marlett for the caption buttons)
# and a Japanese font for the replacement of MS UI Gothic.
[ -e /usr/share/wine/fonts/marlett.ttf ] || need "Wine's fonts (package fonts-wine)"
families=$(fc-list : family 2>/dev/null)
grep -q IPAPGothic <<<"$families" || need "the IPAPGothic font (package fonts-ipafont-gothic)"
locales=$(locale -a 2>/dev/null)
for l in ja_JP de_DE; do
  grep -qix "$l\.utf-\?8" <<<"$locales" || need "the locale $l.UTF-8 (scripts/deps.sh makes it)"
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "make pages: cannot take the pictures; missing:" >&2
  printf '  %s\n' "${missing[@]}" >&2
  echo "run scripts/deps.sh as root to install them" >&2
  exit 2
fi

rm -rf "$raw"
xvfb-run -a -s "-screen 0 1024x768x24" "$here/run.sh" "$native" "$mingw" --pages "$raw"
rc=$?

# The first picture of each page and of each message box (named by its first
# catalogue id), per language, as 8-bit palette PNG.
pick() {  # LANGUAGE-FOLDER TARGET-FOLDER
  local lang=$1 to=$2 run bmp base id n box
  mkdir -p "$to"
  for run in add update network notfound usb usb-plug usb-again; do
    [ -d "$raw/$lang/$run" ] || continue
    n=0
    for bmp in "$raw/$lang/$run"/*.bmp; do
      [ -e "$bmp" ] || continue
      base=$(basename "$bmp" .bmp)
      id=${base#*-}
      if [ "$id" = msgbox ]; then
        n=$((n + 1))
        box=$(grep '^== msgbox' "$raw/$lang/$run.wine" 2>/dev/null | sed -n "${n}p" |
              sed -n 's/.*\[\([A-Za-z0-9_]*\).*/\1/p')
        id=msgbox-${box:-unnamed}
      fi
      [ -e "$to/$id.png" ] && continue
      "${magick[@]}" "$bmp" -strip +dither -colors 64 "PNG8:$to/$id.png" || return 1
    done
  done
}

fresh=$(mktemp -d "$src/build/pages-png.XXXXXX")
empty=()
for lang in en ja de; do
  pick "$lang" "$fresh/$lang" || { echo "make pages: the pictures of $lang could not be converted" >&2; exit 1; }
  ls "$fresh/$lang"/*.png >/dev/null 2>&1 || empty+=("$lang")
done
if [ ${#empty[@]} -gt 0 ]; then
  echo "make pages: no picture was taken in: ${empty[*]} (run.sh exit $rc); docs/pages is left as it was" >&2
  rm -rf "$fresh"
  exit 1
fi
rm -rf "$out"
mv "$fresh" "$out"
"$here/pages_md.sh" "$out" >"$src/docs/pages.md"
echo "make pages: $(ls "$out"/*/*.png | wc -l) pictures, $(du -sk "$out" | cut -f1) KB in docs/pages (run.sh exit $rc)"
