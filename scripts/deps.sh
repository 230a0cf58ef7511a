#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when any is missing,
# and makes the locales the gallery of pages runs under (make pages).
# Nothing is fetched from anywhere but the machine's own package sources.
set -euo pipefail
#
#   scripts/deps.sh          everything: both builds, the tests under Wine, the gallery of
#                            pages, fuzzing (CI, make deps)
#   scripts/deps.sh native   what the native build and its wizard need (make run, make demo):
#                            no Wine, MinGW or clang
native=(cmake ninja-build g++ make googletest libgtest-dev libbenchmark-dev libmspack-dev
        libcli11-dev nlohmann-json3-dev tzdata libxml2-utils openssl)
windows=(g++-mingw-w64-x86-64-posix wine wine64 xvfb mscompress gcab tmux clang libclang-rt-14-dev
         imagemagick fonts-wine fonts-ipafont-gothic locales)
# The pages in Japanese and German need their system code pages under Wine,
# which takes them from the Unix locale.
case "${1:-all}" in
  native) packages=("${native[@]}"); locales=() ;;
  all) packages=("${native[@]}" "${windows[@]}"); locales=(ja_JP de_DE) ;;
  *) echo "deps: unknown set '$1' (native or all)" >&2; exit 64 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
missing_locales=()
for l in "${locales[@]}"; do
  grep -qix "$l\.utf-\?8" <<<"$(locale -a 2>/dev/null)" || missing_locales+=("$l")
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_locales[@]} -eq 0 ] && exit 0
if [ "$(id -u)" != 0 ]; then
  [ ${#missing[@]} -gt 0 ] && echo "deps: missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
  [ ${#missing_locales[@]} -gt 0 ] && echo "deps: missing locales: ${missing_locales[*]} (run as root, or make them with localedef)" >&2
  exit 1
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
for l in "${locales[@]}"; do
  grep -qix "$l\.utf-\?8" <<<"$(locale -a 2>/dev/null)" && continue
  echo "deps: making the locale $l.UTF-8"
  localedef -i "$l" -f UTF-8 "$l.UTF-8"
done
