#!/usr/bin/env bash
# Configures and builds into the folder given (default: build), in Release with
# the hardened flags unless told otherwise by extra CMake arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$dir" -j "$(nproc)"
