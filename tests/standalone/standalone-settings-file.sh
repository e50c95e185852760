#!/usr/bin/env bash
# The standalone app's settings file (~/.config/Halvora.settings), which the framework
# reads before the effect exists. A damaged one is moved aside to Halvora.settings.bad
# (replacing an older one), the app says so in one line on stderr and still opens its
# window with the default settings; a sound one is kept and its saved effect state
# restored. Under a 2 GB address-space limit, as a settings file that asks for more
# memory than that must not get it. Needs an X display (the test run gives one).
#   standalone-settings-file.sh APP RENDERER
set -euo pipefail

app="$1"
render="$2"
[ -n "${DISPLAY:-}" ] || { echo "no X display: skipped"; exit 77; }

work="$(mktemp -d)"
pid=""
trap '[ -z "$pid" ] || { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }; rm -rf "$work"' EXIT

ulimit -v $((2 * 1024 * 1024))

# Starts the app in a private home and waits for its window; fails if it exits first.
start_app() {
    local home="$1"
    HOME="$home" "$app" > "$home/app.log" 2>&1 &
    pid=$!

    for _ in $(seq 1 100); do
        if xwininfo -root -tree 2>/dev/null | grep -q '"Halvora": ("Halvora"'; then
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || { echo "the app exited early:"; cat "$home/app.log"; pid=""; return 1; }
        sleep 0.2
    done

    echo "no Halvora window appeared"
    cat "$home/app.log"
    return 1
}

# Ctrl-C: the app quits as from its menu, saving its settings. Within 30 s: an app that
# does not quit fails here, with its log, rather than at the suite's timeout.
quit_app() {
    kill -INT "$pid"
    for _ in $(seq 1 150); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "the app did not quit within 30 s of Ctrl-C:"
        cat "$home/app.log"
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        pid=""
        return 1
    fi
    wait "$pid" || { echo "the app exited with status $?"; pid=""; return 1; }
    pid=""
}

# The value of one key in a settings file as the app writes it.
value_of() {
    sed -n "s|.*<VALUE name=\"$1\" val=\"\([^\"]*\)\"/>.*|\1|p" "$2"
}

settings_with() {
    printf '<?xml version="1.0" encoding="UTF-8"?>\n\n<PROPERTIES>\n  %s\n</PROPERTIES>\n' "$1"
}

# name | how the file is made
hostile_cases=(
    "filterState-minus-one|settings_with '<VALUE name=\"filterState\" val=\"-1.AAAA\"/>'"
    "filterState-four-gigabytes|settings_with '<VALUE name=\"filterState\" val=\"4294967295.AAAA\"/>'"
    "processing-instruction|settings_with '<?pi x?> <VALUE name=\"windowX\" val=\"1\"/>'"
    "compressed-binary|{ printf CPRP; head -c 65536 /dev/zero | gzip -9; }"
)

failures=0

for entry in "${hostile_cases[@]}"; do
    name="${entry%%|*}"
    home="$work/$name"
    settings="$home/.config/Halvora.settings"
    mkdir -p "$home/.config"
    eval "${entry#*|}" > "$settings"
    cp "$settings" "$home/original"
    echo "an older damaged file" > "$settings.bad"

    if ! start_app "$home"; then
        echo "FAIL $name: no window"
        failures=$((failures + 1))
        continue
    fi

    quit_app || { echo "FAIL $name: bad exit"; failures=$((failures + 1)); }

    if ! cmp -s "$home/original" "$settings.bad"; then
        echo "FAIL $name: the file was not moved to Halvora.settings.bad"
        failures=$((failures + 1))
    elif [ "$(grep -c "^Halvora: $settings: .*; moved to $settings.bad" "$home/app.log")" != 1 ]; then
        echo "FAIL $name: no line on stderr about it:"
        cat "$home/app.log"
        failures=$((failures + 1))
    else
        echo "ok   $name: $(grep "^Halvora: " "$home/app.log")"
    fi
done

# A sound file holding an effect state of our own (gain 7 dB, key D): kept, no complaint,
# and the state restored, so that the app saves the very same state when it quits.
home="$work/sound"
settings="$home/.config/Halvora.settings"
mkdir -p "$home/.config"
"$render" --demo -q -p gain=7 -p key=D --save-state "$work/state.bin" "$work/demo.wav"
state="$(python3 - "$work/state.bin" << 'PYTHON'
import sys
# MemoryBlock::toBase64Encoding: the size, a '.', then the bits six at a time, lowest first.
table = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+"
data = open(sys.argv[1], "rb").read()
bits = int.from_bytes(data, "little")
print("%d.%s" % (len(data), "".join(table[(bits >> (6 * i)) & 63] for i in range((len(data) * 8 + 5) // 6))))
PYTHON
)"
settings_with "<VALUE name=\"windowX\" val=\"40\"/>
  <VALUE name=\"windowY\" val=\"30\"/>
  <VALUE name=\"shouldMuteInput\" val=\"1\"/>
  <VALUE name=\"filterState\" val=\"$state\"/>" > "$settings"

if start_app "$home" && quit_app; then
    if [ -e "$settings.bad" ] || grep -q "^Halvora: " "$home/app.log"; then
        echo "FAIL sound: the file was refused:"
        cat "$home/app.log"
        failures=$((failures + 1))
    elif [ "$(value_of filterState "$settings")" != "$state" ]; then
        echo "FAIL sound: the saved state was not restored; the app saved:"
        cat "$settings"
        failures=$((failures + 1))
    else
        echo "ok   sound: kept, its state restored"
    fi
else
    echo "FAIL sound: no window"
    failures=$((failures + 1))
fi

# What the app wrote on that quit is read again without complaint.
if start_app "$home" && quit_app && [ ! -e "$settings.bad" ] && ! grep -q "^Halvora: " "$home/app.log"; then
    echo "ok   rewritten: the file the app wrote is read again"
else
    echo "FAIL rewritten: the file the app wrote was refused:"
    cat "$home/app.log" "$settings"
    failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
