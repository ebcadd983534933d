#!/usr/bin/env bash
# With the installed MIME package and desktop file registered the way the
# desktop does it, xdg-mime and GIO (what GNOME's file manager asks) know
# .cmb files and name cmbViewer as their handler. Everything happens in a
# temporary HOME and XDG folders.
# usage: mime.sh STAGE SAMPLE_INDEX   env: BINDIR DATADIR
source "$(dirname "$0")/common.sh"
stage=$1 sample=$2
: "${BINDIR:=bin}" "${DATADIR:=share}"
# xdg-mime outside a known desktop asks mimetype(1), which reads the
# shared-mime-info database; file(1) knows nothing of registered types.
need xdg-mime update-mime-database update-desktop-database mimetype gio

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
data=$tmp/data
mkdir -p "$tmp/home" "$tmp/config" "$data/mime/packages" "$data/applications" "$tmp/files"
cp "$stage/$DATADIR/mime/packages/$APP_ID.xml" "$data/mime/packages/"
cp "$stage/$DATADIR/applications/$APP_ID.desktop" "$data/applications/"
# Builds mimeinfo.cache from MimeType=, as the package trigger does; no
# mimeapps.list is written, so the association comes from the desktop file.
XDG_DATA_HOME=$data update-mime-database "$data/mime"
XDG_DATA_HOME=$data update-desktop-database "$data/applications"

# A clean environment: no desktop session, so xdg-mime takes its generic path.
clean_env() {
  env -i PATH="$stage/$BINDIR:/usr/local/bin:/usr/bin:/bin" HOME="$tmp/home" LC_ALL=C.UTF-8 \
      XDG_DATA_HOME="$data" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_DIRS=/usr/local/share:/usr/share \
      XDG_CONFIG_DIRS=/etc/xdg "$@"
}

# The suffix alone must do for an index whose header is not on its first
# line; the header alone for an index renamed without the suffix.
cp "$sample" "$tmp/files/sample.cmb"
printf '\r\n[BinaryCombineData]\r\ndata.bin\r\n' >"$tmp/files/late.cmb"
cp "$tmp/files/late.cmb" "$tmp/files/LATE.CMB"   # as named on Windows
cp "$sample" "$tmp/files/index"
printf 'just some text\n' >"$tmp/files/notes"
while read -r name expected; do
  got=$(clean_env xdg-mime query filetype "$tmp/files/$name") || got="(error)"
  [ "$got" = "$expected" ] || fail "xdg-mime: filetype of $name: '$got', expected $expected"
  got=$(clean_env GIO_USE_VFS=local gio info -a standard::content-type "$tmp/files/$name" |
        sed -n 's/^ *standard::content-type: //p') || got="(error)"
  [ "$got" = "$expected" ] || fail "gio: content type of $name: '$got', expected $expected"
done <<ROWS
sample.cmb $MIME_TYPE
late.cmb $MIME_TYPE
LATE.CMB $MIME_TYPE
index $MIME_TYPE
notes text/plain
ROWS

got=$(clean_env xdg-mime query default "$MIME_TYPE") || got="(error)"
[ "$got" = "$APP_ID.desktop" ] || fail "xdg-mime: default handler of $MIME_TYPE: '$got', expected $APP_ID.desktop"
# GIO also drops a desktop file whose TryExec program is not on the PATH.
got=$(clean_env GIO_USE_VFS=local gio mime "$MIME_TYPE" | sed -n 's/^Default application for .*: //p') || got="(error)"
[ "$got" = "$APP_ID.desktop" ] || fail "gio: default handler of $MIME_TYPE: '$got', expected $APP_ID.desktop"
finish
