#!/usr/bin/env bash
# Installs what is missing, builds, and shows the bundled sample archive.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
build/release/cli/cmbtool list examples/sample.cmb
