#!/usr/bin/env bash
# The standalone app starts, opens its window with the 1200 x 600 editor in it, and a
# screenshot of that window can be taken. Needs an X display (the test run gives one).
set -euo pipefail

app="$1"
[ -n "${DISPLAY:-}" ] || { echo "no X display: skipped"; exit 77; }

work="$(mktemp -d)"
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT

# A private home, so the app's settings file never lands in the user's own.
HOME="$work" "$app" > "$work/app.log" 2>&1 &
pid=$!

# The window is listed before it is shown at its size: wait until it is mapped and as large
# as the editor (1200 x 600 plus the app's title bar and notice strip).
window=""
width=0
height=0
for _ in $(seq 1 100); do
    window="$(xwininfo -root -tree 2>/dev/null | grep '"Halvora": ("Halvora"' | head -n 1 || true)"
    if [ -n "$window" ]; then
        id="$(echo "$window" | awk '{ print $1 }')"
        size="$(echo "$window" | grep -o '[0-9]*x[0-9]*+' | head -n 1 | tr -d '+')"
        width="${size%x*}"
        height="${size#*x}"
        if xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable" && [ "$width" -ge 1200 ] && [ "$height" -ge 600 ]; then
            break
        fi
    fi
    kill -0 "$pid" 2>/dev/null || { echo "the app exited early:"; cat "$work/app.log"; exit 1; }
    sleep 0.2
done

[ -n "$window" ] || { echo "no Halvora window appeared"; exit 1; }
echo "window: $window"

# The editor (1200 x 600) plus the app's title bar and notice strip.
[ "$width" -ge 1200 ] && [ "$height" -ge 600 ] || { echo "window is only ${width}x${height}"; exit 1; }

sleep 1
xwd -silent -id "$id" -out "$work/window.xwd"
[ "$(stat -c %s "$work/window.xwd")" -gt $((1200 * 600)) ] || { echo "screenshot too small"; exit 1; }
echo "screenshot: $(stat -c %s "$work/window.xwd") bytes"
