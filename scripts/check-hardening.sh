#!/usr/bin/env bash
# Checks that the built tqf-editor and tqf-tool are hardened: position-
# independent, full RELRO (read-only relocations, bound at start-up), stack
# protector in the code, and every translation unit compiled with
# _FORTIFY_SOURCE (libc calls whose sizes the optimiser sees are checked).
#
# Usage: scripts/check-hardening.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
status=0

fail() {
  echo "not hardened: $*" >&2
  status=1
}

for program in src/app/tqf-editor src/cli/tqf-tool; do
  file="$build/$program"
  if [ ! -x "$file" ]; then
    echo "skipped: $file is not built"
    continue
  fi
  header=$(readelf -h "$file")
  dynamic=$(readelf -d "$file")
  segments=$(readelf -l -W "$file")
  symbols=$(readelf -s -W --dyn-syms "$file")
  grep -q 'Type:.*DYN' <<<"$header" && grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || fail "$program is no PIE"
  grep -q 'GNU_RELRO' <<<"$segments" || fail "$program has no RELRO segment"
  grep -Eq 'BIND_NOW|FLAGS_1.*NOW' <<<"$dynamic" || fail "$program binds lazily (partial RELRO only)"
  grep -q '__stack_chk_fail' <<<"$symbols" || fail "$program has no stack protector"
  echo "hardened: $program (PIE, full RELRO, stack protector)"
done

# Fortification is a compile-time choice: every unit of the two programs must
# have been compiled with it (an optimised build; Debug builds go without).
commands="$build/compile_commands.json"
if [ -f "$commands" ] && ! grep -q '^CMAKE_BUILD_TYPE:STRING=Debug$' "$build/CMakeCache.txt" 2>/dev/null; then
  units=$(grep -c '"command"' "$commands" || true)
  fortified=$(grep '"command"' "$commands" | grep -c -- '-D_FORTIFY_SOURCE=[23]' || true)
  if [ "$units" != "$fortified" ]; then
    fail "$((units - fortified)) of $units units compiled without _FORTIFY_SOURCE"
  else
    echo "fortified: all $units units compiled with _FORTIFY_SOURCE"
  fi
fi
exit $status
