#!/usr/bin/env bash
# The standalone app on the command line: --help and --version answer and exit 0 without
# a display (so neither opens a window, the display or the audio devices), anything else
# is refused with one line on stderr and status 2, and where no X display can be opened
# the app says so in one line and exits 1 instead of running on without a window. None
# of it writes the settings file. Each run is bounded, so a hang fails rather than stalls.
#   standalone-command-line.sh APP VERSION
set -euo pipefail

app="$1"
version="$2"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A display number nobody serves: its socket is absent, and the TCP port behind it is on
# this machine only.
unserved=""
for n in $(seq 900 999); do
    if [ ! -e "/tmp/.X11-unix/X$n" ]; then
        unserved=":$n"
        break
    fi
done
[ -n "$unserved" ] || { echo "no free X display number between 900 and 999"; exit 1; }

failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

# run NAME EXPECTED_STATUS [env options and assignments] -- ARGS...: the app in a private
# home, its output in $work/NAME.out and .err.
run() {
    local name="$1" expected="$2"
    shift 2
    local env_args=()
    while [ "$1" != "--" ]; do
        env_args+=("$1")
        shift
    done
    shift

    local status=0
    timeout 20 env "${env_args[@]}" HOME="$work/home" "$app" "$@" > "$work/$name.out" 2> "$work/$name.err" < /dev/null || status=$?

    if [ "$status" -eq 124 ]; then
        fail "$name: still running after 20 s"
        return 1
    fi
    if [ "$status" -ne "$expected" ]; then
        fail "$name: exit status $status, expected $expected"
        cat "$work/$name.out" "$work/$name.err"
        return 1
    fi
}

# stderr_is NAME TEXT: stderr is that single line and stdout is empty.
stderr_is() {
    local name="$1" text="$2"
    if [ -s "$work/$name.out" ]; then
        fail "$name: printed on stdout:"
        cat "$work/$name.out"
    elif [ "$(cat "$work/$name.err")" != "$text" ]; then
        fail "$name: stderr is not the line '$text' but:"
        cat "$work/$name.err"
    else
        echo "ok   $name: $text"
    fi
}

mkdir -p "$work/home"

# --help and -h: usage on stdout naming both options, nothing on stderr, with no display to
# be had, and with the suite's own display where there is one (no window keeps it running).
for spelling in --help -h; do
    if run "help$spelling" 0 DISPLAY="$unserved" -- "$spelling"; then
        if [ -s "$work/help$spelling.err" ]; then
            fail "$spelling: printed on stderr:"
            cat "$work/help$spelling.err"
        elif ! head -n 1 "$work/help$spelling.out" | grep -q '^Usage: halvora '; then
            fail "$spelling: no usage line:"
            cat "$work/help$spelling.out"
        elif ! grep -q -- '-h, --help' "$work/help$spelling.out" || ! grep -q -- '--version' "$work/help$spelling.out"; then
            fail "$spelling: the options are not listed:"
            cat "$work/help$spelling.out"
        else
            echo "ok   $spelling: usage, exit 0"
        fi
    fi
done

if [ -n "${DISPLAY:-}" ] && run help-with-display 0 -- --help; then
    cmp -s "$work/help--help.out" "$work/help-with-display.out" || fail "--help prints otherwise with a display"
    echo "ok   --help with the display $DISPLAY: exit 0"
fi

# --version: the project's version, as halvora-render prints its own.
if run version 0 -u DISPLAY -- --version; then
    if [ -s "$work/version.err" ] || ! grep -qx "halvora $version (JUCE 8\.[0-9]*\.[0-9]*)" "$work/version.out" \
        || [ "$(wc -l < "$work/version.out")" -ne 1 ]; then
        fail "--version does not print the one line 'halvora $version (JUCE ...)':"
        cat "$work/version.out" "$work/version.err"
    else
        echo "ok   --version: $(cat "$work/version.out")"
    fi
fi

# Anything else: one line naming it, status 2, before any display is looked for.
run unknown-option 2 -u DISPLAY -- --no-such-option && stderr_is unknown-option "halvora: unknown option '--no-such-option' (see --help)"
run argument 2 -u DISPLAY -- song.wav && stderr_is argument "halvora: unexpected argument 'song.wav' (see --help)"

# No display: one line naming the display, status 1, and no settings file written.
run no-display 1 -u DISPLAY -- && stderr_is no-display 'halvora: cannot open the X display "" (is DISPLAY set?)'
run empty-display 1 DISPLAY= -- && stderr_is empty-display 'halvora: cannot open the X display "" (is DISPLAY set?)'
run unserved-display 1 DISPLAY="$unserved" -- && stderr_is unserved-display "halvora: cannot open the X display \"$unserved\""

[ ! -e "$work/home/.config/Halvora.settings" ] || fail "a settings file was written"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
