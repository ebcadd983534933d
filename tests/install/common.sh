# Shared by the install checks. Exit 77 tells CTest a tool is missing (skip).
set -euo pipefail

APP_ID=org.cmbviewer.CmbViewer
MIME_TYPE=application/x-cmb-index

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
skip() { echo "SKIP: $*" >&2; exit 77; }
need() { for t in "$@"; do command -v "$t" >/dev/null || skip "$t is not installed (scripts/install-deps.sh test)"; done; }
finish() { [ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }; }

# Value of KEY in the [Desktop Entry] group of a .desktop file.
desktop_value() {
  awk -F= -v key="$2" '/^\[/ { in_entry = ($0 == "[Desktop Entry]") }
                       in_entry && $1 == key { sub(/^[^=]*=/, ""); print; exit }' "$1"
}
