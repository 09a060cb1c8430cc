#!/usr/bin/env bash
# Sets up, builds and starts the editor. Only the editor and the tool are
# built: the tests and benchmarks are scripts/test.sh's.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
TQF_TARGETS="tqf-editor tqf-tool" scripts/build.sh build
exec build/src/app/tqf-editor "$@"
