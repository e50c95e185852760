#!/usr/bin/env bash
# The standalone app on JACK, as a user runs it: a settings file in the form the app writes
# chooses device type "JACK" with the input unmuted.
#   - With no JACK server running the app still opens its window (on ALSA, or with no
#     device), and keeps the JACK choice for the next start.
#   - With a private JACK server (dummy backend) the app registers its input and output
#     ports; a sine connected to its inputs comes out of its outputs, and the outputs are
#     silent before it is connected and again after it is disconnected.
#   - On quitting, the app saves the JACK device it ran on, and a second start from that
#     file runs on JACK again.
# Needs an X display (the test run gives one).
#   standalone-jack.sh APP
set -euo pipefail

app="$1"
[ -n "${DISPLAY:-}" ] || { echo "no X display: skipped"; exit 77; }
for tool in jackd jack_lsp jack_connect jack_disconnect jack_rec jack_simple_client xprop python3; do
    command -v "$tool" > /dev/null || { echo "$tool is missing (scripts/bootstrap installs it)"; exit 1; }
done

# No JACK client of this test may start a server of its own on a sound card.
export JACK_NO_START_SERVER=1

mine="$(mktemp -d)"
pid=""
tone_pid=""
jack_cleanup=""

stop() {
    [ -z "$1" ] || { kill "$1" 2> /dev/null || true; wait "$1" 2> /dev/null || true; }
}

cleanup() {
    stop "$tone_pid"
    stop "$pid"
    rm -rf "$mine"
    eval "$jack_cleanup"
}
trap cleanup EXIT

# On stderr, as it may be called where stdout is being read.
fail() {
    {
        echo "FAIL $*"
        [ -z "${home:-}" ] || [ ! -f "$home/app.log" ] || { echo "--- the app's output:"; cat "$home/app.log"; }
    } >&2
    exit 1
}

# What the app writes once JACK was chosen in its audio settings, with "Mute audio input"
# unticked; the app adds the rate and buffer size of the device it opened.
write_jack_settings() {
    mkdir -p "$1/.config"
    cat > "$1/.config/Halvora.settings" << 'EOF'
<?xml version="1.0" encoding="UTF-8"?>

<PROPERTIES>
  <VALUE name="audioSetup">
    <DEVICESETUP deviceType="JACK" audioOutputDeviceName="system" audioInputDeviceName="system"/>
  </VALUE>
  <VALUE name="shouldMuteInput" val="0"/>
</PROPERTIES>
EOF
}

