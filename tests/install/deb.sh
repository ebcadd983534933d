#!/usr/bin/env bash
# cpack builds a Debian package named as Debian expects, holding the programs
# and every desktop file, and declaring the dependencies a user needs.
# usage: deb.sh CPACK BUILD_DIR PACKAGE_NAME VERSION WITH_VIEWER(0|1)
source "$(dirname "$0")/common.sh"
cpack=$1 build=$2 package=$3 version=$4 viewer=$5
need dpkg-deb dpkg-shlibdeps dpkg

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB failed"; finish; }

deb=$tmp/${package}_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { fail "no $(basename "$deb"); cpack made: $(cd "$tmp" && ls ./*.deb 2>/dev/null)"; finish; }

contents=$(dpkg-deb -c "$deb")
expected=(./usr/bin/cmbtool ./usr/share/man/man1/cmbtool.1.gz
          ./usr/share/doc/$package/copyright ./usr/share/doc/$package/changelog.gz)
if [ "$viewer" = 1 ]; then
  expected+=(./usr/bin/cmbviewer ./usr/share/man/man1/cmbviewer.1.gz
             ./usr/share/applications/$APP_ID.desktop
             ./usr/share/metainfo/$APP_ID.metainfo.xml
             ./usr/share/mime/packages/$APP_ID.xml
             ./usr/share/icons/hicolor/scalable/apps/$APP_ID.svg)
fi
for f in "${expected[@]}"; do
  grep -qE " $(sed 's/[.]/\\./g' <<<"$f")\$" <<<"$contents" || fail "the package lacks $f"
done
# Files owned by anyone but root would be installed so.
awk '{ print $2 }' <<<"$contents" | grep -vx 'root/root' && fail "files not owned by root/root"
# The triggers of shared-mime-info and desktop-file-utils update the caches;
# the package must not ship caches of its own.
grep -qE '/mime/(mime\.cache|globs2?)$|mimeinfo\.cache$|icon-theme\.cache$' <<<"$contents" &&
  fail "the package ships a generated cache"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "$package" ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
for f in Maintainer Section Priority Homepage Description Installed-Size; do
  [ -n "$(field "$f")" ] || fail "no $f field"
done
# Depends as "a, b (>= 1), c | d": check by package name.
depends=$(field Depends)
wanted=(libc6 libqt6core6)
[ "$viewer" = 1 ] && wanted+=(libqt6widgets6 libqt6svg6 qt6-qpa-plugins)
for p in "${wanted[@]}"; do
  grep -qE "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p: $depends"
done
if [ "$viewer" = 1 ]; then
  grep -qF 'fonts-ipafont-gothic | fonts-noto-cjk' <<<"$(field Recommends)" ||
    fail "Recommends lacks a Japanese font: $(field Recommends)"
fi
finish
