#!/usr/bin/env bash
# Writes the gallery page (docs/pages.md) for the pictures that
# `make pages` keeps in DIR/<language>/<page>.png (DIR is docs/pages).
set -euo pipefail
dir=${1:?pictures folder}
rel=pages
order=(1000 133 149 144 136 145 146 147 1001 139 140 134 135)
name_of() {
  case "$1" in
    1000) echo "Licence agreement" ;;
    133) echo "Setup kind" ;;
    134) echo "Update the printers in use" ;;
    135) echo "Completion" ;;
    136) echo "Installation" ;;
    139) echo "Network search" ;;
    140) echo "Network printers found" ;;
    144) echo "Before the installation: printer disconnected" ;;
    145) echo "Waiting for the printer" ;;
    146) echo "Printer not detected in time" ;;
    147) echo "Port chosen by hand" ;;
    149) echo "USB printer model" ;;
    1001) echo "Initial settings of the new printers" ;;
    msgbox-*) echo "Message box ${1#msgbox-}" ;;
    *) echo "Page $1" ;;
  esac
}
echo "# The pages of the Windows build under Wine"
echo
echo "Taken by \`make pages\` (tests/wine_e2e/pages.sh): kvdrive runs the Windows program under Wine"
echo "(Xvfb, a Wine virtual desktop) on the add, update, network, not-found, USB time-out and USB paths in"
echo "English, Japanese and German, and takes a picture of every page and message box as it opens."
echo "The pictures are kept in \`docs/pages/\`; \`make pages\` refreshes them."
for lang in en ja de; do
  case $lang in en) title=English ;; ja) title=Japanese ;; de) title=German ;; esac
  echo
  echo "## $title"
  absent=()
  for id in "${order[@]}"; do
    if [ -e "$dir/$lang/$id.png" ]; then
      echo
      echo "### $(name_of "$id") (page $id)"
      echo
      echo "![$(name_of "$id"), $title]($rel/$lang/$id.png)"
    else
      absent+=("$id")
    fi
  done
  for png in "$dir/$lang"/msgbox-*.png; do
    [ -e "$png" ] || continue
    id=$(basename "$png" .png)
    echo
    echo "### $(name_of "$id")"
    echo
    echo "![$(name_of "$id"), $title]($rel/$lang/$id.png)"
  done
  if [ ${#absent[@]} -gt 0 ]; then
    echo
    echo "Not shown in $title: page ${absent[*]} (the run did not reach it under Wine)."
  fi
done