# The id of the window that process $1 opened and shows (the framework sets _NET_WM_PID on
# it; the window exists, unmapped, a moment before it is shown).
window_of() {
    local id
    for id in $(xwininfo -root -tree 2> /dev/null | awk '/"Halvora": \("Halvora"/ { print $1 }'); do
        if [ "$(xprop -id "$id" _NET_WM_PID 2> /dev/null | awk '{ print $3 }')" = "$1" ] \
            && xwininfo -id "$id" 2> /dev/null | grep -q 'Map State: IsViewable'; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

# Starts the app in the private home $home and waits (20 s at most) for its window.
start_app() {
    HOME="$home" "$app" > "$home/app.log" 2>&1 &
    pid=$!
    for _ in $(seq 1 100); do
        window_of "$pid" > /dev/null && return 0
        kill -0 "$pid" 2> /dev/null || { pid=""; fail "the app exited before showing its window"; }
        sleep 0.2
    done
    fail "no Halvora window appeared"
}

# Ctrl-C, which the app takes as a quit from its menu (saving its settings); 20 s at most.
quit_app() {
    kill -INT "$pid"
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.2
    done
    kill -0 "$pid" 2> /dev/null && fail "the app was still running 20 s after Ctrl-C"
    local status=0
    wait "$pid" || status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "the app exited with status $status"
}

# The app's JACK ports, one a line, once both kinds are there (20 s at most).
wait_for_ports() {
    for _ in $(seq 1 100); do
        if jack_lsp 2> /dev/null | grep -q '^Halvora:in_' && jack_lsp 2> /dev/null | grep -q '^Halvora:out_'; then
            jack_lsp | grep '^Halvora:'
            return 0
        fi
        kill -0 "$pid" 2> /dev/null || fail "the app exited"
        sleep 0.2
    done
    fail "the app registered no JACK input and output ports; the server has: $(jack_lsp | tr '\n' ' ')"
}

# The DEVICESETUP attribute $1 as the app saved it.
saved_attribute() {
    grep -o "$1=\"[^\"]*\"" "$home/.config/Halvora.settings" | head -n 1 | sed 's/^[^"]*"//; s/"$//'
}

# record NAME: one second of the tone and both app outputs, then "tone-rms out1-rms out2-rms
# correlation1 correlation2" (each output against the tone, sample by sample).
record() {
    timeout 30 jack_rec -f "$mine/$1.wav" -d 1 -b 16 halvora-tone:output1 "${outs[0]}" "${outs[1]}" > "$mine/$1.log" 2>&1 \
        || { cat "$mine/$1.log"; fail "jack_rec could not record $1"; }
    python3 - "$mine/$1.wav" << 'PYTHON'
import math, struct, sys, wave
w = wave.open(sys.argv[1])
n, ch = w.getnframes(), w.getnchannels()
data = struct.unpack("<%dh" % (n * ch), w.readframes(n))
tone, out1, out2 = (data[c::ch] for c in range(3))
rms = lambda x: math.sqrt(sum(v * v for v in x) / max(1, len(x))) / 32768
def correlation(a, b):
    den = math.sqrt(sum(v * v for v in a) * sum(v * v for v in b))
    return sum(x * y for x, y in zip(a, b)) / den if den > 0 else 0.0
print("%.5f %.5f %.5f %.4f %.4f" % (rms(tone), rms(out1), rms(out2), correlation(tone, out1), correlation(tone, out2)))
PYTHON
}

# A level that the 16-bit recording of a silent output stays under (-60 dBFS), and the
# levels a sine at the tone's 0.2 amplitude passed through the effect's defaults clears.
silent() { awk -v x="$1" 'BEGIN { exit !(x < 0.001) }'; }
sounding() { awk -v x="$1" 'BEGIN { exit !(x > 0.01) }'; }
follows() { awk -v x="$1" 'BEGIN { exit !(x > 0.9) }'; }

#==============================================================================
# No JACK server: a server name that nothing serves, so a server elsewhere on the machine
# does not count.
export JACK_DEFAULT_SERVER="halvora-none-$$"
home="$mine/no-server"
write_jack_settings "$home"
start_app
echo "ok   no JACK server: the window appeared ($(window_of "$pid"))"
quit_app
[ "$(saved_attribute deviceType)" = JACK ] || fail "a start without a JACK server lost the JACK choice: $(cat "$home/.config/Halvora.settings")"
echo "ok   no JACK server: JACK is still the chosen device type after quitting"
home=""
rm -rf "$mine"

#==============================================================================
# The server's script sets its own exit trap, which stops the server and removes its work
# folder: from here on that folder is ours too, and our trap runs theirs last.
source "$(dirname "$0")/../hosts/jack-dummy.sh" "halvora-standalone-$$"
mine="$work"
eval "set -- $(trap -p EXIT)"
jack_cleanup="$3"
trap cleanup EXIT

home="$mine/jack"
write_jack_settings "$home"
start_app
ports="$(wait_for_ports)"
echo "ok   the app's JACK ports: $(echo "$ports" | tr '\n' ' ')"
mapfile -t ins < <(echo "$ports" | grep '^Halvora:in_')
mapfile -t outs < <(echo "$ports" | grep '^Halvora:out_')
[ "${#outs[@]}" -ge 2 ] || fail "the app has fewer than two outputs"

jack_simple_client halvora-tone > "$mine/tone.log" 2>&1 &
tone_pid=$!
for _ in $(seq 1 100); do
    jack_lsp 2> /dev/null | grep -q '^halvora-tone:output1$' && break
    kill -0 "$tone_pid" 2> /dev/null || { cat "$mine/tone.log"; fail "jack_simple_client exited"; }
    sleep 0.2
done

# patch_tone connect|disconnect: the tone to or from every input of the app.
patch_tone() {
    local port
    for port in "${ins[@]}"; do
        "jack_$1" halvora-tone:output1 "$port"
    done
}

read -r tone out1 out2 _ _ < <(record before)
sounding "$tone" || fail "the tone itself is silent (rms $tone)"
silent "$out1" && silent "$out2" || fail "the outputs sound before anything is connected to the inputs (rms $out1, $out2)"
echo "ok   before: tone rms $tone, outputs rms $out1 $out2"

patch_tone connect
read -r tone out1 out2 c1 c2 < <(record connected)
sounding "$out1" && sounding "$out2" || fail "the outputs stay silent with the tone connected (rms $out1, $out2; is the input muted?)"
follows "$c1" && follows "$c2" || fail "the outputs do not follow the tone (correlation $c1, $c2)"
echo "ok   connected: outputs rms $out1 $out2, correlation with the tone $c1 $c2"

patch_tone disconnect
read -r tone out1 out2 _ _ < <(record disconnected)
silent "$out1" && silent "$out2" || fail "the outputs still sound after the tone is disconnected (rms $out1, $out2)"
echo "ok   disconnected: outputs rms $out1 $out2"

stop "$tone_pid"
tone_pid=""
quit_app

[ "$(saved_attribute deviceType)" = JACK ] && [ "$(saved_attribute audioDeviceRate)" = 48000.0 ] \
    || fail "the app did not save the JACK device it ran on: $(cat "$home/.config/Halvora.settings")"
grep -q '<VALUE name="shouldMuteInput" val="0"/>' "$home/.config/Halvora.settings" \
    || fail "the unmuted input was not kept: $(cat "$home/.config/Halvora.settings")"
echo "ok   saved: deviceType JACK at $(saved_attribute audioDeviceRate) Hz, input unmuted"

# The file the app wrote brings it back on JACK.
start_app
wait_for_ports > /dev/null
echo "ok   restarted from the saved file: on JACK again"
quit_app
