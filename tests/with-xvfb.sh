#!/bin/bash
# Runs a command on a private Xvfb (1280x800, scale 1), which ends with it.
# See LICENSE file for copyright and license details.
set -eu
d=$(mktemp -d)
mkfifo "$d/fd"
exec 7<>"$d/fd"
Xvfb -screen 0 "${XVFB_SCREEN:-1280x800x24}" -displayfd 7 -nolisten tcp -noreset >/dev/null 2>&1 &
xpid=$!
trap 'kill $xpid 2>/dev/null; wait $xpid 2>/dev/null; rm -rf "$d"' EXIT
read -r -t 10 n <&7 || { echo "with-xvfb.sh: Xvfb did not start" >&2; exit 1; }
unset WAYLAND_DISPLAY
export DISPLAY=":$n" FLTK_BACKEND=x11 FLTK_SCALING_FACTOR=1
"$@"
