#!/usr/bin/env bash
# Installs what is missing, builds, and opens the bundled sample archive in the
# window. Without a display it says so and lists the sample's entries instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
sample="$PWD/examples/sample.cmb"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/release/viewer/cmbviewer "$sample"
fi
echo "run-sample: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window" \
     "cannot open here; the entries of examples/sample.cmb are:" >&2
build/release/cli/cmbtool list "$sample"
