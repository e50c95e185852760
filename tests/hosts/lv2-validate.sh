#!/usr/bin/env bash
# Debian's LV2 validator, lv2_validate (sord_validate with the LV2 vocabularies), finds no
# error in the bundle's Turtle: every property and class it uses is defined, every value is
# of the kind the vocabulary asks for, every port and preset has what it must have.
#
# The validator says "error:" for each fault and counts them, but it only warns of a file
# it cannot read or parse and then goes on as if it were empty, exit status 0. So every
# file is first read on its own by sordi, which stops at the first syntax error, and any
# line about one of our files fails the test. Lines about the validator's own vocabulary
# files are printed as warnings.
set -euo pipefail

bundle="$1"     # the Halvora.lv2 folder

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() { echo "$*"; exit 1; }

# The validator's wrapper passes its arguments on unquoted, so the files are named from
# inside the bundle, where their names have no spaces.
cd "$bundle"
files=(manifest.ttl dsp.ttl ui.ttl)
for f in *.ttl; do
    [[ " ${files[*]} " == *" $f "* ]] || files+=("$f")
done

for f in "${files[@]}"; do
    [ -f "$f" ] || fail "$f is missing from $bundle"
    sordi -o ntriples "$f" "file:///Halvora.lv2/$f" > /dev/null 2> "$work/sordi.err" \
        || { echo "$f is not valid Turtle:"; cat "$work/sordi.err"; exit 1; }
done

status=0
lv2_validate "${files[@]}" > "$work/out" 2>&1 || status=$?

errors="$(grep -c '^error' "$work/out" || true)"
summary="$(grep -E '^Found [0-9]+ errors among [0-9]+ files' "$work/out" || true)"

# Lines about our files: parse errors name them by their full path, skipped ones as given.
here="$(pwd -P)"
ours="$( { grep -F "$here/" "$work/out"; for f in "${files[@]}"; do grep -xF "Skipping file $f" "$work/out"; done; } || true)"

# Whatever the validator says beyond its summary, about a file of the system's.
warnings="$(grep -v -E '^Found [0-9]+ errors among' "$work/out" || true)"
if [ "$status" -eq 0 ] && [ "$errors" -eq 0 ] && [ -z "$ours" ] && [[ "$summary" == "Found 0 errors among"* ]]; then
    if [ -n "$warnings" ]; then
        echo "lv2_validate warned, of files not in the bundle:"
        echo "$warnings"
    fi
    echo "lv2_validate: ${files[*]}: $summary"
    exit 0
fi

echo "lv2_validate found faults in ${files[*]} (exit status $status):"
cat "$work/out"
exit 1
