#!/usr/bin/env bash
# Runs a command on a private Xvfb display that this script starts and always stops.
# Usage: with_xvfb.sh command [arguments...]
set -euo pipefail

display_file=$(mktemp)
xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -f "$display_file"
}
trap cleanup EXIT

# Xvfb picks a free display number itself and writes it to the given descriptor.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
[ -s "$display_file" ] || { echo "Xvfb gave no display" >&2; exit 1; }

export DISPLAY=":$(head -n1 "$display_file")"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
"$@"
