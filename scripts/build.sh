#!/usr/bin/env bash
# Configures and builds into the folder given (default: build), in Release with
# the hardened flags unless told otherwise by extra CMake arguments. With
# TQF_TARGETS set (names apart by spaces), builds only those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
targets=()
if [ -n "${TQF_TARGETS:-}" ]; then
  read -r -a names <<<"$TQF_TARGETS"
  targets=(--target "${names[@]}")
fi
launcher=()
# Rebuilds of several checkouts on one machine share their objects through
# ccache where it is installed.
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
cmake --build "$dir" "${targets[@]}" -j "$(nproc)"
