#!/usr/bin/env bash
# Writes the gallery page (docs/pages.md) for the pictures that
# `make pages` left in DIR/<language>/NN-ID.png.
set -euo pipefail
dir=${1:?pictures folder}
rel=../$dir
name_of() {
  case "$1" in
    1000) echo "Licence agreement" ;;
    133) echo "Setup kind" ;;
    134) echo "Update the printers in use" ;;
    149) echo "USB printer model" ;;
    135) echo "Completion" ;;
    msgbox) echo "Message box" ;;
    *) echo "Page $1" ;;
  esac
}
echo "# The pages of the Windows build under Wine"
echo
echo "Taken by \`make pages\`: the add path (licence, setup kind, completion with the"
echo "stand-in installer) and the update path (two printers added in batch first) run"
echo "by kvdrive under Wine (Xvfb, a Wine virtual desktop), a picture of every page and"
echo "message box as it opens. The pictures are built into \`$dir\` (build outputs are"
echo "not kept in the repository); run \`make pages\` to see them."
echo
echo "Not shown: the USB model page (149) and the USB and network paths, which need"
echo "device arrivals and a network that Wine does not give."
for lang in en ja de; do
  case $lang in en) title=English ;; ja) title=Japanese ;; de) title=German ;; esac
  echo
  echo "## $title"
  found=0
  for png in "$dir/$lang"/*.png; do
    [ -e "$png" ] || continue
    found=1
    base=$(basename "$png" .png)
    id=${base#*-}
    echo
    echo "### $(name_of "$id") (page $id)"
    echo
    echo "![$(name_of "$id"), $title]($rel/$lang/$base.png)"
  done
  [ $found = 1 ] || { echo; echo "No picture was taken."; }
done
