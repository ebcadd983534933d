#!/usr/bin/env bash
# Runs the window on the sample archive under a virtual X server and saves a
# picture of it to docs/screenshot.png (or the path given).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
scripts/install-deps.sh screenshot
scripts/build.sh release >/dev/null

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# -displayfd picks a free display number and reports it once the server is up.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "screenshot: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
export XDG_RUNTIME_DIR="$work"

QT_QPA_PLATFORM=xcb build/release/viewer/cmbviewer "$PWD/examples/sample.cmb" &
app_pid=$!

# Wait until the window is mapped, then give it a moment to paint.
win=""
for _ in $(seq 100); do
  win=$(xwininfo -root -tree 2>/dev/null | awk '/sample\.cmb/ {print $1; exit}')
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "screenshot: the window did not appear" >&2; exit 1; }
sleep 1

mkdir -p "$(dirname "$out")"
import -window "$win" "$out"
echo "screenshot: saved $out"
