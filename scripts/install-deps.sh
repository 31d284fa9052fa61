#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping what is present.
# As root (CI) it installs; otherwise it prints the one line to run with sudo.
set -euo pipefail

packages=(cmake g++ make qt6-base-dev qt6-svg-dev qt6-qpa-plugins libgtest-dev libgmock-dev
          libbenchmark-dev fonts-dejavu-core fonts-liberation2 locales
          qt6-translations-l10n help2man desktop-file-utils appstream man-db file dpkg-dev
          # The sources' format check.
          clang-format
          # The picture decoders; zlib for the compressed file's CRC-32.
          libpng-dev libjpeg62-turbo-dev libgif-dev zlib1g-dev
          # Independent decoders the picture tests compare with.
          python3-pil netpbm
          # Reading plots back in the tests.
          librsvg2-bin poppler-utils
          # The Python module and its tests.
          python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pytest
          # tesora.study on a cluster of worker processes in the tests.
          python3-distributed
          # The windows under a virtual display with a window manager.
          xvfb openbox xdotool x11-utils)
case "${1:-}" in
  --bench) packages+=(python3-pywt python3-numpy python3-pil) ;;
  # docs/python.md's example in full: the comparison and its plot.
  --examples) packages+=(python3-pywt python3-matplotlib) ;;
  # libFuzzer and the sanitizer runtimes for make fuzz.
  --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
  # Checking the Debian package (.ci/run).
  --package) packages+=(lintian) ;;
  # scripts/make-screenshots.sh: the real windows under a virtual display.
  --screenshots) packages+=(xvfb xauth xdotool imagemagick x11-utils openbox) ;;
  # scripts/ci-platforms.sh: clang, the aarch64 cross compiler, qemu to run its programs
  # and GoogleTest's sources to build for that target.
  --platforms) packages+=(clang-14 libclang-rt-14-dev g++-aarch64-linux-gnu qemu-user googletest) ;;
esac

# The tests check that numbers are read and shown alike under a German locale.
ensure_german_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE.utf-\?8$' && return 0
  if [[ $(id -u) -eq 0 ]]; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true
  else
    echo "For the locale tests please run: sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8" >&2
  fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [[ ${#missing[@]} -eq 0 ]]; then
  ensure_german_locale
  exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
  ensure_german_locale
else
  echo "Missing packages. Please run:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
