#!/usr/bin/env bash
# Proves that the numerical core computes the same bits whatever builds it: the
# Qt-free core is built with clang, with the software extended type forced on x86,
# and cross-compiled for aarch64 (run under qemu); each build runs its core tests and
# tesora-digest, and every digest must equal the one of the normal build. The digests
# include coded streams and the planes they decode to, so a compressed file decodes to
# the same picture on every platform.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${TESORA_PLATFORMS_DIR:-build-platforms}
normal=${BUILD_DIR:-build}
jobs=2
./scripts/install-deps.sh --platforms
mkdir -p "$out"

core_build() {  # name, extra cmake arguments...
  local name=$1
  shift
  echo "== core build: $name"
  cmake -S . -B "$out/$name" -DCMAKE_BUILD_TYPE=Release -DTESORA_CORE_ONLY=ON "$@" >"$out/$name.configure.log" ||
    { cat "$out/$name.configure.log"; return 1; }
  grep 'Tesora extended' "$out/$name.configure.log"
  cmake --build "$out/$name" -j "$jobs"
  (cd "$out/$name" && ctest --output-on-failure -j "$jobs")
}

digest() {  # name, program [emulator...]
  local name=$1
  shift
  "$@" >"$out/$name.digest"
  echo "-- $name"
  cat "$out/$name.digest"
}

# The normal build (GCC, native long double on x86) is the reference.
if [[ ! -x "$normal/digest/tesora-digest" ]]; then
  cmake -S . -B "$normal" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$normal" -j "$jobs" --target tesora-digest
fi
digest normal "$normal/digest/tesora-digest"

CXX=clang++-14 CC=clang-14 core_build clang
digest clang "$out/clang/digest/tesora-digest"

core_build software -DTESORA_SOFTWARE_EXTENDED=ON
digest software "$out/software/digest/tesora-digest"

# GoogleTest for the target, from Debian's source package.
gtest="$out/googletest-aarch64"
if [[ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]]; then
  echo "== GoogleTest for aarch64"
  cmake -S /usr/src/googletest -B "$gtest/build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" -DCMAKE_INSTALL_PREFIX="$PWD/$gtest/install" >/dev/null
  cmake --build "$gtest/build" -j "$jobs"
  cmake --install "$gtest/build" >/dev/null
fi
core_build aarch64 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" \
  -DGTest_DIR="$PWD/$gtest/install/lib/cmake/GTest"
digest aarch64 qemu-aarch64 -L /usr/aarch64-linux-gnu "$out/aarch64/digest/tesora-digest"

status=0
for name in clang software aarch64; do
  if ! cmp -s "$out/normal.digest" "$out/$name.digest"; then
    echo "DIGEST MISMATCH: $name differs from the normal build" >&2
    diff "$out/normal.digest" "$out/$name.digest" >&2 || true
    status=1
  fi
done
[[ $status -eq 0 ]] && echo "== all builds give the same digests"
exit $status
