#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping what is present.
# As root (CI) it installs; otherwise it prints the one line to run with sudo.
set -euo pipefail

packages=(cmake g++ make qt6-base-dev qt6-qpa-plugins libgtest-dev libgmock-dev
          libbenchmark-dev fonts-dejavu-core)
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(python3-pywt python3-numpy python3-pil)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
else
  echo "Missing packages. Please run:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
