#!/usr/bin/env bash
# Cross-builds the Qt-free libraries, tqf-tool.exe and their tests for 64-bit
# Windows with MinGW-w64, runs the tests under Wine, then checks that the
# Windows tool writes the same bytes as the Linux one for the example
# libraries. Exits with ctest's status, or 1 when the outputs differ.
#
#   bash scripts/test-windows.sh [BUILD_FOLDER]     (default: build-windows)
#
# Works as root on a fresh Debian 12 machine: it installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dir=${1:-build-windows}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
jobs=$(nproc)
step() { echo "== $* (at ${SECONDS}s)"; }

packages=(
  cmake ninja-build g++ libgtest-dev  # the Linux tool that the Windows one is compared with
  g++-mingw-w64-x86-64-posix          # the cross compiler, with the threads std::thread needs
  googletest                          # GoogleTest's sources, built for Windows below
  wine64 wine                         # runs the Windows programs; wine is the launcher
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
toolchain=$root/cmake/MinGW-w64.cmake

step GoogleTest for Windows
# GoogleTest, built for Windows from the sources Debian ships.
gtest=$dir/googletest
if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$gtest/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$gtest/install" "${launcher[@]}"
  cmake --build "$gtest/build" -j "$jobs"
  cmake --install "$gtest/build"
fi

step the core for Windows
# The core for Windows, optimised as the Linux build is but without debug
# information, which makes the static programs large and slow to link (-O3
# would bring GCC 12's false -Wrestrict warnings in std::string). The hardening
# flags are those of ELF linkers; tests are found when ctest runs, through
# Wine, not while building.
release=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")
cmake -S . -B "$dir/core" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" "${release[@]}" \
  -DTQF_CORE_ONLY=ON -DTQF_HARDEN=OFF -DTQF_WERROR=ON -DCMAKE_PREFIX_PATH="$gtest/install" \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST "${launcher[@]}"
cmake --build "$dir/core" -j "$jobs"

step the Linux tool
# The Linux tool, for the comparison.
cmake -S . -B "$dir/linux" -G Ninja "${release[@]}" -DTQF_CORE_ONLY=ON "${launcher[@]}"
cmake --build "$dir/linux" -j "$jobs" --target tqf-tool

step Wine
# A Wine prefix of its own, made once; no display is needed for console
# programs.
# Wine reads the command line's bytes in the locale's encoding: UTF-8.
export WINEPREFIX=$dir/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 300 wine wineboot -i >/dev/null 2>&1 || timeout 300 wineboot -i >/dev/null 2>&1
  # Its server ends on its own a moment later; the one below takes over.
  timeout 60 wineserver -w || true
fi
# One Wine server for the whole run: programs that start together would
# otherwise race to start one, and one may find it going away. Its helper
# processes start with the first program and live as long as the server, so
# that program's output goes nowhere: a test's would never end.
timeout 60 wineserver -p </dev/null >/dev/null 2>&1
timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
stopWine() { timeout 30 wineserver -k >/dev/null 2>&1 || true; }
trap stopWine EXIT

step the tests under Wine
status=0
ctest --test-dir "$dir/core" -j "$jobs" --timeout 600 --output-on-failure || status=$?

step the comparison
# tqf-tool.exe under Wine and tqf-tool on Linux, on the example libraries:
# the same output, messages and exit status, byte for byte.
linuxTool=$dir/linux/src/cli/tqf-tool
windowsTool=$dir/core/src/cli/tqf-tool.exe
compared=0
differ=0
runs=$dir/compare
mkdir -p "$runs"
compare() { # name, then the tool's arguments
  local name=$1
  shift
  local linuxStatus=0 windowsStatus=0
  "$linuxTool" "$@" <"$input" >"$runs/linux.out" 2>"$runs/linux.err" || linuxStatus=$?
  timeout 120 wine "$windowsTool" "$@" <"$input" >"$runs/windows.out" 2>"$runs/windows.err" || windowsStatus=$?
  compared=$((compared + 1))
  if [ "$linuxStatus" != "$windowsStatus" ] || ! cmp -s "$runs/linux.out" "$runs/windows.out" ||
    ! cmp -s "$runs/linux.err" "$runs/windows.err"; then
    echo "DIFFERENT: tqf-tool $name (exit status $linuxStatus on Linux, $windowsStatus under Wine)"
    diff <(od -c "$runs/linux.out") <(od -c "$runs/windows.out") | head -20 || true
    diff "$runs/linux.err" "$runs/windows.err" | head -20 || true
    differ=$((differ + 1))
  fi
}
while IFS= read -r -d '' library; do
  input=/dev/null
  compare "check $library" check "$library"
  compare "normalize $library" normalize "$library"
  compare "to-sml $library" to-sml "$library"
  input=$library
  compare "normalize - < $library" normalize -
done < <(find examples -maxdepth 1 -type f -iname '*.tqf' -print0 | sort -z)
while IFS= read -r -d '' sml; do
  input=/dev/null
  compare "from-sml $sml" from-sml "$sml"
done < <(find examples -maxdepth 1 -type f -iname '*.sml' -print0 | sort -z)
# A name beyond any code page, as FILE and as OUT.
input=/dev/null
named=$runs/"Bibliothek ä 日本"
mkdir -p "$named"
cp examples/standard-messages.TQF "$named/Nachrichten ü 表.TQF"
compare "check with a Unicode name" check "$named/Nachrichten ü 表.TQF"
rm -f "$named/linux ö.TQF" "$named/windows ö.TQF"
"$linuxTool" normalize "$named/Nachrichten ü 表.TQF" -o "$named/linux ö.TQF"
timeout 120 wine "$windowsTool" normalize "$named/Nachrichten ü 表.TQF" -o "$named/windows ö.TQF" || true
compared=$((compared + 1))
if ! cmp "$named/linux ö.TQF" "$named/windows ö.TQF"; then
  echo "DIFFERENT: tqf-tool normalize -o with Unicode names"
  differ=$((differ + 1))
fi
echo "tqf-tool.exe under Wine and tqf-tool on Linux: $compared runs compared, $differ different"
step done

if [ "$status" -ne 0 ]; then
  exit "$status"
fi
if [ "$differ" -ne 0 ] || [ "$compared" -eq 0 ]; then
  exit 1
fi
