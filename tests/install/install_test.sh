#!/bin/bash
# Installs pixtape into a scratch DESTDIR and packages it as a .deb, then checks what a user
# gets: the files, a working binary, a clean man page, a valid desktop entry and metainfo.
# See LICENSE file for copyright and license details.
# usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

files="bin/pixtape
share/applications/pixtape.desktop
share/icons/hicolor/scalable/apps/pixtape.svg
share/man/man1/pixtape.1
share/metainfo/pixtape.metainfo.xml"

DESTDIR="$work/root" cmake --install "$build" --prefix /opt/pt >/dev/null
got=$(cd "$work/root/opt/pt" && find . -type f | sed 's|^\./||' | sort)
[ "$got" = "$files" ] || fail "installed files differ:"$'\n'"$got"

# the installed binary answers -h exactly as the built one does
"$build/pixtape" -h 2>"$work/built" && fail "built -h exited 0" || [ $? = 1 ] || fail "built -h status"
"$work/root/opt/pt/bin/pixtape" -h 2>"$work/installed" && fail "installed -h exited 0" ||
  [ $? = 1 ] || fail "installed -h status"
cmp -s "$work/built" "$work/installed" || fail "installed -h differs from built -h"

man=$work/root/opt/pt/share/man/man1/pixtape.1
warnings=$(groff -man -ww -z "$man" 2>&1)
[ -z "$warnings" ] || fail "man page warnings: $warnings"
grep -q '^\.TH PIXTAPE 1 "" "pixtape 1\.05"' "$man" || fail "man page not stamped with 1.05"

desktop-file-validate "$work/root/opt/pt/share/applications/pixtape.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net "$work/root/opt/pt/share/metainfo/pixtape.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate"

(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null) || fail "cpack -G DEB"
deb=$(ls "$work"/deb/pixtape_*.deb)
debfiles=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\/usr\//, "", $6); print $6 }' | sort)
[ "$debfiles" = "$files" ] || fail "package files differ:"$'\n'"$debfiles"
dpkg-deb -f "$deb" Depends | grep -q 'libfltk1\.[34]' || fail "no libfltk dependency"

[ "$failures" = 0 ] && echo "install: all checks passed"
exit "$failures"
