#!/usr/bin/env bash
# Builds the Debian package of the editor with CPack: configures and builds
# into the folder given (default: build-package, in Release), then writes
# tqf-editor_<version>_<arch>.deb there. Its dependencies are found by
# dpkg-shlibdeps (package dpkg-dev). Install it with
#   apt install ./build-package/tqf-editor_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}
shift || true
command -v dpkg-shlibdeps >/dev/null || { echo "dpkg-shlibdeps is missing: apt-get install dpkg-dev" >&2; exit 1; }
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTQF_BUILD_BENCH=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "${launcher[@]}" "$@"
# Only what the package holds; the tests are built and run by scripts/test.sh.
cmake --build "$dir" -j "$(nproc)" --target tqf-editor tqf-tool tqf_man_pages tqf_changelog
(cd "$dir" && cpack -G DEB)
deb=$(ls -t "$dir"/tqf-editor_*.deb | head -n 1)
echo "$deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
