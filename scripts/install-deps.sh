#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those still missing,
# so a second run is quick. Groups: build (default), test, bench, fuzz, package,
# screenshot.
set -euo pipefail

build_pkgs=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libqt6svg6
            fonts-ipafont-gothic xvfb xauth)
# The install checks: validators, xdg-mime and its mimetype(1) back end, gio, the
# man page renderer, and dpkg-shlibdeps for cpack's Debian package.
test_pkgs=(desktop-file-utils appstream shared-mime-info xdg-utils file
           libfile-mimeinfo-perl libglib2.0-bin libxml2-utils man-db groff-base dpkg-dev)
bench_pkgs=(libarchive-tools time hyperfine jq bc)
package_pkgs=(dpkg-dev)
fuzz_pkgs=(clang libclang-rt-14-dev libfuzzer-14-dev)
screenshot_pkgs=(imagemagick x11-utils)

want=("${build_pkgs[@]}")
for group in "$@"; do
  case "$group" in
    build) ;;
    test) want+=("${test_pkgs[@]}") ;;
    bench) want+=("${bench_pkgs[@]}") ;;
    fuzz) want+=("${fuzz_pkgs[@]}") ;;
    package) want+=("${package_pkgs[@]}") ;;
    screenshot) want+=("${screenshot_pkgs[@]}") ;;
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
