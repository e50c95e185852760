# Sourced by the host tests: a private JACK server with the dummy backend (no sound card
# needed) and a work folder, both gone when the test exits. Takes the server's name.
export JACK_NO_AUDIO_RESERVATION=1
export JACK_DEFAULT_SERVER="$1"

work="$(mktemp -d)"
jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 512 > "$work/jackd.log" 2>&1 &
jack_pid=$!
trap 'kill "$jack_pid" 2>/dev/null || true; wait "$jack_pid" 2>/dev/null || true; rm -rf "$work"' EXIT

sleep 1.5
kill -0 "$jack_pid" 2>/dev/null || { echo "jackd did not start:"; cat "$work/jackd.log"; exit 1; }
