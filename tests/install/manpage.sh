#!/usr/bin/env bash
# The installed man pages render without groff warnings and carry the
# project's version; each documents every option its program offers, and
# cmbtool's every command.
# usage: manpage.sh STAGE VERSION WITH_VIEWER(0|1)   env: BINDIR MANDIR
source "$(dirname "$0")/common.sh"
stage=$1 version=$2 viewer=$3
: "${BINDIR:=bin}" "${MANDIR:=share/man}"
need man groff

pages=(cmbtool)
[ "$viewer" = 1 ] && pages+=(cmbviewer)
for name in "${pages[@]}"; do
  page=$stage/$MANDIR/man1/$name.1.gz
  gzip -t "$page" || { fail "$page is not a valid gzip file"; continue; }
  # The same check Debian's lintian makes: any warning means broken markup.
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "groff warnings in $name.1: $warnings"
  LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null | grep -qF "cmbViewer $version" ||
    fail "$name.1 does not name version $version"
done

text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$stage/$MANDIR/man1/cmbtool.1.gz" 2>/dev/null)
for section in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS 'EXIT STATUS' EXAMPLES; do
  grep -qx "$section" <<<"$text" || fail "no $section section"
done
for cmd in list extract cat verify; do
  grep -qE "^ +$cmd( |$)" <<<"$text" || fail "command $cmd is not described"
done
for status in 0 1 2; do
  sed -n '/^EXIT STATUS$/,/^[A-Z]/p' <<<"$text" | grep -qE "^ +$status " || fail "exit status $status is not described"
done

# Options a program shows in its help but its page does not mention are the
# usual way a man page falls behind.
check_options() { # PAGE_TEXT PROGRAM [COMMAND]
  local text=$1 help options opt
  help=$(QT_QPA_PLATFORM=offscreen "$2" ${3:+"$3"} --help 2>/dev/null) || return 0
  # Option lines look like "  -C, --directory <DIR>   Extracts into..."; take
  # the names from the column before the description.
  options=$(grep -E '^ +-' <<<"$help" | sed -E 's/^ +//; s/ {2,}.*//' |
            grep -oE -- '(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*' | sed -E 's/^[ ,]//' | sort -u)
  for opt in $options; do
    grep -qE -- "(^|[^A-Za-z0-9-])$opt([^A-Za-z0-9-]|$)" <<<"$text" ||
      fail "option $opt of '$(basename "$2") ${3:-}' is not in its man page"
  done
}
for cmd in "" list extract cat verify; do
  check_options "$text" "$stage/$BINDIR/cmbtool" $cmd
done
if [ "$viewer" = 1 ]; then
  check_options "$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$stage/$MANDIR/man1/cmbviewer.1.gz" 2>/dev/null)" \
                "$stage/$BINDIR/cmbviewer"
fi
finish
