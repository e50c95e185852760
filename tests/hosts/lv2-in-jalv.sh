#!/usr/bin/env bash
# The LV2 plug-in runs in a real-time host: jalv against a JACK server with the dummy
# backend (no sound card needed) for a couple of seconds, then exits cleanly.
set -euo pipefail

bundle_dir="$1"
uri="$2"
export LV2_PATH="$bundle_dir"
export JACK_NO_AUDIO_RESERVATION=1
export JACK_DEFAULT_SERVER="halvora-test-$$"

work="$(mktemp -d)"
jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 512 > "$work/jackd.log" 2>&1 &
jack_pid=$!
trap 'kill "$jack_pid" 2>/dev/null || true; wait "$jack_pid" 2>/dev/null || true; rm -rf "$work"' EXIT

sleep 1.5
kill -0 "$jack_pid" 2>/dev/null || { echo "jackd did not start:"; cat "$work/jackd.log"; exit 1; }

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
