#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when any is missing.
# Nothing is fetched from anywhere but the machine's own package sources.
set -euo pipefail
packages=(cmake ninja-build g++ make googletest libgtest-dev libbenchmark-dev libmspack-dev
          g++-mingw-w64-x86-64-posix wine wine64 xvfb mscompress gcab tmux clang libclang-rt-14-dev
          libcli11-dev nlohmann-json3-dev openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "deps: missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
  exit 1
fi
echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
