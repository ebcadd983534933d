#!/usr/bin/env bash
# The staging prefix holds exactly the expected files, and they agree with
# each other: the names the desktop file points at are installed.
# usage: files.sh STAGE VERSION WITH_VIEWER(0|1) SAMPLE_INDEX   env: BINDIR DATADIR MANDIR
source "$(dirname "$0")/common.sh"
stage=$1 version=$2 viewer=$3 sample=$4
: "${BINDIR:=bin}" "${DATADIR:=share}" "${MANDIR:=share/man}"

expected=("$BINDIR/cmbtool" "$MANDIR/man1/cmbtool.1.gz"
          "$DATADIR/doc/cmbviewer/copyright" "$DATADIR/doc/cmbviewer/changelog.gz")
if [ "$viewer" = 1 ]; then
  expected+=("$BINDIR/cmbviewer" "$MANDIR/man1/cmbviewer.1.gz"
             "$DATADIR/applications/$APP_ID.desktop"
             "$DATADIR/metainfo/$APP_ID.metainfo.xml"
             "$DATADIR/mime/packages/$APP_ID.xml"
             "$DATADIR/icons/hicolor/scalable/apps/$APP_ID.svg")
fi

# Every file the package will carry is listed here on purpose: a stray
# install rule (a test program, a static library) shows up as a failure.
actual=$(cd "$stage" && find . -type f -o -type l | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
missing=$(comm -13 <(echo "$actual") <(echo "$wanted"))
extra=$(comm -23 <(echo "$actual") <(echo "$wanted"))
[ -z "$missing" ] || fail "not installed: $(echo $missing)"
[ -z "$extra" ] || fail "installed but not expected: $(echo $extra)"

for b in cmbtool cmbviewer; do
  f=$stage/$BINDIR/$b
  [ ! -e "$f" ] || [ -x "$f" ] || fail "$f is not executable"
done
# The changelog's newest entry must be this version, as dpkg and apt show it.
top=$(gzip -dc "$stage/$DATADIR/doc/cmbviewer/changelog.gz" | sed -n '1s/^cmbviewer (\([^)]*\)).*/\1/p')
[ "$top" = "$version" ] || fail "newest changelog entry is '$top', the project is $version"

# The installed program runs on its own, without the build tree beside it.
"$stage/$BINDIR/cmbtool" list "$sample" >/dev/null || fail "installed cmbtool cannot list $sample"

if [ "$viewer" = 1 ]; then
  desktop=$stage/$DATADIR/applications/$APP_ID.desktop
  metainfo=$stage/$DATADIR/metainfo/$APP_ID.metainfo.xml
  mimexml=$stage/$DATADIR/mime/packages/$APP_ID.xml
  icon=$stage/$DATADIR/icons/hicolor/scalable/apps/$APP_ID.svg

  exec_bin=$(desktop_value "$desktop" Exec | cut -d' ' -f1)
  [ -x "$stage/$BINDIR/$exec_bin" ] || fail "Exec=$exec_bin is not an installed program"
  [ "$(desktop_value "$desktop" Icon)" = "$APP_ID" ] || fail "Icon= is not $APP_ID"
  [ "$(desktop_value "$desktop" MimeType)" = "$MIME_TYPE;" ] || fail "MimeType= is not $MIME_TYPE;"
  grep -q "<mime-type type=\"$MIME_TYPE\">" "$mimexml" || fail "$mimexml does not define $MIME_TYPE"
  grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" || fail "metainfo does not launch $APP_ID.desktop"
  grep -q "<id>$APP_ID</id>" "$metainfo" || fail "metainfo id is not $APP_ID"

  # The newest release listed must be this version, or software centres show a stale one.
  newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n1 | cut -d'"' -f2)
  [ "$newest" = "$version" ] || fail "newest release in metainfo is '$newest', the project is $version"

  # A scalable icon must be an SVG document, not a renamed bitmap.
  if command -v xmllint >/dev/null; then
    [ "$(xmllint --xpath 'local-name(/*)' "$icon" 2>/dev/null)" = svg ] || fail "$icon is not an SVG document"
  else
    grep -q '<svg' "$icon" || fail "$icon is not an SVG document"
  fi
fi
finish
