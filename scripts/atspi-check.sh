#!/usr/bin/env bash
# Reads the editor's window as a screen reader does, through the desktop's
# accessibility bus (AT-SPI), with the sample library open: the tree's rows,
# the chosen row, the check boxes and the names of fields and buttons. Runs
# headless: its own session bus, accessibility bus and virtual display, all
# ended when it ends. Fails, naming what it missed, when a check fails.
#
# Usage: scripts/atspi-check.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
editor="$build/src/app/tqf-editor"
library="$PWD/examples/standard-messages.TQF"
[ -x "$editor" ] || { echo "atspi-check: no editor at $editor; build first" >&2; exit 2; }

# Everything runs inside a session bus of its own.
if [ -z "${TQF_ATSPI_SESSION:-}" ]; then
  export TQF_ATSPI_SESSION=1
  exec dbus-run-session -- bash "$0" "$build"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own: Xvfb picks a free number and writes it.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/bus.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress \
    >/dev/null 2>&1 && break
  sleep 0.1
done

export HOME="$work" XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$editor" "$library" >"$work/editor.log" 2>&1 &
pids+=($!)

if ! timeout 120 /usr/bin/python3 scripts/atspi-check.py "$library"; then
  echo "atspi-check: editor output:" >&2
  cat "$work/editor.log" >&2
  exit 1
fi
