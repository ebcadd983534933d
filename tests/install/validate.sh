#!/usr/bin/env bash
# The desktop file and the AppStream metainfo pass the freedesktop validators.
# usage: validate.sh STAGE   env: DATADIR
source "$(dirname "$0")/common.sh"
stage=$1
: "${DATADIR:=share}"
need desktop-file-validate appstreamcli

desktop=$stage/$DATADIR/applications/$APP_ID.desktop
metainfo=$stage/$DATADIR/metainfo/$APP_ID.metainfo.xml
# desktop-file-validate exits 0 on hints; any output is a finding worth fixing.
out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
# --strict fails on warnings and infos too; pedantic hints (the id's upper case) stay allowed.
appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli validate"
finish
