#!/usr/bin/env bash
# Sets up, builds and runs every test. With --sanitize, also builds the plain
# C++ layers with the address and undefined-behaviour sanitizers and runs
# their tests.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=0
werror=OFF
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=1 ;;
    --werror) werror=ON ;;
    *) echo "usage: scripts/test.sh [--sanitize] [--werror]" >&2; exit 2 ;;
  esac
done

scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/tqf-runtime.XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"

scripts/build.sh build -DTQF_WERROR=$werror
ctest --test-dir build --output-on-failure -j "$(nproc)"

if [ "$sanitize" = 1 ]; then
  scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTQF_SANITIZE=ON -DTQF_BUILD_GUI=OFF \
    -DTQF_BUILD_BENCH=OFF -DTQF_WERROR=$werror
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)"
fi
