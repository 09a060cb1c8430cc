#!/usr/bin/env bash
# Takes the metainfo's screenshot from the real window: the editor built in
# the folder given (default: build) opens a copy of
# examples/standard-messages.TQF under Xvfb, and the window alone is saved to
# dist/screenshots/main-window.png. The copy lies in a folder of no one's, so
# that the path the window shows names no developer's folders.
# Needs xvfb, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
editor=$build/src/app/tqf-editor
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: apt-get install xvfb xdotool imagemagick" >&2; exit 1; }
done
[ -x "$editor" ] || { echo "$editor is not built: scripts/build.sh $build" >&2; exit 1; }

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
xvfb=$!
cleanup() {
  [ -n "${editor_pid:-}" ] && kill "$editor_pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
neutral=${TMPDIR:-/tmp}/tqf-screenshot/Libraries
rm -rf "${neutral%/Libraries}"
mkdir -p "$neutral"
cp examples/standard-messages.TQF "$neutral/"
trap 'cleanup; rm -rf "${neutral%/Libraries}"' EXIT
export DISPLAY=$display
for _ in $(seq 300); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getmouselocation >/dev/null || { echo "Xvfb did not start on $display" >&2; exit 1; }

unset QT_QPA_PLATFORM
"$editor" --no-settings "$neutral/standard-messages.TQF" &
editor_pid=$!
window=$(xdotool search --sync --onlyvisible --name 'TQF Editor' | head -n 1)
# The tree and the message count are drawn once the file has been read.
sleep 2
mkdir -p dist/screenshots
import -window "$window" dist/screenshots/main-window.png
echo "dist/screenshots/main-window.png: $(identify -format '%wx%h' dist/screenshots/main-window.png)"
