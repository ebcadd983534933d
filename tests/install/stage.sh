#!/usr/bin/env bash
# Installs the build into a fresh staging prefix for the checks that follow.
# usage: stage.sh CMAKE BUILD_DIR STAGE_DIR
set -euo pipefail
cmake=$1 build=$2 stage=$3
rm -rf "$stage"
"$cmake" --install "$build" --prefix "$stage" >/dev/null
