#!/usr/bin/env bash
# Configures and builds into the folder given (default: build), in Release with
# the hardened flags unless told otherwise by extra CMake arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
launcher=()
# Rebuilds of several checkouts on one machine share their objects through
# ccache where it is installed.
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
cmake --build "$dir" -j "$(nproc)"
