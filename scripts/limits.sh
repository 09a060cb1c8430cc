#!/usr/bin/env bash
# The giant cases that take too long or too much memory for ctest:
#  1. tqf-tool check (the reader alone) on a 200 MB library, on 20 MB files
#     of the shapes that cost the most memory per byte, and on a 200 MB file
#     of empty lists (more items than a quarter of the memory holds on most
#     machines: it is refused); prints the exit status, the time, the peak
#     resident memory and its ratio to the file size.
#  2. The real window (headless) opening, painting, scrolling, editing, saving
#     and closing a 200 MB library, and saving deeply nested lists (a file
#     grows with the square of the nesting depth); the DISABLED_ tests of
#     tests/app/LargeLibraryTest.cpp, each in a process of its own.
#
# Usage: scripts/limits.sh [build folder, default build-hostile]
# Needs about 4 GB of memory and 2 GB of disk under $TMPDIR.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-hostile}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tqf-tool tqf_app_tests -j 2 >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tqf-limits.XXXXXX")
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# Writes piece again and again into file until it holds at least bytes bytes,
# doubling, so that a 200 MB file takes a few copies.
grow() {
  local file=$1 bytes=$2
  while [ "$(stat -c %s "$file")" -lt "$bytes" ]; do
    cat "$file" "$file" >"$file.next"
    mv "$file.next" "$file"
  done
}

# One file of a shape: head, then the unit repeated to size, then tail.
shape() {
  local name=$1 head=$2 unit=$3 tail=$4 bytes=$5
  printf '%s' "$unit" >"$work/unit"
  grow "$work/unit" "$bytes"
  { printf '%s' "$head"; cat "$work/unit"; printf '%s' "$tail"; } >"$work/$name.TQF"
}

mb=$((1 << 20))
header='/* TALVO SECS MESSAGE FORMAT FILE */'
tail -c +$((${#header} + 1)) examples/standard-messages.TQF >"$work/library-body"
grow "$work/library-body" $((200 * mb))
{ printf '%s' "$header"; cat "$work/library-body"; } >"$work/library-200MB.TQF"
rm "$work/library-body"
shape list-items 'S1F1 <L[N]'$'\n' '<L>' $'\n>.\n' $((20 * mb))
shape scalar-items 'S1F1 <L[N]'$'\n' '<U4>' $'\n>.\n' $((20 * mb))
shape item-lines 'S1F1 <L[N]'$'\n' $'<U4>\r\n' $'>.\n' $((20 * mb))
shape nested-lists 'S1F1'$'\n' '<L[1]' $'\n>.\n' $((20 * mb))
shape bare-messages '' $'S1F1.\r\n' '' $((20 * mb))
shape list-items-200MB 'S1F1 <L[N]'$'\n' '<L>' $'\n>.\n' $((200 * mb))

echo "== the reader alone (tqf-tool check)"
printf '%-22s %6s %10s %10s %12s %14s\n' file exit "size MB" "time s" "peak RSS MB" "RSS / size"
for f in library-200MB list-items scalar-items item-lines nested-lists bare-messages list-items-200MB; do
  file="$work/$f.TQF"
  size=$(stat -c %s "$file")
  status=0
  /usr/bin/time -f '%e %M' -o "$work/time" "$build/src/cli/tqf-tool" check "$file" >/dev/null 2>"$work/err" ||
    status=$?
  read -r seconds kb < <(tail -n 1 "$work/time")
  awk -v f="$f" -v x="$status" -v s="$size" -v t="$seconds" -v k="$kb" \
    'BEGIN { printf "%-22s %6d %10.1f %10.2f %12.0f %14.1f\n", f, x, s / 1048576, t, k / 1024, k * 1024 / s }'
  if [ "$status" = 2 ]; then sed 's/^/    /' "$work/err"; fi
done
rm -f "$work"/*.TQF

echo
echo "== the window: open, paint, scroll, edit, save and close"
run_giant() {
  local filter=$1
  shift
  env "$@" "$build/tests/app/tqf_app_tests" --gtest_also_run_disabled_tests --gtest_filter="$filter" 2>&1 |
    grep -E '^\[ {10}\]|^\[ +(OK|FAILED) +\]|Failure' || true
}
run_giant 'LargeLibraryTest.DISABLED_TwoHundredMegabyteLibrary'
for depth in 10000 20000 30000; do
  run_giant 'LargeLibraryTest.DISABLED_DeepNestingSavedAtScale' TQF_LIMITS_DEPTH=$depth
done
