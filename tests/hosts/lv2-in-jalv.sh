#!/usr/bin/env bash
# The LV2 plug-in runs in a real-time host: jalv against a JACK server with the dummy
# backend (no sound card needed) for a couple of seconds, then exits cleanly. Its controls
# are set the way console hosts set them, by port symbol: on the command line (-c) and with
# jalv's own "set" command, and jalv's "controls" command shows them.
set -euo pipefail

bundle_dir="$1"
uri="$2"
export LV2_PATH="$bundle_dir"
source "$(dirname "$0")/jack-dummy.sh" "halvora-test-$$"

start=$(date +%s%N)
status=0
# stdin stays open so jalv keeps running until it is interrupted.
commands() { sleep 1; echo "set scale 4"; sleep 0.3; echo "controls"; sleep 10; }
timeout --preserve-status -s INT 3 jalv -c key=3 -c gain=-6 "$uri" < <(commands) > "$work/jalv.log" 2>&1 || status=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))

cat "$work/jalv.log"
[ "$status" -eq 0 ] || { echo "jalv exited with status $status"; exit 1; }
grep -q "JACK Name: *Halvora" "$work/jalv.log" || { echo "jalv did not load the plug-in"; exit 1; }
for expected in "key = 3.000000" "gain = -6.000000" "scale = 4.000000" "morvel = 0.500000"; do
    grep -q "^> *$expected\$\|^$expected\$" "$work/jalv.log" || { echo "jalv does not show '$expected'"; exit 1; }
done
if grep -qi "unknown control\|no control named" "$work/jalv.log"; then echo "jalv did not find a control"; exit 1; fi
[ "$elapsed_ms" -ge 2500 ] || { echo "jalv stopped after only ${elapsed_ms} ms"; exit 1; }
echo "jalv set key, gain and scale by symbol, ran the plug-in for ${elapsed_ms} ms and exited cleanly"
