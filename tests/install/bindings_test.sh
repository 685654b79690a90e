#!/bin/bash
# Every key and button the ruler binds, read from its binding switch, is described in the man
# page's KEYBOARD or MOUSE section; a binding added without a word in the manual fails here.
# See LICENSE file for copyright and license details.
# usage: bindings_test.sh SOURCE_FILE MAN_PAGE
set -euo pipefail
src=$1 man=$2

# how each case label of the binding switch is named in the manual
declare -A name=(
  ["'+'"]="+" ["'='"]="=" ["FL_KP + '+'"]="keypad +" ["'-'"]="-" ["FL_KP + '-'"]="keypad -"
  [FL_Left]=Left [FL_Right]=Right [FL_Up]=Up [FL_Down]=Down ["'c'"]=c ["'C'"]=C
  ["FL_Button + FL_MIDDLE_MOUSE"]="middle button" ["FL_Button + FL_LEFT_MOUSE"]="left button"
  [FL_Escape]=Escape ["'w'"]="Ctrl+W" ["'x'"]="Ctrl+X" ["'q'"]=q
)

labels=$(sed -n '/^void RulerWindow::Bind/,/^}/p' "$src" | sed -n "s/^ *case \([^:]*\):.*/\1/p")
[ -n "$labels" ] || { echo "FAIL: no case labels found in $src"; exit 1; }

# the tags of the KEYBOARD and MOUSE items, as a reader sees them, one name a line
tags=$(groff -man -Tutf8 -P-c -P-b -P-u "$man" 2>/dev/null | col -bx |
  sed -n '/^KEYBOARD/,/^EXIT STATUS/p' | grep -E '^       [^ ]' |
  sed -e 's/^ *//' -e 's/  .*//' -e 's/ drag$//; s/ double click$//; s/ triple click$//' \
    -e 's/, /\n/g' |
  sed 's/‐/-/g; s/−/-/g')

failures=0
while IFS= read -r label; do
  n=${name[$label]-}
  if [ -z "$n" ]; then
    echo "FAIL: binding $label has no name here: describe it in the man page, then name it"
    failures=$((failures + 1))
  elif ! grep -qxF -- "$n" <<<"$tags"; then
    echo "FAIL: binding $label ($n) is not in the man page's KEYBOARD or MOUSE items"
    failures=$((failures + 1))
  fi
done <<<"$labels"
[ "$failures" = 0 ] && echo "bindings: $(wc -l <<<"$labels") bindings all described"
exit "$failures"
