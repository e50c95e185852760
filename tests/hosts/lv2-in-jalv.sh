#!/usr/bin/env bash
# The LV2 plug-in runs in a real-time host: jalv against a JACK server with the dummy
# backend (no sound card needed) for a couple of seconds, then exits cleanly.
set -euo pipefail

bundle_dir="$1"
uri="$2"
export LV2_PATH="$bundle_dir"
source "$(dirname "$0")/jack-dummy.sh" "halvora-test-$$"

start=$(date +%s%N)
status=0
# stdin stays open so jalv keeps running until it is interrupted.
timeout --preserve-status -s INT 3 jalv "$uri" < <(sleep 10) > "$work/jalv.log" 2>&1 || status=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))

cat "$work/jalv.log"
[ "$status" -eq 0 ] || { echo "jalv exited with status $status"; exit 1; }
grep -q "JACK Name: *Halvora" "$work/jalv.log" || { echo "jalv did not load the plug-in"; exit 1; }
[ "$elapsed_ms" -ge 2500 ] || { echo "jalv stopped after only ${elapsed_ms} ms"; exit 1; }
echo "jalv ran the plug-in for ${elapsed_ms} ms and exited cleanly"
